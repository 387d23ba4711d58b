// Programs writing citations to one database at once, and programs killed in the middle of their writes: every
// stored citation must be whole, and nothing of an unfinished one may remain. A write that waits for another's
// lock judges what is stored only once it has the lock.
#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "core/masters/master_store.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "datagen/random_source.h"
#include "support/test_database.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <algorithm>

namespace {
// A citation_writer process and the lines it has said so far.
class Writer
{
public:
    Writer(const TestDatabase& t, quint64 seed, int count, int holdAfter = -1, int retries = 0, int pauseMs = 0)
    {
        const ConnectionString& c = t.ctx().connection;
        QStringList args{QStringLiteral("--program-dir"), t.programDir(),
                         QStringLiteral("--server"),      c.server,
                         QStringLiteral("--user"),        c.user,
                         QStringLiteral("--database"),    c.database,
                         QStringLiteral("--seed"),        QString::number(seed),
                         QStringLiteral("--count"),       QString::number(count)};
        if (holdAfter >= 0)
            args << QStringLiteral("--hold-after") << QString::number(holdAfter);
        if (retries > 0)
            args << QStringLiteral("--retries") << QString::number(retries);
        if (pauseMs > 0)
            args << QStringLiteral("--pause-ms") << QString::number(pauseMs);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LEXORIUM_WRITER_PASSWORD"), c.password);
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(LEXORIUM_BIN_DIR "/citation_writer"), args);
    }

    ~Writer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool started() { return m_process.waitForStarted(10000); }

    // Waits until the writer has said `lines` lines or has ended, at most timeoutMs.
    bool waitForLines(int lines, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            readLines();
            if (m_lines.size() >= lines)
                return true;
            if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
                return false;
            m_process.waitForReadyRead(int(qMax<qint64>(1, qMin<qint64>(200, deadline.remainingTime()))));
        }
    }

    bool finish(int timeoutMs)
    {
        const bool done = m_process.waitForFinished(timeoutMs);
        readLines();
        return done && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    void kill()
    {
        m_process.kill(); // SIGKILL: no handler runs, nothing is rolled back by the program itself
        m_process.waitForFinished(10000);
        readLines();
    }

    // The case ids the writer reported as committed.
    QList<qint64> added() const
    {
        QList<qint64> ids;
        for (const QString& line : m_lines)
            if (line.startsWith(QLatin1String("added ")))
                ids << line.mid(6).toLongLong();
        return ids;
    }
    // The adds the database refused (and the writer tried again).
    QStringList refusals() const { return m_lines.filter(QRegularExpression(QStringLiteral("^refused "))); }
    bool holding() const { return !m_lines.isEmpty() && m_lines.last().startsWith(QLatin1String("holding")); }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    void readLines()
    {
        while (m_process.canReadLine())
            m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
    }

    QProcess m_process;
    QStringList m_lines;
};

// One text for everything a citation holds, its keys aside; a load keeps month and year of the date.
QString fingerprint(const Citation& c)
{
    QStringList parts{c.citation, c.caseTitle,
                      c.judgmentDate.isValid()
                          ? QDate(c.judgmentDate.year(), c.judgmentDate.month(), 1).toString(Qt::ISODate)
                          : QString()};
    for (const QString& text : c.texts)
        parts << text;
    for (const QList<CitationLink>* links : {&c.categories, &c.courts, &c.acts}) {
        QStringList l;
        for (const CitationLink& link : *links)
            l << QStringLiteral("%1=%2=%3").arg(link.masterId).arg(link.name, link.section);
        parts << l.join(QLatin1Char(';'));
    }
    parts << c.bench.join(QLatin1Char(';'));
    return parts.join(QChar(0x1F));
}

QStringList expectedFingerprints(quint64 seed, int count)
{
    CitationGenerator generator(seed);
    QStringList prints;
    for (int i = 0; i < count; ++i)
        prints << fingerprint(generator.next());
    return prints;
}

qint64 count(const TestDatabase& t, const QString& sql)
{
    return t.scalar(sql).toLongLong();
}

