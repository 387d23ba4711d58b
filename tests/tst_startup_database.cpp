#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/settings_file.h"
#include "core/db/sqlite_dialect.h"
#include "gui/shell/application_shell.h"
#include "support/engine_copy.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QCryptographicHash>
#include <QFile>
#include <QGuiApplication>

// Start-up on a stored database that is not one this program can use: refused with a message, left as it was,
// and the connection screen instead of a main window whose every screen would fail. On the engine named by
// LEXORIUM_TEST_ENGINE.
class TestStartupDatabase : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyDatabaseIsRefused();
    void databaseOfAnotherProgramIsRefused();
    void databaseMissingSomeTablesIsRefused();
    void newerSchemaIsRefusedAndLeftUntouched();
    void fileThatIsNoDatabaseIsRefused();
    void olderDatabaseIsUpgradedOnOpening();
    void restoredBackupOpens();

private:
    // Starts the program on t's database and checks that it stays on the connection screen with one message.
    static void expectRefusal(const TestDatabase& t, const QString& message, bool exact = true);
    // The engine's own view of the database, to tell that nothing was changed.
    static QString fingerprint(const TestDatabase& t);
};

void TestStartupDatabase::init()
{
    MessageBox::setScripted(true);
    MessageBox::clearShown();
}

void TestStartupDatabase::cleanup()
{
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestStartupDatabase::expectRefusal(const TestDatabase& t, const QString& message, bool exact)
{
    QVERIFY(!SettingsFile::write(t.programDir(), t.ctx().connection));
    ApplicationShell shell(t.programDir());
    QVERIFY(shell.start());
    QCOMPARE(MessageBox::shown().size(), 1);
    if (exact)
        QCOMPARE(MessageBox::shown().first().text, message);
    else
        QVERIFY2(MessageBox::shown().first().text.startsWith(message), qPrintable(MessageBox::shown().first().text));
    QVERIFY(shell.connectionScreen());
    QVERIFY(shell.connectionScreen()->isVisible());
    QVERIFY(!shell.mainWindow());
    QVERIFY(SettingsFile::exists(t.programDir()));
}

// A database made before versions were recorded opens after its upgrade, with its rows.
void TestStartupDatabase::olderDatabaseIsUpgradedOnOpening()
{
    LEX_USE_DATABASE(t, false);
    {
        DbSession session(t.ctx());
        for (auto step : {&Schema::createMasterTables, &Schema::createCaseTable, &Schema::createLinkTables,
                          &Schema::addForeignKeys})
            QVERIFY(!step(session));
    }
    QVERIFY(t.exec(QStringLiteral("INSERT INTO court_master (id, court_name) VALUES (1, 'High Court')")));
    QVERIFY(!SettingsFile::write(t.programDir(), t.ctx().connection));
    ApplicationShell shell(t.programDir());
    QVERIFY(shell.start());
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QVERIFY(shell.mainWindow());
    DbSession session(t.ctx());
    const Result<Schema::Status> status = Schema::inspect(session);
    QVERIFY(status);
    QCOMPARE(status->state, Schema::State::Current);
    QCOMPARE(t.scalar(QStringLiteral("SELECT court_name FROM court_master WHERE id = 1")).toString(),
             QStringLiteral("High Court"));
}

// A backup restored with the engine's own tools has lost its recorded version: it still opens, with its rows.
void TestStartupDatabase::restoredBackupOpens()
{
    LEX_USE_DATABASE(original, true);
    QVERIFY(original.exec(QStringLiteral("INSERT INTO court_master (id, court_name) VALUES (1, 'High Court')")));
    LEX_USE_DATABASE(t, false);
    QString why;
    LEX_REQUIRE_READY(EngineCopy::copy(original.ctx(), t.ctx(), EngineCopy::Tool::Dump, &why), why);
    QVERIFY(!SettingsFile::write(t.programDir(), t.ctx().connection));
    ApplicationShell shell(t.programDir());
    QVERIFY(shell.start());
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QVERIFY(shell.mainWindow());
    QVERIFY(!shell.connectionScreen() || !shell.connectionScreen()->isVisible());
    DbSession session(t.ctx());
    const Result<Schema::Status> status = Schema::inspect(session);
    QVERIFY(status);
    QCOMPARE(status->state, Schema::State::Current);
    QVERIFY(status->recorded);
    QCOMPARE(t.scalar(QStringLiteral("SELECT court_name FROM court_master WHERE id = 1")).toString(),
             QStringLiteral("High Court"));
}

QString TestStartupDatabase::fingerprint(const TestDatabase& t)
{
    if (!TestDatabase::isPostgres()) {
        QFile file(SqliteDialect::databaseFile(t.ctx()));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
    }
    QStringList tables = TestDatabase::tableNames(t.ctx());
    tables.sort();
    DbSession session(t.ctx());
    Result<QSqlQuery> version = session.query(session.dialect().schemaVersionQuery());
    const QString recorded = version && version->next() ? version->value(0).toString() : QString();
    return tables.join(QLatin1Char(',')) + QLatin1Char('|') + recorded;
}

void TestStartupDatabase::emptyDatabaseIsRefused()
{
    LEX_USE_DATABASE(t, false);
    if (!TestDatabase::isPostgres())
        QCOMPARE(QFile(SqliteDialect::databaseFile(t.ctx())).size(), 0); // a zero-length file
    const QString before = fingerprint(t);
    expectRefusal(t, QStringLiteral("The database \"%1\" is not a Lexorium database: it holds none of the "
                                    "program's tables. It was left unchanged.")
                         .arg(t.ctx().connection.database));
    QVERIFY(TestDatabase::tableNames(t.ctx()).isEmpty());
    QCOMPARE(fingerprint(t), before);
}

void TestStartupDatabase::databaseOfAnotherProgramIsRefused()
{
    LEX_USE_DATABASE(t, false);
    QVERIFY(t.exec(QStringLiteral("CREATE TABLE notes (id INTEGER, body VARCHAR(100))")));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO notes (id, body) VALUES (?, ?)"), {1, QStringLiteral("keep me")}));
    const QString before = fingerprint(t);
    expectRefusal(t, QStringLiteral("The database \"%1\" is not a Lexorium database: it holds none of the "
                                    "program's tables. It was left unchanged.")
                         .arg(t.ctx().connection.database));
    QCOMPARE(TestDatabase::tableNames(t.ctx()), QStringList(QStringLiteral("notes")));
    QCOMPARE(t.scalar(QStringLiteral("SELECT body FROM notes WHERE id = ?"), {1}).toString(),
             QStringLiteral("keep me"));
    QCOMPARE(fingerprint(t), before);
}

void TestStartupDatabase::databaseMissingSomeTablesIsRefused()
{
    LEX_USE_DATABASE(t, false);
    {
        DbSession session(t.ctx());
        QVERIFY(!Schema::createMasterTables(session));
    }
    QStringList present;
    for (const TableDef& table : Schema::masterTables())
        present << table.name;
    QStringList missing;
    for (const TableDef& table : Schema::allTables())
        if (!present.contains(table.name))
            missing << table.name;
    expectRefusal(t, QStringLiteral("The database \"%1\" is not a complete Lexorium database: the tables %2 are "
                                    "missing. It was left unchanged.")
                         .arg(t.ctx().connection.database, missing.join(QStringLiteral(", "))));
    QCOMPARE(TestDatabase::tableNames(t.ctx()).size(), Schema::masterTables().size());
}

void TestStartupDatabase::newerSchemaIsRefusedAndLeftUntouched()
{
    LEX_USE_DATABASE(t, true);
    {
        DbSession session(t.ctx());
        QVERIFY(session.execute(session.dialect().setSchemaVersionStatement(t.ctx(), 99)));
    }
    // Start-up drops this leftover only from a database it accepts.
    QVERIFY(t.exec(QStringLiteral("CREATE TABLE tmp_master_tbl (id INTEGER)")));
    const QString before = fingerprint(t);
    expectRefusal(
        t,
        QStringLiteral("The database \"%1\" was made by a newer version of Lexorium").arg(t.ctx().connection.database),
        false);
    QVERIFY(MessageBox::shown().first().text.contains(QLatin1String("99")));
    QCOMPARE(fingerprint(t), before);
    QVERIFY(TestDatabase::tableNames(t.ctx()).contains(QStringLiteral("tmp_master_tbl")));
}

void TestStartupDatabase::fileThatIsNoDatabaseIsRefused()
{
    if (TestDatabase::isPostgres())
        QSKIP("only the embedded engine keeps a database in a file of its own");
    LEX_USE_DATABASE(t, false);
    QFile file(SqliteDialect::databaseFile(t.ctx()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray foreign("Minutes of the meeting, not a database at all.\n");
    QVERIFY(file.write(foreign.repeated(100)) > 0);
    file.close();
    expectRefusal(
        t,
        QStringLiteral("The database \"%1\" cannot be read.\nfile is not a database").arg(t.ctx().connection.database));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), foreign.repeated(100));
}

QTEST_MAIN(TestStartupDatabase)
#include "tst_startup_database.moc"
