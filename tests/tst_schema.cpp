#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/shared_data.h"
#include "support/db/earlier_schema.h"
#include "support/engine_copy.h"
#include "support/test_database.h"

#include <QSqlQuery>
#include <QTest>

#include <algorithm>

#include <future>
#include <thread>

namespace {
// The names of the program's indexes, as the engine's catalogue lists them.
QStringList indexNames(const TestDatabase& t)
{
    DbSession session(t.ctx());
    const QString sql = TestDatabase::isPostgres()
                            ? QStringLiteral("SELECT indexname FROM pg_indexes WHERE indexname LIKE 'ix!_%' ESCAPE '!'")
                            : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                             "name LIKE 'ix!_%' ESCAPE '!'");
    Result<QSqlQuery> q = session.query(sql);
    QStringList names;
    while (q && q->next())
        names << q->value(0).toString();
    names.sort();
    return names;
}

QStringList expectedIndexNames()
{
    QStringList names;
    for (const IndexDef& index : Schema::foreignKeyIndexes())
        names << index.name;
    names.sort();
    return names;
}

// A database made the way the program made them before versions were recorded: the four steps, each
// statement on its own.
bool makeVersionOne(const TestDatabase& t)
{
    DbSession session(t.ctx());
    for (auto step :
         {&Schema::createMasterTables, &Schema::createCaseTable, &Schema::createLinkTables, &Schema::addForeignKeys})
        if (step(session))
            return false;
    return true;
}

int recordedVersion(const DbContext& ctx)
{
    DbSession session(ctx);
    Result<QSqlQuery> q = session.query(session.dialect().schemaVersionQuery());
    return q && q->next() ? session.dialect().schemaVersionFrom(q->value(0)) : -1;
}

int recordedVersion(const TestDatabase& t)
{
    return recordedVersion(t.ctx());
}

const SearchIndexDef& judgmentIndex()
{
    static const SearchIndexDef index =
        Schema::searchIndexOf(QStringLiteral("cm_judgment_master"), QStringLiteral("judgment"));
    return index;
}

// The judgments whose text holds the word, as the search index answers.
QList<int> judgmentsHolding(DbSession& session, const QString& word)
{
    const SqlDialect& d = session.dialect();
    Result<QSqlQuery> q = session.query(QStringLiteral("SELECT id FROM cm_judgment_master WHERE %1 ORDER BY id")
                                            .arg(d.searchCandidateCondition(judgmentIndex(), QStringLiteral("id"), 1)),
                                        d.searchCandidateValues({word}));
    QList<int> ids;
    while (q && q->next())
        ids << q->value(0).toInt();
    if (!q)
        qWarning("%s", qPrintable(q.error().description));
    return ids;
}

Result<SqlDialect::SearchIndexState> searchIndexState(DbSession& session)
{
    return session.dialect().searchIndexState(session, Schema::searchIndexes());
}

bool forgetVersion(const DbContext& ctx)
{
    DbSession session(ctx);
    return bool(session.execute(session.dialect().setSchemaVersionStatement(ctx, 0)));
}
} // namespace

// Runs against the engine named by LEXORIUM_TEST_ENGINE.
class TestSchema : public QObject
{
    Q_OBJECT

private slots:
    void newDatabaseIsCurrentWithItsIndexes();
    void failureHalfwayLeavesNoTables();
    void scratchDatabaseHoldsTheTablesAlone();
    void versionOneIsUpgradedKeepingItsRows();
    void upgradeTellsHowManyTextsAreIndexed();
    void newerDatabaseIsRefusedAndLeftAlone();
    void databaseWithoutOurTablesIsRefused();
    void unrecordedVersionIsToldByWhatTheDatabaseHolds_data();
    void unrecordedVersionIsToldByWhatTheDatabaseHolds();
    void versionFourTextsAreStoredForSearchUnchanged();
    void candidateTextsAreTakenLiterally_data();
    void candidateTextsAreTakenLiterally();
    void copyMadeWithTheEnginesToolsIsUpgraded_data();
    void copyMadeWithTheEnginesToolsIsUpgraded();
    void transactionGuardRules();
    void concurrentKeysAreDistinct();
};

