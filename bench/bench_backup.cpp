// Backup, check and restore of a database of n generated citations (50,000 unless LEXORIUM_BENCH_SIZES says), on
// the engine LEXORIUM_TEST_ENGINE names. Targets: the backup at most twice the engine's own copy of the same
// database measured in the same run (its copy into a file where it has one, pg_dump of the server's database
// otherwise), the restore at most 1.5 times the bulk filler's time for the same rows, the check under 30 seconds.
#include "core/backup/database_backup.h"
#include "core/backup/database_check.h"
#include "core/db/db_session.h"
#include "datagen/bench_sizes.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "support/engine_copy.h"
#include "support/test_database.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {
int sizeFromEnvironment()
{
    return benchSizes(QStringLiteral("50000")).last();
}

// The engine's own copy of the database into a file, in seconds; negative when it failed.
double engineCopy(DbSession& session, const QString& file)
{
    QElapsedTimer timer;
    const QString statement = session.dialect().copyIntoFileStatement();
    if (!statement.isEmpty()) {
        timer.start();
        return session.run(statement, {file}) ? -1 : timer.elapsed() / 1000.0;
    }
    const ConnectionString& c = session.context().connection;
    QProcess dump;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), c.password.trimmed());
    dump.setProcessEnvironment(env);
    timer.start();
    dump.start(EngineCopy::postgresTool(QStringLiteral("pg_dump")),
               {QStringLiteral("-h"), c.host(), QStringLiteral("-p"), QString::number(c.port()), QStringLiteral("-U"),
                c.user.trimmed(), QStringLiteral("-Fc"), QStringLiteral("-f"), file, c.database.trimmed()});
    if (!dump.waitForFinished(-1) || dump.exitCode() != 0)
        return -1;
    return timer.elapsed() / 1000.0;
}

const char* verdict(bool met)
{
    return met ? "met" : "missed";
}
} // namespace

class BenchBackup : public QObject
{
    Q_OBJECT

private slots:
    void backupCheckRestore();
};

void BenchBackup::backupCheckRestore()
{
    const int n = sizeFromEnvironment();
    std::printf("engine %s, %d citations\n", qPrintable(TestDatabase::engine()), n);
    TestDatabase present;
    QString why;
    LEX_REQUIRE_READY(present.create(true, &why), why);
    QTemporaryDir dir;
    QElapsedTimer timer;
    double fill = 0;
    {
        DbSession s(present.ctx());
        timer.start();
        QVERIFY(!CitationFiller::writeMasters(s));
        CitationGenerator generator(1);
        QVERIFY(!CitationFiller::fill(s, generator, n));
        fill = timer.elapsed() / 1000.0;
        for (const QString& statement : s.dialect().settleStatements())
            s.run(statement);
    }
    DbSession session(present.ctx());
    const double own = engineCopy(session, dir.filePath(QStringLiteral("own.copy")));
    QVERIFY2(own >= 0, "the engine's own copy failed");

    // Where the backup's time goes: the seconds at which each step began.
    QStringList steps;
    timer.start();
    const Result<DatabaseBackup::Summary> made =
        DatabaseBackup::backup(session, dir.filePath(QStringLiteral("b.db")), [&](const QString& step, int) {
            if (!step.startsWith(QLatin1String("Copying ")))
                steps << QStringLiteral("%1 %2").arg(timer.elapsed() / 1000.0, 0, 'f', 2).arg(step);
        });
    const double backup = timer.elapsed() / 1000.0;
    QVERIFY2(made, qPrintable(made ? QString() : made.error().description));
    QCOMPARE(made->citations, n);

    timer.start();
    const Result<DatabaseCheck::Report> report = DatabaseCheck::run(session);
    const double check = timer.elapsed() / 1000.0;
    QVERIFY(report && report->ok());

    TestDatabase target;
    LEX_REQUIRE_READY(target.create(true, &why), why);
    DbSession into(target.ctx());
    timer.start();
    const Result<DatabaseBackup::Summary> restored =
        DatabaseBackup::restore(into, made->file, DatabaseBackup::Replace::No);
    const double restore = timer.elapsed() / 1000.0;
    QVERIFY2(restored, qPrintable(restored ? QString() : restored.error().description));

    std::printf("%-34s %9.2f s\n", "bulk fill", fill);
    std::printf("%-34s %9.2f s\n", "engine's own copy", own);
    std::printf("%-34s %9.2f s  %.2f x own copy (target <= 2: %s)\n", "backup", backup, backup / own,
                verdict(backup <= 2 * own));
    std::printf("%-34s %s\n", "  its steps (s)", qPrintable(steps.join(QStringLiteral("; "))));
    std::printf("%-34s %9.2f s  (target < 30 s: %s)\n", "check", check, verdict(check < 30));
    std::printf("%-34s %9.2f s  %.2f x bulk fill (target <= 1.5: %s)\n", "restore", restore, restore / fill,
                verdict(restore <= 1.5 * fill));
    std::fflush(stdout);
}

QTEST_GUILESS_MAIN(BenchBackup)
#include "bench_backup.moc"
