// The Synchronisation screen: its boxes and button states, its guards and messages, and a whole run from the
// screen, which keeps answering while the merge works in the background.
#include "core/backup/database_backup.h"
#include "core/citations/citation_store.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/sqlite_dialect.h"
#include "gui/common/file_dialog.h"
#include "gui/sync/synchronise_screen.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

namespace {
// The database name as the screen takes it: an embedded database by the full path of its file.
QString nameToType(const DbContext& ctx)
{
    return ctx.connection.isEmbedded() ? SqliteDialect::databaseFile(ctx) : ctx.connection.database;
}

bool addCitation(const DbContext& ctx, const QString& text)
{
    DbSession s(ctx);
    Citation c;
    c.citation = text;
    c.caseTitle = QStringLiteral("A v. B");
    c.judgmentDate = QDate(2003, 5, 1);
    c.categories.append({1, QString(), QString()});
    c.acts.append({2, QString(), QStringLiteral("s. 7")});
    c.bench << QStringLiteral("Justice K");
    return bool(CitationStore(s).add(c));
}
} // namespace

class TestSynchroniseScreen : public QObject
{
    Q_OBJECT

private:
    // Types the four boxes of the second database.
    static void type(SynchroniseScreen& screen, const ConnectionString& c, const QString& database)
    {
        const QStringList texts{c.server, database, c.user, c.password};
        for (int i = 0; i < texts.size(); ++i) {
            auto* box = screen.findChild<QLineEdit*>(QStringLiteral("Txt0009(%1)").arg(i + 1));
            QVERIFY(box);
            box->setText(texts[i]);
        }
    }

    static bool runFromScreen(SynchroniseScreen& screen)
    {
        QSignalSpy finished(&screen, &SynchroniseScreen::runFinished);
        auto* button = screen.findChild<QPushButton*>(QStringLiteral("Cmd0009(2)"));
        if (!button || !button->isEnabled())
            return false;
        button->click();
        return finished.count() > 0 || finished.wait(60000);
    }

private slots:
    void init()
    {
        MessageBox::setScripted(true);
        MessageBox::clearShown();
    }

    void boxesAndButtonStates();
    void mergesFromTheScreen();
    void failedRunSaysSoAndKeepsData();
    void noMergeWithoutItsBackup();
    void refusesSameDatabase();
    void wrongEntriesAreRefusedBeforeAnythingIsMade();
    void refusesDatabaseWithoutTheTables();
    void refusesSameDatabaseSpelledOtherwise();
    void browsesForAnEmbeddedDatabase();
};

void TestSynchroniseScreen::boxesAndButtonStates()
{
    LEX_USE_DATABASE(t, true);
    SynchroniseScreen screen(t.ctx());
    QCOMPARE(screen.objectName(), QStringLiteral("CS06000901"));
    QCOMPARE(screen.windowTitle(), QStringLiteral(" Synchronisation "));
    LEX_FIND(present, QLineEdit, &screen, QStringLiteral("Txt0009(0)"));
    QCOMPARE(present->text(), t.ctx().connection.database);
    QVERIFY(present->isReadOnly());
    LEX_FIND(password, QLineEdit, &screen, QStringLiteral("Txt0009(4)"));
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    LEX_FIND(sync, QPushButton, &screen, QStringLiteral("Cmd0009(2)"));
    QCOMPARE(sync->text(), QStringLiteral("&Synchronisation"));
    QCOMPARE(sync->toolTip(), QStringLiteral("Syncronization"));
    LEX_FIND(progress, QFrame, &screen, QStringLiteral("Fra0009(1)"));
    QVERIFY(progress->isHidden());

    QVERIFY(!sync->isEnabled());
    const QStringList filled{QStringLiteral("srv"), QStringLiteral("db"), QStringLiteral("u"), QStringLiteral("p")};
    for (int i = 0; i < 4; ++i) {
        LEX_FIND(box, QLineEdit, &screen, QStringLiteral("Txt0009(%1)").arg(i + 1));
        box->setText(filled[i]);
        QCOMPARE(sync->isEnabled(), i == 3);
    }
    // Blanks alone count as empty, in any box.
    for (int i = 0; i < 4; ++i) {
        LEX_FIND(box, QLineEdit, &screen, QStringLiteral("Txt0009(%1)").arg(i + 1));
        box->setText(QStringLiteral("   "));
        QVERIFY2(!sync->isEnabled(), qPrintable(box->objectName()));
        box->setText(filled[i]);
        QVERIFY(sync->isEnabled());
    }
}

