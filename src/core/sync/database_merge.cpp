#include "core/sync/database_merge.h"

#include "core/citations/citation_tables.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/masters/master_store.h"
#include "core/sync/merge_write_back.h"
#include "core/sync/row_copier.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>

#include <memory>
#include <vector>

namespace {
const QString& kCaseMaster = CitationTables::caseTable();
const QString kOldSuffix = QStringLiteral("vor_Old");
const QString kSynSuffix = QStringLiteral("vor_Syn");
const QString kNewSuffix = QStringLiteral("vor_New");
// Rows a page of RowCopier reads.
const QString kPage = QStringLiteral(" LIMIT %1").arg(RowCopier::kPageRows);
// The bar's span while the merged rows are written back.
constexpr int kWriteBackBar = 79;
constexpr int kWriteBackEnd = 99;
// Keys per UPDATE of the second copy's marks.
constexpr int kKeysPerStatement = 500;

QStringList columnsOf(const TableDef& t)
{
    QStringList names;
    for (const ColumnDef& c : t.columns)
        names << c.name;
    return names;
}

QString keyOf(const TableDef& t)
{
    return t.columns.first().name;
}

// The categories, courts and Acts: the lists a citation links to by name.
bool isNameList(const QString& table)
{
    for (const CitationRowTable& t : CitationTables::rowTables())
        if (t.isLink() && t.master == table)
            return true;
    return false;
}

// A link table's master list and the column that points into it; empty for the bench.
struct LinkMaster {
    QString column;
    QString table;
};

LinkMaster masterOfLink(const QString& link)
{
    for (const ForeignKeyDef& k : Schema::foreignKeysOf(link))
        if (k.refTable != kCaseMaster)
            return {k.column, k.refTable};
    return {};
}

QString caseColumnOfLink(const QString& link)
{
    for (const ForeignKeyDef& k : Schema::foreignKeysOf(link))
        if (k.refTable == kCaseMaster)
            return k.column;
    return {};
}

Error setUp(DbSession& s, const QStringList& statements)
{
    for (const QString& statement : statements)
        if (Error e = s.run(statement))
            return e;
    return {};
}

// Reads a table's own rows, its key first for the pages.
QString plainSelect(const TableDef& t, const QString& condition = QString())
{
    const QString key = keyOf(t);
    return QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4%1 > ? ORDER BY %1")
               .arg(key, columnsOf(t).join(QLatin1Char(',')), t.name, condition) +
           kPage;
}

// What makes two citations the same: the citation text and the month and year of the judgment.
QString citationIdentity(const QVariant& citation, const QVariant& date)
{
    const QDate d = RowCopier::toDate(date).toDate();
    return citation.toString() + QChar(0x1f) + (d.isValid() ? d.toString(QStringLiteral("yyyy-MM")) : QString());
}

// Gives the rows that `candidates` lists (key k, in key order) keys after `base`, counting up in that order.
Error numberRows(DbSession& s, const QString& table, const QString& key, const QString& candidates, qint64 base)
{
    return s.run(QStringLiteral("UPDATE %1 SET vor_id = CAST(? AS INTEGER) + r.n FROM (SELECT d.k AS k, "
                                "ROW_NUMBER() OVER (ORDER BY d.k) AS n FROM (%3) d) r WHERE %1.%2 = r.k")
                     .arg(table, key, candidates),
                 {base});
}

DbContext workingContextOf(const DbContext& present, const QString& name)
{
    DbContext ctx = present;
    ctx.connection.database = name;
    return ctx;
}

// Whether the database holds nothing but the program's tables (any of them: a run may have ended while making
// them); `strict`, exactly the fourteen and none of the keys that every database of the program has, as a run
// makes its working databases.
bool holdsWorkingTables(DbSession& session, bool strict)
{
    const Result<QStringList> tables = DatabaseAdmin::userTables(session);
    if (!tables)
        return false;
    QSet<QString> ours;
    for (const TableDef& t : Schema::allTables())
        ours.insert(t.name);
    QSet<QString> found;
    for (const QString& name : *tables)
        found.insert(name.toLower());
    if (!ours.contains(found))
        return false;
    if (!strict)
        return true;
    if (found != ours)
        return false;
    Result<QSqlQuery> keys = session.query(session.dialect().foreignKeysQuery());
    return keys && !keys->next();
}

// One write transaction on each working database a step changes, committed together at the step's end and
// rolled back together on any other path.
class WorkingWrites
{
public:
    WorkingWrites(std::initializer_list<DbSession*> sessions)
    {
        for (DbSession* s : sessions)
            m_guards.push_back(std::make_unique<TransactionGuard>(*s));
    }
    Error error() const
    {
        for (const auto& g : m_guards)
            if (g->error())
                return g->error();
        return {};
    }
    Error commit()
    {
        for (const auto& g : m_guards)
            if (Error e = g->commit())
                return e;
        return {};
    }

private:
    std::vector<std::unique_ptr<TransactionGuard>> m_guards;
};
} // namespace

