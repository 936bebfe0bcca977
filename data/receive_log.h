#pragma once

#include "core/text_codec.h"
#include "data/display_text.h"
#include "data/receive_hooks.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The monthly receive log "Log_yyyymm.txt": every display line in the order
// shown, each record a CR LF followed by the line in the payload text's
// encoding (GBK unless the user chose UTF-8), so the file begins with an
// empty line and ends without a break.
//
// A display takes hundreds of thousands of lines a second, and opening and
// closing the file for each one would cost more than the display itself. So
// the lines go to a thread of the log's own, which writes them in batches:
// the file is opened for appending and closed again for every batch (another
// program may still move it between batches), a line is in its file within
// kBatchMs plus the time to write its batch, and every line appended is
// written before the log is destroyed. The month of a line is the month it
// was appended in. A file that cannot be opened loses its lines silently.
class ReceiveLog : public LineLog
{
public:
    // Milliseconds since the epoch.
    using Clock = std::function<qint64()>;

    // How long the writer lets lines gather after the first of a batch.
    static constexpr int kBatchMs = 20;
    // Text waiting to be written, in bytes and characters as kept; past it
    // AppendLog waits for the writer rather than drop a line.
    static constexpr qsizetype kQueueBound = 8 * 1024 * 1024;

    explicit ReceiveLog(QString folder, Clock clock = DefaultClock);
    ~ReceiveLog() override;
    ReceiveLog(const ReceiveLog&) = delete;
    ReceiveLog& operator=(const ReceiveLog&) = delete;

    // "Log_" + yyyymm of the local month that holds the instant + ".txt".
    static QString FileName(qint64 msecsSinceEpoch);

    const QString& Folder() const { return folder_; }

    void AppendLog(const DisplayText& line) override;

    // Returns once every line appended before the call is written.
    void Flush();

private:
    struct Record
    {
        QString path;
        DisplayText line;
        TextCodec::Encoding encoding;  // the payload text's when the line was shown
    };

    static qint64 DefaultClock();

    // The file of a line appended now; the caller holds the lock.
    const QString& PathNow();
    void Run();
    static void Write(const std::vector<Record>& batch);

    const QString folder_;
    const Clock clock_;
    qint64 pathSecond_ = -1;
    QString path_;

    std::mutex mutex_;
    std::condition_variable wake_;     // the writer: lines, a flush or the end
    std::condition_variable written_;  // room in the queue, a batch written
    std::vector<Record> queue_;
    qsizetype queuedSize_ = 0;
    quint64 appendedCount_ = 0;
    quint64 writtenCount_ = 0;
    int flushing_ = 0;
    bool stop_ = false;
    std::thread writer_;
};
