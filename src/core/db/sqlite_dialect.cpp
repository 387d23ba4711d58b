#include "core/db/sqlite_dialect.h"

#include "core/db/db_context.h"
#include "core/db/db_session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

namespace {
const QChar kCr(13);

QString columnPiece(const SqliteDialect& d, const ColumnDef& c)
{
    QString piece = c.name + QLatin1Char(' ') + c.type;
    if (c.primaryKey)
        piece += QStringLiteral(" PRIMARY KEY");
    else if (!c.nullability.isEmpty())
        piece += QLatin1Char(' ') + c.nullability;
    // The engine does not enforce VARCHAR lengths by itself.
    if (c.maxLength > 0)
        piece += QStringLiteral(" CHECK (length(%1) <= %2)").arg(d.quoteIdentifier(c.name)).arg(c.maxLength);
    return piece;
}

// A folder made here is its owner's only; one that is there already keeps whatever mode it was given.
bool makeDataFolder(const QString& dir)
{
    if (QFileInfo(dir).isDir())
        return true;
    const QFileInfo folder(dir);
    if (!QDir().mkpath(folder.absolutePath()))
        return false;
    return QDir().mkdir(dir, SqliteDialect::kOwnerOnly | QFile::ExeOwner) || QFileInfo(dir).isDir();
}
} // namespace

QString SqliteDialect::databaseFile(const DbContext& ctx)
{
    // A colleague's database may be named by the full path of its file, wherever it lies.
    const QString name = ctx.connection.database.trimmed();
    if (QDir::isAbsolutePath(name))
        return name;
    return ctx.dataDir() + QLatin1Char('/') + ctx.connection.database.trimmed() + QStringLiteral(".db");
}

QString SqliteDialect::driverName() const
{
    return QStringLiteral("QSQLITE");
}

void SqliteDialect::configure(QSqlDatabase& db, const DbContext& ctx, Target target, int timeoutSeconds) const
{
    db.setDatabaseName(target == Target::Maintenance ? QStringLiteral(":memory:") : databaseFile(ctx));
    Q_UNUSED(timeoutSeconds)
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
    if (target == Target::ReadOnlyCatalog)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
}

Error SqliteDialect::prepare(QSqlDatabase& db) const
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA foreign_keys = ON")))
        return Error::fromSql(q.lastError());
    return {};
}

Error SqliteDialect::precheck(const DbContext& ctx, Target target, int) const
{
    if (target == Target::Maintenance) {
        // No server login here: the "login" is being able to write the data folder.
        if (!makeDataFolder(ctx.dataDir()))
            return Error::other(QStringLiteral("Cannot create the data folder %1.").arg(ctx.dataDir()));
        QTemporaryFile probe(ctx.dataDir() + QStringLiteral("/.probe-XXXXXX"));
        if (!probe.open())
            return Error::other(QStringLiteral("Cannot write to the data folder %1.").arg(ctx.dataDir()));
        return {};
    }
    // Opening a missing file would create an empty database behind the user's back.
    if (!QFileInfo::exists(databaseFile(ctx)))
        return Error::other(
            QStringLiteral("Cannot open database \"%1\": it does not exist.").arg(ctx.connection.database.trimmed()));
    return {};
}

Error SqliteDialect::classifyOpenFailure(const DbContext&, Error error, int) const
{
    return error;
}

QString SqliteDialect::quoteIdentifier(const QString& name) const
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString SqliteDialect::createTableStatement(const TableDef& table, const QList<ForeignKeyDef>& keys) const
{
    // The engine has no ALTER TABLE ... ADD CONSTRAINT, so the keys go inside the table.
    QStringList pieces;
    for (const ColumnDef& c : table.columns)
        pieces << columnPiece(*this, c);
    for (const ForeignKeyDef& k : keys)
        pieces << QStringLiteral("CONSTRAINT %1 FOREIGN KEY(%2) REFERENCES %3(%4)")
                      .arg(quoteIdentifier(k.name), k.column, k.refTable, k.refColumn);
    return QStringLiteral("CREATE TABLE ") + table.name + QLatin1Char('(') + kCr + pieces.join(QLatin1Char(',') + kCr) +
           kCr + QLatin1Char(')');
}

QString SqliteDialect::addForeignKeyStatement(const ForeignKeyDef&) const
{
    return {};
}

