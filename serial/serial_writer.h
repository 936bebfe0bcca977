#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class PortIo;

// Writes queued blocks to a port on its own thread, in call order, so that
// queuing never blocks the caller. Reports (from its thread) when the queue
// has gone out on the line, when asked to, and when a write fails.
class SerialWriter
{
public:
    struct Reports
    {
        std::function<void()> drained;         // after the queue emptied and the line drained
        std::function<void(int error)> failed; // negative errno of a failed write
    };

    SerialWriter(PortIo& io, Reports reports);
    ~SerialWriter();

    // Queues a copy of `data`; returns its ticket.
    quint64 Queue(QByteArray data);
    enum class Outcome { kWritten, kFailed, kTimedOut };
    // Waits until the block with `ticket` is written or failed (-1: no time limit).
    Outcome WaitWritten(quint64 ticket, int timeoutMs);
    // Drops every block not yet written.
    void DiscardPending();
    // Whether `drained` is reported.
    void SetReportDrained(bool report);

private:
    void Run();

    PortIo& io_;
    Reports reports_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable progress_;
    std::deque<std::pair<quint64, QByteArray>> queue_;
    quint64 nextTicket_ = 1;
    quint64 finishedTicket_ = 0;  // every ticket up to this one is done
    quint64 failedAfter_ = 0;     // tickets up to this one failed or were dropped
    bool reportDrained_ = false;
    bool stop_ = false;
    std::thread thread_;
};
