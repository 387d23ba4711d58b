#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/shared_data.h"
#include "core/db/sqlite_dialect.h"
#include "support/test_database.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

// Runs against the engine named by LEXORIUM_TEST_ENGINE.
class TestDbFoundation : public QObject
{
    Q_OBJECT

private slots:
    void schemaHasEveryTableAndColumn();
    void creatingTheSchemaTwiceFailsAndChangesNothing();
    void foreignKeysAreEnforced();
    void textLengthsAreEnforced();
    void constraintNamesCarryTheSharpS();
    void nextIdRule();
    void nextIdRefusesBadTableNames();
    void fieldById();
    void fieldByIdReportsFailures();
    void sessionRunsAndReadsRows();
    void savepointUndoesItsPartAlone();
    void createAndDropDatabase();
    void copiedDatabaseHoldsTheRowsAndStaysApart();
    void plainDatabaseName_data();
    void plainDatabaseName();
    void newDatabaseFilesAreTheUsersOnly();
    void dropTempTablesDropsOnlyTheTwo();
    void passwordsWithSemicolonsAndQuotesLogIn();
};

void TestDbFoundation::schemaHasEveryTableAndColumn()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    Result<QStringList> found = DatabaseAdmin::userTables(session);
    QVERIFY2(found, qPrintable(found.error().description));
    QStringList tables = *found;
    for (QString& name : tables)
        name = name.toLower();
    QList<TableDef> all = Schema::masterTables();
    all << Schema::caseTable() << Schema::linkTables();
    QCOMPARE(tables.size(), all.size());
    for (const TableDef& def : all) {
        QVERIFY2(tables.contains(def.name), qPrintable(def.name));
        QSqlQuery q(session.db());
        QVERIFY(q.exec(QStringLiteral("SELECT * FROM ") + def.name));
        QCOMPARE(q.record().count(), def.columns.size());
        for (int i = 0; i < def.columns.size(); ++i)
            QCOMPARE(q.record().fieldName(i).toLower(), def.columns[i].name);
    }
}

void TestDbFoundation::creatingTheSchemaTwiceFailsAndChangesNothing()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (?, ?)"), {1, QStringLiteral("Penal")}));
    DbSession session(t.ctx());
    const Error e = Schema::createMasterTables(session);
    QVERIFY(e.isError());
    QVERIFY(!e.description.isEmpty());
    QCOMPARE(t.scalar(QStringLiteral("SELECT act FROM act_master WHERE id = 1")).toString(), QStringLiteral("Penal"));
}

void TestDbFoundation::foreignKeysAreEnforced()
{
    LEX_USE_DATABASE(t, true);
    // A link to an Act that does not exist.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation) VALUES (1, 'PLD 1990 SC 1')")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("failed")));
    QVERIFY(!t.exec(QStringLiteral("INSERT INTO cmd_act_master (id, act_id, cmd_id, section) VALUES (1, 99, 1, 's')")));

    // A citation that still has bench names cannot go.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_bench_name (id, bench_name, case_id) VALUES (1, 'J. Khan', 1)")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("failed")));
    QVERIFY(!t.exec(QStringLiteral("DELETE FROM case_master WHERE case_id = 1")));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toInt(), 1);

    // Text rows are referenced from the citation.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (5, 'held')")));
    QVERIFY(t.exec(QStringLiteral("UPDATE case_master SET judgment_id = 5 WHERE case_id = 1")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("failed")));
    QVERIFY(!t.exec(QStringLiteral("DELETE FROM cm_judgment_master WHERE id = 5")));
}

void TestDbFoundation::textLengthsAreEnforced()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (?, ?)"),
                   {1, QString(7900, QLatin1Char('x'))}));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("failed")));
    QVERIFY(!t.exec(QStringLiteral("INSERT INTO cm_judgment_master (id, judgment) VALUES (?, ?)"),
                    {2, QString(7901, QLatin1Char('x'))}));
    // Characters, not bytes, are counted.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO court_master (id, court_name) VALUES (?, ?)"),
                   {1, QString(100, QChar(0x00DF))}));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("failed")));
    QVERIFY(!t.exec(QStringLiteral("INSERT INTO court_master (id, court_name) VALUES (?, ?)"),
                    {2, QString(101, QLatin1Char('c'))}));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM court_master")).toInt(), 1);
}

