#include "support/db/planted_faults.h"

#include "core/db/db_session.h"

#include <QSqlQuery>

Error PlantedFaults::dropSearchEntry(DbSession& session, const SearchIndexDef& index, qint64 key)
{
    if (session.dialect().driverName() == QLatin1String("QSQLITE")) {
        // The index's own delete command, given the text it holds of the row.
        return session.run(QStringLiteral("INSERT INTO %1(%1, rowid, t) SELECT 'delete', k, t FROM %1_text WHERE k = ?")
                               .arg(index.name),
                           {key});
    }
    // The server keeps its index whole; what can be lost is the index itself.
    Q_UNUSED(key)
    return session.run(QStringLiteral("DROP INDEX ") + index.name);
}

Error PlantedFaults::insertBrokenLink(DbSession& session, const QString& insertStatement, const QString& table,
                                      const QString& column)
{
    if (session.dialect().driverName() == QLatin1String("QSQLITE")) {
        if (Error e = session.run(QStringLiteral("PRAGMA foreign_keys = OFF")))
            return e;
        const Error e = session.run(insertStatement);
        session.run(QStringLiteral("PRAGMA foreign_keys = ON"));
        return e;
    }
    // The key's constraint goes, as a tool that restores rows without their keys leaves a database.
    Result<QSqlQuery> q =
        session.query(QStringLiteral("SELECT c.conname FROM pg_constraint c JOIN pg_class t ON t.oid = c.conrelid "
                                     "JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = c.conkey[1] "
                                     "WHERE c.contype = 'f' AND t.relname = ? AND a.attname = ?"),
                      {table, column});
    if (!q)
        return q.error();
    if (!q->next())
        return Error::other(QStringLiteral("no foreign key on %1.%2").arg(table, column));
    const QString name = q->value(0).toString();
    if (Error e = session.run(QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT \"%2\"").arg(table, name)))
        return e;
    return session.run(insertStatement);
}
