#include "core/db/postgres_dialect.h"

#include "core/db/db_context.h"
#include "core/db/db_session.h"
#include "core/db/server_probe.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <utility>

namespace {
const QChar kCr(13);

QString columnPiece(const ColumnDef& c)
{
    QString type = c.type;
    if (type == QLatin1String("DATETIME"))
        type = QStringLiteral("TIMESTAMP");
    QString piece = c.name + QLatin1Char(' ') + type;
    if (c.primaryKey)
        piece += QStringLiteral(" PRIMARY KEY");
    else if (!c.nullability.isEmpty())
        piece += QLatin1Char(' ') + c.nullability;
    return piece;
}

} // namespace

QString PostgresDialect::driverName() const
{
    return QStringLiteral("QPSQL");
}

void PostgresDialect::configure(QSqlDatabase& db, const DbContext& ctx, Target target, int timeoutSeconds) const
{
    const ConnectionString& c = ctx.connection;
    db.setHostName(c.host());
    db.setPort(c.port());
    db.setUserName(c.user.trimmed());
    db.setPassword(c.password.trimmed());
    db.setDatabaseName(target == Target::Maintenance ? QStringLiteral("postgres") : c.database.trimmed());
    db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(timeoutSeconds));
}

Error PostgresDialect::prepare(QSqlDatabase& db) const
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SET client_min_messages TO warning")))
        return Error::fromSql(q.lastError());
    return {};
}

Error PostgresDialect::precheck(const DbContext&, Target, int) const
{
    return {};
}

Error PostgresDialect::classifyOpenFailure(const DbContext& ctx, Error error, int timeoutSeconds) const
{
    // Asked only after a failure, so a working connection costs no extra round trip.
    const QString host = ctx.connection.host();
    if (host.startsWith(QLatin1Char('/')))
        return error; // a socket folder; the client library's own words say it all
    const QString why = ServerProbe::reach(host, ctx.connection.port(), timeoutSeconds);
    if (why.isEmpty())
        return error;
    return {Error::Kind::Unreachable, error.code,
            QStringLiteral("Cannot reach the server %1:%2: %3").arg(host).arg(ctx.connection.port()).arg(why)};
}

QString PostgresDialect::quoteIdentifier(const QString& name) const
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString PostgresDialect::createTableStatement(const TableDef& table, const QList<ForeignKeyDef>&) const
{
    QStringList pieces;
    for (const ColumnDef& c : table.columns)
        pieces << columnPiece(c);
    return QStringLiteral("CREATE TABLE ") + table.name + QLatin1Char('(') + kCr + pieces.join(QLatin1Char(',') + kCr) +
           kCr + QLatin1Char(')');
}

QString PostgresDialect::createScratchTableStatement(const TableDef& table) const
{
    // Unlogged: its rows skip the write-ahead log, and a crash empties it, which a scratch table may. A row is
    // compressed or moved out of line only beyond a page's worth: compressing the long texts cost the copies
    // more than sending them, and a scratch table is read once or twice.
    const QString plain = createTableStatement(table, {});
    return QStringLiteral("CREATE UNLOGGED TABLE") + plain.mid(QStringLiteral("CREATE TABLE").size()) +
           QStringLiteral(" WITH (toast_tuple_target = 8160)");
}

QString PostgresDialect::addForeignKeyStatement(const ForeignKeyDef& key) const
{
    return QStringLiteral("ALTER TABLE ") + key.table + QLatin1Char(' ') + kCr + QStringLiteral("ADD CONSTRAINT ") +
           quoteIdentifier(key.name) +
           QStringLiteral(" FOREIGN KEY(%1) REFERENCES %2(%3)").arg(key.column, key.refTable, key.refColumn);
}

QStringList PostgresDialect::scratchSessionStatements() const
{
    return {QStringLiteral("SET synchronous_commit TO off")};
}

QStringList PostgresDialect::bulkWriteStatements() const
{
    return {};
}

int PostgresDialect::boundValuesPerStatement() const
{
    // Each statement is a round trip to the server; far below its limit of 65,535.
    return 2000;
}

