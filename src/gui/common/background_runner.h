#pragma once

#include "core/db/db_context.h"
#include "core/util/cancel_token.h"

#include <QEventLoop>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class DbSession;
class QThread;

// Runs one core operation at a time on a worker thread, so that the interface stays live while it works. The work
// gets the runner's cancel token and, when asked for, a database session opened on the worker thread (a
// connection may be used only by the thread that made it). What the work reports reaches this object's thread
// queued, in order; `finished` runs there once the work has returned and its thread has ended. After cancel()
// nothing more of that run is delivered.
class BackgroundRunner : public QObject
{
    Q_OBJECT

public:
    using Work = std::function<void(CancelToken& cancel)>;
    using SessionWork = std::function<void(DbSession& session, CancelToken& cancel)>;
    using Finished = std::function<void()>;

    explicit BackgroundRunner(QObject* parent = nullptr);
    // Cancels a run still going and waits for its thread.
    ~BackgroundRunner() override;

    // False, and nothing started, while a run is going.
    bool start(Work work, Finished finished = {});
    bool start(const DbContext& ctx, SessionWork work, Finished finished = {});
    bool isRunning() const { return m_thread != nullptr; }

    // Worker side: runs the call on this object's thread.
    void post(std::function<void()> call);
    // For work that reports faster than the screen can show it: the delivery set here is called on this object's
    // thread after a notify(), once however many notifies came meanwhile, and once more before `finished`.
    void setDelivery(std::function<void()> deliver) { m_deliver = std::move(deliver); }
    void notify();

    // The running pass ends after its current row; the passes after it still run.
    void requestStop();
    // Ends every pass after its current row and returns once the thread has finished.
    void cancel();

    // Waits in a local event loop until the run has finished or the time is up (never, with -1); true when
    // finished. With ExcludeUserInputEvents the window keeps painting but takes no input meanwhile.
    bool wait(int timeoutMs = -1, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

signals:
    // A run has ended (not one that was cancelled), just before its own `finished` is called.
    void runEnded();

private:
    void end(quint64 run);
    void deliver(quint64 run);

    std::unique_ptr<QThread> m_thread;
    CancelToken m_cancel;
    Finished m_finished;
    std::function<void()> m_deliver;
    // Which run a queued call belongs to: calls of a cancelled run are dropped.
    std::atomic<quint64> m_run{0};
    std::atomic_bool m_deliveryPosted{false};
};
