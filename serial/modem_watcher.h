#pragma once

#include "serial/modem_state.h"

#include <atomic>
#include <functional>
#include <thread>

class PortIo;

// Waits on its own thread for modem input lines to change and reports which
// lines moved (ModemLine bits), by the driver's transition counters where it
// has them, so that short pulses are not lost. The state at construction is
// the baseline: a change after it is reported even when it comes before the
// thread's first wait. Ports without modem lines (pseudo-terminals) end the
// watch at once; any other failure is reported as the device being gone.
class ModemWatcher
{
public:
    struct Reports
    {
        std::function<void(int lines)> changed;
        std::function<void(int error)> gone;
    };

    ModemWatcher(PortIo& io, Reports reports);
    ~ModemWatcher();

private:
    void Run();

    PortIo& io_;
    Reports reports_;
    ModemState last_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};