namespace {
constexpr int kLongestArrayText = 255;
// The pending list of a search index during a write of many rows, in kB.
constexpr int kPendingListKb = 1024;

// The array type a column's values travel in; the insert then casts each to the column's own type as it would a
// single bound value, so a text too long for its column is refused as before.
QString arrayTypeOf(const ColumnDef& c)
{
    if (c.type == QLatin1String("INTEGER"))
        return QStringLiteral("bigint[]");
    if (c.type == QLatin1String("DATETIME"))
        return QStringLiteral("timestamp[]");
    return QStringLiteral("text[]");
}

// One value as an element of an array constant: quoted, its quotes and backslashes escaped; NULL unquoted.
void appendArrayElement(QString& array, const QVariant& value)
{
    // A null text is NULL, as the driver binds it.
    if (value.isNull() || (value.metaType().id() == QMetaType::QString && value.toString().isNull())) {
        array += QLatin1String("NULL");
        return;
    }
    QString text;
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        if (!value.toDate().isValid()) {
            array += QLatin1String("NULL"); // as the driver binds a date that is none
            return;
        }
        text = value.toDate().toString(Qt::ISODate);
        break;
    case QMetaType::QDateTime:
        if (!value.toDateTime().isValid()) {
            array += QLatin1String("NULL");
            return;
        }
        text = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        break;
    default:
        text = value.toString();
        break;
    }
    array += QLatin1Char('"');
    if (text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\\'))) {
        for (QChar ch : std::as_const(text)) {
            if (ch == QLatin1Char('"') || ch == QLatin1Char('\\'))
                array += QLatin1Char('\\');
            array += ch;
        }
    } else {
        array += text;
    }
    array += QLatin1Char('"');
}
} // namespace

QString PostgresDialect::bulkInsertStatement(const TableDef& table) const
{
    // The driver writes every bound value into the statement's text: a thousand rows as a thousand values each
    // cost far more to format and to parse than a few arrays of them.
    QStringList names;
    QStringList arrays;
    for (const ColumnDef& c : table.columns) {
        // The server reads a long text as an element of an array at half the speed it reads it as a value of its
        // own: the long texts go as rows of values (boundValuesPerStatement()).
        if (c.maxLength > kLongestArrayText)
            return {};
        names << c.name;
        arrays << QStringLiteral("CAST(? AS %1)").arg(arrayTypeOf(c));
    }
    return QStringLiteral("INSERT INTO %1 (%2) SELECT * FROM unnest(%3)")
        .arg(table.name, names.join(QLatin1Char(',')), arrays.join(QLatin1Char(',')));
}

QVariantList PostgresDialect::bulkInsertValues(const TableDef& table, const QVariantList& rows) const
{
    const qsizetype columns = table.columns.size();
    QVariantList arrays;
    for (qsizetype c = 0; c < columns; ++c) {
        QString array;
        array += QLatin1Char('{');
        for (qsizetype at = c; at < rows.size(); at += columns) {
            if (at != c)
                array += QLatin1Char(',');
            appendArrayElement(array, rows.at(at));
        }
        array += QLatin1Char('}');
        arrays << array;
    }
    return arrays;
}

QString PostgresDialect::userTablesQuery() const
{
    return QStringLiteral("SELECT table_name FROM information_schema.tables "
                          "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'");
}

QString PostgresDialect::userIndexesQuery() const
{
    return QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname = current_schema()");
}

QString PostgresDialect::foreignKeysQuery() const
{
    return QStringLiteral("SELECT t.relname, a.attname, r.relname, ra.attname FROM pg_constraint c "
                          "JOIN pg_class t ON t.oid = c.conrelid JOIN pg_namespace n ON n.oid = t.relnamespace "
                          "JOIN pg_class r ON r.oid = c.confrelid "
                          "JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = c.conkey[1] "
                          "JOIN pg_attribute ra ON ra.attrelid = c.confrelid AND ra.attnum = c.confkey[1] "
                          "WHERE c.contype = 'f' AND n.nspname = current_schema()");
}

QString PostgresDialect::readOnlyStatement() const
{
    return QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY");
}

bool PostgresDialect::isLoginRefusal(const Error& error) const
{
    // invalid_authorization_specification and invalid_password; the client library does not always pass the
    // code on for a refused open, so its words count too.
    return error.code == QLatin1String("28000") || error.code == QLatin1String("28P01") ||
           error.description.contains(QLatin1String("authentication failed")) ||
           (error.description.contains(QLatin1String("role \"")) &&
            error.description.contains(QLatin1String("does not exist")));
}

