// The background runner: work on a thread of its own, what it reports delivered in order on the interface thread,
// stop and cancel, and the session it opens where the work runs.
#include "core/db/db_session.h"
#include "gui/common/background_runner.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <atomic>

class TestBackgroundRunner : public QObject
{
    Q_OBJECT

private slots:
    void deliversInOrderThenFinishes();
    void oneRunAtATime();
    void cancelDropsWhatWasOnItsWay();
    void stopEndsThePassOnly();
    void waitsWithATimeLimit();
    void sessionIsOpenedWhereTheWorkRuns();
};

void TestBackgroundRunner::deliversInOrderThenFinishes()
{
    BackgroundRunner runner;
    QList<int> posted;
    std::atomic_int produced{0};
    int lastDelivered = -1;
    int deliveries = 0;
    QThread* workThread = nullptr;
    QStringList events;
    runner.setDelivery([&] {
        ++deliveries;
        lastDelivered = produced;
    });
    QVERIFY(runner.start(
        [&](CancelToken&) {
            workThread = QThread::currentThread();
            for (int i = 0; i < 200; ++i) {
                runner.post([&posted, i] { posted << i; });
                ++produced;
                runner.notify();
            }
        },
        [&] {
            events << QStringLiteral("finished");
            // Everything reported has been delivered, and the runner is free again.
            QCOMPARE(posted.size(), 200);
            QCOMPARE(lastDelivered, 200);
            QVERIFY(!runner.isRunning());
        }));
    QSignalSpy ended(&runner, &BackgroundRunner::runEnded);
    QVERIFY(runner.isRunning());
    QVERIFY(runner.wait(10000));
    QCOMPARE(events, QStringList{QStringLiteral("finished")});
    QCOMPARE(ended.count(), 1);
    QVERIFY(workThread && workThread != QThread::currentThread());
    QList<int> expected;
    for (int i = 0; i < 200; ++i)
        expected << i;
    QCOMPARE(posted, expected);
    // Notifies that come while a delivery is on its way make no more of them; one more comes before the end.
    QVERIFY2(deliveries >= 1 && deliveries <= 201, qPrintable(QString::number(deliveries)));
}

void TestBackgroundRunner::oneRunAtATime()
{
    BackgroundRunner runner;
    QSemaphore release;
    int finished = 0;
    QVERIFY(runner.start([&](CancelToken&) { release.acquire(); }, [&] { ++finished; }));
    QVERIFY(!runner.start([](CancelToken&) {}, [&] { finished += 10; }));
    release.release();
    QVERIFY(runner.wait(10000));
    QCOMPARE(finished, 1);
    // Free again: the next run starts.
    QVERIFY(runner.start([](CancelToken&) {}, [&] { ++finished; }));
    QVERIFY(runner.wait(10000));
    QCOMPARE(finished, 2);
}

void TestBackgroundRunner::cancelDropsWhatWasOnItsWay()
{
    BackgroundRunner runner;
    QSemaphore posted;
    int delivered = 0;
    bool finished = false;
    bool sawCancel = false;
    QSignalSpy ended(&runner, &BackgroundRunner::runEnded);
    QVERIFY(runner.start(
        [&](CancelToken& cancel) {
            runner.post([&delivered] { ++delivered; });
            posted.release();
            while (!cancel.isCancelled())
                QThread::msleep(1);
            sawCancel = true;
        },
        [&] { finished = true; }));
    posted.acquire();
    // Returns once the work has seen the cancel and its thread has ended.
    runner.cancel();
    QVERIFY(sawCancel);
    QVERIFY(!runner.isRunning());
    QTest::qWait(50);
    QCOMPARE(delivered, 0);
    QVERIFY(!finished);
    QCOMPARE(ended.count(), 0);

    // The token is fresh for the next run, and its reports arrive.
    bool cancelledAtStart = true;
    QVERIFY(runner.start(
        [&](CancelToken& cancel) {
            cancelledAtStart = cancel.isCancelled();
            runner.post([&delivered] { ++delivered; });
        },
        [&] { finished = true; }));
    QVERIFY(runner.wait(10000));
    QVERIFY(!cancelledAtStart);
    QCOMPARE(delivered, 1);
    QVERIFY(finished);
}

void TestBackgroundRunner::stopEndsThePassOnly()
{
    BackgroundRunner runner;
    QSemaphore started;
    std::atomic_bool stopSeen{false};
    std::atomic_bool cancelledAfter{true};
    QVERIFY(runner.start([&](CancelToken& cancel) {
        started.release();
        while (!cancel.takeStop())
            QThread::msleep(1);
        stopSeen = true;
        // Used up by the pass that saw it; the work goes on.
        cancelledAfter = cancel.isCancelled() || cancel.isStopRequested();
    }));
    started.acquire();
    runner.requestStop();
    QVERIFY(runner.wait(10000));
    QVERIFY(stopSeen);
    QVERIFY(!cancelledAfter);
}

void TestBackgroundRunner::waitsWithATimeLimit()
{
    BackgroundRunner runner;
    QSemaphore release;
    QString label;
    QVERIFY(runner.start([&](CancelToken&) {
        runner.post([&label] { label = QStringLiteral("step one"); });
        release.acquire();
    }));
    // The loop that waits without taking input still delivers what the work reports.
    QVERIFY(!runner.wait(100, QEventLoop::ExcludeUserInputEvents));
    QCOMPARE(label, QStringLiteral("step one"));
    QVERIFY(runner.isRunning());
    release.release();
    QVERIFY(runner.wait(-1, QEventLoop::ExcludeUserInputEvents));
    QVERIFY(!runner.isRunning());
    // Nothing running: at once.
    QVERIFY(runner.wait(0));
}

void TestBackgroundRunner::sessionIsOpenedWhereTheWorkRuns()
{
    LEX_USE_DATABASE(t, true);
    BackgroundRunner runner;
    bool open = false;
    qint64 citations = -1;
    QVERIFY(runner.start(t.ctx(), [&](DbSession& session, CancelToken&) {
        open = session.isOpen();
        Result<QSqlQuery> q = session.query(QStringLiteral("SELECT COUNT(*) FROM case_master"));
        if (q && q->next())
            citations = q->value(0).toLongLong();
    }));
    QVERIFY(runner.wait(60000));
    QVERIFY(open);
    QCOMPARE(citations, qint64(0));

    // A session that cannot be opened says why to the work, and the run ends as any other.
    DbContext wrong = t.ctx();
    wrong.programDir = t.ctx().programDir + QStringLiteral("/missing");
    wrong.connection.database += QStringLiteral("_missing");
    QString why;
    bool finished = false;
    QVERIFY(runner.start(
        wrong, [&](DbSession& session, CancelToken&) { why = session.error().description; }, [&] { finished = true; }));
    QVERIFY(runner.wait(60000));
    QVERIFY(finished);
    QVERIFY(!why.isEmpty());
}

QTEST_MAIN(TestBackgroundRunner)
#include "tst_background_runner.moc"