QStringList SqliteDialect::scratchSessionStatements() const
{
    // No journal at all: a failure anywhere ends the run, and the file is dropped without being read again. The
    // lock of its first write is kept until the connection closes, so that others can tell it is in use.
    return QStringList{QStringLiteral("PRAGMA synchronous = OFF"), QStringLiteral("PRAGMA journal_mode = OFF"),
                       QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")} +
           bulkWriteStatements();
}

QStringList SqliteDialect::bulkWriteStatements() const
{
    // A large transaction that outgrows the page cache writes pages out and reads them back before the commit.
    return {QStringLiteral("PRAGMA cache_size = -131072")};
}

int SqliteDialect::boundValuesPerStatement() const
{
    // No round trips here, while the driver looks every bound value up among all of a statement's.
    return 32;
}

QString SqliteDialect::userTablesQuery() const
{
    // Plain tables only: the search index's virtual tables and the engine's tables behind them are not ours to
    // list, copy or drop.
    return QStringLiteral("SELECT name FROM pragma_table_list WHERE schema = 'main' AND type = 'table' AND "
                          "name NOT LIKE 'sqlite!_%' ESCAPE '!'");
}

QString SqliteDialect::userIndexesQuery() const
{
    return QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'");
}

QString SqliteDialect::foreignKeysQuery() const
{
    return QStringLiteral("SELECT m.name, k.\"from\", k.\"table\", k.\"to\" FROM sqlite_master m, "
                          "pragma_foreign_key_list(m.name) k WHERE m.type = 'table'");
}

QStringList SqliteDialect::writeAheadJournalStatements() const
{
    return {QStringLiteral("PRAGMA journal_mode = WAL")};
}

QString SqliteDialect::beginWriteStatement() const
{
    return QStringLiteral("BEGIN IMMEDIATE");
}

QString SqliteDialect::lockTableStatement(const QString&) const
{
    return {}; // BEGIN IMMEDIATE holds the database's write lock already
}

QString SqliteDialect::schemaVersionQuery() const
{
    return QStringLiteral("PRAGMA user_version");
}

QString SqliteDialect::setSchemaVersionStatement(const DbContext&, int version) const
{
    return QStringLiteral("PRAGMA user_version = %1").arg(version);
}

namespace {
// The engine's objects that make one search index: its external-content view, the index itself and the three
// triggers that keep it up to date.
QStringList searchIndexObjects(const SearchIndexDef& x)
{
    return {QStringLiteral("view:%1_text").arg(x.name), QStringLiteral("table:%1").arg(x.name),
            QStringLiteral("trigger:%1_ai").arg(x.name), QStringLiteral("trigger:%1_ad").arg(x.name),
            QStringLiteral("trigger:%1_au").arg(x.name)};
}

Result<QStringList> presentSearchObjects(DbSession& session)
{
    Result<QSqlQuery> q = session.query(
        QStringLiteral("SELECT type || ':' || name FROM sqlite_master WHERE name LIKE 'search!_%' ESCAPE '!'"));
    if (!q)
        return q.error();
    QStringList present;
    while (q->next())
        present << q->value(0).toString();
    return present;
}

bool isWhole(const SearchIndexDef& x, const QStringList& present)
{
    for (const QString& object : searchIndexObjects(x))
        if (!present.contains(object))
            return false;
    return true;
}
} // namespace

Error SqliteDialect::createSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    // A copy restored from the engine's own dump holds some or all of it already.
    const Result<QStringList> present = presentSearchObjects(session);
    if (!present)
        return present.error();
    for (const SearchIndexDef& x : indexes) {
        if (isWhole(x, *present))
            continue;
        const QString view = x.name + QStringLiteral("_text");
        const QString insertNew = QStringLiteral("INSERT INTO %1(rowid, t) VALUES (new.%2, %3);")
                                      .arg(x.name, x.key, searchIndexedText(QStringLiteral("new.") + x.column));
        const QString deleteOld = QStringLiteral("INSERT INTO %1(%1, rowid, t) VALUES ('delete', old.%2, %3);")
                                      .arg(x.name, x.key, searchIndexedText(QStringLiteral("old.") + x.column));
        // External content read through a view, so that the index and what it was made from always agree,
        // and the engine's own rebuild and integrity check work on it. Whatever piece was missing, the rebuild
        // makes the index agree with the rows again.
        const QStringList statements{
            QStringLiteral("CREATE VIEW IF NOT EXISTS %1 AS SELECT %2 AS k, %3 AS t FROM %4")
                .arg(view, x.key, searchIndexedText(x.column), x.table),
            QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS %1 USING fts5(t, content='%2', content_rowid='k', "
                           "tokenize='trigram')")
                .arg(x.name, view),
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_ai AFTER INSERT ON %2 BEGIN %3 END")
                .arg(x.name, x.table, insertNew),
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_ad AFTER DELETE ON %2 BEGIN %3 END")
                .arg(x.name, x.table, deleteOld),
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_au AFTER UPDATE OF %2, %3 ON %4 BEGIN %5 %6 END")
                .arg(x.name, x.column, x.key, x.table, deleteOld, insertNew),
            QStringLiteral("INSERT INTO %1(%1) VALUES ('rebuild')").arg(x.name),
        };
        for (const QString& statement : statements) {
            Result<int> r = session.execute(statement);
            if (!r)
                return r.error();
        }
    }
    return {};
}

