#include "core/db/schema.h"

#include "core/db/db_session.h"

#include <QSqlQuery>

namespace {
ColumnDef key(const QString& name = QStringLiteral("id"))
{
    return {name, QStringLiteral("INTEGER"), QString(), true, 0};
}

ColumnDef integer(const QString& name, const QString& nullability)
{
    return {name, QStringLiteral("INTEGER"), nullability, false, 0};
}

ColumnDef varchar(const QString& name, int length, const QString& nullability = QStringLiteral("NULL"))
{
    return {name, QStringLiteral("VARCHAR(%1)").arg(length), nullability, false, length};
}

const QString kNull = QStringLiteral("NULL");
const QString kNotNull = QStringLiteral("NOT NULL");

ForeignKeyDef fk(const QString& table, const QString& column, const QString& refTable, const QString& refColumn)
{
    const QChar sz(0x00DF);
    const QString name = table + sz + column + sz + sz + refTable + sz + refColumn;
    return {table, name, column, refTable, refColumn};
}

Error createTables(DbSession& session, const QList<TableDef>& tables)
{
    if (!session.isOpen())
        return session.error();
    for (const TableDef& t : tables)
        if (Error e = session.run(session.dialect().createTableStatement(t, Schema::foreignKeysOf(t.name))))
            return e;
    return {};
}

// Version 2: every foreign-key column is looked up by an in-use check, a citation load or the engine's own key
// check when a row it refers to is deleted; unindexed, each of those reads the whole table.
Error addForeignKeyIndexes(DbSession& session, const Schema::Percent& percent)
{
    const QList<IndexDef> indexes = Schema::foreignKeyIndexes();
    for (int i = 0; i < indexes.size(); ++i) {
        const IndexDef& index = indexes[i];
        if (Error e = session.run(session.dialect().createIndexStatement(index.name, index.table, index.column)))
            return e;
        if (percent)
            percent(int((i + 1) * 100 / indexes.size()));
    }
    return {};
}

// Makes the search indexes one at a time, telling after each how many of the texts are indexed (by rows): the
// engines build an index in one statement, so this is as often as the count can move.
using SearchIndexStep = Error (SqlDialect::*)(DbSession&, const QList<SearchIndexDef>&) const;
Error eachSearchIndex(DbSession& session, const Schema::Percent& percent, SearchIndexStep step)
{
    const QList<SearchIndexDef> indexes = Schema::searchIndexes();
    QList<qint64> rows;
    qint64 total = 0;
    for (const SearchIndexDef& x : indexes) {
        const Result<QList<qint64>> count = session.column<qint64>(QStringLiteral("SELECT COUNT(*) FROM ") + x.table);
        if (!count)
            return count.error();
        rows << count->value(0);
        total += rows.last();
    }
    if (percent)
        percent(0);
    qint64 done = 0;
    for (int i = 0; i < indexes.size(); ++i) {
        if (Error e = (session.dialect().*step)(session, {indexes[i]}))
            return e;
        done += rows[i];
        if (percent)
            percent(total > 0 ? int(done * 100 / total) : int((i + 1) * 100 / indexes.size()));
    }
    return {};
}

// Version 3: Find Citation looks for a text anywhere inside long texts; without an index every search reads
// every text of every citation.
Error addSearchIndexes(DbSession& session, const Schema::Percent& percent)
{
    return eachSearchIndex(session, percent, &SqlDialect::createSearchIndexes);
}

// Version 4: the server's trigram indexes look for the few specially spelled letters before replacing them,
// which makes rechecking a candidate several times cheaper.
Error renewSearchIndexes(DbSession& session, const Schema::Percent& percent)
{
    return eachSearchIndex(session, percent, &SqlDialect::renewSearchIndexes);
}

// Version 5: the server keeps the long texts uncompressed, so that rechecking a candidate of the index no longer
// unpacks its text, and its indexes skip the look for the spelled letters in a text of plain ASCII.
Error renewSearchedTextStorage(DbSession& session, const Schema::Percent& percent)
{
    return eachSearchIndex(session, percent, &SqlDialect::renewSearchedTextStorage);
}

struct Step {
    int toVersion;
    QString what;
    Error (*apply)(DbSession&, const Schema::Percent&);
};

const QList<Step>& upgradeSteps()
{
    static const QList<Step> steps{
        {2, QStringLiteral("Indexing the citations and their links..."), &addForeignKeyIndexes},
        {3, QStringLiteral("Indexing the citations' texts for Find Citation..."), &addSearchIndexes},
        {4, QStringLiteral("Indexing the citations' texts for Find Citation again..."), &renewSearchIndexes},
        {5, QStringLiteral("Storing the citations' texts for a quicker Find Citation..."), &renewSearchedTextStorage},
    };
    return steps;
}

Error setVersion(DbSession& session, int version)
{
    return session.run(session.dialect().setSchemaVersionStatement(session.context(), version));
}

Error stepsFrom(DbSession& session, int version, const Schema::Progress& progress, const Schema::Percent& percent)
{
    for (const Step& step : upgradeSteps()) {
        if (step.toVersion <= version)
            continue;
        if (progress)
            progress(step.what);
        if (Error e = step.apply(session, percent))
            return e;
    }
    return setVersion(session, Schema::kCurrentVersion);
}

// The version of a database that does not record it, told by what each version adds. The steps' own checks make
// it safe to take a version too low where a piece is missing: the upgrade then makes only what is not there.
Result<int> versionFromCatalogue(DbSession& session)
{
    Result<QStringList> indexes = session.column<QString>(session.dialect().userIndexesQuery());
    if (!indexes)
        return indexes.error();
    for (const IndexDef& index : Schema::foreignKeyIndexes())
        if (!indexes->contains(index.name, Qt::CaseInsensitive))
            return 1;
    // A server without the trigram extension has no search index at versions 3 and 4 either; taking it for
    // version 2 costs one more look for the extension.
    const Result<SqlDialect::SearchIndexState> search =
        session.dialect().searchIndexState(session, Schema::searchIndexes());
    if (!search)
        return search.error();
    switch (*search) {
    case SqlDialect::SearchIndexState::Incomplete:
        return 2;
    case SqlDialect::SearchIndexState::FirstForm:
        return 3;
    case SqlDialect::SearchIndexState::SecondForm:
        return 4;
    case SqlDialect::SearchIndexState::Current:
        break;
    }
    return 5;
}

QString databaseName(const DbSession& session)
{
    return session.context().connection.database.trimmed();
}
} // namespace

