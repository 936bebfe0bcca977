#include "serial/write_backlog.h"

#include <algorithm>

qint64 WriteBacklog::HighWaterForBaud(quint32 baud)
{
    return std::max<qint64>(kMinHighWater, kSecondsHeld * qint64(baud) / 10);
}

void WriteBacklog::SetBaudRate(quint32 baud)
{
    const std::lock_guard lock(mutex_);
    highWater_ = HighWaterForBaud(baud);
}

qint64 WriteBacklog::HighWater() const
{
    const std::lock_guard lock(mutex_);
    return highWater_;
}

qint64 WriteBacklog::LowWater() const
{
    const std::lock_guard lock(mutex_);
    return highWater_ / 2;
}

void WriteBacklog::Add(qint64 bytes)
{
    const std::lock_guard lock(mutex_);
    bytes_ += bytes;
    if (bytes_ > highWater_)
        wasCongested_ = true;
}

bool WriteBacklog::Remove(qint64 bytes)
{
    const std::lock_guard lock(mutex_);
    bytes_ = std::max<qint64>(0, bytes_ - bytes);
    return DrainedLocked();
}

bool WriteBacklog::Clear()
{
    const std::lock_guard lock(mutex_);
    bytes_ = 0;
    return DrainedLocked();
}

bool WriteBacklog::DrainedLocked()
{
    if (!wasCongested_ || bytes_ >= highWater_ / 2)
        return false;
    wasCongested_ = false;
    return true;
}

bool WriteBacklog::Congested() const
{
    const std::lock_guard lock(mutex_);
    return bytes_ > highWater_;
}

qint64 WriteBacklog::Bytes() const
{
    const std::lock_guard lock(mutex_);
    return bytes_;
}
