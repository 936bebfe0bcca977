#pragma once

#include "serial/posix_port_io.h"

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

// What the recording port saw and what it plays back. Shared with the test,
// which may change it while the engine's threads read it.
struct PortRecord
{
    std::mutex mutex;
    std::condition_variable modemChanged;
    int lines = 0;                  // ModemLine bits reported and driven
    int rs485Result = -ENOTTY;      // what SetRs485 answers
    std::vector<bool> rs485Calls;
    std::vector<std::pair<int, bool>> lineWrites;
    std::vector<Dcb> applied;
    LineCounters counters;
    int changes = 0;

    // Moves modem input lines as a device would and wakes the watcher.
    void MoveLines(int newLines)
    {
        {
            const std::lock_guard lock(mutex);
            const int moved = (lines ^ newLines) & (ModemLine::kCts | ModemLine::kDsr | ModemLine::kRing | ModemLine::kRlsd);
            counters.cts += (moved & ModemLine::kCts) ? 1 : 0;
            counters.dsr += (moved & ModemLine::kDsr) ? 1 : 0;
            counters.ring += (moved & ModemLine::kRing) ? 1 : 0;
            counters.rlsd += (moved & ModemLine::kRlsd) ? 1 : 0;
            lines = (lines & (ModemLine::kRts | ModemLine::kDtr)) | newLines;
            ++changes;
        }
        modemChanged.notify_all();
    }

    std::vector<std::pair<int, bool>> LineWrites()
    {
        const std::lock_guard lock(mutex);
        return lineWrites;
    }
};

// A real pseudo-terminal for the bytes; modem lines, line-error counters and
// RS-485 come from the record (pseudo-terminals have none of them).
class RecordingPortIo : public PosixPortIo
{
public:
    explicit RecordingPortIo(std::shared_ptr<PortRecord> record) : record_(std::move(record))
    {
        consumed_ = record_->changes;
    }

    int Apply(const Dcb& dcb) override
    {
        {
            const std::lock_guard lock(record_->mutex);
            record_->applied.push_back(dcb);
        }
        return PosixPortIo::Apply(dcb);
    }
    int SetRs485(bool on) override
    {
        const std::lock_guard lock(record_->mutex);
        record_->rs485Calls.push_back(on);
        return record_->rs485Result;
    }
    int ModemLines() override
    {
        const std::lock_guard lock(record_->mutex);
        return record_->lines;
    }
    int SetModemLine(int line, bool on) override
    {
        const std::lock_guard lock(record_->mutex);
        record_->lineWrites.emplace_back(line, on);
        record_->lines = on ? record_->lines | line : record_->lines & ~line;
        return 0;
    }
    int ReadCounters(LineCounters& counters) override
    {
        const std::lock_guard lock(record_->mutex);
        counters = record_->counters;
        return 0;
    }
    int WaitModemChange() override
    {
        std::unique_lock lock(record_->mutex);
        record_->modemChanged.wait(lock, [&] { return record_->changes != consumed_ || interrupted_; });
        if (interrupted_) {
            interrupted_ = false;
            return -EINTR;
        }
        consumed_ = record_->changes;
        return 0;
    }
    void InterruptWait() override
    {
        {
            const std::lock_guard lock(record_->mutex);
            interrupted_ = true;
        }
        record_->modemChanged.notify_all();
    }

private:
    std::shared_ptr<PortRecord> record_;
    bool interrupted_ = false;
    int consumed_ = 0;
};
