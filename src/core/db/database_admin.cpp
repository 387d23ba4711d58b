#include "core/db/database_admin.h"

#include "core/db/db_session.h"

DbError DatabaseAdmin::testLogin(const DbContext& ctx, int timeoutSeconds)
{
    DbSession session(ctx, SqlDialect::Target::Maintenance, timeoutSeconds);
    return session.error();
}

DbError DatabaseAdmin::createDatabase(const DbContext& ctx)
{
    return SqlDialect::forConnection(ctx.connection)->createDatabase(ctx);
}

DbError DatabaseAdmin::dropDatabase(const DbContext& ctx)
{
    return SqlDialect::forConnection(ctx.connection)->dropDatabase(ctx);
}

bool DatabaseAdmin::sameDatabase(const DbContext& a, const DbContext& b)
{
    const auto da = SqlDialect::forConnection(a.connection);
    const auto db = SqlDialect::forConnection(b.connection);
    return da->driverName() == db->driverName() && da->databaseIdentity(a) == db->databaseIdentity(b);
}

DbResult<bool> DatabaseAdmin::sameDatabase(DbSession& a, DbSession& b)
{
    if (a.dialect().driverName() != b.dialect().driverName())
        return false;
    const DbResult<QString> ia = a.dialect().databaseIdentity(a);
    if (!ia)
        return ia.error();
    const DbResult<QString> ib = b.dialect().databaseIdentity(b);
    if (!ib)
        return ib.error();
    return *ia == *ib;
}

DbResult<QStringList> DatabaseAdmin::userTables(DbSession& session)
{
    DbResult<QSqlQuery> q = session.query(session.dialect().userTablesQuery());
    if (!q)
        return q.error();
    QStringList names;
    while (q->next())
        names << q->value(0).toString();
    return names;
}

DbError DatabaseAdmin::dropTempTables(DbSession& session, QStringList* dropped)
{
    const DbResult<QStringList> found = userTables(session);
    if (!found)
        return found.error();
    for (const QString& wanted : {QStringLiteral("tmp_case_master"), QStringLiteral("tmp_master_tbl")}) {
        for (const QString& name : *found) {
            if (name.toLower() != wanted)
                continue;
            // Quoted as found, so a table whose name differs in case is dropped too.
            DbResult<int> r = session.execute(QStringLiteral("DROP TABLE ") + session.dialect().quoteIdentifier(name));
            if (!r)
                return r.error();
            if (dropped)
                *dropped << name;
        }
    }
    return {};
}
