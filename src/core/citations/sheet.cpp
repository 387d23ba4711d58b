#include "core/citations/sheet.h"

#include <QSet>

namespace {

Error fail(const QString& message)
{
    return Error::other(message);
}

QString cellName(const SheetCell& cell)
{
    return QStringLiteral("row %1, column %2").arg(cell.row + 1).arg(cell.column + 1);
}

} // namespace

Error checkSheet(const Sheet& sheet, const SheetLimits& limits)
{
    const QString& name = sheet.name;
    if (name.isEmpty())
        return fail(QStringLiteral("The sheet has no name."));
    if (name.size() > kMaxSheetNameLength)
        return fail(
            QStringLiteral("The sheet name \"%1\" is longer than %2 characters.").arg(name).arg(kMaxSheetNameLength));
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    for (const QChar c : name) {
        if (forbidden.contains(c) || c.unicode() < 0x20)
            return fail(
                QStringLiteral("The sheet name \"%1\" contains a character a sheet name cannot hold.").arg(name));
    }
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return fail(QStringLiteral("The sheet name \"%1\" cannot begin or end with an apostrophe.").arg(name));

    QSet<qint64> taken;
    taken.reserve(sheet.cells.size());
    for (const SheetCell& cell : sheet.cells) {
        if (cell.row < 0 || cell.row >= limits.rows || cell.column < 0 || cell.column >= limits.columns)
            return fail(QStringLiteral("The cell at %1 lies outside the %2 rows and %3 columns the format allows.")
                            .arg(cellName(cell))
                            .arg(limits.rows)
                            .arg(limits.columns));
        if (cell.text.size() > kMaxCellTextLength)
            return fail(QStringLiteral("The text at %1 has %2 characters; a cell holds at most %3.")
                            .arg(cellName(cell))
                            .arg(cell.text.size())
                            .arg(kMaxCellTextLength));
        const qint64 key = qint64(cell.row) * limits.columns + cell.column;
        if (taken.contains(key))
            return fail(QStringLiteral("Two cells are placed at %1.").arg(cellName(cell)));
        taken.insert(key);
    }
    return {};
}
