#pragma once

#include "serial/port_io.h"

#include <atomic>
#include <termios.h>

// PortIo on a Linux tty: termios and the modem ioctls, O_NOCTTY | O_NONBLOCK,
// TIOCEXCL plus an exclusive flock so that even root cannot open it twice.
class PosixPortIo : public PortIo
{
public:
    ~PosixPortIo() override;

    int Open(const QString& path) override;
    void Close() override;
    int Descriptor() const override { return fd_; }
    int Apply(const Dcb& dcb) override;
    int SetRs485(bool on) override;
    qint64 Read(char* buffer, qint64 size) override;
    qint64 Write(const char* data, qint64 size) override;
    bool WaitWritable(int timeoutMs) override;
    int InputQueue() override;
    int OutputQueue() override;
    int Purge(bool input, bool output) override;
    int Drain() override;
    int ModemLines() override;
    int SetModemLine(int line, bool on) override;
    int ReadCounters(LineCounters& counters) override;
    int WaitModemChange() override;
    void InterruptWait() override;

private:
    int fd_ = -1;
    termios saved_{};
    std::atomic<bool> waiting_{false};
    std::atomic<unsigned long> waiter_{0};
};