void TestSchema::newDatabaseIsCurrentWithItsIndexes()
{
    LEX_USE_DATABASE(t, true);
    QCOMPARE(recordedVersion(t), Schema::kCurrentVersion);
    QCOMPARE(indexNames(t), expectedIndexNames());
    QCOMPARE(Schema::foreignKeyIndexes().size(), 13);
    DbSession session(t.ctx());
    const Result<Schema::Status> status = Schema::inspect(session);
    QVERIFY2(status, qPrintable(status.error().description));
    QCOMPARE(status->state, Schema::State::Current);
    QVERIFY(!Schema::ensureCurrent(session));
    // Nothing but the fourteen tables: the version is not kept in a table of its own.
    QCOMPARE(TestDatabase::tableNames(t.ctx()).size(), 14);
}

void TestSchema::failureHalfwayLeavesNoTables()
{
    LEX_USE_DATABASE(t, false);
    {
        DbSession session(t.ctx());
        // The case table and the masters are made by then; the link tables are not.
        session.failNextStatementContaining(QStringLiteral("CREATE TABLE cm_bench_name"));
        const Error e = Schema::create(session);
        QVERIFY(e.isError());
        QVERIFY(e.description.contains(QLatin1String("cm_bench_name")));
    }
    QCOMPARE(TestDatabase::tableNames(t.ctx()), QStringList());
    QCOMPARE(recordedVersion(t), 0);
    // And the same database can then be made whole.
    QVERIFY(!Schema::create(t.ctx()));
    QCOMPARE(TestDatabase::tableNames(t.ctx()).size(), 14);
}

void TestSchema::scratchDatabaseHoldsTheTablesAlone()
{
    LEX_USE_DATABASE(t, false);
    {
        DbSession session(t.ctx());
        session.failNextStatementContaining(QStringLiteral("cm_bench_name"));
        QVERIFY(Schema::createScratch(session).isError());
    }
    QCOMPARE(TestDatabase::tableNames(t.ctx()), QStringList());

    DbSession session(t.ctx());
    QVERIFY(!Schema::createScratch(session));
    QCOMPARE(TestDatabase::tableNames(t.ctx()).size(), 14);
    QCOMPARE(indexNames(t), QStringList());
    QCOMPARE(recordedVersion(t), 0);
    Result<QSqlQuery> keys = session.query(session.dialect().foreignKeysQuery());
    QVERIFY2(keys, qPrintable(keys.error().description));
    QVERIFY(!keys->next());
    // No search index or trigger of it: nothing but the tables and their keys.
    const QString objects = TestDatabase::isPostgres()
                                ? QStringLiteral("SELECT COUNT(*) FROM pg_indexes WHERE schemaname = current_schema() "
                                                 "AND indexname LIKE 'search!_%' ESCAPE '!'")
                                : QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type IN ('trigger', "
                                                 "'view') OR name LIKE 'search!_%' ESCAPE '!'");
    QCOMPARE(t.scalar(objects).toInt(), 0);
    // A row may point at a parent not (yet) there; the database it finally goes to checks it.
    QVERIFY(session.execute(QStringLiteral("INSERT INTO cm_bench_name (id, bench_name, case_id) VALUES (?, ?, ?)"),
                            {1, QStringLiteral("A. Judge"), 77}));
}

// Each step's percentage climbs from where it starts to 100; the search index's moves by the texts indexed, so
// three judgments of four texts in all take it to 75 once theirs is made.
void TestSchema::upgradeTellsHowManyTextsAreIndexed()
{
    LEX_USE_DATABASE(t, false);
    QVERIFY(makeVersionOne(t));
    for (int id = 1; id <= 3; ++id)
        QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (?, 'held')"), {id}));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_remarks_master (id, remarks) VALUES (1, 'noted')")));

    DbSession session(t.ctx());
    QList<QPair<QString, int>> seen;
    QString step;
    const Error e = Schema::ensureCurrent(
        session, [&step](const QString& s) { step = s; }, [&](int percent) { seen << qMakePair(step, percent); });
    QVERIFY2(!e, qPrintable(e.description));
    QStringList steps;
    for (const auto& [name, percent] : seen) {
        if (steps.isEmpty() || steps.last() != name)
            steps << name;
    }
    QCOMPARE(steps.size(), Schema::kCurrentVersion - 1);
    for (const QString& name : steps) {
        QList<int> values;
        for (const auto& [n, percent] : seen)
            if (n == name)
                values << percent;
        QVERIFY2(std::is_sorted(values.begin(), values.end()), qPrintable(name));
        QCOMPARE(values.last(), 100);
    }
    QList<int> search;
    for (const auto& [n, percent] : seen)
        if (n == steps[1])
            search << percent;
    QVERIFY2(search.contains(75), qPrintable(QString::number(search.size())));
    QCOMPARE(search.first(), 0);
}

