#pragma once

#include "serial/posix_port_io.h"

#include <cerrno>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// What the recording port saw and what it plays back. Shared with the test,
// which may change it while the engine's threads read it.
struct PortRecord
{
    using Moment = std::function<void(PortRecord&)>;

    std::mutex mutex;
    std::condition_variable modemChanged;
    int lines = 0;                  // ModemLine bits reported and driven
    int rs485Result = -ENOTTY;      // what SetRs485 answers
    std::vector<bool> rs485Calls;
    std::vector<std::pair<int, bool>> lineWrites;
    std::vector<bool> breakWrites;
    std::vector<Dcb> applied;
    LineCounters counters;
    // Run once each, without the lock: right before a successful Open
    // returns, and right after the first read of the modem state (the
    // watcher's baseline) returns.
    Moment beforeOpenReturns;
    Moment afterFirstStateRead;

    // Moves modem input lines as a device would, counting each transition,
    // and wakes the watcher.
    void MoveLines(int newLines)
    {
        {
            const std::lock_guard lock(mutex);
            const int moved = (lines ^ newLines) & ModemLine::kInputs;
            counters.cts += (moved & ModemLine::kCts) ? 1 : 0;
            counters.dsr += (moved & ModemLine::kDsr) ? 1 : 0;
            counters.ring += (moved & ModemLine::kRing) ? 1 : 0;
            counters.rlsd += (moved & ModemLine::kRlsd) ? 1 : 0;
            lines = (lines & ~ModemLine::kInputs) | newLines;
        }
        modemChanged.notify_all();
    }

    // Needs the lock.
    ModemState State() const { return {lines & ModemLine::kInputs, true, counters}; }

    std::vector<std::pair<int, bool>> LineWrites()
    {
        const std::lock_guard lock(mutex);
        return lineWrites;
    }

    void Run(Moment PortRecord::*moment)
    {
        Moment run;
        {
            const std::lock_guard lock(mutex);
            run = std::exchange(this->*moment, nullptr);
        }
        if (run)
            run(*this);
    }
};

// A real pseudo-terminal for the bytes; modem lines, line-error counters,
// break and RS-485 come from the record (pseudo-terminals have none of them).
// Its wait for a modem change keeps the port's promise: it returns at once
// when the lines have already moved away from the state it is given.
class RecordingPortIo : public PosixPortIo
{
public:
    explicit RecordingPortIo(std::shared_ptr<PortRecord> record) : record_(std::move(record)) {}

    int Open(const QString& path) override
    {
        const int result = PosixPortIo::Open(path);
        if (result == 0)
            record_->Run(&PortRecord::beforeOpenReturns);
        return result;
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
    int SetBreak(bool on) override
    {
        const std::lock_guard lock(record_->mutex);
        record_->breakWrites.push_back(on);
        return 0;
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
    int ReadModemState(ModemState& state) override
    {
        {
            const std::lock_guard lock(record_->mutex);
            state = record_->State();
        }
        record_->Run(&PortRecord::afterFirstStateRead);
        return 0;
    }
    int WaitModemChange(const ModemState& since) override
    {
        std::unique_lock lock(record_->mutex);
        record_->modemChanged.wait(lock, [&] { return interrupted_ || MovedLines(since, record_->State()) != 0; });
        if (interrupted_) {
            interrupted_ = false;
            return -EINTR;
        }
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
};