QList<TableDef> Schema::masterTables()
{
    return {
        {QStringLiteral("act_master"), {key(), varchar(QStringLiteral("act"), 255)}},
        {QStringLiteral("category_master"), {key(), varchar(QStringLiteral("category"), 255)}},
        {QStringLiteral("cm_issue_master"), {key(), varchar(QStringLiteral("issue"), 7900)}},
        {QStringLiteral("cm_judgment_master"), {key(), varchar(QStringLiteral("judgment"), 7900)}},
        {QStringLiteral("cm_nature_of_case_master"), {key(), varchar(QStringLiteral("nature_of_case"), 7900)}},
        {QStringLiteral("cm_fact_summary_master"), {key(), varchar(QStringLiteral("fact_summary"), 7900)}},
        {QStringLiteral("cm_remarks_master"), {key(), varchar(QStringLiteral("remarks"), 7900)}},
        {QStringLiteral("cm_rule_of_law_master"), {key(), varchar(QStringLiteral("rule_of_law"), 7900)}},
        {QStringLiteral("court_master"), {key(), varchar(QStringLiteral("court_name"), 100)}},
    };
}

TableDef Schema::caseTable()
{
    return {QStringLiteral("case_master"),
            {key(QStringLiteral("case_id")),
             varchar(QStringLiteral("citation"), 50, QString()),
             integer(QStringLiteral("judgment_id"), kNull),
             varchar(QStringLiteral("c_case"), 50),
             integer(QStringLiteral("nature_case_id"), kNull),
             integer(QStringLiteral("fact_summary_id"), kNull),
             integer(QStringLiteral("issue_id"), kNull),
             integer(QStringLiteral("rule_of_law_id"), kNull),
             integer(QStringLiteral("remarks_id"), kNull),
             {QStringLiteral("dt_of_judgment"), QStringLiteral("DATETIME"), QString(), false, 0}}};
}

