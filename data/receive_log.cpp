#include "data/receive_log.h"

#include <QDateTime>
#include <QFile>

#include <chrono>

namespace {

// Each record is this much or more, so a flood of empty lines is bounded too.
constexpr qsizetype kRecordOverhead = 64;
// A batch is written in pieces of about this size, not built whole.
constexpr qsizetype kWritePiece = 1024 * 1024;

}  // namespace

ReceiveLog::ReceiveLog(QString folder, Clock clock)
    : folder_(std::move(folder)), clock_(std::move(clock)), writer_([this] { Run(); })
{
}

ReceiveLog::~ReceiveLog()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    writer_.join();
}

qint64 ReceiveLog::DefaultClock()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString ReceiveLog::FileName(qint64 msecsSinceEpoch)
{
    return QStringLiteral("Log_") + QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).toString(QStringLiteral("yyyyMM")) +
           QStringLiteral(".txt");
}

const QString& ReceiveLog::PathNow()
{
    // Finding the local month looks the time zone up: once a second is enough.
    const qint64 now = clock_();
    const qint64 second = now / 1000 - (now % 1000 < 0 ? 1 : 0);
    if (second != pathSecond_) {
        pathSecond_ = second;
        path_ = folder_ + QLatin1Char('/') + FileName(now);
    }
    return path_;
}

void ReceiveLog::AppendLog(const DisplayText& line)
{
    const qsizetype size = line.SizeBound() + kRecordOverhead;
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] { return queuedSize_ < kQueueBound; });
    queue_.push_back({PathNow(), line, TextCodec::PayloadEncoding()});
    queuedSize_ += size;
    ++appendedCount_;
    // The writer sleeps until a batch begins, and gathers until it is full.
    if (queue_.size() == 1 || queuedSize_ >= kQueueBound)
        wake_.notify_one();
}

void ReceiveLog::Flush()
{
    std::unique_lock lock(mutex_);
    const quint64 target = appendedCount_;
    ++flushing_;
    wake_.notify_one();
    written_.wait(lock, [&] { return writtenCount_ >= target; });
    --flushing_;
}

void ReceiveLog::Run()
{
    std::vector<Record> batch;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        wake_.wait_for(lock, std::chrono::milliseconds(kBatchMs),
                       [this] { return stop_ || flushing_ > 0 || queuedSize_ >= kQueueBound; });
        batch.swap(queue_);
        queuedSize_ = 0;
        written_.notify_all();
        lock.unlock();
        Write(batch);
        const quint64 count = batch.size();
        batch.clear();
        lock.lock();
        writtenCount_ += count;
        written_.notify_all();
    }
}

void ReceiveLog::Write(const std::vector<Record>& batch)
{
    QByteArray piece;
    for (size_t first = 0; first < batch.size();) {
        // One opening for every run of lines of the same month.
        QFile file(batch[first].path);
        const bool open = file.open(QIODevice::WriteOnly | QIODevice::Append);
        size_t end = first;
        for (; end < batch.size() && batch[end].path == batch[first].path; ++end) {
            if (!open)
                continue;
            piece.append("\r\n");
            batch[end].line.AppendEncoded(piece, batch[end].encoding);
            if (piece.size() >= kWritePiece) {
                file.write(piece);
                piece.truncate(0);
            }
        }
        if (open && !piece.isEmpty())
            file.write(piece);
        piece.truncate(0);
        first = end;
    }
}
