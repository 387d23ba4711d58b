#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/settings_file.h"
#include "gui/db/connection_screen.h"
#include "gui/shell/application_shell.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>

// The connection screen and start-up, on the engine named by LEXORIUM_TEST_ENGINE.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void screenLayout();
    void tabOrderFollowsTheScreen();
    void validationComesBeforeAnyLogin();
    void testConnection();
    void okCreatesDatabaseSchemaAndSettings();
    void okOnExistingDatabase();
    void okWithWrongLogin();
    void failedSettingsWriteLeavesNothingBehind();
    void closeEndsTheProgram();
    void badPortIsRefusedBeforeAnyLogin();
    void longServerUserAndPasswordAreKeptWhole();
    void databaseNameWithCombiningMarks();

    void startWithoutSettingsShowsEmptyConnectionScreen();
    void startWithValidSettingsOpensMainWindow();
    void startDropsLeftoverWorkingDatabases();
    void startWithShortSettingsFileStaysOnConnectionScreen();
    void startWithUnreachableServerEnds();
    void startWithRefusedLoginStaysOnConnectionScreen();

private:
    static void expectLoginFailure(const TestDatabase& t, const QString& sentence);
    static void fill(ConnectionScreen& screen, const ConnectionString& s, const QString& confirmation);
    static void click(ConnectionScreen& screen, int index);
};

void TestStartup::init()
{
    MessageBox::setScripted(true);
    MessageBox::clearShown();
}

void TestStartup::cleanup()
{
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

// The one message shown: the sentence, and on a second line the cause of the failed login (a wrong password on a
// server, a data folder that cannot be made on the embedded engine).
void TestStartup::expectLoginFailure(const TestDatabase& t, const QString& sentence)
{
    QCOMPARE(MessageBox::shown().size(), 1);
    const QStringList lines = MessageBox::shown().first().text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], sentence);
    if (TestDatabase::isPostgres())
        QVERIFY2(lines[1].contains(QLatin1String("password authentication failed")), qPrintable(lines[1]));
    else
        QCOMPARE(lines[1], QStringLiteral("Cannot create the data folder %1/Data.").arg(t.programDir()));
}

void TestStartup::fill(ConnectionScreen& screen, const ConnectionString& s, const QString& confirmation)
{
    const QStringList typed{s.server, s.user, s.database, s.password, confirmation};
    for (int i = 0; i < typed.size(); ++i) {
        LEX_FIND(f, QLineEdit, &screen, QStringLiteral("Txt0007(%1)").arg(i));
        f->setText(typed[i]);
    }
}

void TestStartup::click(ConnectionScreen& screen, int index)
{
    LEX_FIND(button, QPushButton, &screen, QStringLiteral("Cmd0007(%1)").arg(index));
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestStartup::screenLayout()
{
    QTemporaryDir dir;
    ConnectionScreen screen(dir.path());
    QCOMPARE(screen.windowTitle(), QStringLiteral("Connection"));
    const QStringList labels{QStringLiteral("Server Name "), QStringLiteral("User Name "),
                             QStringLiteral("Database Name "), QStringLiteral("User Password "),
                             QStringLiteral("Confirm User Password ")};
    // Server, user (PostgreSQL's longest role name), database, password and confirmation.
    const int lengths[] = {255, 63, 20, 128, 128};
    for (int i = 0; i < labels.size(); ++i) {
        LEX_FIND(label, QLabel, &screen, QStringLiteral("Lbl0003(%1)").arg(i + 1));
        QCOMPARE(label->text(), labels[i]);
        LEX_FIND(f, QLineEdit, &screen, QStringLiteral("Txt0007(%1)").arg(i));
        QCOMPARE(f->maxLength(), lengths[i]);
        QVERIFY(f->text().isEmpty());
        QCOMPARE(f->echoMode(), i >= 3 ? QLineEdit::Password : QLineEdit::Normal);
    }
    LEX_FIND(server, QLineEdit, &screen, QStringLiteral("Txt0007(0)"));
    QVERIFY(server->placeholderText().contains(QLatin1String("(local)")));
    const QStringList captions{QStringLiteral("&Close"), QString(), QStringLiteral("&Ok"),
                               QStringLiteral("&Test Connection...")};
    const QStringList tips{QStringLiteral("Close"), QStringLiteral("Help"), QStringLiteral("Ok"),
                           QStringLiteral("Test Connection")};
    for (int i = 0; i < 4; ++i) {
        LEX_FIND(b, QPushButton, &screen, QStringLiteral("Cmd0007(%1)").arg(i));
        QCOMPARE(b->text(), captions[i]);
        QCOMPARE(b->toolTip(), tips[i]);
    }
    // The help button does nothing.
    click(screen, 1);
    QVERIFY(MessageBox::shown().isEmpty());
}

// Tab walks the screen as it is read: the fields top to bottom, then the buttons left to right, and round again.
void TestStartup::tabOrderFollowsTheScreen()
{
    QTemporaryDir dir;
    ConnectionScreen screen(dir.path());
    screen.show();
    screen.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&screen));
    LEX_FIND(first, QLineEdit, &screen, QStringLiteral("Txt0007(0)"));
    first->setFocus();
    QStringList walked;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
    }
    const QStringList expected{
        QStringLiteral("Txt0007(1)"), QStringLiteral("Txt0007(2)"), QStringLiteral("Txt0007(3)"),
        QStringLiteral("Txt0007(4)"), QStringLiteral("Cmd0007(3)"), QStringLiteral("Cmd0007(2)"),
        QStringLiteral("Cmd0007(0)"), QStringLiteral("Cmd0007(1)"), QStringLiteral("Txt0007(0)")};
    QCOMPARE(walked, expected);
    // The buttons are reached in the order they stand, left to right.
    int left = -1;
    for (int i = 4; i < 8; ++i) {
        LEX_FIND(button, QPushButton, &screen, expected[i]);
        const int x = button->mapTo(&screen, QPoint(0, 0)).x();
        QVERIFY2(x > left, qPrintable(expected[i]));
        left = x;
    }
}

