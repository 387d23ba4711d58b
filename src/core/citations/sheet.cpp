#include "core/citations/sheet.h"

#include <QSet>

namespace {

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

QString cellName(const SheetCell& cell)
{
    return QStringLiteral("row %1, column %2").arg(cell.row + 1).arg(cell.column + 1);
}

} // namespace

bool checkSheet(const Sheet& sheet, const SheetLimits& limits, QString* error)
{
    const QString& name = sheet.name;
    if (name.isEmpty())
        return fail(error, QStringLiteral("The sheet has no name."));
    if (name.size() > kMaxSheetNameLength)
        return fail(
            error,
            QStringLiteral("The sheet name \"%1\" is longer than %2 characters.").arg(name).arg(kMaxSheetNameLength));
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    for (const QChar c : name) {
        if (forbidden.contains(c) || c.unicode() < 0x20)
            return fail(
                error,
                QStringLiteral("The sheet name \"%1\" contains a character a sheet name cannot hold.").arg(name));
    }
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return fail(error, QStringLiteral("The sheet name \"%1\" cannot begin or end with an apostrophe.").arg(name));

    QSet<qint64> taken;
    taken.reserve(sheet.cells.size());
    for (const SheetCell& cell : sheet.cells) {
        if (cell.row < 0 || cell.row >= limits.rows || cell.column < 0 || cell.column >= limits.columns)
            return fail(error,
                        QStringLiteral("The cell at %1 lies outside the %2 rows and %3 columns the format allows.")
                            .arg(cellName(cell))
                            .arg(limits.rows)
                            .arg(limits.columns));
        if (cell.text.size() > kMaxCellTextLength)
            return fail(error, QStringLiteral("The text at %1 has %2 characters; a cell holds at most %3.")
                                   .arg(cellName(cell))
                                   .arg(cell.text.size())
                                   .arg(kMaxCellTextLength));
        const qint64 key = qint64(cell.row) * limits.columns + cell.column;
        if (taken.contains(key))
            return fail(error, QStringLiteral("Two cells are placed at %1.").arg(cellName(cell)));
        taken.insert(key);
    }
    return true;
}