const QString DatabaseMerge::kSameDatabase =
    QStringLiteral("Trying to synchronize same Database, task cannot be carried out.");
const QString DatabaseMerge::kInvalidUser = QStringLiteral("Invalid user name, please check the user name.");
const QString DatabaseMerge::kMissingTables =
    QStringLiteral("The database to be synchronised does not contain the required tables.");
const QString DatabaseMerge::kNotMatching = QStringLiteral("The databases do not match.");
const QString DatabaseMerge::kWorkingInUse =
    QStringLiteral("The working database %1 is there already and was left as it is: another synchronisation is "
                   "using it, or it holds tables of its own. Nothing was merged.");
const QString DatabaseMerge::kChangedMeanwhile =
    QStringLiteral("The present database was changed by another user while it was being synchronised. Nothing "
                   "was merged; please synchronise again.");

DatabaseMerge::DatabaseMerge(const DbContext& present, const MergeSource& source)
    : m_present(present)
    , m_source(source)
{}

QString DatabaseMerge::presentName() const
{
    return m_present.connection.database.trimmed();
}

QString DatabaseMerge::oldDbName() const
{
    return presentName() + kOldSuffix;
}

QString DatabaseMerge::synDbName() const
{
    return presentName() + kSynSuffix;
}

QString DatabaseMerge::newDbName() const
{
    // A database file named by its path: the working copy is named after the file.
    return DatabaseAdmin::plainDatabaseName(secondContext()) + kNewSuffix;
}

DbContext DatabaseMerge::secondContext() const
{
    return {m_present.programDir,
            ConnectionString::trimmed(m_source.server, m_source.user, m_source.database, m_source.password)};
}

DbContext DatabaseMerge::workingContext(const QString& name) const
{
    return workingContextOf(m_present, name);
}

bool DatabaseMerge::isSameDatabase() const
{
    return DatabaseAdmin::sameDatabase(m_present, secondContext());
}

void DatabaseMerge::report(const QString& status, int bar) const
{
    if (m_progress)
        m_progress(status, bar);
}

void DatabaseMerge::arm(DbSession& session, Database which) const
{
    const auto marker = m_failures.find(which);
    if (marker != m_failures.end())
        session.failNextStatementContaining(marker.value());
}

