#include "serial/serial_writer.h"

#include "serial/port_io.h"
#include "serial/write_backlog.h"

#include <cerrno>

namespace {

constexpr int kStopPollMs = 50;

}  // namespace

SerialWriter::SerialWriter(PortIo& io, WriteBacklog& backlog, Reports reports)
    : io_(io), backlog_(backlog), reports_(std::move(reports))
{
    thread_ = std::thread([this] { Run(); });
}

SerialWriter::~SerialWriter()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

quint64 SerialWriter::Queue(QByteArray data)
{
    quint64 ticket;
    {
        const std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
        backlog_.Add(data.size());
        queue_.emplace_back(ticket, std::move(data));
    }
    wake_.notify_all();
    return ticket;
}

SerialWriter::Outcome SerialWriter::WaitWritten(quint64 ticket, int timeoutMs)
{
    std::unique_lock lock(mutex_);
    const auto done = [&] { return finishedTicket_ >= ticket || stop_; };
    if (timeoutMs < 0)
        progress_.wait(lock, done);
    else if (!progress_.wait_for(lock, std::chrono::milliseconds(timeoutMs), done))
        return Outcome::kTimedOut;
    return finishedTicket_ >= ticket && failedAfter_ < ticket ? Outcome::kWritten : Outcome::kFailed;
}

void SerialWriter::DiscardPending()
{
    qint64 dropped = 0;
    {
        const std::lock_guard lock(mutex_);
        if (!queue_.empty()) {
            failedAfter_ = queue_.back().first;
            finishedTicket_ = queue_.back().first;
            // The block being written keeps its place (the writer drops what
            // is left of it); the rest goes.
            for (auto block = queue_.begin() + 1; block != queue_.end(); ++block)
                dropped += block->second.size();
            queue_.erase(queue_.begin() + 1, queue_.end());
        }
    }
    progress_.notify_all();
    LeaveBacklog(dropped);
}

void SerialWriter::LeaveBacklog(qint64 bytes)
{
    if (bytes > 0 && backlog_.Remove(bytes) && reports_.room)
        reports_.room();
}

void SerialWriter::SetReportDrained(bool report)
{
    const std::lock_guard lock(mutex_);
    reportDrained_ = report;
}

void SerialWriter::Run()
{
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (queue_.empty()) {
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            continue;
        }
        const quint64 ticket = queue_.front().first;
        const QByteArray data = queue_.front().second;
        lock.unlock();

        qint64 offset = 0;
        int error = 0;
        while (offset < data.size() && error == 0) {
            const qint64 written = io_.Write(data.constData() + offset, data.size() - offset);
            if (written >= 0) {
                offset += written;
                LeaveBacklog(written);
            } else if (written == -EAGAIN || written == -EINTR) {
                io_.WaitWritable(kStopPollMs);
                const std::lock_guard check(mutex_);
                if (stop_ || failedAfter_ >= ticket)
                    break;
            } else {
                error = static_cast<int>(written);
            }
        }

        // What a failure or a discard left of the block will not go out.
        LeaveBacklog(data.size() - offset);
        lock.lock();
        if (!queue_.empty() && queue_.front().first == ticket)
            queue_.pop_front();
        if (error != 0)
            failedAfter_ = std::max(failedAfter_, ticket);
        finishedTicket_ = std::max(finishedTicket_, ticket);
        const bool drained = queue_.empty() && reportDrained_ && error == 0;
        lock.unlock();
        progress_.notify_all();
        if (error != 0 && reports_.failed)
            reports_.failed(error);
        if (drained) {
            io_.Drain();
            if (reports_.drained)
                reports_.drained();
        }
        lock.lock();
    }
    progress_.notify_all();
}