QStringList PostgresDialect::settleStatements() const
{
    return {QStringLiteral("ANALYZE"), QStringLiteral("CHECKPOINT")};
}

QString PostgresDialect::beginWriteStatement() const
{
    return QStringLiteral("BEGIN");
}

QString PostgresDialect::lockTableStatement(const QString& table) const
{
    // Conflicts with itself and with every insert, update and delete, but not with readers.
    return QStringLiteral("LOCK TABLE ") + quoteIdentifier(table) + QStringLiteral(" IN SHARE ROW EXCLUSIVE MODE");
}

QString PostgresDialect::schemaVersionQuery() const
{
    // Kept as the database's comment, so that no table is added beside the program's own.
    return QStringLiteral("SELECT shobj_description(oid, 'pg_database') FROM pg_database "
                          "WHERE datname = current_database()");
}

QString PostgresDialect::setSchemaVersionStatement(const DbContext& ctx, int version) const
{
    const QString database = quoteIdentifier(ctx.connection.database.trimmed());
    if (version <= 0)
        return QStringLiteral("COMMENT ON DATABASE %1 IS NULL").arg(database);
    return QStringLiteral("COMMENT ON DATABASE %1 IS 'lexorium schema %2'").arg(database).arg(version);
}

int PostgresDialect::schemaVersionFrom(const QVariant& stored) const
{
    static const QRegularExpression form(QStringLiteral("^lexorium schema (\\d+)$"));
    const QRegularExpressionMatch m = form.match(stored.toString());
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QString PostgresDialect::indexedText(const QString& column)
{
    // The server works the whole chain of replacements on every text it indexes or rechecks a candidate in, at
    // several times the cost of the test itself; a text holds one of those letters hardly ever, and one look for
    // any of them settles that. A text of plain ASCII (as many bytes as characters) holds none, which costs
    // less still to tell.
    QString letters;
    for (const auto& [letter, spelled] : searchSpellings())
        letters += letter;
    return QStringLiteral("(CASE WHEN length(%1) = octet_length(%1) THEN %1 WHEN %1 ~ '[%2]' THEN %3 ELSE %1 END)")
        .arg(column, letters, searchIndexedText(column));
}

namespace {
// The definitions of the search indexes there are, by name.
Result<QHash<QString, QString>> searchIndexDefinitions(DbSession& session)
{
    Result<QSqlQuery> q = session.query(
        QStringLiteral("SELECT c.relname, pg_get_indexdef(c.oid) FROM pg_class c JOIN pg_namespace n ON "
                       "n.oid = c.relnamespace WHERE n.nspname = current_schema() AND c.relkind = 'i' AND "
                       "c.relname LIKE 'search!_%' ESCAPE '!'"));
    if (!q)
        return q.error();
    QHash<QString, QString> definitions;
    while (q->next())
        definitions.insert(q->value(0).toString(), q->value(1).toString());
    return definitions;
}

// The first form replaced the letters in every text; the second looked for them first; the present one first
// tells a text of plain ASCII.
SqlDialect::SearchIndexState formOf(const QString& definition)
{
    if (!definition.contains(QLatin1String("CASE")))
        return SqlDialect::SearchIndexState::FirstForm;
    if (!definition.contains(QLatin1String("octet_length")))
        return SqlDialect::SearchIndexState::SecondForm;
    return SqlDialect::SearchIndexState::Current;
}

bool isEarlierForm(const QString& definition)
{
    return formOf(definition) != SqlDialect::SearchIndexState::Current;
}

// Whether the long text of an index is stored as the search reads it quickest: uncompressed ('e'xternal storage),
// and kept in its row as long as the row fits a page.
Result<bool> isStoredForSearch(DbSession& session, const SearchIndexDef& index)
{
    Result<QSqlQuery> q = session.query(
        QStringLiteral(
            "SELECT a.attstorage = 'e' AND COALESCE('toast_tuple_target=8160' = ANY (c.reloptions), false) "
            "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid WHERE a.attrelid = CAST(? AS regclass) "
            "AND a.attname = ?"),
        {index.table, index.column});
    if (!q)
        return q.error();
    return q->next() && q->value(0).toBool();
}

// Whether this user may alter the table: only its owner may.
Result<bool> ownsTable(DbSession& session, const QString& table)
{
    Result<QSqlQuery> q = session.query(QStringLiteral("SELECT pg_has_role(current_user, c.relowner, 'USAGE') FROM "
                                                       "pg_class c WHERE c.oid = CAST(? AS regclass)"),
                                        {table});
    if (!q)
        return q.error();
    return q->next() && q->value(0).toBool();
}
} // namespace

Error PostgresDialect::renewSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    // Only the indexes there are in the old form: a database whose user could not add the extension has none
    // and gains none, and one upgraded from before the index got the new form already.
    const Result<QHash<QString, QString>> definitions = searchIndexDefinitions(session);
    if (!definitions)
        return definitions.error();
    QList<SearchIndexDef> old;
    for (const SearchIndexDef& x : indexes)
        if (definitions->contains(x.name) && isEarlierForm(definitions->value(x.name)))
            old << x;
    for (const SearchIndexDef& x : old) {
        Result<int> r = session.execute(QStringLiteral("DROP INDEX ") + quoteIdentifier(x.name));
        if (!r)
            return r.error();
    }
    return old.isEmpty() ? Error() : createSearchIndexes(session, old);
}

