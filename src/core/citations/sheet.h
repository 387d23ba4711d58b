#pragma once

#include "core/util/error.h"

#include <QList>
#include <QString>

// One cell of an exported workbook. Rows and columns count from 0.
struct SheetCell {
    int row = 0;
    int column = 0;
    QString text;
    bool bold = false;
};

// A worksheet as the workbook writers take it: a name and its cells, in any order.
struct Sheet {
    QString name;
    QList<SheetCell> cells;
};

// What a file format allows; the writers check a sheet against these before they write anything.
struct SheetLimits {
    int rows = 0;
    int columns = 0;
};

// The longest text a cell can hold, in UTF-16 code units; both formats share it.
inline constexpr int kMaxCellTextLength = 32767;
// The longest sheet name, in UTF-16 code units.
inline constexpr int kMaxSheetNameLength = 31;

// Checks the sheet name, each cell's position and text length, and that no two cells share a position.
// The first fault, if any, as an error of kind Other.
Error checkSheet(const Sheet& sheet, const SheetLimits& limits);
