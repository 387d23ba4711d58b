// Merging a second database into the present one: two databases of n generated citations each, a quarter of the
// second's being the present's own (the same citation text and month of judgment), merged by DatabaseMerge as
// the Synchronisation screen runs it. Target: under 10 seconds at 20,000 + 20,000, growing at most linearly from
// 2,000. The time of each step of the run is shown beside the total.
//
// Sizes can be set: LEXORIUM_BENCH_SIZES=2000,20000; the engine by LEXORIUM_TEST_ENGINE.
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/sync/database_merge.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "support/test_database.h"

#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <ctime>

namespace {
QList<int> sizesFromEnvironment()
{
    QList<int> sizes;
    for (const QString& s : qEnvironmentVariable("LEXORIUM_BENCH_SIZES", QStringLiteral("2000,20000"))
                                .split(QLatin1Char(','), Qt::SkipEmptyParts))
        sizes << s.trimmed().toInt();
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

MergeSource sourceOf(const DbContext& ctx)
{
    const ConnectionString& c = ctx.connection;
    return {c.server, DatabaseAdmin::databaseLocation(ctx), c.user, c.password};
}

qint64 count(const DbContext& ctx, const QString& table)
{
    DbSession s(ctx);
    Result<QSqlQuery> q = s.query(QStringLiteral("SELECT COUNT(*) FROM ") + table);
    return q && q->next() ? q->value(0).toLongLong() : -1;
}
} // namespace

class BenchMerge : public QObject
{
    Q_OBJECT

private slots:
    void merge();
};

void BenchMerge::merge()
{
    std::printf("engine %s\n", qPrintable(TestDatabase::engine()));
    std::printf("%8s %10s %10s %10s  steps (s)\n", "size", "seconds", "cpu", "added");
    double first = 0;
    int firstSize = 0;
    for (int n : sizesFromEnvironment()) {
        TestDatabase present;
        TestDatabase second;
        QString why;
        LEX_REQUIRE_READY(present.create(true, &why), why);
        LEX_REQUIRE_READY(second.create(true, &why), why);
        const int shared = n / 4;
        {
            DbSession s(present.ctx());
            QVERIFY(!CitationFiller::writeMasters(s));
            CitationGenerator mine(1);
            QVERIFY(!CitationFiller::fill(s, mine, n));
        }
        {
            DbSession s(second.ctx());
            QVERIFY(!CitationFiller::writeMasters(s));
            CitationGenerator same(1); // the present's first citations
            QVERIFY(!CitationFiller::fill(s, same, shared));
            CitationGenerator theirs(2);
            QVERIFY(!CitationFiller::fill(s, theirs, n - shared));
        }

        DatabaseMerge merge(present.ctx(), sourceOf(second.ctx()));
        QElapsedTimer clock;
        QStringList steps;
        double last = 0;
        QString lastStatus;
        merge.setProgress([&](const QString& status, int) {
            const double now = double(clock.nsecsElapsed()) / 1e9;
            if (!lastStatus.isEmpty() && !lastStatus.startsWith(QLatin1String("Merging master tables")))
                steps << QStringLiteral("%1 %2").arg(lastStatus.left(24)).arg(now - last, 0, 'f', 2);
            else if (!lastStatus.isEmpty() && !status.startsWith(QLatin1String("Merging master tables")))
                steps << QStringLiteral("master tables %1").arg(now - last, 0, 'f', 2);
            if (lastStatus.isEmpty() || !lastStatus.startsWith(QLatin1String("Merging master tables")) ||
                !status.startsWith(QLatin1String("Merging master tables")))
                last = now;
            lastStatus = status;
        });
        clock.start();
        const std::clock_t cpuStart = std::clock();
        const Result<DatabaseMerge::Summary> run = merge.run();
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        QVERIFY2(run.ok(), qPrintable(run.error().description));
        const DatabaseMerge::Summary& r = *run;
        QVERIFY2(r.outcome == DatabaseMerge::Outcome::Merged, qPrintable(r.message));
        std::printf("%8d %10.2f %10.2f %10lld  %s\n", n, seconds, cpu, r.citationsAdded,
                    qPrintable(steps.join(QStringLiteral("; "))));
        std::fflush(stdout);
        // The second's own citations all went in; the shared ones did not.
        QVERIFY(r.citationsAdded <= n - shared && r.citationsAdded >= (n - shared) * 99 / 100);
        QCOMPARE(count(present.ctx(), QStringLiteral("case_master")), n + r.citationsAdded);
        if (firstSize == 0) {
            first = seconds;
            firstSize = n;
        } else {
            std::printf("growth %.2f for %.1f times the citations\n", seconds / first, double(n) / firstSize);
        }
    }
}

QTEST_GUILESS_MAIN(BenchMerge)
#include "bench_merge.moc"
