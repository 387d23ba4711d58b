#include "sql_dialect.h"

#include "postgres_dialect.h"
#include "sqlite_dialect.h"

std::unique_ptr<SqlDialect> SqlDialect::forConnection(const ConnectionString& connection)
{
    if (connection.isEmbedded())
        return std::make_unique<SqliteDialect>();
    return std::make_unique<PostgresDialect>();
}
