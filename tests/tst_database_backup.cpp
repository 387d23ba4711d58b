// Backups and restores on both engines and across them: a backup is a whole snapshot even while another program
// writes, a restore replaces only with the user's word and leaves the database as it was when it fails.
#include "core/backup/database_backup.h"
#include "core/backup/database_check.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/sync/database_merge.h"
#include "core/sync/row_copier.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "support/test_database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Every row of the fourteen tables in key order, the date as a date: equal for two databases that hold the same,
// whichever engines they are on.
QStringList allRows(const DbContext& ctx)
{
    DbSession session(ctx);
    if (!session.isOpen())
        return {session.error().description};
    QStringList rows;
    for (const TableDef& t : Schema::allTables()) {
        QStringList columns;
        for (const ColumnDef& c : t.columns)
            columns << c.name;
        Result<QSqlQuery> q = session.query(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                                .arg(columns.join(QLatin1Char(',')), t.name, columns.first()));
        if (!q)
            return {q.error().description};
        while (q->next()) {
            QStringList cells{t.name};
            for (int i = 0; i < columns.size(); ++i) {
                const QVariant v = q->value(i);
                if (v.isNull())
                    cells << QStringLiteral("<null>");
                else if (columns.at(i) == QLatin1String("dt_of_judgment"))
                    cells << RowCopier::toDate(v).toDate().toString(Qt::ISODate);
                else
                    cells << v.toString();
            }
            rows << cells.join(QLatin1Char('|'));
        }
    }
    return rows;
}

Error fill(const DbContext& ctx, int citations, quint64 seed)
{
    DbSession session(ctx);
    if (!session.isOpen())
        return session.error();
    if (Error e = CitationFiller::writeMasters(session))
        return e;
    CitationGenerator generator(seed);
    return CitationFiller::fill(session, generator, citations);
}

// An embedded database of the program's schema in the folder, whatever engine this run tests.
DbContext embeddedDatabase(const QString& dir, const QString& name)
{
    DbContext ctx{dir, ConnectionString{QStringLiteral("(local)"), QStringLiteral("user"), name, QStringLiteral("pw")},
                  dir + QStringLiteral("/Data")};
    QDir().mkpath(ctx.dataDir());
    if (DatabaseAdmin::createDatabase(ctx) || Schema::create(ctx))
        return {};
    return ctx;
}

qint64 citationsIn(const QString& file)
{
    return DatabaseBackup::inspect(DbContext{}, file).value().citations;
}
} // namespace

class TstDatabaseBackup : public QObject
{
    Q_OBJECT

private slots:
    void backupRestoresIntoAnEmptyDatabase();
    void restoreOverRowsNeedsReplace();
    void failedRestoreLeavesTheDatabase_data();
    void failedRestoreLeavesTheDatabase();
    void refusesWhatIsNoBackup_data();
    void refusesWhatIsNoBackup();
    void backupReplacesAFileOnlyWhenWhole();
    void refusesTheDatabaseItself();
    void backupWhileAnotherProgramWrites();
    void backupIsASecondDatabaseToMerge();
    void crossEngine_data();
    void crossEngine();
};

