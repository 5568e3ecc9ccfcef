#ifndef TASKPROGRESS_H
#define TASKPROGRESS_H

#include <QtGlobal>

#include <atomic>

// How far a long piece of work has come, and whether the user wants it to stop. The work
// (on a worker thread or in slices on the window's thread) counts its steps; the window reads
// the count for its progress dialog and asks for the stop. Either side may use it from its
// own thread.
class TaskProgress
{
public:
    // The work counts `total` steps from now on; what was done is forgotten.
    void start(qint64 total)
    {
        m_done.store(0);
        m_total.store(total);
    }
    void setDone(qint64 done) { m_done.store(done); }
    void advance(qint64 steps = 1) { m_done.fetch_add(steps); }
    qint64 done() const { return m_done.load(); }
    qint64 total() const { return m_total.load(); }
    // From 0 to 1; 0 while the total is not known.
    double fraction() const
    {
        const qint64 total = m_total.load();
        return total > 0 ? qBound(0.0, double(m_done.load()) / double(total), 1.0) : 0.0;
    }

    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

private:
    std::atomic<qint64> m_done {0};
    std::atomic<qint64> m_total {0};
    std::atomic<bool> m_cancelled {false};
};

#endif // TASKPROGRESS_H
