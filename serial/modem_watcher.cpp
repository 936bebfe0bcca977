#include "serial/modem_watcher.h"

#include "serial/port_io.h"

#include <cerrno>

ModemWatcher::ModemWatcher(PortIo& io, Reports reports) : io_(io), reports_(std::move(reports))
{
    io_.ReadModemState(last_);
    thread_ = std::thread([this] { Run(); });
}

ModemWatcher::~ModemWatcher()
{
    stop_ = true;
    // The wake-up can land just before the thread blocks again: repeat it.
    while (!finished_) {
        io_.InterruptWait();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    thread_.join();
}

void ModemWatcher::Run()
{
    while (!stop_) {
        // Waiting for a move away from the last state seen, not for the next
        // change, loses nothing that happened while the thread started or
        // while it reported.
        const int result = io_.WaitModemChange(last_);
        if (stop_)
            break;
        if (result == -EINTR)
            continue;
        if (result == -ENOTTY || result == -EINVAL || result == -ENOSYS)
            break;
        if (result < 0) {
            if (reports_.gone)
                reports_.gone(result);
            break;
        }
        ModemState now;
        int lines = ModemLine::kInputs;
        if (io_.ReadModemState(now) == 0) {
            // Without counters a pulse leaves the levels as they were: any line may have moved.
            lines = MovedLines(last_, now);
            if (lines == 0 && !now.counted)
                lines = ModemLine::kInputs;
            last_ = now;
        }
        if (lines != 0 && reports_.changed)
            reports_.changed(lines);
    }
    finished_ = true;
}