Error PostgresDialect::createSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    // The trigram operator class comes with the pg_trgm extension. It is trusted, so the database's owner may
    // add it; a user who may not goes on without the indexes, and the search reads the rows instead.
    Result<QSqlQuery> usable = session.query(QStringLiteral(
        "SELECT EXISTS (SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm') OR EXISTS (SELECT 1 FROM "
        "pg_available_extension_versions v WHERE v.name = 'pg_trgm' AND v.version = (SELECT default_version FROM "
        "pg_available_extensions WHERE name = 'pg_trgm') AND ((v.trusted AND has_database_privilege("
        "current_database(), 'CREATE')) OR (SELECT rolsuper FROM pg_roles WHERE rolname = current_user)))"));
    if (!usable)
        return usable.error();
    if (!usable->next() || !usable->value(0).toBool())
        return {};
    Result<int> extension = session.execute(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"));
    if (!extension)
        return extension.error();
    // Without the pending list: otherwise every search reads through up to megabytes of not yet merged entries
    // (only a vacuum merges them), and a citation database is searched far more often than written.
    for (const SearchIndexDef& x : indexes) {
        // One that is there already, in whichever form, is left to renewSearchIndexes.
        Result<int> r =
            session.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 USING gin ((%3) gin_trgm_ops) "
                                           "WITH (fastupdate = off)")
                                .arg(quoteIdentifier(x.name), x.table, indexedText(x.column)));
        if (!r)
            return r.error();
    }
    return {};
}

Result<SqlDialect::SearchIndexState> PostgresDialect::searchIndexState(DbSession& session,
                                                                       const QList<SearchIndexDef>& indexes) const
{
    const Result<QHash<QString, QString>> definitions = searchIndexDefinitions(session);
    if (!definitions)
        return definitions.error();
    SearchIndexState state = SearchIndexState::Current;
    for (const SearchIndexDef& x : indexes) {
        if (!definitions->contains(x.name))
            return SearchIndexState::Incomplete;
        state = std::min(state, formOf(definitions->value(x.name)));
        if (x.longText && state == SearchIndexState::Current) {
            const Result<bool> stored = isStoredForSearch(session, x);
            if (!stored)
                return stored.error();
            if (!*stored)
                state = SearchIndexState::SecondForm;
        }
    }
    return state;
}