void TestSchema::versionOneIsUpgradedKeepingItsRows()
{
    LEX_USE_DATABASE(t, false);
    QVERIFY(makeVersionOne(t));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO category_master (id, category) VALUES (1, 'Tax')")));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation) VALUES (7, '2001 SCMR 1')")));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO cmd_category_master (id, cat_id, cmd_id) VALUES (1, 1, 7)")));
    QVERIFY(indexNames(t).isEmpty());

    DbSession session(t.ctx());
    Result<Schema::Status> before = Schema::inspect(session);
    QVERIFY(before);
    QCOMPARE(before->state, Schema::State::Older);
    QCOMPARE(before->version, 1);
    QStringList steps;
    const Error e = Schema::ensureCurrent(session, [&steps](const QString& step) { steps << step; });
    QVERIFY2(!e, qPrintable(e.description));
    // the key indexes, the search index, the search index renewed, the texts stored for the search
    QCOMPARE(steps.size(), 4);

    QCOMPARE(recordedVersion(t), Schema::kCurrentVersion);
    QCOMPARE(indexNames(t), expectedIndexNames());
    QCOMPARE(t.scalar(QStringLiteral("SELECT category FROM category_master WHERE id = 1")).toString(),
             QStringLiteral("Tax"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT cmd_id FROM cmd_category_master WHERE id = 1")).toInt(), 7);
    // Opening it again changes nothing more.
    QVERIFY(!Schema::ensureCurrent(session));
    QCOMPARE(Schema::inspect(session)->state, Schema::State::Current);
}

void TestSchema::newerDatabaseIsRefusedAndLeftAlone()
{
    LEX_USE_DATABASE(t, false);
    QVERIFY(makeVersionOne(t));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (1, 'Penal Code')")));
    {
        DbSession session(t.ctx());
        QVERIFY(session.execute(session.dialect().setSchemaVersionStatement(t.ctx(), 99)));
    }
    DbSession session(t.ctx());
    const Error e = Schema::ensureCurrent(session);
    QVERIFY(e.isError());
    QVERIFY2(e.description.contains(QLatin1String("newer version")), qPrintable(e.description));
    QVERIFY(e.description.contains(t.ctx().connection.database));
    QCOMPARE(recordedVersion(t), 99);
    QVERIFY(indexNames(t).isEmpty());
    QCOMPARE(t.scalar(QStringLiteral("SELECT act FROM act_master WHERE id = 1")).toString(),
             QStringLiteral("Penal Code"));
}

void TestSchema::databaseWithoutOurTablesIsRefused()
{
    LEX_USE_DATABASE(t, false);
    DbSession session(t.ctx());
    Error e = Schema::ensureCurrent(session);
    QVERIFY(e.isError());
    QVERIFY2(e.description.contains(QLatin1String("does not hold Lexorium's tables")), qPrintable(e.description));
    QVERIFY(e.description.contains(QLatin1String("all of them")));
    // Some of them only.
    QVERIFY(!Schema::createMasterTables(session));
    e = Schema::ensureCurrent(session);
    QVERIFY(e.description.contains(QLatin1String("case_master")));
    QCOMPARE(TestDatabase::tableNames(t.ctx()).size(), Schema::masterTables().size());
}

enum class Made {
    TablesAndKeys,
    KeyIndexes,
    KeyIndexMissing,
    Whole,
    SearchIndexPieceMissing,
    FirstSearchIndexForm,
    SecondSearchIndexForm
};
Q_DECLARE_METATYPE(Made)
Q_DECLARE_METATYPE(EngineCopy::Tool)

void TestSchema::unrecordedVersionIsToldByWhatTheDatabaseHolds_data()
{
    QTest::addColumn<Made>("made");
    QTest::addColumn<int>("told");
    QTest::newRow("tables and keys") << Made::TablesAndKeys << 1;
    QTest::newRow("with the key indexes") << Made::KeyIndexes << 2;
    QTest::newRow("whole but one key index") << Made::KeyIndexMissing << 1;
    QTest::newRow("whole") << Made::Whole << Schema::kCurrentVersion;
    QTest::newRow("a piece of the search index missing") << Made::SearchIndexPieceMissing << 2;
    if (TestDatabase::isPostgres()) {
        QTest::newRow("search index in its first form") << Made::FirstSearchIndexForm << 3;
        QTest::newRow("search index in its second form, texts compressed") << Made::SecondSearchIndexForm << 4;
    }
}

// A database that does not record its version is taken for the version its contents show, brought up to date
// without tripping over what it has already, and records its version again.
void TestSchema::unrecordedVersionIsToldByWhatTheDatabaseHolds()
{
    QFETCH(Made, made);
    QFETCH(int, told);
    LEX_USE_DATABASE(t, false);
    {
        DbSession session(t.ctx());
        if (made == Made::TablesAndKeys || made == Made::KeyIndexes) {
            QVERIFY(makeVersionOne(t));
            if (made == Made::KeyIndexes)
                for (const IndexDef& index : Schema::foreignKeyIndexes())
                    QVERIFY(
                        session.execute(session.dialect().createIndexStatement(index.name, index.table, index.column)));
        } else {
            QVERIFY(!Schema::create(session));
        }
        const SqlDialect& d = session.dialect();
        if (made == Made::KeyIndexMissing)
            QVERIFY(session.execute(QStringLiteral("DROP INDEX ") +
                                    d.quoteIdentifier(QStringLiteral("ix_cmd_court_master_cmd_id"))));
        if (made == Made::SearchIndexPieceMissing)
            QVERIFY(session.execute(TestDatabase::isPostgres() ? QStringLiteral("DROP INDEX search_judgment")
                                                               : QStringLiteral("DROP TRIGGER search_judgment_au")));
        if (made == Made::FirstSearchIndexForm) {
            const Error e = EarlierSchema::makeVersionThreeSearchIndex(session, judgmentIndex());
            QVERIFY2(!e, qPrintable(e.description));
        }
        if (made == Made::SecondSearchIndexForm) {
            const Error e = EarlierSchema::makeVersionFourTextStorage(session, judgmentIndex());
            QVERIFY2(!e, qPrintable(e.description));
        }
    }
    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (1, 'The appeal fails')")));
    QVERIFY(t.exec(
        QStringLiteral("INSERT INTO case_master (case_id, citation, judgment_id) VALUES (3, '1999 SCMR 3', 1)")));
    QVERIFY(forgetVersion(t.ctx()));
    QCOMPARE(recordedVersion(t), 0);

    DbSession session(t.ctx());
    const Result<Schema::Status> before = Schema::inspect(session);
    QVERIFY2(before, qPrintable(before.error().description));
    QCOMPARE(before->state, Schema::State::Older);
    QVERIFY(!before->recorded);
    QCOMPARE(before->version, told);
    QStringList steps;
    const Error e = Schema::ensureCurrent(session, [&steps](const QString& step) { steps << step; });
    QVERIFY2(!e, qPrintable(e.description));
    QCOMPARE(steps.size(), Schema::kCurrentVersion - told);

    QCOMPARE(recordedVersion(t), Schema::kCurrentVersion);
    QCOMPARE(indexNames(t), expectedIndexNames());
    const Result<SqlDialect::SearchIndexState> search = searchIndexState(session);
    QVERIFY(search);
    QCOMPARE(*search, SqlDialect::SearchIndexState::Current);
    QCOMPARE(judgmentsHolding(session, QStringLiteral("appeal")), QList<int>{1});
    // The index follows a change, whichever of its pieces was made again.
    QVERIFY(
        session.execute(QStringLiteral("UPDATE cm_judgment_master SET judgment = 'Petition allowed' WHERE id = 1")));
    QCOMPARE(judgmentsHolding(session, QStringLiteral("petition")), QList<int>{1});
    QCOMPARE(judgmentsHolding(session, QStringLiteral("appeal")), QList<int>{});
    QCOMPARE(t.scalar(QStringLiteral("SELECT citation FROM case_master WHERE case_id = 3")).toString(),
             QStringLiteral("1999 SCMR 3"));
    QCOMPARE(Schema::inspect(session)->state, Schema::State::Current);
}

// Version 5 stores the long texts uncompressed on the server and makes their indexes again; every text comes
// through exactly as it was and is found by the new index, spelled letters and all.
void TestSchema::versionFourTextsAreStoredForSearchUnchanged()
{
    LEX_USE_DATABASE(t, true);
    const QString longText = QStringLiteral("The appeal fails. ").repeated(400); // compresses well
    const QString spelled = QStringLiteral("Die Straße und der Fluß");
    const QString beyondAscii = QStringLiteral("Müller v. Ørsted, Σοφός");
    const QStringList texts{longText, spelled, beyondAscii};
    for (int id = 1; id <= texts.size(); ++id)
        QVERIFY(
            t.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (?, ?)"), {id, texts[id - 1]}));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (4, NULL)")));
    {
        DbSession session(t.ctx());
        const Error e = EarlierSchema::makeVersionFourTextStorage(session, judgmentIndex());
        QVERIFY2(!e, qPrintable(e.description));
        QVERIFY(session.execute(session.dialect().setSchemaVersionStatement(t.ctx(), 4)));
        QCOMPARE(EarlierSchema::holdsCompressedTexts(session, judgmentIndex()).valueOr(false),
                 TestDatabase::isPostgres());
    }
    DbSession session(t.ctx());
    QCOMPARE(Schema::inspect(session)->state, Schema::State::Older);
    QStringList steps;
    const Error e = Schema::ensureCurrent(session, [&steps](const QString& step) { steps << step; });
    QVERIFY2(!e, qPrintable(e.description));
    QCOMPARE(steps.size(), 1);
    QCOMPARE(recordedVersion(t), Schema::kCurrentVersion);
    QCOMPARE(*searchIndexState(session), SqlDialect::SearchIndexState::Current);
    const Result<bool> compressed = EarlierSchema::holdsCompressedTexts(session, judgmentIndex());
    QVERIFY2(compressed, qPrintable(compressed.error().description));
    QVERIFY(!*compressed);
    for (int id = 1; id <= texts.size(); ++id)
        QCOMPARE(t.scalar(QStringLiteral("SELECT judgment FROM cm_judgment_master WHERE id = ?"), {id}).toString(),
                 texts[id - 1]);
    QVERIFY(t.scalar(QStringLiteral("SELECT judgment FROM cm_judgment_master WHERE id = 4")).isNull());
    QCOMPARE(judgmentsHolding(session, QStringLiteral("APPEAL FAILS")), QList<int>{1});
    QCOMPARE(judgmentsHolding(session, QStringLiteral("strasse")), QList<int>{2});
    QCOMPARE(judgmentsHolding(session, QStringLiteral("MÜLLER")), QList<int>{3});
    QCOMPARE(judgmentsHolding(session, QStringLiteral("ørsted")), QList<int>{3});
    // A text written afterwards is stored and found the same way.
    QVERIFY(session.execute(QStringLiteral("UPDATE cm_judgment_master SET judgment = ? WHERE id = 4"),
                            {QStringLiteral("Leave granted. ").repeated(300)}));
    QCOMPARE(judgmentsHolding(session, QStringLiteral("leave granted")), QList<int>{4});
    QVERIFY(!*EarlierSchema::holdsCompressedTexts(session, judgmentIndex()));
}

