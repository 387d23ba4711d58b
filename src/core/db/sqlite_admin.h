#pragma once

#include "core/db/engine_admin.h"
#include "core/db/sqlite_dialect.h"

// The embedded engine's databases are files, Data/<name>.db below the program's directory (or wherever a full path
// names one).
class SqliteAdmin : public EngineAdmin
{
public:
    QString databaseIdentity(const DbContext& ctx) const override;
    Result<QString> databaseIdentity(DbSession& session) const override;
    Result<bool> isHeldElsewhere(DbSession& session) const override;
    Result<QStringList> ownDatabases(const DbContext& ctx) const override;
    QString databaseLocation(const DbContext& ctx) const override;
    QString plainDatabaseName(const QString& typed) const override;
    Result<bool> databaseExists(const DbContext& ctx) const override;
    Error createDatabase(const DbContext& ctx) const override;
    Error dropDatabase(const DbContext& ctx) const override;
    Error copyDatabase(const DbContext& from, const DbContext& into) const override;

private:
    SqliteDialect m_dialect;
};