// What is wrong with the stored citations as a whole: text rows missing, shared or orphaned, link and bench rows
// without their citation or master row, and the engine's own checks.
QStringList integrityProblems(const TestDatabase& t)
{
    QStringList problems;
    DbSession session(t.ctx());
    if (!session.isOpen())
        return {session.error().description};
    auto expectNone = [&](const QString& what, const QString& sql) {
        Result<QSqlQuery> q = session.query(sql);
        if (!q || !q->next())
            problems << QStringLiteral("cannot check %1: %2").arg(what, q ? QString() : q.error().description);
        else if (q->value(0).toLongLong() != 0)
            problems << QStringLiteral("%1: %2").arg(what).arg(q->value(0).toLongLong());
    };
    for (const CitationStore::TextTable& tt : CitationStore::textTables()) {
        expectNone(QStringLiteral("citations without their %1 row").arg(tt.table),
                   QStringLiteral("SELECT COUNT(*) FROM case_master WHERE %1 IS NULL OR NOT EXISTS "
                                  "(SELECT 1 FROM %2 WHERE %2.id = case_master.%1)")
                       .arg(tt.keyColumn, tt.table));
        expectNone(QStringLiteral("orphaned %1 rows").arg(tt.table),
                   QStringLiteral("SELECT COUNT(*) FROM %2 WHERE NOT EXISTS "
                                  "(SELECT 1 FROM case_master WHERE case_master.%1 = %2.id)")
                       .arg(tt.keyColumn, tt.table));
        expectNone(QStringLiteral("%1 rows shared by two citations").arg(tt.table),
                   QStringLiteral("SELECT COUNT(*) - COUNT(DISTINCT %1) FROM case_master").arg(tt.keyColumn));
    }
    struct Link {
        const char* table;
        const char* caseColumn;
        const char* masterColumn;
        const char* master;
    };
    for (const Link& l : {Link{"cm_bench_name", "case_id", nullptr, nullptr},
                          Link{"cmd_category_master", "cmd_id", "cat_id", "category_master"},
                          Link{"cmd_court_master", "cmd_id", "court_id", "court_master"},
                          Link{"cmd_act_master", "cmd_id", "act_id", "act_master"}}) {
        const QString table = QLatin1String(l.table);
        expectNone(QStringLiteral("orphaned %1 rows").arg(table),
                   QStringLiteral("SELECT COUNT(*) FROM %1 WHERE NOT EXISTS "
                                  "(SELECT 1 FROM case_master WHERE case_master.case_id = %1.%2)")
                       .arg(table, QLatin1String(l.caseColumn)));
        if (l.master)
            expectNone(QStringLiteral("%1 rows without their master row").arg(table),
                       QStringLiteral("SELECT COUNT(*) FROM %1 WHERE NOT EXISTS (SELECT 1 FROM %3 WHERE %3.id = %1.%2)")
                           .arg(table, QLatin1String(l.masterColumn), QLatin1String(l.master)));
    }
    if (TestDatabase::isPostgres()) {
        // All thirteen foreign keys are in force, so the engine agrees with the queries above.
        expectNone(QStringLiteral("foreign keys missing or not validated"),
                   QStringLiteral("SELECT 13 - COUNT(*) FROM pg_constraint c JOIN pg_class r ON r.oid = c.conrelid "
                                  "JOIN pg_namespace n ON n.oid = r.relnamespace "
                                  "WHERE c.contype = 'f' AND c.convalidated AND n.nspname = current_schema()"));
    } else {
        Result<QSqlQuery> check = session.query(QStringLiteral("PRAGMA integrity_check"));
        if (!check || !check->next() || check->value(0).toString() != QLatin1String("ok"))
            problems << QStringLiteral("integrity_check: %1")
                            .arg(check ? check->value(0).toString() : check.error().description);
        Result<QSqlQuery> keys = session.query(QStringLiteral("PRAGMA foreign_key_check"));
        if (!keys)
            problems << QStringLiteral("foreign_key_check: %1").arg(keys.error().description);
        else if (keys->next())
            problems << QStringLiteral("foreign_key_check: a row of %1 breaks a key").arg(keys->value(0).toString());
    }
    return problems;
}

// A killed client's server process ends a moment after it; until then it may still hold its transaction.
bool waitForOtherSessionsToEnd(const TestDatabase& t)
{
    if (!TestDatabase::isPostgres())
        return true;
    DbSession session(t.ctx());
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        Result<QSqlQuery> q =
            session.query(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity "
                                         "WHERE datname = current_database() AND pid <> pg_backend_pid()"));
        if (q && q->next() && q->value(0).toInt() == 0)
            return true;
        QTest::qWait(20);
    }
    return false;
}