void TestDbFoundation::constraintNamesCarryTheSharpS()
{
    const QList<ForeignKeyDef> keys = Schema::foreignKeys();
    QCOMPARE(keys.size(), 13);
    QCOMPARE(keys.first().name,
             QString::fromUtf8("case_master\u00dfjudgment_id\u00df\u00dfcm_judgment_master\u00dfid"));
    QCOMPARE(keys.last().name, QString::fromUtf8("cmd_court_master\u00dfcourt_id\u00df\u00dfcourt_master\u00dfid"));
    if (!TestDatabase::isPostgres())
        return;
    LEX_USE_DATABASE(t, true);
    const QVariant n = t.scalar(QStringLiteral("SELECT COUNT(*) FROM information_schema.table_constraints "
                                               "WHERE constraint_type = 'FOREIGN KEY' AND constraint_name = ?"),
                                {keys.at(3).name});
    QCOMPARE(n.toInt(), 1);
}

void TestDbFoundation::nextIdRule()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    QCOMPARE(SharedData::getNextId(session, QStringLiteral("category_master")).valueOr(-1), qint64(1));
    for (int id : {1, 2, 7})
        QVERIFY(t.exec(QStringLiteral("INSERT INTO category_master (id, category) VALUES (?, 'c')"), {id}));
    QCOMPARE(SharedData::getNextId(session, QStringLiteral("category_master")).valueOr(-1), qint64(8));
    // Table names are not case sensitive: the screens ask for "category_Master".
    QCOMPARE(SharedData::getNextId(session, QStringLiteral("category_Master")).valueOr(-1), qint64(8));
    QVERIFY(t.exec(QStringLiteral("DELETE FROM category_master WHERE id = 7")));
    QCOMPARE(SharedData::getNextId(session, QStringLiteral("category_master")).valueOr(-1), qint64(3));
    // case_master keys on case_id.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation) VALUES (41, 'x')")));
    QCOMPARE(SharedData::getNextId(session, QStringLiteral("case_master")).valueOr(-1), qint64(42));
}

void TestDbFoundation::nextIdRefusesBadTableNames()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    QVERIFY(!SharedData::getNextId(session, QStringLiteral("act_master; DROP TABLE act_master")));
    QVERIFY(!SharedData::getNextId(session, QStringLiteral("no_such_table")));
    QVERIFY(t.scalar(QStringLiteral("SELECT COUNT(*) FROM act_master")).isValid());
}

void TestDbFoundation::fieldById()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (3, 'Contract Act')")));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (9, 'O''Brien''s Act')")));
    DbSession session(t.ctx());
    const QString act = QStringLiteral("act_master");
    Result<QVariant> r = SharedData::getFieldById(session, act, QStringLiteral("id"), 9, QStringLiteral("act"));
    QVERIFY2(r, qPrintable(r.error().description));
    QCOMPARE(r->toString(), QStringLiteral("O'Brien's Act"));
    // By position, and with the key given as text.
    r = SharedData::getFieldById(session, act, 0, QStringLiteral("3"), 1);
    QCOMPARE(r.valueOr({}).toString(), QStringLiteral("Contract Act"));
    r = SharedData::getFieldById(session, act, QStringLiteral("id"), 4, QStringLiteral("act"));
    QVERIFY(r);
    QVERIFY(r->isNull());
    // A key value that looks like SQL is only a value.
    r = SharedData::getFieldById(session, act, QStringLiteral("act"), QStringLiteral("x' OR '1'='1"),
                                 QStringLiteral("id"));
    QVERIFY(r);
    QVERIFY(r->isNull());
}

void TestDbFoundation::fieldByIdReportsFailures()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    const QString act = QStringLiteral("act_master");
    QVERIFY(!SharedData::getFieldById(session, act, QStringLiteral("nope"), 1, QStringLiteral("act")));
    QVERIFY(!SharedData::getFieldById(session, act, 0, 1, 5));
    QVERIFY(!SharedData::getFieldById(session, QStringLiteral("act_master x"), 0, 1, 1));
    // The engine's own words come through.
    const Result<QVariant> missing =
        SharedData::getFieldById(session, act, QStringLiteral("nope"), 1, QStringLiteral("act"));
    QVERIFY(missing.error().description.contains(QLatin1String("nope")));
}