void TstDatabaseBackup::backupRestoresIntoAnEmptyDatabase()
{
    LEX_USE_DATABASE(source, true);
    QVERIFY(!fill(source.ctx(), 60, 7));
    const QString file = source.programDir() + QStringLiteral("/copy.db");
    {
        DbSession session(source.ctx());
        const Result<DatabaseBackup::Summary> made = DatabaseBackup::backup(session, file);
        QVERIFY2(made, qPrintable(made ? QString() : made.error().description));
        QCOMPARE(made->citations, 60);
        QCOMPARE(made->file, QFileInfo(file).absoluteFilePath());
    }
    QVERIFY(!QFileInfo::exists(DatabaseBackup::partialName(file)));
    // Readable by its owner only, as the databases are.
    QCOMPARE(QFileInfo(file).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

    LEX_USE_DATABASE(target, true);
    DbSession session(target.ctx());
    const Result<DatabaseBackup::Summary> restored =
        DatabaseBackup::restore(session, file, DatabaseBackup::Replace::No);
    QVERIFY2(restored, qPrintable(restored ? QString() : restored.error().description));
    QCOMPARE(restored->citations, 60);
    QCOMPARE(allRows(target.ctx()), allRows(source.ctx()));
    const Result<DatabaseCheck::Report> report = DatabaseCheck::run(session);
    QVERIFY(report);
    QVERIFY2(report->ok(), qPrintable(report->problems.isEmpty() ? QString() : report->problems.first().text));
}

void TstDatabaseBackup::restoreOverRowsNeedsReplace()
{
    LEX_USE_DATABASE(source, true);
    QVERIFY(!fill(source.ctx(), 20, 11));
    const QString file = source.programDir() + QStringLiteral("/b.db");
    {
        DbSession session(source.ctx());
        QVERIFY(DatabaseBackup::backup(session, file));
    }
    LEX_USE_DATABASE(target, true);
    QVERIFY(!fill(target.ctx(), 5, 99));
    const QStringList before = allRows(target.ctx());
    DbSession session(target.ctx());
    const Result<DatabaseBackup::Summary> refused = DatabaseBackup::restore(session, file, DatabaseBackup::Replace::No);
    QVERIFY(!refused);
    QCOMPARE(refused.error().kind, Error::Kind::Conflict);
    QVERIFY2(refused.error().description.contains(QStringLiteral("holds 5 citations")),
             qPrintable(refused.error().description));
    QCOMPARE(allRows(target.ctx()), before);

    const Result<DatabaseBackup::Summary> replaced =
        DatabaseBackup::restore(session, file, DatabaseBackup::Replace::Yes);
    QVERIFY2(replaced, qPrintable(replaced ? QString() : replaced.error().description));
    QCOMPARE(allRows(target.ctx()), allRows(source.ctx()));
}

void TstDatabaseBackup::failedRestoreLeavesTheDatabase_data()
{
    QTest::addColumn<QString>("marker");
    QTest::newRow("removing the present rows") << QStringLiteral("DELETE FROM cm_judgment_master");
    QTest::newRow("writing the links") << QStringLiteral("INSERT INTO cmd_act_master");
    QTest::newRow("writing the citations") << QStringLiteral("INSERT INTO case_master");
}

void TstDatabaseBackup::failedRestoreLeavesTheDatabase()
{
    QFETCH(QString, marker);
    LEX_USE_DATABASE(source, true);
    QVERIFY(!fill(source.ctx(), 15, 3));
    const QString file = source.programDir() + QStringLiteral("/b.db");
    {
        DbSession session(source.ctx());
        QVERIFY(DatabaseBackup::backup(session, file));
    }
    LEX_USE_DATABASE(target, true);
    QVERIFY(!fill(target.ctx(), 4, 5));
    const QStringList before = allRows(target.ctx());
    {
        DbSession session(target.ctx());
        session.failNextStatementContaining(marker);
        const Result<DatabaseBackup::Summary> r = DatabaseBackup::restore(session, file, DatabaseBackup::Replace::Yes);
        QVERIFY(!r);
    }
    QCOMPARE(allRows(target.ctx()), before);
    // The database still takes writes: no lock or transaction was left behind.
    DbSession again(target.ctx());
    QVERIFY(!again.run(QStringLiteral("UPDATE category_master SET category = category")));
}

void TstDatabaseBackup::refusesWhatIsNoBackup_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("said");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("There is no backup file");
    QTest::newRow("text") << QByteArray("not a database at all, only words\n") << QStringLiteral("is not a backup");
}

void TstDatabaseBackup::refusesWhatIsNoBackup()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    LEX_USE_DATABASE(target, true);
    QVERIFY(!fill(target.ctx(), 3, 1));
    const QString file = target.programDir() + QStringLiteral("/x.db");
    if (!content.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const QStringList before = allRows(target.ctx());
    DbSession session(target.ctx());
    const Result<DatabaseBackup::Summary> r = DatabaseBackup::restore(session, file, DatabaseBackup::Replace::Yes);
    QVERIFY(!r);
    QVERIFY2(r.error().description.contains(said), qPrintable(r.error().description));
    QCOMPARE(allRows(target.ctx()), before);
}