// A sign that the last kill met a writer inside its transaction: on the embedded engine the file's rollback
// journal is left behind (the next session rolls it back), on PostgreSQL the server counts one more rollback.
qint64 rollbacksCounted(const TestDatabase& t)
{
    if (!TestDatabase::isPostgres())
        return 0;
    return count(t, QStringLiteral("SELECT xact_rollback FROM pg_stat_database WHERE datname = current_database()"));
}

bool leftUnfinished(const TestDatabase& t, qint64 rollbacksBefore)
{
    if (TestDatabase::isPostgres())
        return rollbacksCounted(t) > rollbacksBefore;
    const QFileInfo journal(t.programDir() + QStringLiteral("/Data/") + t.ctx().connection.database +
                            QStringLiteral(".db-journal"));
    return journal.exists() && journal.size() > 0;
}

QStringList storedFingerprints(const TestDatabase& t, const QList<qint64>& ids, QString* error)
{
    DbSession session(t.ctx());
    const CitationStore store(session);
    QStringList prints;
    for (qint64 id : ids) {
        Result<Citation> c = store.load(id);
        if (!c) {
            *error = c.error().description;
            return {};
        }
        prints << fingerprint(*c);
    }
    return prints;
}

QList<qint64> storedIds(const TestDatabase& t)
{
    DbSession session(t.ctx());
    QList<qint64> ids = CitationStore(session).caseIds().valueOr({});
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Runs a write on a session of its own in a thread of its own, while the test's session holds its transaction.
class WriteInThread
{
public:
    using Write = std::function<Error(DbSession&)>;

    WriteInThread(const DbContext& ctx, Write write)
        : m_thread(QThread::create([this, ctx, write] {
            DbSession session(ctx);
            m_result = session.isOpen() ? write(session) : session.error();
        }))
    {
        m_thread->start();
    }
    ~WriteInThread() { m_thread->wait(); }

    Error result()
    {
        m_thread->wait();
        return m_result;
    }
    bool running() const { return m_thread->isRunning(); }

private:
    Error m_result;
    std::unique_ptr<QThread> m_thread;
};

// Long enough for the other write to have opened its session and to be waiting for the lock, well inside the
// embedded engine's busy time-out.
constexpr int kLetItWaitMs = 600;

Citation sampleCitation()
{
    Citation c;
    c.citation = QStringLiteral("PLD 2003 SC 5");
    c.caseTitle = QStringLiteral("State v. Owner");
    c.judgmentDate = QDate(2003, 3, 1);
    for (int i = 0; i < Citation::kTextCount; ++i)
        c.texts[i] = QStringLiteral("text %1").arg(i);
    c.categories = {{1, QStringLiteral("Tax"), {}}};
    c.courts = {{1, QStringLiteral("Supreme Court"), {}}};
    c.acts = {{1, QStringLiteral("Income Tax Ordinance"), QStringLiteral("s. 1")}};
    c.bench = {QStringLiteral("Justice A")};
    return c;
}

bool prepare(const TestDatabase& t)
{
    DbSession session(t.ctx());
    const Error e = CitationFiller::writeMasters(session);
    if (e)
        qWarning("%s", qPrintable(e.description));
    return !e;
}
} // namespace

// Runs against the engine named by LEXORIUM_TEST_ENGINE.
class TestCitationConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void twoWritersAtOnceStoreEveryCitationWhole();
    void killedWritersLeaveOnlyWholeCitations();
    void killedInsideItsTransactionLeavesNothingOfIt();
    void staleWriteWaitingForTheLockIsRefused_data();
    void staleWriteWaitingForTheLockIsRefused();
    void masterDeletedWhileAWriteWaitsIsNamed();
};