// run, column and forEachRow: the engine's words on failure, inside a transaction the failure spoils the commit,
// and forEachRow stops where its function says.
void TestDbFoundation::sessionRunsAndReadsRows()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    for (int id : {3, 1, 2})
        QVERIFY(!session.run(QStringLiteral("INSERT INTO court_master (id,court_name) VALUES (?,?)"),
                             {id, QStringLiteral("Court %1").arg(id)}));
    const Result<QList<qint64>> ids =
        session.column<qint64>(QStringLiteral("SELECT id FROM court_master WHERE id > ? ORDER BY id"), {1});
    QVERIFY(ids);
    QCOMPARE(*ids, (QList<qint64>{2, 3}));
    QCOMPARE(session.column<QString>(QStringLiteral("SELECT court_name FROM court_master WHERE id = ?"), {9})->size(),
             0);
    QStringList seen;
    QVERIFY(!session.forEachRow(QStringLiteral("SELECT court_name FROM court_master ORDER BY id"), {},
                                [&seen](const QSqlQuery& q) {
                                    seen << q.value(0).toString();
                                    return seen.size() < 2;
                                }));
    QCOMPARE(seen, (QStringList{QStringLiteral("Court 1"), QStringLiteral("Court 2")}));

    const Error bad = session.run(QStringLiteral("UPDATE court_master SET nope = 1"));
    QVERIFY(bad.isError());
    QVERIFY(bad.description.contains(QLatin1String("nope")));
    QVERIFY(!session.column<qint64>(QStringLiteral("SELECT nope FROM court_master")));
    QVERIFY(
        session.forEachRow(QStringLiteral("SELECT nope FROM court_master"), {}, [](const QSqlQuery&) { return true; }));
    {
        TransactionGuard guard(session);
        QVERIFY(!session.run(QStringLiteral("DELETE FROM court_master WHERE id = ?"), {1}));
        QVERIFY(session.run(QStringLiteral("DELETE FROM nowhere")).isError());
        QVERIFY(guard.commit().isError());
    }
    QCOMPARE(session.column<qint64>(QStringLiteral("SELECT id FROM court_master ORDER BY id"))->size(), 3);
}

// A part of a transaction kept, one spoilt by a failed statement and one left without release: only the kept
// part and what came before it are committed.
void TestDbFoundation::savepointUndoesItsPartAlone()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    const QString insert = QStringLiteral("INSERT INTO court_master (id,court_name) VALUES (?,?)");
    QVERIFY(Savepoint(session).error().isError()); // no transaction to be part of
    {
        TransactionGuard guard(session);
        QVERIFY(!session.run(insert, {1, QStringLiteral("before")}));
        {
            Savepoint kept(session);
            QVERIFY(!kept.error());
            QVERIFY(!session.run(insert, {2, QStringLiteral("kept")}));
            QVERIFY(!kept.release());
        }
        {
            Savepoint spoilt(session);
            QVERIFY(!session.run(insert, {3, QStringLiteral("spoilt")}));
            QVERIFY(session.run(QStringLiteral("DELETE FROM nowhere")).isError());
            QVERIFY(spoilt.release().isError());
        }
        {
            Savepoint abandoned(session);
            QVERIFY(!session.run(insert, {4, QStringLiteral("abandoned")}));
        }
        // An inner guard that fails inside a part spoils that part only.
        {
            Savepoint part(session);
            {
                TransactionGuard inner(session);
                QVERIFY(!session.run(insert, {5, QStringLiteral("inner")}));
            }
            QVERIFY(part.release().isError());
        }
        QVERIFY(!session.run(insert, {6, QStringLiteral("after")}));
        QVERIFY(!guard.commit());
    }
    QCOMPARE(*session.column<qint64>(QStringLiteral("SELECT id FROM court_master ORDER BY id")),
             (QList<qint64>{1, 2, 6}));
}

void TestDbFoundation::createAndDropDatabase()
{
    LEX_PREPARE_DATABASE(t);
    DbContext ctx = t.ctx();
    // Letter case and an inner blank are kept as typed.
    ctx.connection.database = QStringLiteral("Chambers ") + ctx.connection.database;
    QVERIFY(TestDatabase::openError(ctx).isError()); // not there yet, and opening must not create it
    QVERIFY(TestDatabase::openError(ctx).isError());
    QVERIFY(!DatabaseAdmin::createDatabase(ctx));
    const Error again = DatabaseAdmin::createDatabase(ctx);
    QCOMPARE(again.kind, Error::Kind::AlreadyExists);
    QVERIFY(!TestDatabase::openError(ctx));
    QVERIFY(!DatabaseAdmin::dropDatabase(ctx));
    QVERIFY(TestDatabase::openError(ctx).isError());
}