void TestSynchroniseScreen::mergesFromTheScreen()
{
    LEX_USE_DATABASE(t, true);
    LEX_USE_DATABASE(other, true);
    QVERIFY(t.addSampleMasters());
    QVERIFY(other.addSampleMasters());
    QVERIFY(addCitation(t.ctx(), QStringLiteral("2003 SCMR 1")));
    QVERIFY(addCitation(other.ctx(), QStringLiteral("2003 SCMR 2")));
    QVERIFY(addCitation(other.ctx(), QStringLiteral("2003 SCMR 1")));

    SynchroniseScreen screen(t.ctx());
    const QDateTime at(QDate(2026, 3, 4), QTime(5, 6, 7));
    screen.setNow([at] { return at; });
    type(screen, other.ctx().connection, nameToType(other.ctx()));
    LEX_FIND(sync, QPushButton, &screen, QStringLiteral("Cmd0009(2)"));
    LEX_FIND(close, QPushButton, &screen, QStringLiteral("Cmd0009(1)"));
    LEX_FIND(status, QLabel, &screen, QStringLiteral("Lbl0009(4)"));
    LEX_FIND(bar, QProgressBar, &screen, QStringLiteral("PB0009"));
    LEX_FIND(progress, QFrame, &screen, QStringLiteral("Fra0009(1)"));
    QStringList seen;
    connect(bar, &QProgressBar::valueChanged, this, [&](int value) { seen << QStringLiteral("%1").arg(value); });

    QSignalSpy finished(&screen, &SynchroniseScreen::runFinished);
    sync->click();
    // Running: one run at a time, and the screen cannot be closed under it.
    QVERIFY(screen.isRunning());
    QVERIFY(!sync->isEnabled());
    QVERIFY(!close->isEnabled());
    QVERIFY(progress->isVisibleTo(&screen));
    screen.synchronise();
    screen.closeScreen();
    screen.reject();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.count(), 1);

    // The success message names the backup made before the run, which holds the database as it was.
    const QString backup = t.ctx().dataDir() + QStringLiteral("/Backups/") + DatabaseAdmin::plainDatabaseName(t.ctx()) +
                           QStringLiteral("-2026-03-04-050607.db");
    QCOMPARE(shownTexts(), QStringList{QStringLiteral("Mergerd database successfully.\nThe database as it was before "
                                                      "is backed up in %1.")
                                           .arg(backup)});
    const Result<DatabaseBackup::Summary> kept = DatabaseBackup::inspect(t.ctx(), backup);
    QVERIFY2(kept, qPrintable(kept ? QString() : kept.error().description));
    QCOMPARE(kept->citations, 1);
    QVERIFY(progress->isHidden());
    QVERIFY(sync->isEnabled());
    QVERIFY(close->isEnabled());
    QCOMPARE(status->text(), QStringLiteral("Merged Database... 100%"));
    // The bar moved through the run's steps as they came, from the interface thread.
    QVERIFY2(seen.contains(QStringLiteral("79")) && seen.last() == QLatin1String("100"),
             qPrintable(seen.join(QLatin1Char(','))));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toInt(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT citation FROM case_master WHERE case_id = 2")).toString(),
             QStringLiteral("2003 SCMR 2"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM cmd_act_master")).toInt(), 2);
}

void TestSynchroniseScreen::noMergeWithoutItsBackup()
{
    LEX_USE_DATABASE(t, true);
    LEX_USE_DATABASE(other, true);
    QVERIFY(t.addSampleMasters());
    QVERIFY(other.addSampleMasters());
    QVERIFY(addCitation(other.ctx(), QStringLiteral("2003 SCMR 2")));
    // A file where the backups' folder should be: no backup can be made, so nothing is merged.
    QVERIFY(QDir().mkpath(t.ctx().dataDir()));
    QFile blocker(t.ctx().dataDir() + QStringLiteral("/Backups"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SynchroniseScreen screen(t.ctx());
    type(screen, other.ctx().connection, nameToType(other.ctx()));
    QVERIFY(runFromScreen(screen));
    QCOMPARE(shownTexts().size(), 1);
    QVERIFY2(shownTexts().first().startsWith(SynchroniseScreen::kBackupFailed.arg(QString())),
             qPrintable(shownTexts().first()));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toInt(), 0);
}

void TestSynchroniseScreen::failedRunSaysSoAndKeepsData()
{
    LEX_USE_DATABASE(t, true);
    LEX_USE_DATABASE(other, true);
    QVERIFY(t.addSampleMasters());
    QVERIFY(other.addSampleMasters());
    QVERIFY(addCitation(t.ctx(), QStringLiteral("2003 SCMR 1")));
    QVERIFY(addCitation(other.ctx(), QStringLiteral("2003 SCMR 2")));
    SynchroniseScreen screen(t.ctx());
    screen.setMergeHook([](DatabaseMerge& merge) {
        merge.injectFailure(DatabaseMerge::Database::Present, QStringLiteral("INSERT INTO cm_bench_name"));
    });
    type(screen, other.ctx().connection, nameToType(other.ctx()));
    QVERIFY(runFromScreen(screen));
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(!shownTexts().contains(QStringLiteral("Mergerd database successfully.")));
    QVERIFY(shownTexts().first().startsWith(QLatin1String("Injected failure")));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toInt(), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM cm_judgment_master")).toInt(), 1);
    LEX_FIND(sync, QPushButton, &screen, QStringLiteral("Cmd0009(2)"));
    LEX_FIND(close, QPushButton, &screen, QStringLiteral("Cmd0009(1)"));
    QVERIFY(sync->isEnabled());
    QVERIFY(close->isEnabled());
}

void TestSynchroniseScreen::refusesSameDatabase()
{
    LEX_USE_DATABASE(t, true);
    SynchroniseScreen screen(t.ctx());
    type(screen, t.ctx().connection, t.ctx().connection.database);
    LEX_FIND(sync, QPushButton, &screen, QStringLiteral("Cmd0009(2)"));
    sync->click();
    QVERIFY(!screen.isRunning());
    QCOMPARE(shownTexts(),
             QStringList{QStringLiteral("Trying to synchronize same Database, task cannot be carried out.")});
    LEX_FIND(progress, QFrame, &screen, QStringLiteral("Fra0009(1)"));
    QVERIFY(progress->isHidden());
}

void TestSynchroniseScreen::wrongEntriesAreRefusedBeforeAnythingIsMade()
{
    LEX_USE_DATABASE(t, true);
    LEX_USE_DATABASE(other, true);
    ConnectionString wrong = other.ctx().connection;
    QString name = nameToType(other.ctx());
    QString first;
    if (TestDatabase::isPostgres()) {
        wrong.password += QStringLiteral("x");
        first = QStringLiteral("Invalid user name, please check the user name.");
    } else {
        name += QStringLiteral(".missing");
    }
    SynchroniseScreen screen(t.ctx());
    type(screen, wrong, name);
    QVERIFY(runFromScreen(screen));
    const QStringList texts = shownTexts();
    QCOMPARE(texts.size(), 2);
    if (!first.isEmpty())
        QCOMPARE(texts[0], first);
    QCOMPARE(texts[1], QStringLiteral("Error in entries, can not synchronize database."));
    LEX_FIND(status, QLabel, &screen, QStringLiteral("Lbl0009(4)"));
    LEX_FIND(bar, QProgressBar, &screen, QStringLiteral("PB0009"));
    QVERIFY(status->isHidden());
    QVERIFY(bar->isHidden());
    // Nothing was made: no working database beside the present one.
    DatabaseMerge merge(t.ctx(), {wrong.server, name, wrong.user, wrong.password});
    for (const QString& working : {merge.oldDbName(), merge.synDbName(), merge.newDbName()})
        QVERIFY(TestDatabase::openError(merge.workingContext(working)).isError());
}

void TestSynchroniseScreen::refusesDatabaseWithoutTheTables()
{
    LEX_USE_DATABASE(t, true);
    LEX_USE_DATABASE(bare, false);
    QVERIFY(bare.exec(QStringLiteral("CREATE TABLE act_master (id INTEGER PRIMARY KEY, act VARCHAR(255))")));
    SynchroniseScreen screen(t.ctx());
    type(screen, bare.ctx().connection, nameToType(bare.ctx()));
    QVERIFY(runFromScreen(screen));
    QCOMPARE(shownTexts(),
             QStringList{QStringLiteral("The database to be synchronised does not contain the required tables.")});
    LEX_FIND(sync, QPushButton, &screen, QStringLiteral("Cmd0009(2)"));
    LEX_FIND(close, QPushButton, &screen, QStringLiteral("Cmd0009(1)"));
    QVERIFY(sync->isEnabled());
    QVERIFY(close->isEnabled());
    DatabaseMerge merge(t.ctx(), {bare.ctx().connection.server, nameToType(bare.ctx()), QString(), QString()});
    QVERIFY(TestDatabase::openError(merge.workingContext(merge.oldDbName())).isError());
    QCOMPARE(TestDatabase::tableNames(bare.ctx()), QStringList{QStringLiteral("act_master")});
}

void TestSynchroniseScreen::refusesSameDatabaseSpelledOtherwise()
{
    LEX_USE_DATABASE(t, true);
    ConnectionString c = t.ctx().connection;
    QString name = c.database;
    if (c.isEmbedded()) {
        const QFileInfo file(SqliteDialect::databaseFile(t.ctx()));
        name = file.path() + QStringLiteral("/../Data/./") + file.fileName();
    } else if (c.host() == QLatin1String("127.0.0.1")) {
        c.server.replace(QLatin1String("127.0.0.1"), QLatin1String("localhost"));
    } else if (c.host() == QLatin1String("localhost")) {
        c.server.replace(QLatin1String("localhost"), QLatin1String("127.0.0.1"));
    } else {
        QSKIP("the test server is named neither localhost nor 127.0.0.1");
    }
    SynchroniseScreen screen(t.ctx());
    type(screen, c, name);
    LEX_FIND(progress, QFrame, &screen, QStringLiteral("Fra0009(1)"));
    LEX_FIND(sync, QPushButton, &screen, QStringLiteral("Cmd0009(2)"));
    // Told by the settings at once, or by the engines once asked.
    sync->click();
    QVERIFY(waitUntil([&] { return !screen.isRunning() && !MessageBox::shown().isEmpty(); }, 60000));
    QCOMPARE(shownTexts(),
             QStringList{QStringLiteral("Trying to synchronize same Database, task cannot be carried out.")});
    QVERIFY(progress->isHidden());
    QVERIFY(sync->isEnabled());
    DatabaseMerge merge(t.ctx(), {c.server, name, c.user, c.password});
    for (const QString& working : {merge.oldDbName(), merge.synDbName(), merge.newDbName()})
        QVERIFY(TestDatabase::openError(merge.workingContext(working)).isError());
}

void TestSynchroniseScreen::browsesForAnEmbeddedDatabase()
{
    LEX_USE_DATABASE(t, true);
    FileDialog::setScripted(true);
    FileDialog::clearAsked();
    const auto unscript = qScopeGuard([] { FileDialog::setScripted(false); });
    SynchroniseScreen screen(t.ctx());
    LEX_FIND(browse, QPushButton, &screen, QStringLiteral("BrowseDatabase"));
    LEX_FIND(server, QLineEdit, &screen, QStringLiteral("Txt0009(1)"));
    LEX_FIND(database, QLineEdit, &screen, QStringLiteral("Txt0009(2)"));
    QCOMPARE(browse->text(), QStringLiteral("Browse..."));
    // Only a file database can be browsed for.
    const QList<std::pair<QString, bool>> servers{{QString(), false},
                                                  {QStringLiteral("db.example.org:5432"), false},
                                                  {QStringLiteral("(local)"), true},
                                                  {QStringLiteral(" (LOCAL) "), true},
                                                  {QStringLiteral("(local)x"), false}};
    for (const auto& [text, enabled] : servers) {
        server->setText(text);
        QVERIFY2(browse->isEnabled() == enabled, qPrintable(text));
    }

    server->setText(QStringLiteral("(local)"));
    database->setText(QStringLiteral("typed"));
    browse->click(); // cancelled: the box keeps what was typed
    QCOMPARE(database->text(), QStringLiteral("typed"));
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked().first().caption, SynchroniseScreen::kBrowseCaption);
    QCOMPARE(FileDialog::asked().first().filter, QStringLiteral("Lexorium database (*.db)"));

    // The chosen file by its full path, as the merge takes it.
    LEX_USE_DATABASE(other, true);
    QVERIFY(t.addSampleMasters());
    QVERIFY(other.addSampleMasters());
    QVERIFY(addCitation(other.ctx(), QStringLiteral("2003 SCMR 9")));
    const DbContext embedded = t.ctx().connection.isEmbedded() ? other.ctx() : DbContext{};
    if (!embedded.connection.isEmbedded())
        return; // a server database is not a file
    const QString path = SqliteDialect::databaseFile(embedded);
    const QFileInfo file(path);
    FileDialog::setNextFileName(file.path() + QStringLiteral("/./") + file.fileName());
    browse->click();
    QCOMPARE(database->text(), path);
    type(screen, {QStringLiteral("(local)"), QStringLiteral("sa"), QString(), QStringLiteral("pw")}, database->text());
    QVERIFY(runFromScreen(screen));
    QCOMPARE(shownTexts().size(), 1);
    QVERIFY(shownTexts().first().startsWith(QStringLiteral("Mergerd database successfully.\n")));
    QCOMPARE(t.scalar(QStringLiteral("SELECT citation FROM case_master")).toString(), QStringLiteral("2003 SCMR 9"));
}

QTEST_MAIN(TestSynchroniseScreen)
#include "tst_synchronise_screen.moc"
