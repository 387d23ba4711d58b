#include "core/sync/merge_write_back.h"

#include "core/citations/citation_tables.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/sync/row_copier.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QStringList>

namespace {
// Keys per statement of the last sweep.
constexpr int kKeysPerRead = 500;

QStringList columnsOf(const TableDef& t, const QString& alias)
{
    QStringList names;
    for (const ColumnDef& c : t.columns)
        names << alias + c.name;
    return names;
}

QString keyOf(const TableDef& t)
{
    return t.columns.first().name;
}

bool isTextTable(const QString& table)
{
    for (const CitationTextTable& t : CitationTables::texts())
        if (t.table == table)
            return true;
    return false;
}
} // namespace

MergeWriteBack::MergeWriteBack(DbSession& merged, DbSession& present, const QHash<QString, qint64>& presentMaxKeys)
    : m_merged(merged)
    , m_present(present)
    , m_maxKeys(presentMaxKeys)
{}

Error MergeWriteBack::copyRows(const TableDef& table, const QString& select, const QVariantList& values)
{
    const int columns = int(table.columns.size());
    const int dateColumn = int(columnsOf(table, QString()).indexOf(CitationTables::judgmentDate()));
    QSet<qint64>& written = m_written[table.name];
    QVariantList row;
    QVariantList rows;
    {
        Result<QSqlQuery> q = m_merged.query(select, values);
        if (!q)
            return q.error();
        while (q->next()) {
            const qint64 key = q->value(0).toLongLong();
            // A text two new citations share is written once.
            if (written.contains(key))
                continue;
            written.insert(key);
            for (int c = 0; c < columns; ++c)
                rows << (c == dateColumn ? RowCopier::toDate(q->value(c + 1)) : q->value(c + 1));
        }
    }
    return RowCopier::insert(m_present, table, rows);
}

Error MergeWriteBack::copyBatch(qint64 after, qint64 last)
{
    const QString& cm = CitationTables::caseTable();
    const QString& caseKey = CitationTables::caseKey();
    // The texts first, which the citations point at, then the citations, then what points at them.
    for (const CitationTextTable& text : CitationTables::texts()) {
        const TableDef t = Schema::table(text.table);
        const QString key = QStringLiteral("t.") + keyOf(t);
        const QString sql = QStringLiteral("SELECT %1, %2 FROM %3 t JOIN %4 c ON c.%5 = %1 WHERE c.%6 > ? AND "
                                           "c.%6 <= ? AND %1 > ? ORDER BY %1")
                                .arg(key, columnsOf(t, QStringLiteral("t.")).join(QLatin1Char(',')), t.name, cm,
                                     text.keyColumn, caseKey);
        if (Error e = copyRows(t, sql, {after, last, m_maxKeys.value(t.name)}))
            return e;
    }
    const TableDef cases = Schema::caseTable();
    if (Error e = copyRows(cases,
                           QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 > ? AND %1 <= ? ORDER BY %1")
                               .arg(caseKey, columnsOf(cases, QString()).join(QLatin1Char(',')), cm),
                           {after, last}))
        return e;
    for (const CitationRowTable& rows : CitationTables::rowTables()) {
        const TableDef t = Schema::table(rows.table);
        const QString key = keyOf(t);
        const QString sql = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 > ? AND %4 <= ? AND %1 > ? ORDER BY %1")
                                .arg(key, columnsOf(t, QString()).join(QLatin1Char(',')), t.name, rows.caseColumn);
        if (Error e = copyRows(t, sql, {after, last, m_maxKeys.value(t.name)}))
            return e;
    }
    return {};
}

Error MergeWriteBack::copyRest(const TableDef& table)
{
    const QString key = keyOf(table);
    QList<qint64> missing;
    {
        Result<QSqlQuery> q =
            m_merged.query(QStringLiteral("SELECT %1 FROM %2 WHERE %1 > ? ORDER BY %1").arg(key, table.name),
                           {m_maxKeys.value(table.name)});
        if (!q)
            return q.error();
        const QSet<qint64>& written = m_written[table.name];
        while (q->next())
            if (!written.contains(q->value(0).toLongLong()))
                missing << q->value(0).toLongLong();
    }
    const SqlDialect& d = m_merged.dialect();
    for (qsizetype start = 0; start < missing.size(); start += kKeysPerRead)
        if (Error e = copyRows(
                table,
                QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 ORDER BY %1")
                    .arg(key, columnsOf(table, QString()).join(QLatin1Char(',')), table.name, d.keyListCondition(key)),
                {d.keyListValue(missing.mid(start, kKeysPerRead))}))
            return e;
    return {};
}

Error MergeWriteBack::run()
{
    // The master lists the links name, whole.
    for (const TableDef& t : Schema::masterTables())
        if (!isTextTable(t.name))
            if (Error e = RowCopier::copy(m_merged,
                                          QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 > ? ORDER BY %1 LIMIT %4")
                                              .arg(keyOf(t), columnsOf(t, QString()).join(QLatin1Char(',')), t.name)
                                              .arg(RowCopier::kPageRows),
                                          m_present, t, nullptr, m_maxKeys.value(t.name)))
                return e;

    const QString& cm = CitationTables::caseTable();
    const QString& caseKey = CitationTables::caseKey();
    const qint64 presentMax = m_maxKeys.value(cm);
    qint64 total = 0;
    {
        Result<QSqlQuery> q =
            m_merged.query(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 > ?").arg(cm, caseKey), {presentMax});
        if (!q)
            return q.error();
        if (q->next())
            total = q->value(0).toLongLong();
    }
    QElapsedTimer clock;
    clock.start();
    qint64 written = 0;
    qint64 after = presentMax;
    for (;;) {
        QList<qint64> ids;
        {
            Result<QSqlQuery> q = m_merged.query(
                QStringLiteral("SELECT %1 FROM %2 WHERE %1 > ? ORDER BY %1 LIMIT %3").arg(caseKey, cm).arg(m_batch),
                {after});
            if (!q)
                return q.error();
            while (q->next())
                ids << q->value(0).toLongLong();
        }
        if (ids.isEmpty())
            break;
        if (Error e = copyBatch(after, ids.constLast()))
            return e;
        after = ids.constLast();
        written += ids.size();
        m_citationsWritten = written;
        if (m_progress)
            m_progress(written, total, clock.elapsed() > 0 ? double(written) * 1000 / double(clock.elapsed()) : 0);
    }
    for (const CitationTextTable& text : CitationTables::texts())
        if (Error e = copyRest(Schema::table(text.table)))
            return e;
    for (const CitationRowTable& rows : CitationTables::rowTables())
        if (Error e = copyRest(Schema::table(rows.table)))
            return e;
    return {};
}
