#pragma once

#include "serial/cn_rs232_config.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

// Port B's reads: one read of up to 2048 bytes is always outstanding and
// ends when its bytes are in or one of its time-outs passes; each ended read
// that holds bytes is one received chunk. This is the bookkeeping of those
// reads, kept apart from the device so that times can be given by tests.
// Times are milliseconds on any steady clock.
class CnRS232ReadChunker
{
public:
    static constexpr qsizetype kReadSize = 2048;
    // No time limit is pending.
    static constexpr qint64 kNoLimit = -1;

    CnRS232ReadChunker(const TCnRS232Timeouts& timeouts, qint64 nowMs);

    // Time-outs for the reads that begin from now on.
    void SetTimeouts(const TCnRS232Timeouts& timeouts) { timeouts_ = timeouts; }

    // Room left in the current read.
    qsizetype Room() const { return kReadSize - pending_.size(); }

    // Bytes that arrived at `nowMs`; every read they complete is appended to `chunks`.
    void Feed(QByteArrayView bytes, qint64 nowMs, std::vector<QByteArray>& chunks);

    // Ends the current read when one of its time-outs has passed by `nowMs`.
    void Tick(qint64 nowMs, std::vector<QByteArray>& chunks);

    // Milliseconds from `nowMs` until the current read times out, or kNoLimit.
    qint64 WaitMs(qint64 nowMs) const;

    // Bytes of the current read so far, taken out of it (when the port fails).
    QByteArray TakePending();

private:
    // When the current read ends without further bytes, or kNoLimit.
    qint64 Deadline() const;
    void EndRead(qint64 nowMs, std::vector<QByteArray>& chunks);

    TCnRS232Timeouts timeouts_;
    qint64 readStartMs_;
    qint64 lastByteMs_ = 0;
    QByteArray pending_;
};
