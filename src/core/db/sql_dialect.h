#pragma once

#include "core/db/connection_string.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class QSqlDatabase;
struct DbContext;

// One column of a schema table as the system defines it: type text as written, nullability as written.
struct ColumnDef {
    QString name;
    QString type;        // "INTEGER", "VARCHAR(255)", "DATETIME"
    QString nullability; // "NULL", "NOT NULL" or empty
    bool primaryKey = false;
    int maxLength = 0; // for VARCHAR
};

struct ForeignKeyDef {
    QString table;
    QString name;
    QString column;
    QString refTable;
    QString refColumn;
};

struct TableDef {
    QString name;
    QList<ColumnDef> columns;
};

// The trigram index of one searched text column.
struct SearchIndexDef {
    QString name;          // search_judgment
    QString table;         // cm_judgment_master
    QString column;        // judgment
    QString key;           // id; case_id for case_master
    bool longText = false; // one of the six long texts of a citation
};

class DbSession;

// What differs between the embedded engine and a PostgreSQL server in connecting to a database and talking to it:
// the connection's set-up, the statements, locks and session settings, the schema version and the search index.
// Administering databases (making, copying, dropping them) is EngineAdmin's. Nothing outside db/ asks which engine
// it is on.
class SqlDialect
{
public:
    // ReadOnlyCatalog: a database of ours that this connection must not change (a colleague's, read for a merge).
    enum class Target { Catalog, Maintenance, ReadOnlyCatalog };

    virtual ~SqlDialect() = default;

    static std::unique_ptr<SqlDialect> forConnection(const ConnectionString& connection);

    virtual QString driverName() const = 0;
    // Sets up a not-yet-open connection. Maintenance names no database of ours.
    virtual void configure(QSqlDatabase& db, const DbContext& ctx, Target target, int timeoutSeconds) const = 0;
    // Runs right after a successful open.
    virtual Error prepare(QSqlDatabase& db) const = 0;
    // A reason the connection cannot even be attempted (folder not writable, no such file), or none.
    virtual Error precheck(const DbContext& ctx, Target target, int timeoutSeconds) const = 0;
    // Tells what kind of failure a refused open was (an unreachable server, say).
    virtual Error classifyOpenFailure(const DbContext& ctx, Error error, int timeoutSeconds) const = 0;

    virtual QString quoteIdentifier(const QString& name) const = 0;
    virtual QString createTableStatement(const TableDef& table, const QList<ForeignKeyDef>& keys) const = 0;
    // A table of a scratch database: no foreign keys, and nothing of it need survive a crash.
    virtual QString createScratchTableStatement(const TableDef& table) const { return createTableStatement(table, {}); }
    // Empty where the engine declares the key inside CREATE TABLE instead.
    virtual QString addForeignKeyStatement(const ForeignKeyDef& key) const = 0;
    virtual QString userTablesQuery() const = 0;
    // The names of the indexes on the user tables, one row each.
    virtual QString userIndexesQuery() const = 0;
    // Every foreign key of the user tables, one row per key: table, column, referenced table, referenced column.
    virtual QString foreignKeysQuery() const = 0;
    // Run right after opening a ReadOnlyCatalog connection; empty where the open itself made it read-only.
    virtual QString readOnlyStatement() const { return {}; }
    // Whether a refused open was the server turning the login (user name or password) down.
    virtual bool isLoginRefusal(const Error& error) const
    {
        Q_UNUSED(error)
        return false;
    }
    // How many values one statement that writes many rows should bind: where each statement costs a round trip,
    // many; where the driver looks every value up among all of them, few.
    virtual int boundValuesPerStatement() const = 0;
    // A statement that writes many rows of `table` (every column, in order) at once, with one bound value per
    // column holding that column's values of all the rows (bulkInsertValues()); empty where the engine takes rows
    // of bound values (boundValuesPerStatement()) best.
    virtual QString bulkInsertStatement(const TableDef&) const { return {}; }
    // The values of bulkInsertStatement() for `rows`: table.columns.size() values a row, one row after another.
    virtual QVariantList bulkInsertValues(const TableDef&, const QVariantList&) const { return {}; }
    // Session settings for a scratch database, thrown away after use: nothing of it need survive a crash.
    virtual QStringList scratchSessionStatements() const = 0;
    // Session settings for writing many rows in one transaction; they never weaken what a commit guarantees.
    virtual QStringList bulkWriteStatements() const = 0;
    // Makes nothing where the index is there already.
    virtual QString createIndexStatement(const QString& name, const QString& table, const QString& column) const;

