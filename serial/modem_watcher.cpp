#include "serial/modem_watcher.h"

#include "serial/port_io.h"

#include <cerrno>

ModemWatcher::ModemWatcher(PortIo& io, Reports reports) : io_(io), reports_(std::move(reports))
{
    // The baseline is taken now, so that a change while the thread starts counts.
    counted_ = io_.ReadCounters(last_) == 0;
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
        const int result = io_.WaitModemChange();
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
        int lines = ModemLine::kCts | ModemLine::kDsr | ModemLine::kRing | ModemLine::kRlsd;
        LineCounters now;
        if (counted_ && io_.ReadCounters(now) == 0) {
            lines = (now.cts != last_.cts ? ModemLine::kCts : 0) | (now.dsr != last_.dsr ? ModemLine::kDsr : 0) |
                    (now.ring != last_.ring ? ModemLine::kRing : 0) | (now.rlsd != last_.rlsd ? ModemLine::kRlsd : 0);
            last_ = now;
        }
        if (lines != 0 && reports_.changed)
            reports_.changed(lines);
    }
    finished_ = true;
}
