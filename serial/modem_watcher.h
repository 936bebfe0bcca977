#pragma once

#include "serial/port_io.h"

#include <atomic>
#include <functional>
#include <thread>

// Waits on its own thread for modem input lines to change and reports which
// lines moved (ModemLine bits), counting transitions so that short pulses are
// not lost. Ports without modem lines (pseudo-terminals) end the watch at
// once; any other failure is reported as the device being gone.
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
    LineCounters last_;
    bool counted_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};