// A copy holds what the original held, as a database the program opens, and is apart from it; a copy onto a
// database that is there already is refused and changes neither.
void TestDbFoundation::copiedDatabaseHoldsTheRowsAndStaysApart()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (1, 'Evidence Act')")));
    LEX_PREPARE_DATABASE(copy);
    QCOMPARE(DatabaseAdmin::databaseExists(copy.ctx()).valueOr(true), false);
    const Error e = DatabaseAdmin::copyDatabase(t.ctx(), copy.ctx());
    const auto dropCopy = qScopeGuard([&] { DatabaseAdmin::dropDatabase(copy.ctx()); });
    QVERIFY2(!e, qPrintable(e.description));
    QCOMPARE(DatabaseAdmin::databaseExists(copy.ctx()).valueOr(false), true);
    {
        DbSession session(copy.ctx());
        const Result<Schema::Status> info = Schema::inspect(session);
        QVERIFY(info);
        QCOMPARE(info->version, Schema::kCurrentVersion);
    }
    QCOMPARE(copy.scalar(QStringLiteral("SELECT act FROM act_master WHERE id = 1")).toString(),
             QStringLiteral("Evidence Act"));
    QVERIFY(copy.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (2, 'Contract Act')")));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM act_master")).toInt(), 1);

    const Error again = DatabaseAdmin::copyDatabase(t.ctx(), copy.ctx());
    QCOMPARE(again.kind, Error::Kind::AlreadyExists);
    QCOMPARE(copy.scalar(QStringLiteral("SELECT COUNT(*) FROM act_master")).toInt(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM act_master")).toInt(), 1);
}

// A merge names its working copy after the second database: on the embedded engine a database typed as the path
// of its file is known by the file's name.
void TestDbFoundation::plainDatabaseName_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("plain");
    QTest::newRow("embedded, a name") << QStringLiteral("(local)") << QStringLiteral("Chambers")
                                      << QStringLiteral("Chambers");
    QTest::newRow("embedded, a name padded")
        << QStringLiteral(" (local) ") << QStringLiteral("  Chambers ") << QStringLiteral("Chambers");
    QTest::newRow("embedded, a file's path")
        << QStringLiteral("(local)") << QStringLiteral("/home/clerk/Copies/Chambers 2019.db")
        << QStringLiteral("Chambers 2019");
    QTest::newRow("embedded, a file's path with two dots")
        << QStringLiteral("(local)") << QStringLiteral("/tmp/old.copy.db") << QStringLiteral("old.copy");
    QTest::newRow("embedded, a relative path is a name")
        << QStringLiteral("(local)") << QStringLiteral("Copies/Chambers") << QStringLiteral("Copies/Chambers");
    QTest::newRow("server, a name") << QStringLiteral("db.example:5433") << QStringLiteral("Chambers")
                                    << QStringLiteral("Chambers");
    QTest::newRow("server, a name like a path")
        << QStringLiteral("db.example") << QStringLiteral("/home/clerk/Chambers.db")
        << QStringLiteral("/home/clerk/Chambers.db");
}

void TestDbFoundation::plainDatabaseName()
{
    QFETCH(QString, server);
    QFETCH(QString, typed);
    QFETCH(QString, plain);
    const DbContext ctx{QDir::tempPath(), ConnectionString{server, QStringLiteral("u"), typed, QStringLiteral("p")}};
    QCOMPARE(DatabaseAdmin::plainDatabaseName(ctx), plain);
}

namespace {
// Whether nobody but the file's owner may read, write or enter it.
bool ownerOnly(const QString& path)
{
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const QFileInfo info(path);
    return info.exists() && !(info.permissions() & others) && (info.permissions() & QFileDevice::ReadOwner) &&
           (info.permissions() & QFileDevice::WriteOwner);
}
} // namespace