Result<SqlDialect::SearchIndexState> SqliteDialect::searchIndexState(DbSession& session,
                                                                     const QList<SearchIndexDef>& indexes) const
{
    const Result<QStringList> present = presentSearchObjects(session);
    if (!present)
        return present.error();
    for (const SearchIndexDef& x : indexes)
        if (!isWhole(x, *present))
            return SearchIndexState::Incomplete;
    return SearchIndexState::Current; // made the same way since it was first made
}

QString SqliteDialect::searchCandidateCondition(const SearchIndexDef& index, const QString& keyExpr, int) const
{
    return QStringLiteral("%1 IN (SELECT rowid FROM %2 WHERE %2 MATCH ?)").arg(keyExpr, index.name);
}

QVariantList SqliteDialect::searchCandidateValues(const QStringList& segments) const
{
    // Each segment one phrase of trigrams: found where the text holds it, letter case folded by the index.
    QStringList phrases;
    for (QString segment : segments)
        phrases << QLatin1Char('"') + segment.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return {phrases.join(QStringLiteral(" AND "))};
}

QString SqliteDialect::searchTextExpression(const QString& column) const
{
    // As stored (UTF-8): the driver would otherwise have the engine convert every long text to UTF-16 first.
    return QStringLiteral("CAST(%1 AS BLOB)").arg(column);
}

Result<bool> SqliteDialect::searchFoldsAlike(DbSession& session, const QString& letters) const
{
    // The trigram index folds letters by the engine's own table, which only the index itself can be asked about:
    // a probe index of the connection's own (temporary: nothing of it reaches the database file).
    if (letters.isEmpty())
        return false;
    for (const QString& statement :
         {QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS temp.lexorium_fold_probe USING fts5(t, "
                         "tokenize='trigram')"),
          QStringLiteral("DELETE FROM temp.lexorium_fold_probe")})
        if (Error e = session.run(statement))
            return e;
    for (QChar letter : letters)
        if (Error e = session.run(QStringLiteral("INSERT INTO temp.lexorium_fold_probe(t) VALUES (?)"),
                                  {QLatin1Char('a') + QString(letter) + QLatin1Char('b')}))
            return e;
    Result<QSqlQuery> q =
        session.query(QStringLiteral("SELECT count(*) FROM temp.lexorium_fold_probe WHERE lexorium_fold_probe MATCH ?"),
                      {QStringLiteral("\"a") + letters[0] + QStringLiteral("b\"")});
    if (!q)
        return q.error();
    return q->next() && q->value(0).toInt() == letters.size();
}

QString SqliteDialect::keyListCondition(const QString& column) const
{
    return QStringLiteral("%1 IN (SELECT value FROM json_each(?))").arg(column);
}

QVariant SqliteDialect::keyListValue(const QList<qint64>& keys) const
{
    // A JSON array, taken apart by the engine's own table function.
    return QLatin1Char('[') + joinedKeys(keys) + QLatin1Char(']');
}

QString SqliteDialect::yearMonthExpression(const QString& column) const
{
    return QStringLiteral("substr(%1, 1, 7)").arg(column);
}

