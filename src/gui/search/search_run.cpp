#include "gui/search/search_run.h"

#include "core/db/db_session.h"

#include <QMutexLocker>

SearchRun::SearchRun(const DbContext& ctx, const QList<SearchPass>& passes, const SearchRequest& request,
                     QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_passes(passes)
    , m_request(request)
{
    m_runner.setDelivery([this] { deliver(); });
}

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
    m_runner.start(
        m_ctx, [this](DbSession& session, CancelToken& cancel) { work(session, cancel); }, [this] { finish(); });
}

void SearchRun::requestStop()
{
    m_runner.requestStop();
}

void SearchRun::abandon()
{
    m_runner.cancel();
}

void SearchRun::work(DbSession& session, CancelToken& cancel)
{
    Error error = session.error();
    if (!error) {
        const auto onHit = [this](const SearchHit& hit) {
            {
                QMutexLocker lock(&m_mutex);
                m_pending.append(hit);
            }
            m_runner.notify();
        };
        const auto onProgress = [this](int row) {
            {
                QMutexLocker lock(&m_mutex);
                m_row = row;
            }
            m_runner.notify();
        };
        error = CitationSearch(session).run(m_passes, m_request, onHit, onProgress, &cancel);
    }
    QMutexLocker lock(&m_mutex);
    m_error = error;
}

void SearchRun::deliver()
{
    QList<SearchHit> hits;
    int row = 0;
    {
        QMutexLocker lock(&m_mutex);
        hits.swap(m_pending);
        row = m_row;
    }
    if (m_progressSink)
        m_progressSink(row);
    if (!hits.isEmpty() && m_hitsSink)
        m_hitsSink(hits);
}

void SearchRun::finish()
{
    Error error;
    {
        QMutexLocker lock(&m_mutex);
        error = m_error;
    }
    if (m_doneSink)
        m_doneSink(error);
}