// The database holds the user's data, as private as the settings file beside it; so is the engine's journal.
void TestDbFoundation::newDatabaseFilesAreTheUsersOnly()
{
    if (TestDatabase::isPostgres())
        QSKIP("the server keeps its files itself");
    LEX_PREPARE_DATABASE(t);
    const DbContext& ctx = t.ctx();
    QVERIFY(!QFileInfo::exists(ctx.dataDir()));
    QVERIFY(!DatabaseAdmin::createDatabase(ctx));
    QVERIFY(ownerOnly(ctx.dataDir()));
    QVERIFY(QFileInfo(ctx.dataDir()).permissions() & QFileDevice::ExeOwner);
    const QString file = SqliteDialect::databaseFile(ctx);
    QVERIFY(ownerOnly(file));
    QVERIFY(!Schema::create(ctx));
    {
        DbSession session(ctx);
        TransactionGuard guard(session);
        QVERIFY(session.execute(QStringLiteral("INSERT INTO act_master (id, act) VALUES (1, 'Evidence Act')")));
        QVERIFY(QFileInfo::exists(file + QStringLiteral("-journal")));
        QVERIFY(ownerOnly(file + QStringLiteral("-journal")));
    }
    QVERIFY(ownerOnly(file));
    // A folder that was there already keeps the mode its owner gave it.
    LEX_PREPARE_DATABASE(shared);
    QVERIFY(QDir().mkdir(shared.ctx().dataDir()));
    const QFileDevice::Permissions chosen = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    QVERIFY(QFile::setPermissions(shared.ctx().dataDir(), chosen));
    QVERIFY(!DatabaseAdmin::createDatabase(shared.ctx()));
    QCOMPARE(QFileInfo(shared.ctx().dataDir()).permissions() & ~QFileDevice::Permissions(0x0F00), chosen);
    QVERIFY(ownerOnly(SqliteDialect::databaseFile(shared.ctx())));
}

void TestDbFoundation::dropTempTablesDropsOnlyTheTwo()
{
    LEX_USE_DATABASE(t, true);
    const bool pg = TestDatabase::isPostgres();
    // Mixed case must survive as written, so it is quoted.
    QVERIFY(t.exec(pg ? QStringLiteral("CREATE TABLE \"TMP_Case_Master\" (id INTEGER)")
                      : QStringLiteral("CREATE TABLE TMP_Case_Master (id INTEGER)")));
    QVERIFY(t.exec(QStringLiteral("CREATE TABLE tmp_master_tbl (id INTEGER)")));
    QVERIFY(t.exec(QStringLiteral("CREATE TABLE tmp_other (id INTEGER)")));
    QStringList dropped;
    DbSession session(t.ctx());
    QVERIFY(!DatabaseAdmin::dropTempTables(session, &dropped));
    QCOMPARE(dropped.size(), 2);
    QStringList left = DatabaseAdmin::userTables(session).valueOr({});
    for (QString& n : left)
        n = n.toLower();
    QVERIFY(!left.contains(QStringLiteral("tmp_case_master")));
    QVERIFY(!left.contains(QStringLiteral("tmp_master_tbl")));
    QVERIFY(left.contains(QStringLiteral("tmp_other")));
    QVERIFY(left.contains(QStringLiteral("case_master")));
    // Nothing to drop is not an error.
    dropped.clear();
    QVERIFY(!DatabaseAdmin::dropTempTables(session, &dropped));
    QVERIFY(dropped.isEmpty());
}

void TestDbFoundation::passwordsWithSemicolonsAndQuotesLogIn()
{
    if (!TestDatabase::isPostgres())
        QSKIP("the embedded engine has no server login");
    LEX_USE_DATABASE(t, false);
    const QString role = t.ctx().connection.database + QStringLiteral("_role");
    const QString password = QStringLiteral("p;w'd\"x =y");
    // Role statements take no bound values; the literal is quoted here by hand for the test alone.
    QString literal = password;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    QVERIFY(t.exec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(role, literal)));
    DbContext ctx = t.ctx();
    ctx.connection.user = role;
    ctx.connection.password = password;
    const Error good = DatabaseAdmin::testLogin(ctx);
    ctx.connection.password = QStringLiteral("p");
    const Error bad = DatabaseAdmin::testLogin(ctx);
    QVERIFY(t.exec(QStringLiteral("DROP ROLE %1").arg(role)));
    QVERIFY2(!good, qPrintable(good.description));
    QCOMPARE(bad.kind, Error::Kind::Other);
    QVERIFY(!bad.description.isEmpty());
}

QTEST_GUILESS_MAIN(TestDbFoundation)
#include "tst_db_foundation.moc"