void TestStartup::validationComesBeforeAnyLogin()
{
    QTemporaryDir dir;
    ConnectionScreen screen(dir.path());
    fill(screen, {QString(), QString(), QStringLiteral("2024"), QString()}, QString());
    click(screen, 2);
    click(screen, 3);
    QCOMPARE(shownTexts(),
             QStringList({QStringLiteral("Invalid database name."), QStringLiteral("Invalid database name.")}));
    MessageBox::clearShown();
    fill(screen, {QStringLiteral("(local)"), QStringLiteral("sa"), QStringLiteral("Law"), QStringLiteral("pw")},
         QStringLiteral("other"));
    click(screen, 2);
    click(screen, 3);
    QCOMPARE(shownTexts(), QStringList({QStringLiteral("User Password and Confirm Password do not macth."),
                                        QStringLiteral("User Password and Confirm Password dose not macth.")}));
    QCOMPARE(MessageBox::shown().first().title, QStringLiteral("Lexorium"));
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Information);
    QCOMPARE(MessageBox::shown().first().buttons, MessageBox::Buttons::Ok);
    QVERIFY(!QDir(dir.path() + QStringLiteral("/Data")).exists());
}

void TestStartup::testConnection()
{
    LEX_PREPARE_DATABASE(t);
    ConnectionString s = t.ctx().connection;
    ConnectionScreen screen(t.programDir());
    s.database = QStringLiteral("Anything"); // a trial login names no database
    fill(screen, s, s.password.toUpper());
    click(screen, 3);
    QCOMPARE(shownTexts(), QStringList(QStringLiteral("Connection successful.")));

    MessageBox::clearShown();
    if (TestDatabase::isPostgres()) {
        s.password += QStringLiteral("x");
    } else {
        // The embedded engine's "login" is a writable data folder.
        QFile blocker(t.programDir() + QStringLiteral("/Data"));
        QDir(t.programDir() + QStringLiteral("/Data")).removeRecursively();
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    fill(screen, s, s.password);
    click(screen, 3);
    expectLoginFailure(t, QStringLiteral("Connection failed."));
}

void TestStartup::okCreatesDatabaseSchemaAndSettings()
{
    LEX_PREPARE_DATABASE(t);
    ApplicationShell shell(t.programDir());
    QVERIFY(shell.start());
    QVERIFY(shell.connectionScreen()->isVisible());
    QVERIFY(!shell.mainWindow());

    ConnectionString s = t.ctx().connection;
    const QString name = s.database;
    s.database = QStringLiteral("  ") + name + QStringLiteral(" ");
    s.user = QStringLiteral(" ") + s.user;
    fill(*shell.connectionScreen(), s, s.password);
    click(*shell.connectionScreen(), 2);
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));

    // Created under the trimmed name, with every table.
    const DbContext created{t.programDir(), ConnectionString::trimmed(s.server, s.user, s.database, s.password)};
    QCOMPARE(created.connection.database, name);
    QCOMPARE(TestDatabase::tableNames(created).size(), 14);
    QFile ini(SettingsFile::path(t.programDir()));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(ini.readAll()).split(QStringLiteral("\r\n")).mid(0, 4),
             QStringList({created.connection.server, created.connection.user, name, created.connection.password}));

    QVERIFY(shell.mainWindow());
    QVERIFY(shell.mainWindow()->isVisible());
    QCOMPARE(shell.mainWindow()->context().connection, created.connection);
    QTRY_VERIFY(!shell.connectionScreen());
    DatabaseAdmin::dropDatabase(created);
}