void TestSchema::candidateTextsAreTakenLiterally_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("expected");
    // 1 "a+b (c) [x]", 2 "aab cc x", 3 "cost $1.50 or 1x50", 4 "back\\slash ^caret| {2} a?b *star*"
    QTest::newRow("plus") << QStringLiteral("a+b") << QList<int>{1};
    QTest::newRow("brackets") << QStringLiteral("[x]") << QList<int>{1};
    QTest::newRow("parentheses") << QStringLiteral("(c)") << QList<int>{1};
    QTest::newRow("dollar and dot") << QStringLiteral("$1.5") << QList<int>{3};
    QTest::newRow("dot is no wildcard") << QStringLiteral("1.50") << QList<int>{3};
    QTest::newRow("backslash") << QStringLiteral("k\\s") << QList<int>{4};
    QTest::newRow("caret and bar") << QStringLiteral("^caret|") << QList<int>{4};
    QTest::newRow("braces") << QStringLiteral("{2}") << QList<int>{4};
    QTest::newRow("question mark") << QStringLiteral("a?b") << QList<int>{4};
    QTest::newRow("stars") << QStringLiteral("*star*") << QList<int>{4};
    QTest::newRow("percent and underscore") << QStringLiteral("1%_") << QList<int>{};
}

// What the index is asked for is the text itself, whatever its punctuation means to the engine.
void TestSchema::candidateTextsAreTakenLiterally()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, expected);
    LEX_USE_DATABASE(t, true);
    const QStringList texts{QStringLiteral("a+b (c) [x]"), QStringLiteral("aab cc x"),
                            QStringLiteral("cost $1.50 or 1x50"),
                            QStringLiteral("back\\slash ^caret| {2} a?b *star* 1 %_")};
    for (int id = 1; id <= texts.size(); ++id)
        QVERIFY(
            t.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (?, ?)"), {id, texts[id - 1]}));
    DbSession session(t.ctx());
    QCOMPARE(judgmentsHolding(session, text), expected);
}

