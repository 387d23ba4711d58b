#include "core/db/database_admin.h"

#include "core/db/db_session.h"
#include "core/db/engine_admin.h"

Error DatabaseAdmin::testLogin(const DbContext& ctx, int timeoutSeconds)
{
    DbSession session(ctx, SqlDialect::Target::Maintenance, timeoutSeconds);
    return session.error();
}

Error DatabaseAdmin::createDatabase(const DbContext& ctx)
{
    return EngineAdmin::forConnection(ctx.connection)->createDatabase(ctx);
}

Error DatabaseAdmin::dropDatabase(const DbContext& ctx)
{
    return EngineAdmin::forConnection(ctx.connection)->dropDatabase(ctx);
}

Error DatabaseAdmin::copyDatabase(const DbContext& from, const DbContext& into)
{
    return EngineAdmin::forConnection(into.connection)->copyDatabase(from, into);
}

Result<bool> DatabaseAdmin::databaseExists(const DbContext& ctx)
{
    return EngineAdmin::forConnection(ctx.connection)->databaseExists(ctx);
}

QString DatabaseAdmin::databaseLocation(const DbContext& ctx)
{
    return EngineAdmin::forConnection(ctx.connection)->databaseLocation(ctx);
}

QString DatabaseAdmin::plainDatabaseName(const DbContext& ctx)
{
    return EngineAdmin::forConnection(ctx.connection)->plainDatabaseName(ctx.connection.database.trimmed());
}

Result<QString> DatabaseAdmin::databaseIdentity(DbSession& session)
{
    return EngineAdmin::forConnection(session.context().connection)->databaseIdentity(session);
}

Result<bool> DatabaseAdmin::isHeldElsewhere(DbSession& session)
{
    return EngineAdmin::forConnection(session.context().connection)->isHeldElsewhere(session);
}

Result<QStringList> DatabaseAdmin::ownDatabases(const DbContext& ctx)
{
    return EngineAdmin::forConnection(ctx.connection)->ownDatabases(ctx);
}

bool DatabaseAdmin::sameDatabase(const DbContext& a, const DbContext& b)
{
    return SqlDialect::forConnection(a.connection)->driverName() ==
               SqlDialect::forConnection(b.connection)->driverName() &&
           EngineAdmin::forConnection(a.connection)->databaseIdentity(a) ==
               EngineAdmin::forConnection(b.connection)->databaseIdentity(b);
}

Result<bool> DatabaseAdmin::sameDatabase(DbSession& a, DbSession& b)
{
    if (a.dialect().driverName() != b.dialect().driverName())
        return false;
    const Result<QString> ia = databaseIdentity(a);
    if (!ia)
        return ia.error();
    const Result<QString> ib = databaseIdentity(b);
    if (!ib)
        return ib.error();
    return *ia == *ib;
}

Result<QStringList> DatabaseAdmin::userTables(DbSession& session)
{
    return session.column<QString>(session.dialect().userTablesQuery());
}

Error DatabaseAdmin::dropTempTables(DbSession& session, QStringList* dropped)
{
    const Result<QStringList> found = userTables(session);
    if (!found)
        return found.error();
    for (const QString& wanted : {QStringLiteral("tmp_case_master"), QStringLiteral("tmp_master_tbl")}) {
        for (const QString& name : *found) {
            if (name.toLower() != wanted)
                continue;
            // Quoted as found, so a table whose name differs in case is dropped too.
            Result<int> r = session.execute(QStringLiteral("DROP TABLE ") + session.dialect().quoteIdentifier(name));
            if (!r)
                return r.error();
            if (dropped)
                *dropped << name;
        }
    }
    return {};
}