    // Starts a write transaction. Where the engine locks the whole database, it takes the write lock at once, so
    // that two writers queue instead of failing halfway.
    virtual QString beginWriteStatement() const = 0;
    // Keeps other writers out of one table for the rest of the transaction; empty where begin already did.
    virtual QString lockTableStatement(const QString& table) const = 0;

    // The schema version the database records: the query returns it in its first column of its only row, null
    // or 0 when none was ever recorded (or a copy made by the engine's own tools lost it). Version 0 records none.
    virtual QString schemaVersionQuery() const = 0;
    virtual QString setSchemaVersionStatement(const DbContext& ctx, int version) const = 0;
    virtual int schemaVersionFrom(const QVariant& stored) const;

    // The search index. What it holds of a text is the text with the few letters whose capitals are spelled
    // with plain letters (sharp s, dotless i, the ligatures...) spelled out in small letters, so that a search
    // that ignores letter case finds "STRASSE" in "Straße" through the index too.
    static const QList<QPair<QChar, QString>>& searchSpellings();
    // That text as an SQL expression of a column reference; the same on both engines.
    static QString searchIndexedText(const QString& columnRef);
    // Makes the indexes of the given columns and indexes the rows already there, in the caller's transaction.
    // Where the engine cannot have them, it leaves them out: the search then reads the rows instead. An index
    // that is there whole already is left as it is.
    virtual Error createSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const = 0;
    // Makes the search indexes of a database again where the index's definition has changed on this engine.
    virtual Error renewSearchIndexes(DbSession&, const QList<SearchIndexDef>&) const { return {}; }
    // Stores the long texts of the given indexes as the search reads them quickest, and indexes them again, where
    // the engine stores them otherwise.
    virtual Error renewSearchedTextStorage(DbSession&, const QList<SearchIndexDef>&) const { return {}; }
    // What the catalogue holds of the given search indexes: not all of them (or not every piece of one), all of
    // them but some in the first form the program made, some in the second form, or all of them as
    // createSearchIndexes() makes them with their texts stored as renewSearchedTextStorage() leaves them.
    enum class SearchIndexState { Incomplete, FirstForm, SecondForm, Current };
    virtual Result<SearchIndexState> searchIndexState(DbSession& session,
                                                      const QList<SearchIndexDef>& indexes) const = 0;
    // A condition true for at least every row (key keyExpr) whose indexed text contains each of the segments,
    // ignoring letter case; it takes searchCandidateValues() as its values.
    virtual QString searchCandidateCondition(const SearchIndexDef& index, const QString& keyExpr,
                                             int segments) const = 0;
    virtual QVariantList searchCandidateValues(const QStringList& segments) const = 0;
    // A query of one row and one column, true when the engine's case folding of plain letters is the plain one
    // (a locale may fold 'I' to a dotless i); empty when it always is.
    virtual QString searchFoldProbeQuery() const { return {}; }
    // Whether a search for the first of `letters` finds each of them through the index, letter case folded as
    // the index does it (IndexSegments::sameInCapitals gives them); false where the engine cannot tell.
    virtual Result<bool> searchFoldsAlike(DbSession&, const QString&) const { return false; }
    // Where the engine's own case-blind test of a text (the condition searchCandidateCondition() makes) is exactly
    // the program's, for a plain ASCII search text that ignores letter case and may stand anywhere: a condition
    // true of the texts for which it is (a text of ASCII alone, say). Empty where the engine offers none, and the
    // program then tests every candidate itself.
    virtual QString searchPlainTextCondition(const QString&) const { return {}; }
    // The first `length` characters of a text, as much as "Found in" needs of one.
    virtual QString searchTextPrefix(const QString&, int) const { return {}; }
    // "column is one of a list of keys", the list bound as one value (keyListValue): binding thousands of values
    // one by one costs the driver far more than the statement itself.
    virtual QString keyListCondition(const QString& column) const = 0;
    virtual QVariant keyListValue(const QList<qint64>& keys) const = 0;
    static QString joinedKeys(const QList<qint64>& keys); // "1,2,3"
    // A text column as the search reads it to test it: the text itself, or its UTF-8 bytes where the engine
    // hands those out without converting them.
    virtual QString searchTextExpression(const QString& column) const { return column; }
    // The year and month of a date column as text "yyyy-MM".
    virtual QString yearMonthExpression(const QString& column) const = 0;
    // Around a write of many rows inside one transaction: lets the engine take the search index's entries in one
    // go instead of row by row. The end must run in the same transaction; where there is nothing to gain, both do
    // nothing.
    virtual Error beginBulkIndexedWrite(DbSession&, const QList<SearchIndexDef>&) const { return {}; }
    virtual Error endBulkIndexedWrite(DbSession&, const QList<SearchIndexDef>&) const { return {}; }
    // Around a fill of many rows in many transactions of its own, into a database nobody else writes meanwhile (a
    // benchmark's, a test's): the engine may leave the search index alone while it fills and index everything in
    // one go at the end. End takes what begin returned, and runs after a failed fill too, so that the rows already
    // committed are indexed all the same.
    struct BulkFill {
        QStringList statements; // what end runs again, as the database stored it
        QStringList indexes;    // the indexes end makes again from their rows
    };
    virtual Result<BulkFill> beginBulkFill(DbSession& session, const QList<SearchIndexDef>& indexes) const;
    virtual Error endBulkFill(DbSession& session, const BulkFill& fill, const QList<SearchIndexDef>& indexes) const;
    // Session settings that give the database the engine's write-ahead journal, kept in it for later sessions;
    // empty where the engine always has one. The program keeps the plain journal (a database file copied while it
    // runs would lack what is still in its write-ahead file); the benchmarks measure the difference.
    virtual QStringList writeAheadJournalStatements() const { return {}; }
    // Statements that bring a database just filled in bulk to where one that has run a while would be, so that
    // what is timed next is not the engine catching up: a server analyses the tables and writes its dirty pages
    // out. Empty where there is nothing to catch up.
    virtual QStringList settleStatements() const { return {}; }

    // Backups and the database check.
    // Starts a transaction that reads one unchanging state of the whole database while others write.
    virtual QString beginSnapshotStatement() const = 0;
    // A statement that writes a whole, consistent copy of the database into an empty file (bound value: the file's
    // path), or empty where the engine has none.
    virtual QString copyIntoFileStatement() const { return {}; }
    // The engine's own check of its storage: a query whose rows are the problems found, or one row "ok"; empty where
    // the engine offers none to its users.
    virtual QString integrityCheckQuery() const { return {}; }
    // The column names of one table (bound value: the table's name), one row each.
    virtual QString tableColumnsQuery() const = 0;
    // How far one search index and its text disagree: rows of the text the index cannot find, and entries of the
    // index whose row is gone. Nothing to count where the engine keeps the index itself.
    struct SearchIndexGaps {
        qint64 unindexed = 0;
        qint64 stray = 0;
    };
    virtual Result<SearchIndexGaps> searchIndexGaps(DbSession&, const SearchIndexDef&) const
    {
        return SearchIndexGaps{};
    }
    // Makes every search index again from its rows (and whatever piece of one is missing), in the caller's
    // transaction.
    virtual Error rebuildSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const = 0;
};