void TstDatabaseBackup::backupReplacesAFileOnlyWhenWhole()
{
    LEX_USE_DATABASE(source, true);
    QVERIFY(!fill(source.ctx(), 10, 2));
    const QString file = source.programDir() + QStringLiteral("/b.db");
    DbSession session(source.ctx());
    QVERIFY(DatabaseBackup::backup(session, file));
    QCOMPARE(citationsIn(file), 10);
    QVERIFY(!fill(source.ctx(), 5, 3));
    // A backup into a folder that cannot be written fails before anything, and the old one stays.
    const Result<DatabaseBackup::Summary> nowhere =
        DatabaseBackup::backup(session, source.programDir() + QStringLiteral("/missing/b.db"));
    QVERIFY(!nowhere);
    QCOMPARE(nowhere.error().kind, Error::Kind::Io);
    QVERIFY(DatabaseBackup::backup(session, file));
    QCOMPARE(citationsIn(file), 15);
}

void TstDatabaseBackup::refusesTheDatabaseItself()
{
    // An embedded database named by the path of its file, backed up over itself and restored from itself.
    QTemporaryDir dir;
    const DbContext embedded = embeddedDatabase(dir.path(), QStringLiteral("LawDB"));
    QVERIFY(!embedded.programDir.isEmpty());
    QVERIFY(!fill(embedded, 4, 12));
    const QStringList before = allRows(embedded);
    const QString file = DatabaseAdmin::databaseLocation(embedded);
    DbSession session(embedded);
    const Result<DatabaseBackup::Summary> over = DatabaseBackup::backup(session, file);
    QVERIFY(!over);
    QCOMPARE(over.error().kind, Error::Kind::Conflict);
    // Spelled another way, the same file.
    const QString spelled = QFileInfo(file).path() + QStringLiteral("/../Data/") + QFileInfo(file).fileName();
    const Result<DatabaseBackup::Summary> from =
        DatabaseBackup::restore(session, spelled, DatabaseBackup::Replace::Yes);
    QVERIFY(!from);
    QCOMPARE(from.error().kind, Error::Kind::Conflict);
    QCOMPARE(allRows(embedded), before);
    QVERIFY(!QFileInfo::exists(DatabaseBackup::partialName(file)));
}

void TstDatabaseBackup::backupWhileAnotherProgramWrites()
{
    LEX_USE_DATABASE(source, true);
    QVERIFY(!fill(source.ctx(), 30, 21));
    const ConnectionString& c = source.ctx().connection;
    QProcess writer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LEXORIUM_WRITER_PASSWORD"), c.password);
    writer.setProcessEnvironment(env);
    writer.start(QStringLiteral(LEXORIUM_BIN_DIR "/citation_writer"),
                 {QStringLiteral("--program-dir"), source.programDir(), QStringLiteral("--server"), c.server,
                  QStringLiteral("--user"), c.user, QStringLiteral("--database"), c.database, QStringLiteral("--seed"),
                  QStringLiteral("77"), QStringLiteral("--count"), QStringLiteral("400"), QStringLiteral("--retries"),
                  QStringLiteral("50"), QStringLiteral("--pause-ms"), QStringLiteral("2")});
    QVERIFY(writer.waitForStarted(10000));
    QVERIFY(writer.waitForReadyRead(30000)); // it has committed at least once

    QTemporaryDir dir;
    QStringList files;
    {
        DbSession session(source.ctx());
        for (int i = 0; i < 3; ++i) {
            const QString file = dir.filePath(QStringLiteral("during-%1.db").arg(i));
            const Result<DatabaseBackup::Summary> made = DatabaseBackup::backup(session, file);
            QVERIFY2(made, qPrintable(made ? QString() : made.error().description));
            files << file;
        }
    }
    QVERIFY(writer.waitForFinished(120000));
    QCOMPARE(writer.exitCode(), 0);

    // Each backup is whole: every citation with all its rows, and it restores to a database the check passes.
    for (const QString& file : files) {
        LEX_USE_DATABASE(target, true);
        DbSession session(target.ctx());
        const Result<DatabaseBackup::Summary> restored =
            DatabaseBackup::restore(session, file, DatabaseBackup::Replace::No);
        QVERIFY2(restored, qPrintable(restored ? QString() : restored.error().description));
        QVERIFY(restored->citations >= 30);
        const Result<DatabaseCheck::Report> report = DatabaseCheck::run(session);
        QVERIFY(report);
        QVERIFY2(report->ok(), qPrintable(report->problems.isEmpty() ? QString() : report->problems.first().text));
        for (const QString& text :
             {QStringLiteral("judgment_id"), QStringLiteral("issue_id"), QStringLiteral("remarks_id")}) {
            Result<QSqlQuery> q =
                session.query(QStringLiteral("SELECT COUNT(*) FROM case_master WHERE %1 IS NULL").arg(text));
            QVERIFY(q && q->next());
            QCOMPARE(q->value(0).toLongLong(), 0);
        }
    }
}