Result<DatabaseMerge::Summary> DatabaseMerge::run()
{
    m_oldStats.clear();
    m_created.clear();
    if (isSameDatabase())
        return Summary{Outcome::SameDatabase, kSameDatabase, 0};

    report(QStringLiteral("Checking the connection of the database to be synchronised... 3%"), 3);
    DbSession second(secondContext(), SqlDialect::Target::ReadOnlyCatalog);
    if (!second.isOpen()) {
        const Error& e = second.error();
        return Summary{Outcome::LoginFailed, second.dialect().isLoginRefusal(e) ? kInvalidUser : e.description, 0};
    }
    arm(second, Database::Second);
    {
        // The settings may spell one server or file in two ways; the engines tell.
        DbSession present(m_present, SqlDialect::Target::ReadOnlyCatalog);
        const Result<QString> mine =
            present.isOpen() ? DatabaseAdmin::databaseIdentity(present) : Result<QString>(present.error());
        if (!mine)
            return mine.error();
        // A file that is no database at all says so here.
        const Result<QString> theirs = DatabaseAdmin::databaseIdentity(second);
        if (!theirs)
            return Summary{Outcome::NotMatching, kMissingTables + QLatin1Char('\n') + theirs.error().description, 0};
        if (*mine == *theirs)
            return Summary{Outcome::SameDatabase, kSameDatabase, 0};
    }

    report(QStringLiteral("Checking if the database to be synchronised matches with the original database... 7%"), 7);
    const Result<Summary> matching = checkTables(second);
    if (!matching || matching->outcome != Outcome::Merged)
        return matching;

    report(QStringLiteral("Creating synchronised database... 10%"), 10);
    // A working name must never reach a database of the user's: it is dropped at the end.
    const QStringList working{oldDbName(), synDbName(), newDbName()};
    for (const QString& name : working) {
        const DbContext ctx = workingContext(name);
        bool taken = DatabaseAdmin::sameDatabase(ctx, m_present) || DatabaseAdmin::sameDatabase(ctx, secondContext());
        if (!taken && name == secondContext().connection.database.trimmed()) {
            // The second database by that name, on the present's server under another spelling?
            DbSession existing(ctx, SqlDialect::Target::ReadOnlyCatalog);
            const Result<bool> same =
                existing.isOpen() ? DatabaseAdmin::sameDatabase(existing, second) : Result<bool>(false);
            taken = !same || *same;
        }
        if (taken)
            return Error::other(QStringLiteral("The working database %1 would be one of the databases to merge; "
                                               "rename the database and try again.")
                                    .arg(name));
    }
    // Leftovers of a run that ended without cleaning up.
    if (Error e = dropUnused(m_present, working, false, nullptr))
        return e;

    qint64 added = 0;
    const Error failed = merge(second, &added);
    const Error dropped = dropCreated();
    if (failed)
        return failed;
    Q_UNUSED(dropped) // the merge is done; a leftover goes at the start of the next run
    report(QStringLiteral("Merged Database... 100%"), 100);
    return Summary{Outcome::Merged, QString(), added};
}

Result<DatabaseMerge::Summary> DatabaseMerge::checkTables(DbSession& second) const
{
    // A newer program may keep its rows in ways this one does not know. An older database holds the same tables
    // and is read as it is: a colleague's database is not upgraded behind their back.
    const Result<Schema::Status> status = Schema::inspect(second);
    if (!status)
        return Summary{Outcome::NotMatching, kMissingTables + QLatin1Char('\n') + status.error().description, 0};
    if (status->state == Schema::State::Newer)
        return Summary{Outcome::NotMatching, Schema::newerVersionMessage(m_source.database.trimmed(), status->version),
                       0};
    const Result<QStringList> tables = DatabaseAdmin::userTables(second);
    if (!tables)
        return tables.error();
    QSet<QString> present;
    for (const QString& name : *tables)
        present.insert(name.toLower());
    for (const TableDef& t : Schema::allTables())
        if (!present.contains(t.name))
            return Summary{Outcome::NotMatching, kMissingTables, 0};

    Result<QSqlQuery> keys = second.query(second.dialect().foreignKeysQuery());
    if (!keys)
        return keys.error();
    QSet<QString> found;
    while (keys->next()) {
        QStringList parts;
        for (int i = 0; i < 4; ++i)
            parts << keys->value(i).toString().toLower();
        found.insert(parts.join(QLatin1Char('/')));
        // A key declared without the referenced column names the referenced table's key.
        if (parts[3].isEmpty())
            found.insert(parts.mid(0, 3).join(QLatin1Char('/')) + QLatin1Char('/'));
    }
    for (const ForeignKeyDef& k : Schema::foreignKeys()) {
        const QString wanted = QStringList{k.table, k.column, k.refTable, k.refColumn}.join(QLatin1Char('/'));
        const QString implicit = QStringList{k.table, k.column, k.refTable, QString()}.join(QLatin1Char('/'));
        if (!found.contains(wanted) && !found.contains(implicit))
            return Summary{Outcome::NotMatching, kNotMatching, 0};
    }
    return Summary{Outcome::Merged, QString(), 0};
}

Error DatabaseMerge::dropLeftovers(const DbContext& present, QStringList* dropped)
{
    // Unlike a run, which drops its own names whatever the program made them with, only what a run makes now.
    const QString name = present.connection.database.trimmed();
    Error first = dropUnused(present, {name + kOldSuffix, name + kSynSuffix}, true, dropped);
    // The second database's copy is named after the second database, which nothing recorded.
    const Result<QStringList> all = DatabaseAdmin::ownDatabases(present);
    if (!all)
        return first ? first : all.error();
    QStringList copies;
    for (const QString& database : *all)
        if (database.endsWith(kNewSuffix) && database != name)
            copies << database;
    const Error e = dropUnused(present, copies, true, dropped);
    return first ? first : e;
}

