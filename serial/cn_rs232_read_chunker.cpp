#include "serial/cn_rs232_read_chunker.h"

#include <algorithm>

CnRS232ReadChunker::CnRS232ReadChunker(const TCnRS232Timeouts& timeouts, qint64 nowMs)
    : timeouts_(timeouts), readStartMs_(nowMs)
{
    pending_.reserve(kReadSize);
}

void CnRS232ReadChunker::Feed(QByteArrayView bytes, qint64 nowMs, std::vector<QByteArray>& chunks)
{
    // A limit that passed before these bytes were seen ends the read first.
    Tick(nowMs, chunks);
    while (!bytes.isEmpty()) {
        const qsizetype taken = std::min(Room(), bytes.size());
        pending_.append(bytes.first(taken));
        bytes = bytes.sliced(taken);
        lastByteMs_ = nowMs;
        if (Room() == 0)
            EndRead(nowMs, chunks);
    }
}

void CnRS232ReadChunker::Tick(qint64 nowMs, std::vector<QByteArray>& chunks)
{
    const qint64 deadline = Deadline();
    if (deadline != kNoLimit && nowMs >= deadline)
        EndRead(nowMs, chunks);
}

qint64 CnRS232ReadChunker::WaitMs(qint64 nowMs) const
{
    const qint64 deadline = Deadline();
    return deadline == kNoLimit ? kNoLimit : std::max<qint64>(0, deadline - nowMs);
}

QByteArray CnRS232ReadChunker::TakePending()
{
    QByteArray taken = std::move(pending_);
    pending_ = QByteArray();
    pending_.reserve(kReadSize);
    return taken;
}

qint64 CnRS232ReadChunker::Deadline() const
{
    qint64 deadline = kNoLimit;
    if (timeouts_.ReadIntervalTimeout != 0 && !pending_.isEmpty())
        deadline = lastByteMs_ + timeouts_.ReadIntervalTimeout;
    if (timeouts_.ReadTotalTimeoutMultiplier != 0 || timeouts_.ReadTotalTimeoutConstant != 0) {
        const qint64 total = readStartMs_ + qint64(timeouts_.ReadTotalTimeoutMultiplier) * kReadSize +
                             timeouts_.ReadTotalTimeoutConstant;
        deadline = deadline == kNoLimit ? total : std::min(deadline, total);
    }
    return deadline;
}

void CnRS232ReadChunker::EndRead(qint64 nowMs, std::vector<QByteArray>& chunks)
{
    if (!pending_.isEmpty())
        chunks.push_back(TakePending());
    readStartMs_ = nowMs;
}