void TestCitationConcurrency::twoWritersAtOnceStoreEveryCitationWhole()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(prepare(t));
    constexpr int kEach = 200;
    constexpr int kRetries = 20;
    // A moment between two adds gives the embedded engine's waiting writer its chance at the file; without it one
    // writer would mostly run to the end before the other gets in, and few keys would be taken in turn.
    constexpr int kPauseMs = 5;
    Writer a(t, 11, kEach, -1, kRetries, kPauseMs);
    Writer b(t, 22, kEach, -1, kRetries, kPauseMs);
    QVERIFY(a.started());
    QVERIFY(b.started());
    QVERIFY2(a.finish(45000), qPrintable(a.errors()));
    QVERIFY2(b.finish(45000), qPrintable(b.errors()));

    // PostgreSQL queues writers for the table lock. The embedded engine lets a waiting writer poll for the file's
    // write lock only for its busy time-out, and one that keeps missing the moments in which the other writer
    // lets go is refused; such a refused add must have left nothing behind (checked below). Any other refusal,
    // such as a key taken twice, is a fault.
    const QStringList refusals = a.refusals() + b.refusals();
    QStringList faults = refusals;
    if (!TestDatabase::isPostgres()) {
        faults.removeIf([](const QString& r) { return r.endsWith(QLatin1String("database is locked")); });
        if (!refusals.isEmpty())
            qWarning("%d adds refused, the first: %s", int(refusals.size()), qPrintable(refusals.first()));
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

    // Each writer was told a key of its own for every citation.
    QList<qint64> told = a.added() + b.added();
    QCOMPARE(told.size(), 2 * kEach);
    std::sort(told.begin(), told.end());
    QVERIFY(std::adjacent_find(told.begin(), told.end()) == told.end());
    const QList<qint64> ids = storedIds(t);
    QCOMPARE(ids, told);

    const QStringList problems = integrityProblems(t);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

    // Every citation is stored as it was made, its texts, links and bench with it, whoever wrote it.
    QString error;
    QStringList stored = storedFingerprints(t, ids, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList expected = expectedFingerprints(11, kEach) + expectedFingerprints(22, kEach);
    stored.sort();
    expected.sort();
    QVERIFY(stored == expected);

    // The two runs overlapped: the keys passed from one writer to the other again and again.
    int switches = 0;
    const QList<qint64> fromA = a.added();
    for (int i = 1; i < ids.size(); ++i)
        switches += fromA.contains(ids[i]) != fromA.contains(ids[i - 1]);
    qInfo("the writers took turns %d times", switches);
    QVERIFY2(switches >= 10, "the writers did not run at the same time");
}

void TestCitationConcurrency::killedWritersLeaveOnlyWholeCitations()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(prepare(t));
    RandomSource random(QDateTime::currentMSecsSinceEpoch());
    qint64 stored = 0;
    int killedInside = 0;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        const quint64 seed = 100 + quint64(round);
        Writer w(t, seed, 1000000);
        QVERIFY(w.started());
        // Killed at a moment of its own each round: nearly all of a writer's time is spent inside a transaction.
        QVERIFY2(w.waitForLines(random.between(2, 10), 30000), qPrintable(w.errors()));
        QTest::qSleep(random.between(0, 15));
        const qint64 rollbacks = rollbacksCounted(t);
        w.kill();
        const bool unfinished = !TestDatabase::isPostgres() && leftUnfinished(t, rollbacks);
        QVERIFY(waitForOtherSessionsToEnd(t));
        if (unfinished || (TestDatabase::isPostgres() && leftUnfinished(t, rollbacks)))
            ++killedInside;

        const QStringList problems = integrityProblems(t);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        // Everything the writer was told is committed is there; at most one more may have committed unannounced.
        const QList<qint64> ids = storedIds(t);
        const qint64 announced = w.added().size();
        QVERIFY2(ids.size() >= stored + announced && ids.size() <= stored + announced + 1,
                 qPrintable(QStringLiteral("%1 stored after %2 announced").arg(ids.size()).arg(stored + announced)));
        const QList<qint64> fromThisRound = ids.mid(stored);
        QString error;
        const QStringList prints = storedFingerprints(t, fromThisRound, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(prints, expectedFingerprints(seed, int(fromThisRound.size())));
        stored = ids.size();
    }
    qInfo("%d of %d kills met a writer inside its transaction", killedInside, kRounds);
}

