#pragma once

#include "core/citations/sheet.h"
#include "core/util/result.h"

#include <QByteArray>
#include <QString>

// Writes a sheet as an Excel 97-2003 workbook (.xls): BIFF8 records in a compound file. Bold cells use a
// bold font; text is kept in the shared-string table as UTF-16, or as 8-bit where it is all Latin-1.
class XlsWriter
{
public:
    // The grid of the format: 65,536 rows by 256 columns.
    static SheetLimits limits() { return {65536, 256}; }

    // The whole file's bytes, or an error of kind Other when the sheet does not fit.
    static Result<QByteArray> encode(const Sheet& sheet);

    // Writes the file atomically: an existing file at path is replaced only when the new one is complete.
    static Error write(const QString& path, const Sheet& sheet);
};