QList<TableDef> Schema::linkTables()
{
    return {
        {QStringLiteral("cm_bench_name"),
         {key(), varchar(QStringLiteral("bench_name"), 200), integer(QStringLiteral("case_id"), kNotNull)}},
        {QStringLiteral("cmd_act_master"),
         {key(), integer(QStringLiteral("act_id"), kNotNull), integer(QStringLiteral("cmd_id"), kNotNull),
          varchar(QStringLiteral("section"), 200)}},
        {QStringLiteral("cmd_category_master"),
         {key(), integer(QStringLiteral("cat_id"), kNotNull), integer(QStringLiteral("cmd_id"), kNotNull)}},
        {QStringLiteral("cmd_court_master"),
         {key(), integer(QStringLiteral("court_id"), kNotNull), integer(QStringLiteral("cmd_id"), kNotNull)}},
    };
}

QList<TableDef> Schema::allTables()
{
    QList<TableDef> all = masterTables();
    all << caseTable() << linkTables();
    return all;
}

TableDef Schema::table(const QString& name)
{
    for (const TableDef& t : allTables())
        if (t.name == name)
            return t;
    return {};
}

QList<ForeignKeyDef> Schema::foreignKeys()
{
    const QString cm = QStringLiteral("case_master");
    const QString id = QStringLiteral("id");
    const QString caseId = QStringLiteral("case_id");
    const QString cmdId = QStringLiteral("cmd_id");
    return {
        fk(cm, QStringLiteral("judgment_id"), QStringLiteral("cm_judgment_master"), id),
        fk(cm, QStringLiteral("nature_case_id"), QStringLiteral("cm_nature_of_case_master"), id),
        fk(cm, QStringLiteral("fact_summary_id"), QStringLiteral("cm_fact_summary_master"), id),
        fk(cm, QStringLiteral("issue_id"), QStringLiteral("cm_issue_master"), id),
        fk(cm, QStringLiteral("remarks_id"), QStringLiteral("cm_remarks_master"), id),
        fk(cm, QStringLiteral("rule_of_law_id"), QStringLiteral("cm_rule_of_law_master"), id),
        fk(QStringLiteral("cm_bench_name"), caseId, cm, caseId),
        fk(QStringLiteral("cmd_category_master"), cmdId, cm, caseId),
        fk(QStringLiteral("cmd_court_master"), cmdId, cm, caseId),
        fk(QStringLiteral("cmd_act_master"), cmdId, cm, caseId),
        fk(QStringLiteral("cmd_category_master"), QStringLiteral("cat_id"), QStringLiteral("category_master"), id),
        fk(QStringLiteral("cmd_act_master"), QStringLiteral("act_id"), QStringLiteral("act_master"), id),
        fk(QStringLiteral("cmd_court_master"), QStringLiteral("court_id"), QStringLiteral("court_master"), id),
    };
}

QList<ForeignKeyDef> Schema::foreignKeysOf(const QString& table)
{
    QList<ForeignKeyDef> keys;
    for (const ForeignKeyDef& k : foreignKeys())
        if (k.table == table)
            keys << k;
    return keys;
}

QList<IndexDef> Schema::foreignKeyIndexes()
{
    QList<IndexDef> indexes;
    for (const ForeignKeyDef& k : foreignKeys())
        indexes.append({QStringLiteral("ix_%1_%2").arg(k.table, k.column), k.table, k.column});
    return indexes;
}

QList<SearchIndexDef> Schema::searchIndexes()
{
    QList<SearchIndexDef> indexes;
    for (const TableDef& t : allTables()) {
        for (const ColumnDef& c : t.columns) {
            if (!c.type.startsWith(QLatin1String("VARCHAR")))
                continue;
            // The six texts are declared 7,900 characters long; every other searched text at most 255.
            indexes.append(
                {QStringLiteral("search_") + c.name, t.name, c.name, t.columns.first().name, c.maxLength > 1000});
        }
    }
    return indexes;
}

SearchIndexDef Schema::searchIndexOf(const QString& table, const QString& column)
{
    for (const SearchIndexDef& index : searchIndexes())
        if (index.table == table && index.column == column)
            return index;
    return {};
}

