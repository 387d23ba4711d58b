// Load, add, change and delete of one citation in databases of 5,000 and 50,000 generated citations: each must
// stay a keyed operation, so the larger database may cost at most half as much again.
//
// The databases are filled first; then every round times each operation once on each database in turn, so that
// whatever else the machine is doing falls on both sizes alike.
//
// Sizes and rounds can be set: LEXORIUM_BENCH_SIZES=5000,50000 LEXORIUM_BENCH_ROUNDS=100.
// LEXORIUM_BENCH_TRY=wal measures a change to the database the program does not make: the embedded engine's
// write-ahead journal.
#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "datagen/bench_sizes.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "datagen/random_source.h"
#include "support/test_database.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {
enum Operation { Load, Add, Modify, Delete, kOperations };
const char* const kOperationNames[kOperations] = {"load", "add", "modify", "delete"};

struct Timing {
    double median = 0;
    double p90 = 0;
};

Timing summarise(std::vector<double> ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    return {median, ms[std::min(n - 1, size_t(double(n) * 0.9))]};
}

double elapsedMs(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// One database of one size, with what was timed on it.
struct Subject {
    int size = 0;
    TestDatabase db;
    std::unique_ptr<DbSession> session;
    double fillSeconds = 0;
    std::array<std::vector<double>, kOperations> ms;
};
} // namespace

class BenchCitationStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void operations();
    void cleanupTestCase();

private:
    void prepare(Subject& s);
    void print() const;

    std::vector<std::unique_ptr<Subject>> m_subjects;
    int m_rounds = 100;
    QStringList m_tried;
};

void BenchCitationStore::prepare(Subject& s)
{
    QString why;
    const TestDatabase::Status status = s.db.create(true, &why);
    LEX_REQUIRE_READY(status, why);
    s.session = std::make_unique<DbSession>(s.db.ctx());
    DbSession& session = *s.session;
    QVERIFY2(session.isOpen(), qPrintable(session.error().description));
    const Error masters = CitationFiller::writeMasters(session);
    QVERIFY2(!masters, qPrintable(masters.description));

    for (const QString& change : m_tried) {
        QStringList statements;
        if (change == QLatin1String("wal")) {
            statements = session.dialect().writeAheadJournalStatements();
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown change %1").arg(change)));
        }
        for (const QString& sql : statements) {
            const Result<QSqlQuery> r = session.query(sql);
            QVERIFY2(r, qPrintable(r.error().description));
        }
    }

    // Every size gets the same citations, so the smaller database is the start of the larger one.
    CitationGenerator generator(1);
    QElapsedTimer clock;
    clock.start();
    const Error filled =
        CitationFiller::fill(session, generator, s.size, CitationFiller::Path::Bulk, 500, [&](int done) {
            if (done % 10000 == 0)
                std::fprintf(stderr, "  filled %d of %d\n", done, s.size);
        });
    QVERIFY2(!filled, qPrintable(filled.description));
    s.fillSeconds = double(clock.elapsed()) / 1000;
    // Right after a bulk load the engine may still be settling what it would have settled long ago on a database
    // that has run for a while.
    for (const QString& sql : session.dialect().settleStatements())
        if (Result<QSqlQuery> r = session.query(sql); !r)
            qWarning("%s: %s", qPrintable(sql), qPrintable(r.error().description));
}

void BenchCitationStore::initTestCase()
{
    if (!qEnvironmentVariableIsEmpty("LEXORIUM_BENCH_ROUNDS"))
        m_rounds = qMax(5, qEnvironmentVariableIntValue("LEXORIUM_BENCH_ROUNDS"));
    m_tried = qEnvironmentVariable("LEXORIUM_BENCH_TRY").split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int size : benchSizes(QStringLiteral("5000,50000"))) {
        m_subjects.push_back(std::make_unique<Subject>());
        m_subjects.back()->size = size;
        prepare(*m_subjects.back());
        if (QTest::currentTestFailed())
            return;
    }
}

