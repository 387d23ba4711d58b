#pragma once

#include "core/citations/sheet.h"
#include "core/util/error.h"

#include <QString>

// Writes a sheet as an Office Open XML workbook (.xlsx); bold cells get a bold format.
class XlsxWriter
{
public:
    // The grid of the format: 1,048,576 rows by 16,384 columns.
    static SheetLimits limits() { return {1048576, 16384}; }

    // Writes the file atomically: an existing file at path is replaced only when the new one is complete.
    static Error write(const QString& path, const Sheet& sheet);
};
