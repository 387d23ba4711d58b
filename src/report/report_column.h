#pragma once

#include <QtGlobal>

// One column of a listing report. Widths are in twips (1440 to the inch), the unit the reports were designed in.
struct ReportColumn {
    // Narrower than this and the column is unreadable: the report then refuses the paper.
    int minimumTwips = 1440;
    // Share of the width left over once every column has its minimum; 0 keeps the column at its minimum.
    int stretch = 1;
};
