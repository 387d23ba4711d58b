#include "core/db/sql_dialect.h"

#include "core/db/postgres_dialect.h"
#include "core/db/sqlite_dialect.h"

std::unique_ptr<SqlDialect> SqlDialect::forConnection(const ConnectionString& connection)
{
    if (connection.isEmbedded())
        return std::make_unique<SqliteDialect>();
    return std::make_unique<PostgresDialect>();
}

QString SqlDialect::createIndexStatement(const QString& name, const QString& table, const QString& column) const
{
    return QStringLiteral("CREATE INDEX %1 ON %2(%3)").arg(quoteIdentifier(name), table, column);
}

int SqlDialect::schemaVersionFrom(const QVariant& stored) const
{
    return stored.toInt();
}