void TestSchema::copyMadeWithTheEnginesToolsIsUpgraded_data()
{
    QTest::addColumn<EngineCopy::Tool>("tool");
    QTest::newRow("dump and restore") << EngineCopy::Tool::Dump;
    if (TestDatabase::isPostgres())
        QTest::newRow("template") << EngineCopy::Tool::Template;
}

// A backup restored outside the program holds everything but the recorded version.
void TestSchema::copyMadeWithTheEnginesToolsIsUpgraded()
{
    QFETCH(EngineCopy::Tool, tool);
    LEX_USE_DATABASE(original, true);
    QVERIFY(original.addSampleMasters());
    QVERIFY(original.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (1, ?)"),
                          {QStringLiteral("Die Straße of the appeal")}));
    QVERIFY(original.exec(
        QStringLiteral("INSERT INTO case_master (case_id, citation, judgment_id) VALUES (5, '2004 PLD 5', 1)")));
    QVERIFY(original.exec(QStringLiteral("INSERT INTO cmd_court_master (id, court_id, cmd_id) VALUES (1, 2, 5)")));
    LEX_USE_DATABASE(copy, false);
    QString why;
    LEX_REQUIRE_READY(EngineCopy::copy(original.ctx(), copy.ctx(), tool, &why), why);
    QCOMPARE(recordedVersion(copy.ctx()), 0);
    // The engine's own tables behind the search index are no tables of ours.
    QCOMPARE(TestDatabase::tableNames(copy.ctx()).size(), 14);

    DbSession session(copy.ctx());
    const Result<Schema::Status> before = Schema::inspect(session);
    QVERIFY2(before, qPrintable(before.error().description));
    QCOMPARE(before->state, Schema::State::Older);
    QCOMPARE(before->version, Schema::kCurrentVersion);
    const Error e = Schema::ensureCurrent(session);
    QVERIFY2(!e, qPrintable(e.description));
    QCOMPARE(recordedVersion(copy.ctx()), Schema::kCurrentVersion);
    QCOMPARE(Schema::inspect(session)->state, Schema::State::Current);
    QCOMPARE(judgmentsHolding(session, QStringLiteral("STRASSE")), QList<int>{1});
    QVERIFY(
        session.execute(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (2, 'A new appeal')")));
    QCOMPARE(judgmentsHolding(session, QStringLiteral("appeal")), (QList<int>{1, 2}));
    if (!TestDatabase::isPostgres())
        QVERIFY(
            session.execute(QStringLiteral("INSERT INTO search_judgment(search_judgment) VALUES ('integrity-check')")));
    // Its keys still hold.
    QVERIFY(!session.execute(QStringLiteral("INSERT INTO cmd_court_master (id, court_id, cmd_id) VALUES (2, 9, 5)")));
    // And the original is as it was.
    QCOMPARE(recordedVersion(original.ctx()), Schema::kCurrentVersion);
}

void TestSchema::transactionGuardRules()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    const QString insert = QStringLiteral("INSERT INTO court_master (id, court_name) VALUES (?, ?)");
    const auto count = [&t] {
        return t.scalar(QStringLiteral("SELECT COUNT(*) FROM court_master")).toInt();
    };
    {
        TransactionGuard guard(session);
        QVERIFY(!guard.error());
        QVERIFY(session.execute(insert, {1, QStringLiteral("Supreme Court")}));
        // Left without commit: rolled back.
    }
    QCOMPARE(count(), 0);
    QVERIFY(!session.inTransaction());
    {
        TransactionGuard outer(session);
        QVERIFY(session.execute(insert, {1, QStringLiteral("High Court")}));
        {
            TransactionGuard inner(session);
            QVERIFY(session.execute(insert, {2, QStringLiteral("District Court")}));
            QVERIFY(!inner.commit()); // joins; the outer one decides
        }
        QCOMPARE(count(), 0); // not visible to another connection yet
        QVERIFY(!outer.commit());
    }
    QCOMPARE(count(), 2);
    {
        TransactionGuard outer(session);
        QVERIFY(session.execute(insert, {3, QStringLiteral("Tribunal")}));
        {
            TransactionGuard inner(session); // a failed step: no commit
        }
        const Error e = outer.commit();
        QVERIFY(e.isError());
    }
    QCOMPARE(count(), 2);
    // A failing statement inside a transaction spoils the whole of it.
    const Error e = inTransaction(session, [&]() -> Error {
        if (!session.execute(insert, {4, QStringLiteral("Board")}))
            return Error::other(QStringLiteral("first insert failed"));
        Result<int> dup = session.execute(insert, {1, QStringLiteral("Duplicate key")});
        return dup ? Error() : dup.error();
    });
    QVERIFY(e.isError());
    QCOMPARE(count(), 2);
}

