#include "core/db/engine_admin.h"

#include "core/db/postgres_admin.h"
#include "core/db/sqlite_admin.h"

std::unique_ptr<EngineAdmin> EngineAdmin::forConnection(const ConnectionString& connection)
{
    if (connection.isEmbedded())
        return std::make_unique<SqliteAdmin>();
    return std::make_unique<PostgresAdmin>();
}