void TestCitationConcurrency::killedInsideItsTransactionLeavesNothingOfIt()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(prepare(t));
    {
        Writer w(t, 7, 10, 5);
        QVERIFY(w.started());
        QVERIFY2(w.waitForLines(6, 30000), qPrintable(w.errors()));
        QVERIFY(w.holding());
        w.kill();
    }
    QVERIFY(waitForOtherSessionsToEnd(t));
    const QStringList problems = integrityProblems(t);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QCOMPARE(storedIds(t), (QList<qint64>{1, 2, 3, 4, 5}));
    for (const CitationStore::TextTable& tt : CitationStore::textTables())
        QCOMPARE(count(t, QStringLiteral("SELECT COUNT(*) FROM ") + tt.table), 5);

    // The dead writer's locks are gone, and its keys are handed out again.
    Writer next(t, 8, 2);
    QVERIFY(next.started());
    QVERIFY2(next.finish(30000), qPrintable(next.errors()));
    QCOMPARE(next.added(), (QList<qint64>{6, 7}));
    QVERIFY(integrityProblems(t).isEmpty());
}

// B changes the citation and holds its transaction open; A, whose copy is the one B started from, changes or
// deletes it meanwhile and has to wait. Once B commits, A's write must find B's citation and write nothing.
void TestCitationConcurrency::staleWriteWaitingForTheLockIsRefused_data()
{
    QTest::addColumn<bool>("deleting");
    QTest::newRow("modify") << false;
    QTest::newRow("delete") << true;
}

void TestCitationConcurrency::staleWriteWaitingForTheLockIsRefused()
{
    QFETCH(bool, deleting);
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession b(t.ctx());
    const CitationStore storeB(b);
    QCOMPARE(storeB.add(sampleCitation()).valueOr(-1), qint64(1));
    const Citation opened = *storeB.load(1);

    Citation byB = opened;
    byB.text(Citation::Judgment) = QStringLiteral("B's judgment");
    TransactionGuard transaction(b);
    QVERIFY(!transaction.error());
    QVERIFY(!storeB.modify(opened, byB));
    WriteInThread a(t.ctx(), [opened, deleting](DbSession& session) {
        const CitationStore store(session);
        Citation byA = opened;
        byA.text(Citation::Remarks) = QStringLiteral("A's remarks");
        return deleting ? store.remove(opened) : store.modify(opened, byA);
    });
    QTest::qSleep(kLetItWaitMs);
    QVERIFY2(a.running(), "the other write did not wait for the lock");
    QVERIFY(!transaction.commit());

    const Error e = a.result();
    QCOMPARE(e.kind, Error::Kind::Conflict);
    QCOMPARE(e.description, CitationStore::changedMessage(1, deleting));
    const Citation stored = *storeB.load(1);
    QCOMPARE(fingerprint(stored), fingerprint(byB));
    QCOMPARE(stored.textIds, opened.textIds);
    QVERIFY(integrityProblems(t).isEmpty());
}

// B deletes an Act and holds its transaction open; A adds a citation linked to it meanwhile and has to wait. Once
// B commits, A is told which Act is gone, in the program's words, and nothing of A's citation is stored.
void TestCitationConcurrency::masterDeletedWhileAWriteWaitsIsNamed()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession b(t.ctx());
    TransactionGuard transaction(b);
    QVERIFY(!transaction.error());
    QVERIFY(!MasterStore(b, MasterKind::Act).remove(2));
    WriteInThread a(t.ctx(), [](DbSession& session) {
        Citation c = sampleCitation();
        c.acts << CitationLink{2, QStringLiteral("Contract Act"), QStringLiteral("s. 73")};
        return CitationStore(session).add(c).error();
    });
    QTest::qSleep(kLetItWaitMs);
    QVERIFY2(a.running(), "the other write did not wait for the lock");
    QVERIFY(!transaction.commit());

    const Error e = a.result();
    QCOMPARE(e.kind, Error::Kind::NotFound);
    QCOMPARE(e.description,
             QStringLiteral("The Act \"Contract Act\" was deleted by another user; nothing was stored."));
    QCOMPARE(count(t, QStringLiteral("SELECT COUNT(*) FROM case_master")), 0);
    QCOMPARE(count(t, QStringLiteral("SELECT COUNT(*) FROM cm_judgment_master")), 0);
    QCOMPARE(count(t, QStringLiteral("SELECT COUNT(*) FROM act_master")), 1);
}

QTEST_GUILESS_MAIN(TestCitationConcurrency)
#include "tst_citation_concurrency.moc"
