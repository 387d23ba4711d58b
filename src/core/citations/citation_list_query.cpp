#include "core/citations/citation_list_query.h"

#include "core/citations/citation_store.h"
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
    const auto& tables = CitationStore::textTables();
    for (int i = 0; i < Citation::kTextCount; ++i)
        sql += QStringLiteral(", t%1.id, SUBSTR(t%1.%2, 1, ?)").arg(i).arg(tables[i].column);
    return sql;
}

QString textJoins()
{
    QString sql;
    const auto& tables = CitationStore::textTables();
    for (int i = 0; i < Citation::kTextCount; ++i)
        sql += QStringLiteral(" LEFT JOIN %1 t%2 ON t%2.id = case_master.%3")
                   .arg(tables[i].table)
                   .arg(i)
                   .arg(tables[i].keyColumn);
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

DbResult<QList<qint64>> CitationListQuery::caseIds() const
{
    DbResult<QSqlQuery> q = m_session.query(QStringLiteral("SELECT case_id FROM case_master ORDER BY case_id"));
    if (!q)
        return q.error();
    QList<qint64> ids;
    while (q->next())
        ids.append(q->value(0).toLongLong());
    return ids;
}

DbResult<QList<CitationListRow>> CitationListQuery::rows(qint64 firstCaseId, qint64 lastCaseId) const
{
    const QString sql = QStringLiteral("SELECT case_master.case_id, case_master.citation, case_master.c_case, "
                                       "case_master.dt_of_judgment") +
                        shortTexts() + QStringLiteral(" FROM case_master") + textJoins() +
                        QStringLiteral(" WHERE case_master.case_id >= ? AND case_master.case_id <= ?"
                                       " ORDER BY case_master.case_id");
    QVariantList values;
    for (int i = 0; i < Citation::kTextCount; ++i)
        values << kCellTextLength + 1;
    values << firstCaseId << lastCaseId;
    DbResult<QSqlQuery> q = m_session.query(sql, values);
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

DbResult<QString> CitationListQuery::fullText(Citation::Text text, qint64 textId) const
{
    const CitationStore::TextTable& table = CitationStore::textTables()[std::size_t(text)];
    DbResult<QSqlQuery> q =
        m_session.query(QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(table.column, table.table), {textId});
    if (!q)
        return q.error();
    return q->next() ? q->value(0).toString() : QString();
}

DbResult<QList<qint64>> CitationListQuery::listingCaseIds() const
{
    DbResult<QSqlQuery> q = m_session.query(
        QStringLiteral("SELECT case_master.case_id FROM case_master, cm_judgment_master"
                       " WHERE case_master.judgment_id = cm_judgment_master.id ORDER BY case_master.case_id"));
    if (!q)
        return q.error();
    QList<qint64> ids;
    while (q->next())
        ids.append(q->value(0).toLongLong());
    return ids;
}

DbError CitationListQuery::eachListingRow(const QList<qint64>& caseIds,
                                          const std::function<bool(int index, const QStringList& row)>& fn,
                                          int start) const
{
    for (int from = std::max(start, 0); from < caseIds.size(); from += kListingBlock) {
        const int count = std::min<int>(kListingBlock, int(caseIds.size()) - from);
        const auto [low, high] = blockBounds(caseIds, from, count);
        DbResult<QSqlQuery> q = m_session.query(
            QStringLiteral("SELECT case_master.case_id, citation, cm_judgment_master.judgment, c_case, dt_of_judgment"
                           " FROM case_master, cm_judgment_master"
                           " WHERE case_master.judgment_id = cm_judgment_master.id"
                           " AND case_master.case_id >= ? AND case_master.case_id <= ?"
                           " ORDER BY case_master.case_id"),
            {low, high});
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
