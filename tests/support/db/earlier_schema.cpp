#include "support/db/earlier_schema.h"

#include "core/db/db_session.h"
#include "core/db/sql_dialect.h"
#include "support/test_database.h"

Error EarlierSchema::makeVersionThreeSearchIndex(DbSession& session, const SearchIndexDef& index)
{
    if (!TestDatabase::isPostgres())
        return {};
    for (const QString& sql : {QStringLiteral("DROP INDEX ") + index.name,
                               QStringLiteral("CREATE INDEX %1 ON %2 USING gin ((%3) gin_trgm_ops)")
                                   .arg(index.name, index.table, SqlDialect::searchIndexedText(index.column))}) {
        const Result<int> r = session.execute(sql);
        if (!r)
            return r.error();
    }
    return {};
}
