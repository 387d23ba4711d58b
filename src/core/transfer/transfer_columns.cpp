#include "core/transfer/transfer_columns.h"

#include <QRegularExpression>

const QChar TransferColumns::kListSeparator = QLatin1Char(';');
const QChar TransferColumns::kSectionSeparator = QLatin1Char('|');

namespace {
// Where each long text's column lies among the columns.
constexpr std::array<std::pair<int, Citation::Text>, Citation::kTextCount> kTextColumns{{
    {TransferColumns::Judgment, Citation::Judgment},
    {TransferColumns::NatureOfCase, Citation::NatureOfCase},
    {TransferColumns::FactSummary, Citation::FactSummary},
    {TransferColumns::Issue, Citation::Issue},
    {TransferColumns::RuleOfLaw, Citation::RuleOfLaw},
    {TransferColumns::Remarks, Citation::Remarks},
}};
} // namespace

const QStringList& TransferColumns::names()
{
    static const QStringList names{
        QStringLiteral("citation"),   QStringLiteral("case"),           QStringLiteral("date"),
        QStringLiteral("judgment"),   QStringLiteral("nature_of_case"), QStringLiteral("fact_summary"),
        QStringLiteral("issue"),      QStringLiteral("rule_of_law"),    QStringLiteral("remarks"),
        QStringLiteral("categories"), QStringLiteral("courts"),         QStringLiteral("acts"),
        QStringLiteral("bench"),
    };
    return names;
}

Result<QList<int>> TransferColumns::match(const QStringList& header)
{
    QList<int> columns;
    for (const QString& cell : header) {
        const QString name = cell.trimmed();
        // A column without a name (a spreadsheet's trailing separators) is passed over; a value in it is not.
        if (name.isEmpty()) {
            columns << kUnnamed;
            continue;
        }
        int found = -1;
        for (int i = 0; i < kCount; ++i)
            if (names().at(i).compare(name, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0)
            return Error::other(QStringLiteral("The column \"%1\" is not one the import knows; the columns are %2.")
                                    .arg(name, names().join(QStringLiteral(", "))));
        if (columns.contains(found))
            return Error::other(QStringLiteral("The column \"%1\" is named twice.").arg(names().at(found)));
        columns << found;
    }
    if (!columns.contains(CitationText))
        return Error::other(QStringLiteral("The first row names no \"citation\" column."));
    return columns;
}

QDate TransferColumns::parseDate(const QString& text, bool* ok)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{1,2})(?:-(\\d{1,2}))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    QDate date;
    if (m.hasMatch())
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.capturedLength(3) ? m.captured(3).toInt() : 1);
    *ok = date.isValid();
    return date;
}

QString TransferColumns::dateText(const QDate& date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QStringList TransferColumns::splitList(const QString& cell)
{
    QStringList items;
    for (const QString& item : cell.split(kListSeparator)) {
        const QString trimmed = item.trimmed();
        if (!trimmed.isEmpty())
            items << trimmed;
    }
    return items;
}

TransferRecord TransferColumns::record(const QList<int>& columns, const QStringList& cells, qint64 place)
{
    TransferRecord r;
    r.place = place;
    if (cells.size() > columns.size()) {
        r.problem = QStringLiteral("the row has %1 fields, more than the %2 columns the first row names.")
                        .arg(cells.size())
                        .arg(columns.size());
        return r;
    }
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const QString& cell = cells.at(i);
        if (columns.at(i) == kUnnamed) {
            if (!cell.trimmed().isEmpty() && r.problem.isEmpty())
                r.problem = QStringLiteral("the row has a value in a column the first row does not name.");
            continue;
        }
        switch (columns.at(i)) {
        case CitationText:
            r.citation = cell;
            break;
        case Case:
            r.caseTitle = cell;
            break;
        case Date: {
            if (cell.trimmed().isEmpty())
                break;
            bool ok = false;
            r.judgmentDate = parseDate(cell, &ok);
            if (!ok)
                r.problem = QStringLiteral("the date \"%1\" is not a date of the form yyyy-mm-dd or yyyy-mm.")
                                .arg(cell.trimmed());
            break;
        }
        case Categories:
            r.categories = splitList(cell);
            break;
        case Courts:
            r.courts = splitList(cell);
            break;
        case Bench:
            r.bench = splitList(cell);
            break;
        case Acts:
            for (const QString& item : splitList(cell)) {
                const qsizetype bar = item.indexOf(kSectionSeparator);
                TransferAct act{item.left(bar < 0 ? item.size() : bar).trimmed(),
                                bar < 0 ? QString() : item.mid(bar + 1).trimmed()};
                if (act.name.isEmpty() && r.problem.isEmpty())
                    r.problem = QStringLiteral("the Act \"%1\" has no name before its section.").arg(item);
                r.acts << act;
            }
            break;
        default:
            for (const auto& [column, text] : kTextColumns)
                if (column == columns.at(i))
                    r.texts[text] = cell;
            break;
        }
    }
    return r;
}

QStringList TransferColumns::cells(const TransferRecord& r)
{
    QStringList acts;
    for (const TransferAct& act : r.acts)
        acts << (act.section.isEmpty() ? act.name : act.name + kSectionSeparator + act.section);
    QStringList cells(kCount);
    cells[CitationText] = r.citation;
    cells[Case] = r.caseTitle;
    cells[Date] = dateText(r.judgmentDate);
    for (const auto& [column, text] : kTextColumns)
        cells[column] = r.texts[text];
    cells[Categories] = r.categories.join(kListSeparator);
    cells[Courts] = r.courts.join(kListSeparator);
    cells[Acts] = acts.join(kListSeparator);
    cells[Bench] = r.bench.join(kListSeparator);
    return cells;
}