Error Schema::createMasterTables(DbSession& session)
{
    return createTables(session, masterTables());
}

Error Schema::createCaseTable(DbSession& session)
{
    return createTables(session, {caseTable()});
}

Error Schema::createLinkTables(DbSession& session)
{
    return createTables(session, linkTables());
}

Error Schema::addForeignKeys(DbSession& session)
{
    if (!session.isOpen())
        return session.error();
    for (const ForeignKeyDef& k : foreignKeys()) {
        const QString statement = session.dialect().addForeignKeyStatement(k);
        if (statement.isEmpty())
            continue; // declared with its table
        if (Error e = session.run(statement))
            return e;
    }
    return {};
}

Error Schema::create(DbSession& session)
{
    return inTransaction(session, [&session]() -> Error {
        for (auto step : {&Schema::createMasterTables, &Schema::createCaseTable, &Schema::createLinkTables,
                          &Schema::addForeignKeys}) {
            if (Error e = step(session))
                return e;
        }
        return stepsFrom(session, 1, {}, {});
    });
}

Error Schema::create(const DbContext& ctx)
{
    DbSession session(ctx);
    if (!session.isOpen())
        return session.error();
    return create(session);
}

Error Schema::createScratch(DbSession& session)
{
    if (!session.isOpen())
        return session.error();
    return inTransaction(session, [&session]() -> Error {
        for (const TableDef& t : allTables())
            if (Error e = session.run(session.dialect().createScratchTableStatement(t)))
                return e;
        return {};
    });
}

Result<Schema::Status> Schema::inspect(DbSession& session)
{
    if (!session.isOpen())
        return session.error();
    Result<QStringList> present = session.column<QString>(session.dialect().userTablesQuery());
    if (!present)
        return present.error();
    Result<QSqlQuery> stored = session.query(session.dialect().schemaVersionQuery());
    if (!stored)
        return stored.error();
    const int recorded = stored->next() ? session.dialect().schemaVersionFrom(stored->value(0)) : 0;

    Status status;
    for (const TableDef& t : allTables())
        if (!present->contains(t.name, Qt::CaseInsensitive))
            status.missingTables << t.name;
    status.recorded = recorded > 0;
    status.version = recorded;
    if (recorded > kCurrentVersion) {
        status.state = State::Newer;
    } else if (!status.missingTables.isEmpty()) {
        status.state = State::NotOurs;
    } else if (!status.recorded) {
        // Made before versions were recorded, or a copy made by the engine's own tools, which lose the record.
        const Result<int> held = versionFromCatalogue(session);
        if (!held)
            return held.error();
        status.version = *held;
        status.state = State::Older;
    } else {
        status.state = status.version < kCurrentVersion ? State::Older : State::Current;
    }
    return status;
}

QString Schema::newerVersionMessage(const QString& database, int version)
{
    return QStringLiteral("The database \"%1\" was made by a newer version of Lexorium (schema version %2; this "
                          "program knows up to %3). It was left unchanged.")
        .arg(database)
        .arg(version)
        .arg(kCurrentVersion);
}

Error Schema::ensureCurrent(DbSession& session, const Progress& progress, const Percent& percent)
{
    Result<Status> status = inspect(session);
    if (!status)
        return status.error();
    switch (status->state) {
    case State::Current:
        return {};
    case State::Newer:
        return Error::other(newerVersionMessage(databaseName(session), status->version));
    case State::NotOurs:
        return Error::other(
            QStringLiteral("The database \"%1\" does not hold Lexorium's tables (%2 missing). It was left unchanged.")
                .arg(databaseName(session))
                .arg(status->missingTables.size() == allTables().size()
                         ? QStringLiteral("all of them")
                         : status->missingTables.join(QStringLiteral(", "))));
    case State::Older:
        break;
    }
    return inTransaction(session, [&]() -> Error {
        // Another program may have upgraded it meanwhile; look again under the write lock.
        if (Error e = session.lockForWrite(caseTable().name))
            return e;
        Result<Status> again = inspect(session);
        if (!again)
            return again.error();
        if (again->state != State::Older)
            return {};
        return stepsFrom(session, again->version, progress, percent);
    });
}
