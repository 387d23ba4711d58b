#pragma once

#include <atomic>

// How long work in the core is asked, from another thread, to end early. Work made of passes looks at it
// between rows: a stop ends the current pass only (the passes after it still run), a cancel ends that pass and
// every one after it.
class CancelToken
{
public:
    // Ends the current pass after its current row.
    void stopPass() { m_stopPass = true; }
    // Ends the current pass and every one after it; it holds until reset.
    void cancel() { m_cancelled = true; }
    // Forgets both requests, for the next run.
    void reset();

    bool isCancelled() const { return m_cancelled; }
    bool isStopRequested() const { return m_stopPass; }
    // Whether the current pass is to end, leaving a stop request for takeStop.
    bool isPassEnding() const { return m_stopPass || m_cancelled; }
    // Whether the current pass is to end; a stop request is used up by the pass that sees it.
    bool takeStop() { return m_stopPass.exchange(false) || m_cancelled; }
    // A pass that has ended forgets a stop that came too late for it.
    void endPass() { m_stopPass = false; }

private:
    std::atomic_bool m_stopPass{false};
    std::atomic_bool m_cancelled{false};
};
