#include "support/db/earlier_schema.h"

#include "core/db/db_session.h"
#include "core/db/sql_dialect.h"
#include "support/test_database.h"

#include <QSqlQuery>

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

Error EarlierSchema::makeVersionFourTextStorage(DbSession& session, const SearchIndexDef& index)
{
    if (!TestDatabase::isPostgres())
        return {};
    QString letters;
    for (const auto& [letter, spelled] : SqlDialect::searchSpellings())
        letters += letter;
    const QString& c = index.column;
    const QString secondForm =
        QStringLiteral("(CASE WHEN %1 ~ '[%2]' THEN %3 ELSE %1 END)").arg(c, letters, SqlDialect::searchIndexedText(c));
    for (const QString& sql :
         {QStringLiteral("DROP INDEX ") + index.name,
          QStringLiteral("ALTER TABLE %1 RESET (toast_tuple_target), ALTER COLUMN %2 SET STORAGE EXTENDED, "
                         "ALTER COLUMN %2 TYPE varchar(7900) USING %2 || ''")
              .arg(index.table, c),
          QStringLiteral("CREATE INDEX %1 ON %2 USING gin ((%3) gin_trgm_ops) WITH (fastupdate = off)")
              .arg(index.name, index.table, secondForm)}) {
        const Result<int> r = session.execute(sql);
        if (!r)
            return r.error();
    }
    return {};
}

Result<bool> EarlierSchema::holdsCompressedTexts(DbSession& session, const SearchIndexDef& index)
{
    if (!TestDatabase::isPostgres())
        return false;
    Result<QSqlQuery> q =
        session.query(QStringLiteral("SELECT COALESCE(bool_or(pg_column_size(%1) < octet_length(%1)), false) FROM %2")
                          .arg(index.column, index.table));
    if (!q)
        return q.error();
    return q->next() && q->value(0).toBool();
}