void BenchCitationStore::operations()
{
    RandomSource random(12345);
    CitationGenerator fresh(777);
    QElapsedTimer t;
    for (int round = 0; round < m_rounds; ++round) {
        // The same new citation and the same changes for every size.
        const Citation added = fresh.next();
        const Citation changes = fresh.next();
        const double where = random.uniform();
        // Every other round the other way round, so that neither size always follows the other's work.
        std::vector<Subject*> order;
        for (const auto& s : m_subjects)
            order.push_back(s.get());
        if (round % 2)
            std::reverse(order.begin(), order.end());
        for (Subject* s : order) {
            const CitationStore store(*s->session);
            const qint64 existing = 1 + qint64(where * s->size);

            t.start();
            Result<Citation> loaded = store.load(existing);
            s->ms[Load].push_back(elapsedMs(t));
            QVERIFY2(loaded, qPrintable(loaded.error().description));
            QVERIFY(!loaded->citation.isEmpty());

            t.start();
            const Result<qint64> id = store.add(added);
            s->ms[Add].push_back(elapsedMs(t));
            QVERIFY2(id, qPrintable(id.error().description));

            Citation changed = *loaded;
            changed.texts = changes.texts;
            changed.categories = changes.categories;
            changed.courts = changes.courts;
            changed.acts = changes.acts;
            changed.bench = changes.bench;
            t.start();
            // As the screen does it: guarded by the copy it loaded.
            const Error modified = store.modify(*loaded, changed);
            s->ms[Modify].push_back(elapsedMs(t));
            QVERIFY2(!modified, qPrintable(modified.description));

            const Result<Citation> shown = store.load(*id);
            QVERIFY2(shown, qPrintable(shown.error().description));
            t.start();
            const Error removed = store.remove(*shown);
            s->ms[Delete].push_back(elapsedMs(t));
            QVERIFY2(!removed, qPrintable(removed.description));
        }
    }
    for (const auto& s : m_subjects) {
        Result<QSqlQuery> count = s->session->query(QStringLiteral("SELECT COUNT(*) FROM case_master"));
        QVERIFY(count && count->next());
        QCOMPARE(count->value(0).toInt(), s->size);
    }
}

void BenchCitationStore::cleanupTestCase()
{
    print();
}

void BenchCitationStore::print() const
{
    if (m_subjects.empty() || m_subjects.front()->ms[Load].empty())
        return;
    const double addTarget = TestDatabase::isPostgres() ? 50 : 20;
    std::printf("\nCitation store on %s%s, %d rounds; milliseconds, median (90th percentile)\n",
                qPrintable(TestDatabase::engine()),
                m_tried.isEmpty() ? "" : qPrintable(QStringLiteral(" with ") + m_tried.join(QStringLiteral(", "))),
                m_rounds);
    std::printf("%-8s", "");
    for (const auto& s : m_subjects)
        std::printf(" %20s", qPrintable(QStringLiteral("%L1 citations").arg(s->size)));
    const bool withRatio = m_subjects.size() >= 2;
    if (withRatio)
        std::printf(" %7s", "ratio");
    std::printf("  target\n");
    for (int op = 0; op < kOperations; ++op) {
        std::printf("%-8s", kOperationNames[op]);
        double worst = 0;
        for (const auto& s : m_subjects) {
            const Timing timing = summarise(s->ms[size_t(op)]);
            worst = std::max(worst, timing.median);
            std::printf(" %20s",
                        qPrintable(QStringLiteral("%1 (%2)").arg(timing.median, 0, 'f', 2).arg(timing.p90, 0, 'f', 2)));
        }
        const double first = summarise(m_subjects.front()->ms[size_t(op)]).median;
        const double last = summarise(m_subjects.back()->ms[size_t(op)]).median;
        const double ratio = first > 0 ? last / first : 0;
        if (withRatio)
            std::printf(" %7.2f", ratio);
        QStringList verdict;
        const double limit = op == Load ? 5 : op == Add ? addTarget : 0;
        if (limit > 0)
            verdict << QStringLiteral("< %1 ms: %2")
                           .arg(limit)
                           .arg(worst < limit ? QStringLiteral("met") : QStringLiteral("MISSED"));
        if (withRatio)
            verdict << QStringLiteral("ratio <= 1.5: %1")
                           .arg(ratio <= 1.5 ? QStringLiteral("met") : QStringLiteral("MISSED"));
        std::printf("  %s\n", qPrintable(verdict.join(QStringLiteral(", "))));
    }
    for (const auto& s : m_subjects)
        std::printf("filled %d generated citations in %.1f s: %.0f per second\n", s->size, s->fillSeconds,
                    s->fillSeconds > 0 ? s->size / s->fillSeconds : 0.0);
    std::fflush(stdout);
}

QTEST_GUILESS_MAIN(BenchCitationStore)
#include "bench_citation_store.moc"
