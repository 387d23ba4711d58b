#include "core/db/sql_dialect.h"

#include "core/db/postgres_dialect.h"
#include "core/db/sqlite_dialect.h"

std::unique_ptr<SqlDialect> SqlDialect::forConnection(const ConnectionString& connection)
{
    if (connection.isEmbedded())
        return std::make_unique<SqliteDialect>();
    return std::make_unique<PostgresDialect>();
}
