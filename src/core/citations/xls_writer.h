#pragma once

#include "core/citations/sheet.h"

#include <QByteArray>
#include <QString>

// Writes a sheet as an Excel 97-2003 workbook (.xls): BIFF8 records in a compound file. Bold cells use a
// bold font; text is kept in the shared-string table as UTF-16, or as 8-bit where it is all Latin-1.
class XlsWriter
{
public:
    // The grid of the format: 65,536 rows by 256 columns.
    static SheetLimits limits() { return {65536, 256}; }

    // The whole file's bytes, or an empty array with a message in *error when the sheet does not fit.
    static QByteArray encode(const Sheet& sheet, QString* error);

    // Writes the file atomically: an existing file at path is replaced only when the new one is complete.
    static bool write(const QString& path, const Sheet& sheet, QString* error);
};