Error DatabaseMerge::dropUnused(const DbContext& present, const QStringList& names, bool strict, QStringList* dropped)
{
    Error first;
    for (const QString& name : names) {
        const DbContext ctx = workingContextOf(present, name);
        {
            DbSession session(ctx);
            if (!session.isOpen())
                continue; // not there
            // A running merge keeps its working databases open from making their tables to dropping them.
            const Result<bool> held = DatabaseAdmin::isHeldElsewhere(session);
            if (!held || *held || !holdsWorkingTables(session, strict))
                continue;
        }
        if (Error e = DatabaseAdmin::dropDatabase(ctx)) {
            if (!first)
                first = e;
            continue;
        }
        if (dropped)
            *dropped << name;
    }
    return first;
}

Error DatabaseMerge::dropCreated() const
{
    Error first;
    for (const QString& name : m_created) {
        const Error e = DatabaseAdmin::dropDatabase(workingContext(name));
        if (e && !first)
            first = e;
    }
    return first;
}

Error DatabaseMerge::merge(DbSession& second, qint64* added)
{
    DbSession present(m_present);
    if (!present.isOpen())
        return present.error();
    arm(present, Database::Present);
    if (Error e = setUp(present, present.dialect().bulkWriteStatements()))
        return e;

    for (const QString& name : {synDbName(), oldDbName(), newDbName()}) {
        if (Error e = DatabaseAdmin::createDatabase(workingContext(name)))
            return e.kind == Error::Kind::AlreadyExists ? Error::of(Error::Kind::InUse, kWorkingInUse.arg(name)) : e;
        m_created << name;
    }
    // The sessions end here, before the databases are dropped.
    DbSession syn(workingContext(synDbName()));
    DbSession old(workingContext(oldDbName()));
    DbSession copy(workingContext(newDbName()));
    for (auto [session, which] :
         {std::pair{&syn, Database::Syn}, std::pair{&old, Database::Old}, std::pair{&copy, Database::New}}) {
        if (!session->isOpen())
            return session->error();
        arm(*session, which);
        // Thrown away at the end of the run, whatever happens.
        if (Error e = setUp(*session, session->dialect().scratchSessionStatements()))
            return e;
        // The working databases hold the tables this program makes now, without what only a database in use
        // needs: their rows are checked by the present database's own keys when they are written back.
        if (Error e = Schema::createScratch(*session))
            return e;
    }

    if (Error e = copyAll(present, old))
        return e;
    for (const TableDef& t : Schema::allTables()) {
        const Result<TableStats> stats = statsOf(old, t.name);
        if (!stats)
            return stats.error();
        m_oldStats.insert(t.name, *stats);
    }
    if (Error e = copyAll(second, copy))
        return e;

    report(QStringLiteral("Clearing databse of all records... 24%"), 24);
    report(QStringLiteral("Merging master tables... 24%"), 24);
    if (Error e = mergeMasters(old, copy, syn))
        return e;

    report(QStringLiteral("Merging Case tables... 71%"), 79);
    if (Error e = mergeCases(old, copy, syn, added))
        return e;
    report(QStringLiteral("Merging Case tables... 83%"), 79);
    if (Error e = mergeLinks(old, copy, syn))
        return e;

    report(QStringLiteral("Merging Case tables... 92%"), 79);
    return apply(present, syn);
}

Error DatabaseMerge::copyAll(DbSession& from, DbSession& to) const
{
    return inTransaction(to, [&]() -> Error {
        // Exactly the fourteen tables, parents before children; whatever else a database holds stays out.
        for (const TableDef& t : Schema::allTables())
            if (Error e = RowCopier::copy(from, plainSelect(t), to, t))
                return e;
        return {};
    });
}

Result<DatabaseMerge::TableStats> DatabaseMerge::statsOf(DbSession& session, const QString& table) const
{
    TableDef def;
    for (const TableDef& t : Schema::allTables())
        if (t.name == table)
            def = t;
    Result<QSqlQuery> q =
        session.query(QStringLiteral("SELECT COALESCE(MAX(%1), 0), COUNT(*) FROM %2").arg(keyOf(def), table));
    if (!q)
        return q.error();
    if (!q->next())
        return Error::other(QStringLiteral("No count of %1.").arg(table));
    return TableStats{q->value(0).toLongLong(), q->value(1).toLongLong()};
}

