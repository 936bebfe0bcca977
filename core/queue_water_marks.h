#pragma once

#include <QtGlobal>

// Outgoing flow control of one queue, with two marks so that a queue hovering
// around one size does not switch its source on and off at every chunk: the
// queue becomes congested above the high mark and stays so until it falls
// below the low mark.
class QueueWaterMarks
{
public:
    // A socket's marks: a few MiB keep a fast link busy while the reader of
    // the source is paused, without holding much memory.
    static constexpr qint64 kSocketHigh = 4 * 1024 * 1024;
    static constexpr qint64 kSocketLow = 1024 * 1024;

    QueueWaterMarks(qint64 high, qint64 low) : high_(high), low_(low) {}

    // Takes the queue's size now. True when this ends a congestion: the
    // owner then tells its listeners that the queue has drained.
    bool Update(qint64 queued);
    bool Congested() const { return congested_; }

private:
    qint64 high_;
    qint64 low_;
    bool congested_ = false;
};