void TstDatabaseBackup::backupIsASecondDatabaseToMerge()
{
    LEX_USE_DATABASE(colleague, true);
    QVERIFY(!fill(colleague.ctx(), 5, 41));
    const QString file = colleague.programDir() + QStringLiteral("/colleague.db");
    {
        DbSession session(colleague.ctx());
        QVERIFY(DatabaseBackup::backup(session, file));
    }
    LEX_USE_DATABASE(present, true);
    QVERIFY(!fill(present.ctx(), 3, 42));
    // The file is read where it lies, as the Synchronisation screen's Browse... names it.
    DatabaseMerge merge(present.ctx(), MergeSource{QStringLiteral("(local)"), QFileInfo(file).absoluteFilePath(),
                                                   QStringLiteral("user"), QStringLiteral("pw")});
    const Result<DatabaseMerge::Summary> merged = merge.run();
    QVERIFY2(merged, qPrintable(merged ? QString() : merged.error().description));
    QCOMPARE(merged->outcome, DatabaseMerge::Outcome::Merged);
    QCOMPARE(present.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toInt(),
             3 + int(merged->citationsAdded));
    QVERIFY(merged->citationsAdded > 0);
    QCOMPARE(citationsIn(file), 5); // only read
}

void TstDatabaseBackup::crossEngine_data()
{
    QTest::addColumn<bool>("fromServer");
    QTest::newRow("server into embedded") << true;
    QTest::newRow("embedded into server") << false;
}

void TstDatabaseBackup::crossEngine()
{
    QFETCH(bool, fromServer);
    if (!TestDatabase::isPostgres())
        QSKIP("the other engine is tested in the server's run");
    LEX_USE_DATABASE(server, true);
    QTemporaryDir dir;
    const DbContext embedded = embeddedDatabase(dir.path(), QStringLiteral("LawDB"));
    QVERIFY(!embedded.programDir.isEmpty());
    const DbContext from = fromServer ? server.ctx() : embedded;
    const DbContext into = fromServer ? embedded : server.ctx();
    QVERIFY(!fill(from, 40, 31));
    // Texts and names beyond ASCII, and a citation without a date, survive both ways.
    {
        DbSession session(from);
        QVERIFY(!session.run(QStringLiteral("UPDATE cm_judgment_master SET judgment = ? WHERE id = 1"),
                             {QStringLiteral("Straße — Ωmega ünïcode\nsecond line")}));
        QVERIFY(!session.run(QStringLiteral("UPDATE case_master SET dt_of_judgment = NULL WHERE case_id = 2")));
    }
    const QString file = dir.filePath(QStringLiteral("cross.db"));
    {
        DbSession session(from);
        const Result<DatabaseBackup::Summary> made = DatabaseBackup::backup(session, file);
        QVERIFY2(made, qPrintable(made ? QString() : made.error().description));
    }
    DbSession session(into);
    const Result<DatabaseBackup::Summary> restored =
        DatabaseBackup::restore(session, file, DatabaseBackup::Replace::No);
    QVERIFY2(restored, qPrintable(restored ? QString() : restored.error().description));
    const QStringList expected = allRows(from);
    QCOMPARE(expected.size(), allRows(into).size());
    QCOMPARE(allRows(into), expected);
    const Result<DatabaseCheck::Report> report = DatabaseCheck::run(session);
    QVERIFY(report);
    QVERIFY2(report->ok(), qPrintable(report->problems.isEmpty() ? QString() : report->problems.first().text));
}

QTEST_GUILESS_MAIN(TstDatabaseBackup)
#include "tst_database_backup.moc"
