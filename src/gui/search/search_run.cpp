#include "gui/search/search_run.h"

#include "core/db/db_session.h"

#include <QMutexLocker>
#include <QThread>

SearchRun::SearchRun(const DbContext& ctx, const QList<SearchPass>& passes, const SearchRequest& request,
                     QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_passes(passes)
    , m_request(request)
{}

SearchRun::~SearchRun()
{
    abandon();
}

void SearchRun::setSinks(HitsSink hits, ProgressSink progress, DoneSink done)
{
    m_hitsSink = std::move(hits);
    m_progressSink = std::move(progress);
    m_doneSink = std::move(done);
}

void SearchRun::start()
{
    if (m_thread)
        return;
    m_running = true;
    m_thread.reset(QThread::create([this] { work(); }));
    m_thread->setObjectName(QStringLiteral("citation search"));
    m_thread->start();
}

void SearchRun::requestStop()
{
    m_stop = true;
}

void SearchRun::abandon()
{
    m_abandoned = true;
    m_stop = true;
    if (m_thread)
        m_thread->wait();
    m_running = false;
}

void SearchRun::work()
{
    DbError error;
    {
        DbSession session(m_ctx);
        error = session.error();
        if (!error) {
            CitationSearch search(session);
            const auto onHit = [this](const SearchHit& hit) {
                {
                    QMutexLocker lock(&m_mutex);
                    m_pending.append(hit);
                }
                notify();
            };
            const auto onProgress = [this](int row) {
                m_row = row;
                notify();
            };
            // The passes one by one rather than the engine's run(): a stop ends one pass, but leaving the screen
            // must end them all.
            for (SearchPass pass : m_passes) {
                if (m_abandoned)
                    break;
                error = search.runPass(pass, m_request, onHit, onProgress, &m_stop);
                if (error)
                    break;
            }
        }
    }
    {
        QMutexLocker lock(&m_mutex);
        m_error = error;
    }
    QMetaObject::invokeMethod(
        this, [this] { finish(); }, Qt::QueuedConnection);
}

void SearchRun::notify()
{
    if (!m_deliveryPosted.exchange(true))
        QMetaObject::invokeMethod(
            this, [this] { deliver(); }, Qt::QueuedConnection);
}

void SearchRun::deliver()
{
    // Cleared before taking, so that whatever the worker adds from now on is posted again.
    m_deliveryPosted = false;
    if (m_abandoned || !m_running)
        return;
    QList<SearchHit> hits;
    {
        QMutexLocker lock(&m_mutex);
        hits.swap(m_pending);
    }
    if (m_progressSink)
        m_progressSink(m_row);
    if (!hits.isEmpty() && m_hitsSink)
        m_hitsSink(hits);
}

void SearchRun::finish()
{
    if (m_thread)
        m_thread->wait();
    if (!m_running || m_abandoned)
        return;
    deliver();
    m_running = false;
    DbError error;
    {
        QMutexLocker lock(&m_mutex);
        error = m_error;
    }
    if (m_doneSink)
        m_doneSink(error);
}