void TestStartup::okOnExistingDatabase()
{
    LEX_USE_DATABASE(t, false);
    ConnectionScreen screen(t.programDir());
    QSignalSpy created(&screen, &ConnectionScreen::databaseCreated);
    const ConnectionString s = t.ctx().connection;
    fill(screen, s, s.password);
    click(screen, 2);
    QCOMPARE(shownTexts(),
             QStringList({QStringLiteral("Database already exists."), QStringLiteral("Can not create database")}));
    QVERIFY(!SettingsFile::exists(t.programDir()));
    QCOMPARE(created.count(), 0);
    // The existing database is untouched.
    QVERIFY(!TestDatabase::openError(t.ctx()));
}

void TestStartup::okWithWrongLogin()
{
    LEX_PREPARE_DATABASE(t);
    ConnectionString s = t.ctx().connection;
    if (TestDatabase::isPostgres()) {
        s.password = QStringLiteral("wrong");
    } else {
        QFile blocker(t.programDir() + QStringLiteral("/Data"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    ConnectionScreen screen(t.programDir());
    fill(screen, s, s.password);
    click(screen, 2);
    expectLoginFailure(t, QStringLiteral("Please enter the correct information."));
    QVERIFY(!SettingsFile::exists(t.programDir()));
}

void TestStartup::failedSettingsWriteLeavesNothingBehind()
{
    LEX_PREPARE_DATABASE(t);
    // A folder where the settings file should go makes the write fail.
    QVERIFY(QDir().mkpath(SettingsFile::path(t.programDir())));
    ConnectionScreen screen(t.programDir());
    QSignalSpy created(&screen, &ConnectionScreen::databaseCreated);
    const ConnectionString s = t.ctx().connection;
    fill(screen, s, s.password);
    click(screen, 2);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(created.count(), 0);
    QVERIFY(TestDatabase::openError(t.ctx()).isError()); // dropped again
    // Once the way is clear the same name can be created.
    QVERIFY(QDir(SettingsFile::path(t.programDir())).removeRecursively());
    MessageBox::clearShown();
    click(screen, 2);
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QCOMPARE(created.count(), 1);
    DatabaseAdmin::dropDatabase(t.ctx());
}

void TestStartup::closeEndsTheProgram()
{
    QTemporaryDir dir;
    ApplicationShell shell(dir.path());
    QSignalSpy quit(&shell, &ApplicationShell::quitRequested);
    QVERIFY(shell.start());
    click(*shell.connectionScreen(), 0);
    QCOMPARE(quit.count(), 1);
    QVERIFY(!SettingsFile::exists(dir.path()));
}

void TestStartup::badPortIsRefusedBeforeAnyLogin()
{
    LEX_PREPARE_DATABASE(t);
    ConnectionString s = t.ctx().connection;
    // Once read as the default port, which logged in to another server and stored the bad name.
    s.server = (s.isEmbedded() ? QStringLiteral("127.0.0.1") : s.host()) + QStringLiteral(":99999");
    ConnectionScreen screen(t.programDir());
    QSignalSpy created(&screen, &ConnectionScreen::databaseCreated);
    fill(screen, s, s.password);
    click(screen, 2);
    click(screen, 3);
    LEX_FIND(server, QLineEdit, &screen, QStringLiteral("Txt0007(0)"));
    server->setText(QStringLiteral(":5432"));
    click(screen, 2);
    const QString badPort = QStringLiteral("Invalid server name.\n"
                                           "The port after the colon must be a whole number from 1 to 65535.");
    QCOMPARE(shownTexts(), QStringList({badPort, badPort,
                                        QStringLiteral("Invalid server name.\nIt must be (local) for this computer, "
                                                       "or a PostgreSQL server as host or host:port.")}));
    QCOMPARE(created.count(), 0);
    QVERIFY(!SettingsFile::exists(t.programDir()));
    QVERIFY(!QDir(t.programDir() + QStringLiteral("/Data")).exists());
    QVERIFY(TestDatabase::openError(t.ctx()).isError());
}

void TestStartup::longServerUserAndPasswordAreKeptWhole()
{
    LEX_PREPARE_DATABASE(t);
    ConnectionString s = t.ctx().connection;
    s.user = QStringLiteral("lexorium_role_") + QString::number(QCoreApplication::applicationPid());
    s.user += QString(63 - s.user.size(), QLatin1Char('r'));
    s.password.clear();
    for (int i = 0; i < 128; ++i)
        s.password += QLatin1Char("Aa0;'\"xyZ"[i % 9]);
    DbContext admin = t.ctx();
    auto dropRole = qScopeGuard([&] {
        DatabaseAdmin::dropDatabase(t.ctx());
        if (TestDatabase::isPostgres()) {
            DbSession session(admin, SqlDialect::Target::Maintenance);
            session.execute(QStringLiteral("DROP ROLE IF EXISTS ") + session.dialect().quoteIdentifier(s.user));
        }
    });
    if (TestDatabase::isPostgres()) {
        // A spelling of the test server's address longer than the old 20 characters.
        if (s.host() != QLatin1String("127.0.0.1"))
            QSKIP("a long spelling is known for 127.0.0.1 only");
        s.server = QStringLiteral("127.000.000.001:%1").arg(s.port());
        DbSession session(admin, SqlDialect::Target::Maintenance);
        QString literal = s.password;
        literal.replace(QLatin1Char('\''), QStringLiteral("''"));
        // Role statements take no bound values; quoted by hand for the test alone.
        QVERIFY(session.execute(QStringLiteral("CREATE ROLE %1 LOGIN CREATEDB PASSWORD '%2'")
                                    .arg(session.dialect().quoteIdentifier(s.user), literal)));
    }
    QVERIFY(s.server.size() > 20 || s.isEmbedded());
    {
        ApplicationShell shell(t.programDir());
        QVERIFY(shell.start());
        ConnectionScreen& screen = *shell.connectionScreen();
        fill(screen, s, s.password);
        const QStringList whole{s.server, s.user, s.database, s.password, s.password};
        for (int i = 0; i < whole.size(); ++i) {
            LEX_FIND(f, QLineEdit, &screen, QStringLiteral("Txt0007(%1)").arg(i));
            QCOMPARE(f->text(), whole[i]);
        }
        click(screen, 3);
        QCOMPARE(shownTexts(), QStringList(QStringLiteral("Connection successful.")));
        MessageBox::clearShown();
        click(screen, 2);
        QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
        QVERIFY(shell.mainWindow());
        QCOMPARE(shell.mainWindow()->context().connection, s);
    }
    const Result<ConnectionString> stored = SettingsFile::read(t.programDir());
    QVERIFY(stored);
    QCOMPARE(*stored, s);
    // And the next start logs in with them.
    ApplicationShell again(t.programDir());
    QVERIFY(again.start());
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QVERIFY(again.mainWindow());
}

void TestStartup::databaseNameWithCombiningMarks()
{
    LEX_PREPARE_DATABASE(t);
    ConnectionString s = t.ctx().connection;
    // Devanagari writes vowels and the virama as marks on the letter before them.
    s.database = QString::fromUtf8("हिन्दी %1").arg(QCoreApplication::applicationPid());
    QVERIFY(s.database.size() <= 20);
    const DbContext ctx{t.programDir(), s};
    auto drop = qScopeGuard([&] { DatabaseAdmin::dropDatabase(ctx); });
    ConnectionScreen screen(t.programDir());
    QSignalSpy created(&screen, &ConnectionScreen::databaseCreated);
    fill(screen, s, s.password);
    click(screen, 2);
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QCOMPARE(created.count(), 1);
    QCOMPARE(TestDatabase::tableNames(ctx).size(), 14);
    const Result<ConnectionString> stored = SettingsFile::read(t.programDir());
    QVERIFY(stored);
    QCOMPARE(stored->database, s.database);
}

void TestStartup::startWithoutSettingsShowsEmptyConnectionScreen()
{
    QTemporaryDir dir;
    ApplicationShell shell(dir.path());
    QVERIFY(shell.start());
    QVERIFY(shell.connectionScreen()->isVisible());
    for (int i = 0; i < 5; ++i) {
        LEX_FIND(f, QLineEdit, shell.connectionScreen(), QStringLiteral("Txt0007(%1)").arg(i));
        QVERIFY(f->text().isEmpty());
    }
    QVERIFY(!shell.mainWindow());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestStartup::startWithValidSettingsOpensMainWindow()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.exec(QStringLiteral("CREATE TABLE tmp_master_tbl (id INTEGER)")));
    QVERIFY(!SettingsFile::write(t.programDir(), t.ctx().connection));
    ApplicationShell shell(t.programDir());
    QVERIFY(shell.start());
    QVERIFY(shell.mainWindow());
    QVERIFY(shell.mainWindow()->isVisible());
    QVERIFY(!shell.connectionScreen() || !shell.connectionScreen()->isVisible());
    QVERIFY(MessageBox::shown().isEmpty());
    QStringList tables = TestDatabase::tableNames(t.ctx());
    QVERIFY(!tables.contains(QStringLiteral("tmp_master_tbl")));
    QCOMPARE(tables.size(), 14);
}

void TestStartup::startDropsLeftoverWorkingDatabases()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(!SettingsFile::write(t.programDir(), t.ctx().connection));
    auto named = [&t](const QString& suffix) {
        DbContext ctx = t.ctx();
        ctx.connection.database += suffix;
        return ctx;
    };
    // What a synchronisation killed halfway leaves behind, and the working database of one that is running.
    const QList<DbContext> leftovers{named(QStringLiteral("vor_Old")), named(QStringLiteral("vor_Syn")),
                                     named(QStringLiteral("_branchvor_New"))};
    const DbContext running = named(QStringLiteral("_runningvor_New"));
    auto dropAll = qScopeGuard([&] {
        for (const DbContext& ctx : leftovers + QList<DbContext>{running})
            DatabaseAdmin::dropDatabase(ctx);
    });
    std::unique_ptr<DbSession> held;
    for (const DbContext& ctx : leftovers + QList<DbContext>{running}) {
        QVERIFY(!DatabaseAdmin::createDatabase(ctx));
        auto session = std::make_unique<DbSession>(ctx);
        QVERIFY(session->isOpen());
        for (const QString& statement : session->dialect().scratchSessionStatements())
            QVERIFY(session->execute(statement));
        QVERIFY(!Schema::createScratch(*session));
        if (ctx.connection.database == running.connection.database)
            held = std::move(session);
    }

    ApplicationShell shell(t.programDir());
    QVERIFY(shell.start());
    QVERIFY(shell.mainWindow());
    QCOMPARE(shownTexts(), QStringList());
    for (const DbContext& ctx : leftovers)
        QVERIFY2(TestDatabase::openError(ctx).isError(), qPrintable(ctx.connection.database));
    held.reset();
    QCOMPARE(TestDatabase::tableNames(running).size(), 14);
}

void TestStartup::startWithShortSettingsFileStaysOnConnectionScreen()
{
    QTemporaryDir dir;
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("(local)\r\nsa\r\nLaw\r\n");
    f.close();
    ApplicationShell shell(dir.path());
    QVERIFY(shell.start());
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(shell.connectionScreen()->isVisible());
    QVERIFY(!shell.mainWindow());
    QVERIFY(SettingsFile::exists(dir.path())); // left as it was
}

void TestStartup::startWithUnreachableServerEnds()
{
    QTemporaryDir dir;
    // Nothing listens on port 1 of this machine.
    QVERIFY(!SettingsFile::write(
        dir.path(), {QStringLiteral("127.0.0.1:1"), QStringLiteral("u"), QStringLiteral("db"), QStringLiteral("p")}));
    ApplicationShell shell(dir.path());
    QVERIFY(!shell.start());
    // The server's own reason on a second line.
    QCOMPARE(shownTexts(), QStringList(QStringLiteral("Timeout occured, please try again.\n"
                                                      "Cannot reach the server 127.0.0.1:1: Connection refused")));
    QTRY_VERIFY(!shell.connectionScreen() || !shell.connectionScreen()->isVisible());
    QVERIFY(!shell.mainWindow());
}

void TestStartup::startWithRefusedLoginStaysOnConnectionScreen()
{
    LEX_USE_DATABASE(t, true);
    ConnectionString s = t.ctx().connection;
    // A database that is not there is refused on both engines, as a wrong password is on a server.
    s.database += QStringLiteral("_gone");
    QVERIFY(!SettingsFile::write(t.programDir(), s));
    ApplicationShell shell(t.programDir());
    QVERIFY(shell.start());
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.contains(s.database));
    QVERIFY(shell.connectionScreen()->isVisible());
    QVERIFY(!shell.mainWindow());
    QVERIFY(SettingsFile::exists(t.programDir()));
    // The embedded engine must not have made an empty file of that name.
    QVERIFY(!QFile::exists(t.programDir() + QStringLiteral("/Data/") + s.database + QStringLiteral(".db")));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
