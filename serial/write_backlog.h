#pragma once

#include <QtGlobal>

#include <mutex>

// The bytes handed to a serial port's writer and not yet taken by the
// device, against a high-water mark of two seconds of data at the line's
// rate (at least 4 KiB) and a low-water mark of half that. Above the high
// mark the port is congested; once the backlog has been congested, falling
// below the low mark is reported once. Add, Remove and Clear may be called
// from different threads.
class WriteBacklog
{
public:
    static constexpr qint64 kMinHighWater = 4096;
    static constexpr qint64 kSecondsHeld = 2;

    // Ten bits on the line per byte: start, eight data bits, stop.
    static qint64 HighWaterForBaud(quint32 baud);

    void SetBaudRate(quint32 baud);
    qint64 HighWater() const;
    qint64 LowWater() const;

    void Add(qint64 bytes);
    // True when this took the backlog below the low-water mark after it had
    // been above the high-water mark: the caller reports the drain.
    [[nodiscard]] bool Remove(qint64 bytes);
    // Everything queued was dropped; true as for Remove.
    [[nodiscard]] bool Clear();

    bool Congested() const;
    qint64 Bytes() const;

private:
    bool DrainedLocked();

    mutable std::mutex mutex_;
    qint64 bytes_ = 0;
    qint64 highWater_ = kMinHighWater;
    bool wasCongested_ = false;
};