Error PostgresDialect::renewSearchedTextStorage(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    const Result<QHash<QString, QString>> definitions = searchIndexDefinitions(session);
    if (!definitions)
        return definitions.error();
    for (const SearchIndexDef& x : indexes) {
        const Result<bool> owned = ownsTable(session, x.table);
        if (!owned)
            return owned.error();
        // Another user's tables stay as they are: the search finds the same, a little slower.
        if (!*owned)
            continue;
        const bool indexed = definitions->contains(x.name);
        const bool oldForm = indexed && isEarlierForm(definitions->value(x.name));
        bool restore = false;
        if (x.longText) {
            const Result<bool> stored = isStoredForSearch(session, x);
            if (!stored)
                return stored.error();
            restore = !*stored;
        }
        if (!restore && !oldForm)
            continue;
        // The index goes first, so that rewriting the table does not index every text twice.
        if (indexed)
            if (Error e = session.run(QStringLiteral("DROP INDEX ") + quoteIdentifier(x.name)))
                return e;
        if (restore) {
            // Setting the storage leaves the texts there as they are; writing each again stores it the new way.
            Result<QSqlQuery> type =
                session.query(QStringLiteral("SELECT format_type(a.atttypid, a.atttypmod) FROM pg_attribute a WHERE "
                                             "a.attrelid = CAST(? AS regclass) AND a.attname = ?"),
                              {x.table, x.column});
            if (!type)
                return type.error();
            if (!type->next())
                return Error::other(QStringLiteral("The column %1 of %2 is missing.").arg(x.column, x.table));
            if (Error e = session.run(QStringLiteral("ALTER TABLE %1 SET (toast_tuple_target = 8160), ALTER COLUMN "
                                                     "%2 SET STORAGE EXTERNAL, ALTER COLUMN %2 TYPE %3 USING %2 || ''")
                                          .arg(x.table, x.column, type->value(0).toString())))
                return e;
        }
        if (indexed)
            if (Error e = createSearchIndexes(session, {x}))
                return e;
    }
    return {};
}

namespace {
// The search indexes that this database has (a user who could not add the extension has none) and that this
// user may alter: only their owner may, and another user's merge goes on row by row.
Result<QStringList> presentSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes)
{
    QStringList names;
    for (const SearchIndexDef& x : indexes) {
        Result<QSqlQuery> q =
            session.query(QStringLiteral("SELECT 1 FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                         "WHERE n.nspname = current_schema() AND c.relname = ? AND c.relkind = 'i' "
                                         "AND pg_has_role(current_user, c.relowner, 'USAGE')"),
                          {x.name});
        if (!q)
            return q.error();
        if (q->next())
            names << x.name;
    }
    return names;
}
} // namespace

// Taking thousands of long texts into the trigram indexes one row at a time costs several times what their
// pending list and one clean-up cost; the indexes go back to having no pending list before the commit.
Error PostgresDialect::beginBulkIndexedWrite(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    const Result<QStringList> names = presentSearchIndexes(session, indexes);
    if (!names)
        return names.error();
    // The server merges a pending list into its index when the list outgrows this, inside the insert that
    // outgrew it, and the caller hears nothing until that statement ends: at the default of 4 MB a long text's
    // list took seconds into a large index. Smaller lists are merged more often but each quickly. For this
    // transaction only (a fill in many transactions of its own keeps the default).
    if (!names->isEmpty() && session.inTransaction())
        if (Error e = session.run(QStringLiteral("SET LOCAL gin_pending_list_limit = %1").arg(kPendingListKb)))
            return e;
    for (const QString& name : *names) {
        Result<int> r =
            session.execute(QStringLiteral("ALTER INDEX %1 SET (fastupdate = on)").arg(quoteIdentifier(name)));
        if (!r)
            return r.error();
    }
    return {};
}

Error PostgresDialect::endBulkIndexedWrite(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    const Result<QStringList> names = presentSearchIndexes(session, indexes);
    if (!names)
        return names.error();
    for (const QString& name : *names) {
        Result<QSqlQuery> cleaned =
            session.query(QStringLiteral("SELECT gin_clean_pending_list(?::regclass)"), {quoteIdentifier(name)});
        if (!cleaned)
            return cleaned.error();
        Result<int> r =
            session.execute(QStringLiteral("ALTER INDEX %1 SET (fastupdate = off)").arg(quoteIdentifier(name)));
        if (!r)
            return r.error();
    }
    return {};
}

QString PostgresDialect::searchCandidateCondition(const SearchIndexDef& index, const QString& keyExpr,
                                                  int segments) const
{
    // The same expression as the index's, so that the planner uses it (and finds the rows without it). A regular
    // expression that ignores letter case rechecks a candidate at about half the cost of ILIKE, which makes a
    // small-letter copy of every text it tests.
    QStringList tests;
    for (int i = 0; i < segments; ++i)
        tests << indexedText(index.column) + QStringLiteral(" ~* ?");
    return QStringLiteral("%1 IN (SELECT %2 FROM %3 WHERE %4)")
        .arg(keyExpr, index.key, index.table, tests.join(QStringLiteral(" AND ")));
}