void TestSchema::concurrentKeysAreDistinct()
{
    LEX_USE_DATABASE(t, true);
    const QString insert = QStringLiteral("INSERT INTO category_master (id, category) VALUES (?, ?)");
    DbSession first(t.ctx());
    TransactionGuard guard(first);
    QVERIFY(!guard.error());
    const Result<qint64> firstKey = SharedData::getNextId(first, QStringLiteral("category_master"));
    QVERIFY(firstKey);
    QCOMPARE(*firstKey, qint64(1));
    QVERIFY(first.execute(insert, {*firstKey, QStringLiteral("First")}));

    // A second writer, started while the first holds its key, waits for it and takes the next one.
    std::promise<void> started;
    std::future<void> isStarted = started.get_future();
    Result<qint64> secondKey(Error::other(QStringLiteral("not run")));
    Error secondError;
    const DbContext ctx = t.ctx();
    std::thread second([&] {
        DbSession session(ctx);
        started.set_value();
        secondError = inTransaction(session, [&]() -> Error {
            secondKey = SharedData::getNextId(session, QStringLiteral("category_master"));
            if (!secondKey)
                return secondKey.error();
            Result<int> r = session.execute(insert, {*secondKey, QStringLiteral("Second")});
            return r ? Error() : r.error();
        });
    });
    isStarted.wait();
    QTest::qWait(200); // give the second writer time to reach the lock; it must wait there, not pass it
    const Error committed = guard.commit();
    second.join();
    QVERIFY2(!committed, qPrintable(committed.description));
    QVERIFY2(!secondError, qPrintable(secondError.description));
    QCOMPARE(*secondKey, qint64(2));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM category_master")).toInt(), 2);
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
