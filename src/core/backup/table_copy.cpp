#include "core/backup/table_copy.h"

#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/sync/row_copier.h"

#include <QSqlQuery>
#include <QStringList>

#include <algorithm>

namespace {
QStringList columnsOf(const TableDef& t)
{
    QStringList names;
    for (const ColumnDef& c : t.columns)
        names << c.name;
    return names;
}
} // namespace

Result<TableCopy::Counts> TableCopy::countRows(DbSession& session)
{
    Counts counts;
    for (const TableDef& t : Schema::allTables()) {
        Result<QSqlQuery> q = session.query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(t.name));
        if (!q)
            return q.error();
        counts.insert(t.name, q->next() ? q->value(0).toLongLong() : 0);
    }
    return counts;
}

Error TableCopy::copyAll(DbSession& from, DbSession& to, const Progress& progress)
{
    const QList<TableDef> tables = Schema::allTables();
    int done = 0;
    for (const TableDef& t : tables) {
        if (progress)
            progress(t.name, done, int(tables.size()));
        const QStringList columns = columnsOf(t);
        const QString key = columns.first();
        const QString select = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 > ? ORDER BY %1 LIMIT %4")
                                   .arg(key, columns.join(QLatin1Char(',')), t.name)
                                   .arg(RowCopier::kPageRows);
        if (Error e = RowCopier::copy(from, select, to, t))
            return e;
        ++done;
    }
    if (progress)
        progress(QString(), done, int(tables.size()));
    return {};
}

Error TableCopy::clearAll(DbSession& session)
{
    QList<TableDef> tables = Schema::allTables();
    std::reverse(tables.begin(), tables.end());
    for (const TableDef& t : tables)
        if (Error e = session.run(QStringLiteral("DELETE FROM ") + t.name))
            return e;
    return {};
}

QString TableCopy::difference(const Counts& expected, const Counts& found)
{
    for (const TableDef& t : Schema::allTables())
        if (expected.value(t.name, -1) != found.value(t.name, -1))
            return QStringLiteral("%1 holds %2 rows instead of %3")
                .arg(t.name)
                .arg(found.value(t.name, -1))
                .arg(expected.value(t.name, -1));
    return {};
}

qint64 TableCopy::total(const Counts& counts)
{
    qint64 sum = 0;
    for (qint64 n : counts)
        sum += n;
    return sum;
}