// The search index is kept by triggers that cut every text into trigrams row by row. A bulk fill is far quicker
// with them set aside and each index rebuilt in one go afterwards; the triggers come back exactly as they were
// stored, so the database ends as the store would leave it.
Result<SqlDialect::BulkFill> SqliteDialect::beginBulkFill(DbSession& session, const QList<SearchIndexDef>&) const
{
    BulkFill saved;
    const Error e = inTransaction(session, [&]() -> Error {
        Result<QSqlQuery> q = session.query(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = "
                                                           "'trigger' AND name LIKE ? ESCAPE '!' ORDER BY name"),
                                            {QStringLiteral("search!_%")});
        if (!q)
            return q.error();
        QStringList names;
        while (q->next()) {
            names << q->value(0).toString();
            saved.statements << q->value(1).toString();
        }
        for (const QString& name : names) {
            Result<int> r = session.execute(QStringLiteral("DROP TRIGGER ") + quoteIdentifier(name));
            if (!r)
                return r.error();
        }
        Result<QSqlQuery> tables =
            session.query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                         "AND name LIKE ? ESCAPE '!' AND sql LIKE ? ORDER BY name"),
                          {QStringLiteral("search!_%"), QStringLiteral("%USING fts5%")});
        if (!tables)
            return tables.error();
        while (tables->next())
            saved.indexes << tables->value(0).toString();
        return {};
    });
    if (e)
        return e;
    return saved;
}

Error SqliteDialect::endBulkFill(DbSession& session, const BulkFill& fill, const QList<SearchIndexDef>&) const
{
    return inTransaction(session, [&]() -> Error {
        for (const QString& index : fill.indexes) {
            const QString name = quoteIdentifier(index);
            Result<int> r = session.execute(QStringLiteral("INSERT INTO %1(%1) VALUES ('rebuild')").arg(name));
            if (!r)
                return r.error();
        }
        for (const QString& statement : fill.statements) {
            Result<int> r = session.execute(statement);
            if (!r)
                return r.error();
        }
        return {};
    });
}

QString SqliteDialect::beginSnapshotStatement() const
{
    // The first read takes the shared lock, which keeps every writer's commit out until the end.
    return QStringLiteral("BEGIN DEFERRED");
}

QString SqliteDialect::copyIntoFileStatement() const
{
    return QStringLiteral("VACUUM INTO ?");
}

QString SqliteDialect::integrityCheckQuery() const
{
    return QStringLiteral("PRAGMA integrity_check");
}

QString SqliteDialect::tableColumnsQuery() const
{
    return QStringLiteral("SELECT name FROM pragma_table_info(?)");
}

Result<SqlDialect::SearchIndexGaps> SqliteDialect::searchIndexGaps(DbSession& session,
                                                                   const SearchIndexDef& index) const
{
    // The index keeps one size row per entry; the engine's own integrity check does not compare an external
    // content index with its rows.
    const QString sizes = quoteIdentifier(index.name + QStringLiteral("_docsize"));
    Result<QSqlQuery> present =
        session.query(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?"),
                      {index.name + QStringLiteral("_docsize")});
    if (!present)
        return present.error();
    SearchIndexGaps gaps;
    if (!present->next() || present->value(0).toInt() == 0) {
        Result<QSqlQuery> rows = session.query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(index.table));
        if (!rows)
            return rows.error();
        gaps.unindexed = rows->next() ? rows->value(0).toLongLong() : 0;
        return gaps;
    }
    Result<QSqlQuery> q = session.query(
        QStringLiteral("SELECT (SELECT COUNT(*) FROM %1 t WHERE NOT EXISTS (SELECT 1 FROM %2 d WHERE d.id = t.%3)), "
                       "(SELECT COUNT(*) FROM %2 d WHERE NOT EXISTS (SELECT 1 FROM %1 t WHERE t.%3 = d.id))")
            .arg(index.table, sizes, index.key));
    if (!q)
        return q.error();
    if (q->next()) {
        gaps.unindexed = q->value(0).toLongLong();
        gaps.stray = q->value(1).toLongLong();
    }
    return gaps;
}

Error SqliteDialect::rebuildSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    if (Error e = createSearchIndexes(session, indexes))
        return e;
    for (const SearchIndexDef& x : indexes) {
        Result<int> r =
            session.execute(QStringLiteral("INSERT INTO %1(%1) VALUES ('rebuild')").arg(quoteIdentifier(x.name)));
        if (!r)
            return r.error();
    }
    return {};
}