QVariantList PostgresDialect::searchCandidateValues(const QStringList& segments) const
{
    // Each segment as a regular expression that matches itself: a backslash before every ASCII character but
    // letters and digits makes it literal.
    QVariantList patterns;
    for (const QString& segment : segments) {
        QString pattern;
        pattern.reserve(segment.size() * 2);
        for (QChar c : segment) {
            const char16_t u = c.unicode();
            const bool plain = u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
            if (!plain)
                pattern += QLatin1Char('\\');
            pattern += c;
        }
        patterns << pattern;
    }
    return patterns;
}

QString PostgresDialect::searchFoldProbeQuery() const
{
    // The regular expression folds by the database's locale; the index is trusted only where plain letters fold
    // plainly both ways.
    return QStringLiteral("SELECT 'ABCDEFGHIJKLMNOPQRSTUVWXYZ' ~* '^abcdefghijklmnopqrstuvwxyz$' AND "
                          "'abcdefghijklmnopqrstuvwxyz' ~* '^ABCDEFGHIJKLMNOPQRSTUVWXYZ$'");
}

Result<bool> PostgresDialect::searchFoldsAlike(DbSession& session, const QString& letters) const
{
    // A regular expression that ignores letter case takes a letter for the letters the database's locale makes
    // its small letter and its capital; each of the others must be one of those.
    if (letters.isEmpty())
        return false;
    for (QChar letter : letters) {
        Result<QSqlQuery> q = session.query(QStringLiteral("SELECT CAST(? AS text) ~* CAST(? AS text)"),
                                            {QString(letter), QString(letters[0])});
        if (!q)
            return q.error();
        if (!q->next() || !q->value(0).toBool())
            return false;
    }
    return true;
}

QString PostgresDialect::searchPlainTextCondition(const QString& column) const
{
    // In a text of ASCII alone the regular expression that ignores letter case compares exactly as the program's
    // capitals do, once the fold probe has found the plain letters folding plainly: no letter beyond ASCII is
    // there to be folded differently, and no spelled letter to be spelled out.
    return QStringLiteral("length(%1) = octet_length(%1)").arg(column);
}

QString PostgresDialect::searchTextPrefix(const QString& column, int length) const
{
    return QStringLiteral("left(%1, %2)").arg(column).arg(length);
}

QString PostgresDialect::keyListCondition(const QString& column) const
{
    return QStringLiteral("%1 = ANY (CAST(? AS bigint[]))").arg(column);
}

QVariant PostgresDialect::keyListValue(const QList<qint64>& keys) const
{
    // An array constant, cast by the server.
    return QLatin1Char('{') + joinedKeys(keys) + QLatin1Char('}');
}

QString PostgresDialect::yearMonthExpression(const QString& column) const
{
    return QStringLiteral("to_char(%1, 'YYYY-MM')").arg(column);
}

QString PostgresDialect::beginSnapshotStatement() const
{
    // Every statement of the transaction sees the database as it was at its first.
    return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
}

QString PostgresDialect::tableColumnsQuery() const
{
    return QStringLiteral("SELECT column_name FROM information_schema.columns WHERE table_schema = current_schema() "
                          "AND table_name = lower(?)");
}

Result<SqlDialect::SearchIndexGaps> PostgresDialect::searchIndexGaps(DbSession& session,
                                                                     const SearchIndexDef& index) const
{
    // The server keeps an index whole itself; what can be wrong is an index missing where the extension that
    // makes it is there, so that the search reads every row instead.
    Result<QSqlQuery> q = session.query(
        QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm') AND NOT EXISTS "
                       "(SELECT 1 FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE "
                       "n.nspname = current_schema() AND c.relkind = 'i' AND c.relname = ?)"),
        {index.name});
    if (!q)
        return q.error();
    SearchIndexGaps gaps;
    if (!q->next() || !q->value(0).toBool())
        return gaps;
    Result<QSqlQuery> rows = session.query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(index.table));
    if (!rows)
        return rows.error();
    gaps.unindexed = rows->next() ? rows->value(0).toLongLong() : 0;
    return gaps;
}

Error PostgresDialect::rebuildSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    if (Error e = createSearchIndexes(session, indexes))
        return e;
    const Result<QStringList> names = presentSearchIndexes(session, indexes);
    if (!names)
        return names.error();
    for (const QString& name : *names) {
        Result<int> r = session.execute(QStringLiteral("REINDEX INDEX ") + quoteIdentifier(name));
        if (!r)
            return r.error();
    }
    return {};
}
