#pragma once

#include "core/db/engine_admin.h"
#include "core/db/postgres_dialect.h"

// A PostgreSQL server's databases, made, copied and dropped through its maintenance database "postgres".
class PostgresAdmin : public EngineAdmin
{
public:
    QString databaseIdentity(const DbContext& ctx) const override;
    DbResult<QString> databaseIdentity(DbSession& session) const override;
    DbResult<bool> isHeldElsewhere(DbSession& session) const override;
    DbResult<QStringList> ownDatabases(const DbContext& ctx) const override;
    QString databaseLocation(const DbContext& ctx) const override;
    bool databaseExists(const DbContext& ctx, DbError* error) const override;
    DbError createDatabase(const DbContext& ctx) const override;
    DbError dropDatabase(const DbContext& ctx) const override;
    DbError copyDatabase(const DbContext& from, const DbContext& into) const override;

private:
    PostgresDialect m_dialect;
};
