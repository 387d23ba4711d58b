#include "core/db/shared_data.h"

#include "core/db/db_session.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlRecord>

namespace {
Error badName(const QString& name)
{
    return Error::other(QStringLiteral("Invalid table or column name: %1").arg(name));
}

// The column names of a table, in order, without reading its rows.
Result<QStringList> columnsOf(DbSession& session, const QString& table)
{
    Result<QSqlQuery> q = session.query(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1 = 0"));
    if (!q)
        return q.error();
    QStringList names;
    const QSqlRecord r = q->record();
    for (int i = 0; i < r.count(); ++i)
        names << r.fieldName(i);
    return names;
}

Result<QString> resolve(const ColumnRef& ref, const QStringList& columns)
{
    if (ref.position >= 0) {
        if (ref.position < columns.size())
            return columns.at(ref.position);
        return Error::other(QStringLiteral("Column %1 does not exist.").arg(ref.position));
    }
    if (!SharedData::isPlainIdentifier(ref.name))
        return badName(ref.name);
    return ref.name;
}
} // namespace

bool SharedData::isPlainIdentifier(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(name).hasMatch();
}

Result<qint64> SharedData::getNextId(DbSession& session, const QString& table)
{
    if (!isPlainIdentifier(table))
        return badName(table);
    if (session.inTransaction())
        if (Error e = session.lockForWrite(table.toLower()))
            return e;
    Result<QStringList> columns = columnsOf(session, table);
    if (!columns)
        return columns.error();
    if (columns->isEmpty())
        return badName(table);
    // The key is the first column: id, or case_id for case_master.
    Result<QSqlQuery> q =
        session.query(QStringLiteral("SELECT MAX(") + columns->first() + QStringLiteral(") FROM ") + table);
    if (!q)
        return q.error();
    if (!q->next())
        return Error::other(QStringLiteral("No answer for the largest key of %1.").arg(table));
    if (q->value(0).isNull())
        return qint64(1);
    return q->value(0).toLongLong() + 1;
}

Result<QVariant> SharedData::getFieldById(DbSession& session, const QString& table, const ColumnRef& keyColumn,
                                          const QVariant& keyValue, const ColumnRef& resultColumn)
{
    if (!isPlainIdentifier(table))
        return badName(table);
    QStringList columns;
    if (keyColumn.position >= 0 || resultColumn.position >= 0) {
        Result<QStringList> found = columnsOf(session, table);
        if (!found)
            return found.error();
        columns = *found;
    }
    const Result<QString> key = resolve(keyColumn, columns);
    if (!key)
        return key.error();
    const Result<QString> result = resolve(resultColumn, columns);
    if (!result)
        return result.error();
    Result<QSqlQuery> q = session.query(QStringLiteral("SELECT ") + *result + QStringLiteral(" FROM ") + table +
                                            QStringLiteral(" WHERE ") + *key + QStringLiteral(" = ?"),
                                        {keyValue});
    if (!q)
        return q.error();
    if (!q->next())
        return QVariant();
    return q->value(0);
}

QString SharedData::exportFileName(const QString& chosen)
{
    if (chosen.trimmed().isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(chosen)).absoluteFilePath());
}