Error DatabaseMerge::mergeMasters(DbSession& old, DbSession& second, DbSession& syn)
{
    WorkingWrites writes{&old, &second, &syn};
    if (Error e = writes.error())
        return e;
    int bar = 24;
    for (const TableDef& t : Schema::allTables()) {
        if (t.name == kCaseMaster)
            continue;
        bar += 3;
        report(QStringLiteral("Merging master tables... "), bar);
        for (DbSession* s : {&second, &old})
            if (Error e = s->run(QStringLiteral("ALTER TABLE %1 ADD vor_id INTEGER NOT NULL DEFAULT 0").arg(t.name)))
                return e;
        // The present database's rows keep their keys.
        if (Error e = old.run(QStringLiteral("UPDATE %1 SET vor_id = %2").arg(t.name, keyOf(t))))
            return e;
        if (Schema::foreignKeysOf(t.name).isEmpty()) {
            // Master lists and texts: the present rows go into the merged database now; links after the cases.
            if (Error e = RowCopier::copy(old, plainSelect(t), syn, t))
                return e;
        }
        if (isNameList(t.name))
            if (Error e = mergeNames(t.name, old, second, syn))
                return e;
    }
    return writes.commit();
}

Error DatabaseMerge::mergeNames(const QString& table, DbSession& old, DbSession& second, DbSession& syn)
{
    QString nameColumn;
    for (const TableDef& t : Schema::masterTables())
        if (t.name == table)
            nameColumn = t.columns.at(1).name;

    // A name already in the merged list, by the rule of the master screens (case and trailing blanks do not
    // count), keeps the key it has there; the present database's rows come first.
    QHash<QString, qint64> keyOfName;
    {
        Result<QSqlQuery> q = old.query(QStringLiteral("SELECT id, %1 FROM %2 ORDER BY id").arg(nameColumn, table));
        if (!q)
            return q.error();
        while (q->next()) {
            const QString name = MasterStore::comparable(q->value(1).toString());
            if (!keyOfName.contains(name))
                keyOfName.insert(name, q->value(0).toLongLong());
        }
    }
    qint64 next = m_oldStats.value(table).maxKey;
    QVariantList marks;
    QVariantList added;
    {
        Result<QSqlQuery> q = second.query(QStringLiteral("SELECT id, %1 FROM %2 ORDER BY id").arg(nameColumn, table));
        if (!q)
            return q.error();
        while (q->next()) {
            const QString name = MasterStore::comparable(q->value(1).toString());
            qint64 key = keyOfName.value(name, 0);
            if (key == 0) {
                key = ++next;
                keyOfName.insert(name, key);
                added << key << q->value(1);
            }
            marks << q->value(0) << key;
        }
    }
    for (qsizetype first = 0; first < marks.size(); first += 2 * kKeysPerStatement) {
        const qsizetype count = qMin<qsizetype>(2 * kKeysPerStatement, marks.size() - first) / 2;
        const QString rows =
            QStringList(count, QStringLiteral("(CAST(? AS INTEGER),CAST(? AS INTEGER))")).join(QLatin1Char(','));
        if (Error e = second.run(QStringLiteral("UPDATE %1 SET vor_id = v.column2 FROM (VALUES %2) AS v "
                                                "WHERE %1.id = v.column1")
                                     .arg(table, rows),
                                 marks.mid(first, 2 * count)))
            return e;
    }
    return RowCopier::insert(syn, Schema::table(table), added);
}

