#pragma once

#include "core/db/db_context.h"
#include "core/search/citation_search.h"
#include "core/util/error.h"
#include "gui/common/background_runner.h"

#include <QList>
#include <QMutex>
#include <QObject>

#include <functional>

// One search, off the interface thread: the search's own run of the passes, on the background runner's thread and
// session. Hits and progress come back to this object's thread a batch at a time, so the screen stays live however
// fast they are found.
class SearchRun : public QObject
{
    Q_OBJECT

public:
    using HitsSink = std::function<void(const QList<SearchHit>& hits)>;
    using ProgressSink = std::function<void(int row)>;
    using DoneSink = std::function<void(const Error& error)>;

    SearchRun(const DbContext& ctx, const QList<SearchPass>& passes, const SearchRequest& request,
              QObject* parent = nullptr);
    // Abandons a search still running and waits for its thread.
    ~SearchRun() override;

    void setSinks(HitsSink hits, ProgressSink progress, DoneSink done);
    void start();
    bool isRunning() const { return m_runner.isRunning(); }

    // Stop: the running pass ends after its current row; the passes after it still run.
    void requestStop();
    // Ends every pass after its current row and returns once the thread has finished. Nothing more is delivered.
    void abandon();

private:
    // Worker side.
    void work(DbSession& session, CancelToken& cancel);
    // Interface side.
    void deliver();
    void finish();

    DbContext m_ctx;
    QList<SearchPass> m_passes;
    SearchRequest m_request;
    HitsSink m_hitsSink;
    ProgressSink m_progressSink;
    DoneSink m_doneSink;

    QMutex m_mutex; // guards the three below
    QList<SearchHit> m_pending;
    int m_row = 0;
    Error m_error;

    BackgroundRunner m_runner; // last: its thread ends before the rest goes
};
