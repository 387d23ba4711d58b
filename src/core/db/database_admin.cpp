#include "core/db/database_admin.h"

#include "core/db/db_connection.h"

#include <QSqlError>
#include <QSqlQuery>

DbError DatabaseAdmin::testLogin(const DbContext& ctx, int timeoutSeconds)
{
    DbConnection conn(ctx, SqlDialect::Target::Maintenance, timeoutSeconds);
    return conn.error();
}

DbError DatabaseAdmin::tryOpen(const DbContext& ctx, int timeoutSeconds)
{
    DbConnection conn(ctx, SqlDialect::Target::Catalog, timeoutSeconds);
    return conn.error();
}

DbError DatabaseAdmin::createDatabase(const DbContext& ctx)
{
    return SqlDialect::forConnection(ctx.connection)->createDatabase(ctx);
}

DbError DatabaseAdmin::dropDatabase(const DbContext& ctx)
{
    return SqlDialect::forConnection(ctx.connection)->dropDatabase(ctx);
}

QStringList DatabaseAdmin::userTables(const DbContext& ctx, DbError* error)
{
    QStringList names;
    DbConnection conn(ctx);
    if (!conn.isOpen()) {
        if (error)
            *error = conn.error();
        return names;
    }
    QSqlQuery q(conn.db());
    q.setForwardOnly(true);
    if (!q.exec(conn.dialect().userTablesQuery())) {
        if (error)
            *error = DbError::fromSql(q.lastError());
        return names;
    }
    while (q.next())
        names << q.value(0).toString();
    return names;
}

DbError DatabaseAdmin::dropTempTables(const DbContext& ctx, QStringList* dropped)
{
    DbConnection conn(ctx);
    if (!conn.isOpen())
        return conn.error();
    QStringList found;
    {
        QSqlQuery q(conn.db());
        q.setForwardOnly(true);
        if (!q.exec(conn.dialect().userTablesQuery()))
            return DbError::fromSql(q.lastError());
        while (q.next())
            found << q.value(0).toString();
    }
    for (const QString& wanted : {QStringLiteral("tmp_case_master"), QStringLiteral("tmp_master_tbl")}) {
        for (const QString& name : found) {
            if (name.toLower() != wanted)
                continue;
            // Quoted as found, so a table whose name differs in case is dropped too.
            QSqlQuery q(conn.db());
            if (!q.exec(QStringLiteral("DROP TABLE ") + conn.dialect().quoteIdentifier(name)))
                return DbError::fromSql(q.lastError());
            if (dropped)
                *dropped << name;
        }
    }
    return {};
}
