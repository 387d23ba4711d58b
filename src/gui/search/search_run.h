#pragma once

#include "core/db/db_context.h"
#include "core/db/db_error.h"
#include "core/search/citation_search.h"

#include <QList>
#include <QMutex>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// One search, off the interface thread: the passes run in a thread of their own on a session opened there (a
// connection may be used only by the thread that made it). Hits and progress come back to this object's thread
// queued, a batch at a time, so the screen stays live however fast they are found.
class SearchRun : public QObject
{
    Q_OBJECT

public:
    using HitsSink = std::function<void(const QList<SearchHit>& hits)>;
    using ProgressSink = std::function<void(int row)>;
    using DoneSink = std::function<void(const DbError& error)>;

    SearchRun(const DbContext& ctx, const QList<SearchPass>& passes, const SearchRequest& request,
              QObject* parent = nullptr);
    // Abandons a search still running and waits for its thread.
    ~SearchRun() override;

    void setSinks(HitsSink hits, ProgressSink progress, DoneSink done);
    void start();
    bool isRunning() const { return m_running; }

    // Stop: the running pass ends after its current row; the passes after it still run.
    void requestStop();
    // Ends every pass after its current row and returns once the thread has finished. Nothing more is delivered.
    void abandon();

private:
    void work();
    // Worker side: asks for a delivery unless one is already on its way.
    void notify();
    // Interface side.
    void deliver();
    void finish();

    DbContext m_ctx;
    QList<SearchPass> m_passes;
    SearchRequest m_request;
    HitsSink m_hitsSink;
    ProgressSink m_progressSink;
    DoneSink m_doneSink;
    std::unique_ptr<QThread> m_thread;
    bool m_running = false;

    std::atomic_bool m_stop{false};
    std::atomic_bool m_abandoned{false};
    std::atomic_bool m_deliveryPosted{false};
    std::atomic_int m_row{0};
    QMutex m_mutex; // guards the two below
    QList<SearchHit> m_pending;
    DbError m_error;
};
