#include "core/db/shared_data.h"

#include "core/db/db_connection.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
DbError badName(const QString& name)
{
    return DbError::other(QStringLiteral("Invalid table or column name: %1").arg(name));
}

// The column names of a table, in order, without reading its rows.
QStringList columnsOf(DbConnection& conn, const QString& table, DbError* error)
{
    QSqlQuery q(conn.db());
    if (!q.exec(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1 = 0"))) {
        *error = DbError::fromSql(q.lastError());
        return {};
    }
    QStringList names;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i)
        names << r.fieldName(i);
    return names;
}

QString resolve(const ColumnRef& ref, const QStringList& columns, DbError* error)
{
    if (ref.position >= 0) {
        if (ref.position < columns.size())
            return columns.at(ref.position);
        *error = DbError::other(QStringLiteral("Column %1 does not exist.").arg(ref.position));
        return {};
    }
    if (!SharedData::isPlainIdentifier(ref.name)) {
        *error = badName(ref.name);
        return {};
    }
    return ref.name;
}
} // namespace

bool SharedData::isPlainIdentifier(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(name).hasMatch();
}

std::optional<qint64> SharedData::getNextId(const DbContext& ctx, const QString& table)
{
    if (!isPlainIdentifier(table))
        return std::nullopt;
    DbConnection conn(ctx);
    if (!conn.isOpen())
        return std::nullopt;
    DbError error;
    const QStringList columns = columnsOf(conn, table, &error);
    if (error || columns.isEmpty())
        return std::nullopt;
    // The key is the first column: id, or case_id for case_master.
    QSqlQuery q(conn.db());
    if (!q.exec(QStringLiteral("SELECT MAX(") + columns.first() + QStringLiteral(") FROM ") + table) || !q.next())
        return std::nullopt;
    if (q.value(0).isNull())
        return 1;
    return q.value(0).toLongLong() + 1;
}

QVariant SharedData::getFieldById(const DbContext& ctx, const QString& table, const ColumnRef& keyColumn,
                                  const QVariant& keyValue, const ColumnRef& resultColumn, DbError* error)
{
    DbError local;
    DbError* e = error ? error : &local;
    *e = {};
    if (!isPlainIdentifier(table)) {
        *e = badName(table);
        return {};
    }
    DbConnection conn(ctx);
    if (!conn.isOpen()) {
        *e = conn.error();
        return {};
    }
    QStringList columns;
    if (keyColumn.position >= 0 || resultColumn.position >= 0) {
        columns = columnsOf(conn, table, e);
        if (*e)
            return {};
    }
    const QString key = resolve(keyColumn, columns, e);
    if (*e)
        return {};
    const QString result = resolve(resultColumn, columns, e);
    if (*e)
        return {};

    QSqlQuery q(conn.db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + result + QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE ") + key +
              QStringLiteral(" = ?"));
    q.addBindValue(keyValue);
    if (!q.exec()) {
        *e = DbError::fromSql(q.lastError());
        return {};
    }
    if (!q.next())
        return {};
    return q.value(0);
}

QString SharedData::exportFileName(const QString& chosen)
{
    if (chosen.trimmed().isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(chosen)).absoluteFilePath());
}
