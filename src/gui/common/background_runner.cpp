#include "gui/common/background_runner.h"

#include "core/db/db_session.h"

#include <QThread>
#include <QTimer>

BackgroundRunner::BackgroundRunner(QObject* parent)
    : QObject(parent)
{}

BackgroundRunner::~BackgroundRunner()
{
    cancel();
}

bool BackgroundRunner::start(Work work, Finished finished)
{
    if (m_thread)
        return false;
    m_cancel.reset();
    m_deliveryPosted = false;
    m_finished = std::move(finished);
    const quint64 run = ++m_run;
    m_thread.reset(QThread::create([this, run, work = std::move(work)] {
        work(m_cancel);
        QMetaObject::invokeMethod(
            this, [this, run] { end(run); }, Qt::QueuedConnection);
    }));
    m_thread->setObjectName(QStringLiteral("background work"));
    m_thread->start();
    return true;
}

bool BackgroundRunner::start(const DbContext& ctx, SessionWork work, Finished finished)
{
    return start(
        [ctx, work = std::move(work)](CancelToken& cancel) {
            DbSession session(ctx);
            work(session, cancel);
        },
        std::move(finished));
}

void BackgroundRunner::post(std::function<void()> call)
{
    const quint64 run = m_run;
    QMetaObject::invokeMethod(
        this,
        [this, run, call = std::move(call)] {
            if (run == m_run && m_thread)
                call();
        },
        Qt::QueuedConnection);
}

void BackgroundRunner::notify()
{
    if (m_deliveryPosted.exchange(true))
        return;
    const quint64 run = m_run;
    QMetaObject::invokeMethod(
        this, [this, run] { deliver(run); }, Qt::QueuedConnection);
}

void BackgroundRunner::deliver(quint64 run)
{
    // Cleared before delivering, so that whatever the worker reports from now on is posted again.
    m_deliveryPosted = false;
    if (run == m_run && m_thread && m_deliver)
        m_deliver();
}

void BackgroundRunner::requestStop()
{
    m_cancel.stopPass();
}

void BackgroundRunner::cancel()
{
    if (!m_thread)
        return;
    m_cancel.cancel();
    m_thread->wait();
    m_thread.reset();
    m_finished = {};
    // Whatever the cancelled run still has queued is of an older run now.
    ++m_run;
}

void BackgroundRunner::end(quint64 run)
{
    if (run != m_run || !m_thread)
        return;
    m_thread->wait();
    if (m_deliver)
        m_deliver();
    m_thread.reset();
    const Finished finished = std::move(m_finished);
    m_finished = {};
    emit runEnded();
    // Last, and nothing of this object after it: what it does may well end the runner's owner.
    if (finished)
        finished();
}

bool BackgroundRunner::wait(int timeoutMs, QEventLoop::ProcessEventsFlags flags)
{
    if (!m_thread)
        return true;
    QEventLoop loop;
    connect(this, &BackgroundRunner::runEnded, &loop, &QEventLoop::quit);
    QTimer timer;
    if (timeoutMs >= 0) {
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
    }
    loop.exec(flags);
    return !m_thread;
}
