#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class PortIo;
class WriteBacklog;

// Writes queued blocks to a port on its own thread, in call order, so that
// queuing never blocks the caller. Every queued byte is counted in the
// backlog until the device takes it or it is dropped. Reports (from its
// thread, or from the caller's for DiscardPending) when the queue has gone
// out on the line, when asked to, when a write fails, and when the backlog
// has fallen below its low-water mark after congestion.
class SerialWriter
{
public:
    struct Reports
    {
        std::function<void()> drained;         // after the queue emptied and the line drained
        std::function<void(int error)> failed; // negative errno of a failed write
        std::function<void()> room;            // the backlog fell below its low-water mark
    };

    SerialWriter(PortIo& io, WriteBacklog& backlog, Reports reports);
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

    // Bytes written or dropped leave the backlog.
    void LeaveBacklog(qint64 bytes);

    PortIo& io_;
    WriteBacklog& backlog_;
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
