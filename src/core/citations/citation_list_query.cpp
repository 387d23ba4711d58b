#include "core/citations/citation_list_query.h"

#include "core/citations/citation_tables.h"
#include "core/db/db_session.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {
// Case ids are fetched in blocks of this many by the report's walk: a block of whole judgments at most.
constexpr int kListingBlock = 200;

const QString kEllipsis = QStringLiteral("...");

// The select list of the six texts, each cut to one character more than a cell shows, so that the query
// itself tells whether there is more.
QString shortTexts()
{
    QString sql;
    const auto& tables = CitationTables::texts();
    for (int i = 0; i < Citation::kTextCount; ++i)
        sql += QStringLiteral(", t%1.id, SUBSTR(t%1.%2, 1, ?)").arg(i).arg(tables[i].column);
    return sql;
}

QString textJoins()
{
    QString sql;
    const auto& tables = CitationTables::texts();
    for (int i = 0; i < Citation::kTextCount; ++i)
        sql += QStringLiteral(" LEFT JOIN %1 t%2 ON t%2.id = %3.%4")
                   .arg(tables[i].table)
                   .arg(i)
                   .arg(CitationTables::caseTable(), tables[i].keyColumn);
    return sql;
}

// The first and last id of the block that starts at `from`.
std::pair<qint64, qint64> blockBounds(const QList<qint64>& ids, int from, int count)
{
    qint64 low = ids[from];
    qint64 high = ids[from];
    for (int i = from; i < from + count; ++i) {
        low = std::min(low, ids[i]);
        high = std::max(high, ids[i]);
    }
    return {low, high};
}
} // namespace

QString CitationListRow::cell(int column) const
{
    switch (column) {
    case 0:
        return QString::number(caseId);
    case 1:
        return citation;
    case 3:
        return caseTitle;
    case 4:
        return judgmentDate.isValid() ? reportMonthYear(judgmentDate) : QString();
    default:
        break;
    }
    const int text = CitationListQuery::textOfColumn(column);
    if (text < 0)
        return {};
    return shortened[std::size_t(text)] ? texts[std::size_t(text)] + kEllipsis : texts[std::size_t(text)];
}

CitationListQuery::CitationListQuery(DbSession& session)
    : m_session(session)
{}

QStringList CitationListQuery::headers()
{
    return {QStringLiteral("Id"),           QStringLiteral("Citation"), QStringLiteral("Judgment"),
            QStringLiteral("Case"),         QStringLiteral("Date"),     QStringLiteral("Nature Of Case"),
            QStringLiteral("Fact Summary"), QStringLiteral("Issue"),    QStringLiteral("Rule Of Law"),
            QStringLiteral("Remarks")};
}

int CitationListQuery::textOfColumn(int column)
{
    if (column == 2)
        return Citation::Judgment;
    if (column >= 5 && column < kColumnCount)
        return column - 4;
    return -1;
}

Result<QList<qint64>> CitationListQuery::caseIds() const
{
    return m_session.column<qint64>(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(CitationTables::caseKey(), CitationTables::caseTable()));
}

Result<QList<CitationListRow>> CitationListQuery::rows(qint64 firstCaseId, qint64 lastCaseId) const
{
    const QString sql = QStringLiteral("SELECT %1.%2, %1.%3, %1.%4, %1.%5")
                            .arg(CitationTables::caseTable(), CitationTables::caseKey(), CitationTables::citation(),
                                 CitationTables::caseTitle(), CitationTables::judgmentDate()) +
                        shortTexts() + QStringLiteral(" FROM ") + CitationTables::caseTable() + textJoins() +
                        QStringLiteral(" WHERE %1.%2 >= ? AND %1.%2 <= ? ORDER BY %1.%2")
                            .arg(CitationTables::caseTable(), CitationTables::caseKey());
    QVariantList values;
    for (int i = 0; i < Citation::kTextCount; ++i)
        values << kCellTextLength + 1;
    values << firstCaseId << lastCaseId;
    Result<QSqlQuery> q = m_session.query(sql, values);
    if (!q)
        return q.error();
    QList<CitationListRow> rows;
    while (q->next()) {
        CitationListRow row;
        row.caseId = q->value(0).toLongLong();
        row.citation = q->value(1).toString();
        row.caseTitle = q->value(2).toString();
        row.judgmentDate = q->value(3).toDate();
        for (int i = 0; i < Citation::kTextCount; ++i) {
            const auto t = std::size_t(i);
            row.textIds[t] = q->value(4 + 2 * i).toLongLong();
            QString text = q->value(5 + 2 * i).toString();
            if (text.size() > kCellTextLength) {
                text.truncate(kCellTextLength);
                row.shortened[t] = true;
            }
            row.texts[t] = text;
        }
        rows.append(row);
    }
    return rows;
}

Result<QString> CitationListQuery::fullText(Citation::Text text, qint64 textId) const
{
    const CitationTextTable& table = CitationTables::text(text);
    Result<QSqlQuery> q =
        m_session.query(QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(table.column, table.table), {textId});
    if (!q)
        return q.error();
    return q->next() ? q->value(0).toString() : QString();
}

Result<QList<qint64>> CitationListQuery::listingCaseIds() const
{
    const CitationTextTable& judgment = CitationTables::text(Citation::Judgment);
    return m_session.column<qint64>(
        QStringLiteral("SELECT %1.%2 FROM %1, %3 WHERE %1.%4 = %3.id ORDER BY %1.%2")
            .arg(CitationTables::caseTable(), CitationTables::caseKey(), judgment.table, judgment.keyColumn));
}

Error CitationListQuery::eachListingRow(const QList<qint64>& caseIds,
                                        const std::function<bool(int index, const QStringList& row)>& fn,
                                        int start) const
{
    const QString& cases = CitationTables::caseTable();
    const QString& key = CitationTables::caseKey();
    const CitationTextTable& judgment = CitationTables::text(Citation::Judgment);
    const QString listingSql =
        QStringLiteral("SELECT %1.%2, %3, %4.%5, %6, %7 FROM %1, %4 WHERE %1.%8 = %4.id AND %1.%2 >= ? AND %1.%2 <= ?"
                       " ORDER BY %1.%2")
            .arg(cases, key, CitationTables::citation(), judgment.table, judgment.column, CitationTables::caseTitle(),
                 CitationTables::judgmentDate(), judgment.keyColumn);
    for (int from = std::max(start, 0); from < caseIds.size(); from += kListingBlock) {
        const int count = std::min<int>(kListingBlock, int(caseIds.size()) - from);
        const auto [low, high] = blockBounds(caseIds, from, count);
        Result<QSqlQuery> q = m_session.query(listingSql, {low, high});
        if (!q)
            return q.error();
        // Ids are ascending, so the block's rows meet them in order; a case added since is not among them.
        int index = from;
        while (q->next()) {
            const qint64 id = q->value(0).toLongLong();
            while (index < from + count && caseIds[index] < id)
                ++index;
            if (index >= from + count || caseIds[index] != id)
                continue;
            const QDate date = q->value(4).toDate();
            const QStringList row{q->value(1).toString(), q->value(2).toString(), q->value(3).toString(),
                                  date.isValid() ? reportMonthYear(date) : QString()};
            if (!fn(index, row))
                return {};
            ++index;
        }
    }
    return {};
}

ListingReportData CitationListQuery::listingHeader(const Clock& today)
{
    return buildCitationListingData({}, today ? today() : QDate());
}
