#pragma once

#include "core/db/engine_admin.h"
#include "core/db/postgres_dialect.h"

// A PostgreSQL server's databases, made, copied and dropped through its maintenance database "postgres".
class PostgresAdmin : public EngineAdmin
{
public:
    QString databaseIdentity(const DbContext& ctx) const override;
    Result<QString> databaseIdentity(DbSession& session) const override;
    Result<bool> isHeldElsewhere(DbSession& session) const override;
    Result<QStringList> ownDatabases(const DbContext& ctx) const override;
    QString databaseLocation(const DbContext& ctx) const override;
    Result<bool> databaseExists(const DbContext& ctx) const override;
    Error createDatabase(const DbContext& ctx) const override;
    Error dropDatabase(const DbContext& ctx) const override;
    Error copyDatabase(const DbContext& from, const DbContext& into) const override;

private:
    PostgresDialect m_dialect;
};