Error DatabaseMerge::mergeCases(DbSession& old, DbSession& second, DbSession& syn, qint64* added)
{
    WorkingWrites writes{&old, &second, &syn};
    if (Error e = writes.error())
        return e;
    const TableDef cases = Schema::caseTable();
    for (DbSession* s : {&second, &old})
        if (Error e = s->run(QStringLiteral("ALTER TABLE case_master ADD vor_id INTEGER NOT NULL DEFAULT 0")))
            return e;
    if (Error e = old.run(QStringLiteral("UPDATE case_master SET vor_id = case_id")))
        return e;

    // Each citation goes in once: the present database's as they are, then each of the second's that is not
    // there yet.
    QSet<QString> seen;
    {
        Result<QSqlQuery> q = old.query(QStringLiteral("SELECT citation, dt_of_judgment FROM case_master"));
        if (!q)
            return q.error();
        while (q->next())
            seen.insert(citationIdentity(q->value(0), q->value(1)));
    }
    QVariantList repeated;
    {
        Result<QSqlQuery> q =
            second.query(QStringLiteral("SELECT case_id, citation, dt_of_judgment FROM case_master ORDER BY case_id"));
        if (!q)
            return q.error();
        while (q->next()) {
            const QString identity = citationIdentity(q->value(1), q->value(2));
            if (seen.contains(identity))
                repeated << q->value(0);
            else
                seen.insert(identity);
        }
    }
    for (qsizetype first = 0; first < repeated.size(); first += kKeysPerStatement) {
        const qsizetype count = qMin<qsizetype>(kKeysPerStatement, repeated.size() - first);
        if (Error e = second.run(QStringLiteral("UPDATE case_master SET vor_id = -1 WHERE case_id IN (%1)")
                                     .arg(QStringList(count, QStringLiteral("?")).join(QLatin1Char(','))),
                                 repeated.mid(first, count)))
            return e;
    }
    if (Error e = numberRows(second, kCaseMaster, QStringLiteral("case_id"),
                             QStringLiteral("SELECT case_id AS k FROM case_master WHERE vor_id = 0"),
                             m_oldStats.value(kCaseMaster).maxKey))
        return e;

    // The texts of the citations that go in, under keys after the present ones.
    for (const CitationTextTable& text : CitationTables::texts()) {
        if (Error e = numberRows(second, text.table, QStringLiteral("id"),
                                 QStringLiteral("SELECT DISTINCT x.id AS k FROM %1 x JOIN case_master c "
                                                "ON c.%2 = x.id WHERE c.vor_id > 0")
                                     .arg(text.table, text.keyColumn),
                                 m_oldStats.value(text.table).maxKey))
            return e;
        if (Error e = RowCopier::copy(second,
                                      QStringLiteral("SELECT id, vor_id, %1 FROM %2 WHERE vor_id > 0 AND id > ? "
                                                     "ORDER BY id")
                                              .arg(text.column, text.table) +
                                          kPage,
                                      syn, Schema::table(text.table)))
            return e;
    }

    if (Error e = RowCopier::copy(old, plainSelect(cases), syn, cases))
        return e;
    // The second's citations with every reference turned into the merged key.
    QStringList values;
    QStringList joins;
    for (const ColumnDef& c : cases.columns) {
        const CitationTextTable* text = nullptr;
        for (const CitationTextTable& t : CitationTables::texts())
            if (t.keyColumn == c.name)
                text = &t;
        if (c.name == QLatin1String("case_id")) {
            values << QStringLiteral("c.vor_id");
        } else if (text) {
            const QString alias = QStringLiteral("t_") + text->keyColumn;
            values << alias + QStringLiteral(".vor_id");
            joins << QStringLiteral(" LEFT JOIN %1 %2 ON %2.id = c.%3").arg(text->table, alias, text->keyColumn);
        } else {
            values << QStringLiteral("c.") + c.name;
        }
    }
    const QString select = QStringLiteral("SELECT c.case_id, %1 FROM case_master c%2 WHERE c.vor_id > 0 AND "
                                          "c.case_id > ? ORDER BY c.case_id")
                               .arg(values.join(QLatin1Char(',')), joins.join(QString())) +
                           kPage;
    if (Error e = RowCopier::copy(second, select, syn, cases, added))
        return e;

    return writes.commit();
}

