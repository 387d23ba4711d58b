// Merging a second database into the present one: two databases of n generated citations each, a quarter of the
// second's being the present's own (the same citation text and month of judgment), merged by DatabaseMerge as
// the Synchronisation screen runs it. Target: under 10 seconds at 20,000 + 20,000, growing at most linearly from
// 2,000. The time of each step of the run is shown beside the total.
//
// Sizes can be set: LEXORIUM_BENCH_SIZES=2000,20000; the engine by LEXORIUM_TEST_ENGINE.
#include "core/citations/citation_tables.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/sync/database_merge.h"
#include "core/sync/row_copier.h"
#include "datagen/bench_sizes.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "support/test_database.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {
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
qint64 largestKey(const DbContext& ctx, const QString& table)
{
    DbSession s(ctx);
    Result<QSqlQuery> q = s.query(QStringLiteral("SELECT MAX(id) FROM ") + table);
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
    for (int n : benchSizes(QStringLiteral("2000,20000"))) {
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

        // The largest text keys before the merge: the new texts lie above them.
        QHash<QString, qint64> textsBefore;
        for (const CitationTextTable& t : CitationTables::texts())
            textsBefore.insert(t.table, largestKey(present.ctx(), t.table));
        // The present as it was, to time the engine indexing the new texts into an index that holds its citations.
        TestDatabase before;
        LEX_REQUIRE_READY(before.create(true, &why), why);
        QVERIFY(!DatabaseAdmin::dropDatabase(before.ctx()));
        QVERIFY(!DatabaseAdmin::copyDatabase(present.ctx(), before.ctx()));
        DatabaseMerge merge(present.ctx(), sourceOf(second.ctx()));
        QElapsedTimer clock;
        QStringList steps;
        double last = 0;
        double lastReport = 0;
        double longestWait = 0; // between two reports while the rows are written back
        QString lastGroup;
        // Steps whose status repeats with a changing count are timed as one.
        const auto groupOf = [](const QString& status) {
            if (status.startsWith(QLatin1String("Merging master tables")))
                return QStringLiteral("master tables");
            if (status.startsWith(QLatin1String("Writing the merged citations")))
                return QStringLiteral("writing back");
            return status.left(24);
        };
        merge.setProgress([&](const QString& status, int) {
            const double now = double(clock.nsecsElapsed()) / 1e9;
            const QString group = groupOf(status);
            if (group == QLatin1String("writing back") || lastGroup == QLatin1String("writing back"))
                longestWait = std::max(longestWait, now - lastReport);
            lastReport = now;
            if (group == lastGroup)
                return;
            if (!lastGroup.isEmpty())
                steps << QStringLiteral("%1 %2").arg(lastGroup).arg(now - last, 0, 'f', 2);
            last = now;
            lastGroup = group;
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
        std::printf("%8s longest wait for progress while writing back: %.2f s\n", "", longestWait);
        // What the engine alone takes to index the new texts: the same rows written, as the write-back takes them,
        // into an empty database and into the present as it was before the merge.
        const auto indexAlone = [&](const DbContext& target) -> Result<double> {
            DbSession from(present.ctx());
            DbSession to(target);
            QElapsedTimer indexing;
            indexing.start();
            const QList<SearchIndexDef> indexes = Schema::searchIndexes();
            const Error e = inTransaction(to, [&]() -> Error {
                if (Error begun = to.dialect().beginBulkIndexedWrite(to, indexes))
                    return begun;
                for (const CitationTextTable& t : CitationTables::texts()) {
                    const Error copied =
                        RowCopier::copy(from,
                                        QStringLiteral("SELECT id, id, %1 FROM %2 WHERE id > ? ORDER BY id LIMIT %3")
                                            .arg(t.column, t.table)
                                            .arg(RowCopier::kPageRows),
                                        to, Schema::table(t.table), nullptr, textsBefore.value(t.table));
                    if (copied)
                        return copied;
                }
                return to.dialect().endBulkIndexedWrite(to, indexes);
            });
            if (e)
                return e;
            return double(indexing.nsecsElapsed()) / 1e9;
        };
        {
            TestDatabase alone;
            LEX_REQUIRE_READY(alone.create(true, &why), why);
            const Result<double> empty = indexAlone(alone.ctx());
            QVERIFY2(empty, qPrintable(empty.error().description));
            std::printf("%8s the engine indexing the %lld new citations' texts alone: %.2f s\n", "", r.citationsAdded,
                        *empty);
            const Result<double> large = indexAlone(before.ctx());
            QVERIFY2(large, qPrintable(large.error().description));
            std::printf("%8s the same into the present as it was before the merge: %.2f s\n", "", *large);
        }
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