Error DatabaseMerge::mergeLinks(DbSession& old, DbSession& second, DbSession& syn)
{
    WorkingWrites writes{&second, &syn};
    if (Error e = writes.error())
        return e;
    for (const TableDef& t : Schema::linkTables()) {
        if (Error e = RowCopier::copy(old, plainSelect(t), syn, t))
            return e;
        const LinkMaster master = masterOfLink(t.name);
        const QString caseColumn = caseColumnOfLink(t.name);
        QString joins = QStringLiteral(" JOIN case_master c ON c.case_id = x.%1").arg(caseColumn);
        if (!master.table.isEmpty())
            joins += QStringLiteral(" JOIN %1 m ON m.id = x.%2").arg(master.table, master.column);
        // Links and bench names of the citations that went in; those of a citation left out stay out with it.
        if (Error e = numberRows(second, t.name, QStringLiteral("id"),
                                 QStringLiteral("SELECT x.id AS k FROM %1 x%2 WHERE c.vor_id > 0").arg(t.name, joins),
                                 m_oldStats.value(t.name).maxKey))
            return e;
        QStringList values;
        for (const ColumnDef& c : t.columns) {
            if (c.name == keyOf(t))
                values << QStringLiteral("x.vor_id");
            else if (c.name == caseColumn)
                values << QStringLiteral("c.vor_id");
            else if (c.name == master.column)
                values << QStringLiteral("m.vor_id");
            else
                values << QStringLiteral("x.") + c.name;
        }
        const QString select =
            QStringLiteral("SELECT x.id, %1 FROM %2 x%3 WHERE x.vor_id > 0 AND x.id > ? ORDER BY x.id")
                .arg(values.join(QLatin1Char(',')), t.name, joins) +
            kPage;
        if (Error e = RowCopier::copy(second, select, syn, t))
            return e;
    }
    return writes.commit();
}

Error DatabaseMerge::apply(DbSession& present, DbSession& syn)
{
    return inTransaction(present, [&]() -> Error {
        // Citation writers lock case_master first; so does this, so that the two queue instead of deadlocking.
        if (Error e = present.lockForWrite(kCaseMaster))
            return e;
        for (const TableDef& t : Schema::allTables())
            if (t.name != kCaseMaster)
                if (Error e = present.lockForWrite(t.name))
                    return e;
        // The merged content was built on the rows copied at the start; only they may be there now.
        for (const TableDef& t : Schema::allTables()) {
            const Result<TableStats> now = statsOf(present, t.name);
            if (!now)
                return now.error();
            const TableStats was = m_oldStats.value(t.name);
            if (now->maxKey != was.maxKey || now->rows != was.rows)
                return Error::of(Error::Kind::Conflict, kChangedMeanwhile);
        }
        // The present rows keep their keys and stay untouched; what the merge added lies above their largest
        // key. Plain inserts, so that whatever the database keeps up to date on its own (indexes, triggers) is.
        const QList<SearchIndexDef> searchIndexes = Schema::searchIndexes();
        if (Error e = present.dialect().beginBulkIndexedWrite(present, searchIndexes))
            return e;
        QHash<QString, qint64> maxKeys;
        for (const TableDef& t : Schema::allTables())
            maxKeys.insert(t.name, m_oldStats.value(t.name).maxKey);
        MergeWriteBack writeBack(syn, present, maxKeys);
        if (m_writeBackBatch > 0)
            writeBack.setBatchSize(m_writeBackBatch);
        writeBack.setProgress([this](qint64 written, qint64 total, double perSecond) {
            // The bar goes on from the steps before it; 100 is for the end of the run.
            const int bar = kWriteBackBar + int((kWriteBackEnd - kWriteBackBar) * written / qMax<qint64>(1, total));
            report(QStringLiteral("Writing the merged citations... %1 of %2 written (%3 a second)")
                       .arg(written)
                       .arg(total)
                       .arg(qRound(perSecond)),
                   bar);
        });
        if (Error e = writeBack.run())
            return e;
        // Where the engine takes the index entries in one go at the end, it does so index by index, each told.
        int indexed = 0;
        for (const SearchIndexDef& index : searchIndexes) {
            if (Error e = present.dialect().endBulkIndexedWrite(present, {index}))
                return e;
            if (writeBack.citationsWritten() > 0)
                report(QStringLiteral("Writing the merged citations... indexing their texts, %1 of %2")
                           .arg(++indexed)
                           .arg(searchIndexes.size()),
                       kWriteBackEnd);
        }
        for (const TableDef& t : Schema::allTables()) {
            const Result<TableStats> merged = statsOf(syn, t.name);
            const Result<TableStats> now = statsOf(present, t.name);
            if (!merged)
                return merged.error();
            if (!now)
                return now.error();
            if (merged->rows != now->rows || merged->maxKey != now->maxKey)
                return Error::other(
                    QStringLiteral("The merged %1 could not be written completely. Nothing was merged.").arg(t.name));
        }
        return {};
    });
}
