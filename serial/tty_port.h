#pragma once

#include "serial/modem_state.h"
#include "serial/tty_settings.h"

#include <QByteArray>
#include <QString>

#include <atomic>

// The user's text for an errno value; every serial failure is put into words
// here.
QString TtyErrorText(int error);

// One Linux tty, the operating-system side of both serial components. Opened
// by path, exclusively (TIOCEXCL keeps out other users, an flock keeps out
// root and this program's own second open), never as the controlling
// terminal, non-blocking. Every call returns 0, a count or a bit set on
// success and a negative errno value on failure. Read, Write, Wait and the
// modem-line calls may run on different threads at the same time.
class TtyPort
{
public:
    // What ended a Wait (0: the time ran out).
    static constexpr int kReady = 1;
    static constexpr int kHangup = 2;
    static constexpr int kStopped = 4;

    TtyPort() = default;
    ~TtyPort();
    TtyPort(const TtyPort&) = delete;
    TtyPort& operator=(const TtyPort&) = delete;

    // Saves the device's line settings and discards input that waited before
    // the open. -ENOTTY: not a terminal; -EBUSY: held by another open.
    int Open(const QByteArray& path);
    // Checks that the device exists and no one holds it, without taking it.
    static int Probe(const QByteArray& path);
    // Restores the saved line settings and releases the device and the stop signal.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

    int GetSettings(TtySettings& settings) const;
    int SetSettings(const TtySettings& settings);
    // Kernel RS-485 direction control; -ENOTTY or -EINVAL where the driver has none.
    int SetRs485(bool on);

    // Bytes read, 0 at end of file, -EAGAIN when nothing waits.
    qint64 Read(char* data, qint64 size);
    // Bytes taken, -EAGAIN when the output queue is full.
    qint64 Write(const char* data, qint64 size);
    // The signal that ends every Wait from now until Close.
    int OpenStopSignal();
    void RaiseStop();
    // Waits until the port can be read (or written, `forWrite`), hangs up, the
    // stop signal is raised, or `timeoutMs` passes (-1: no limit): kReady,
    // kHangup and kStopped bits.
    int Wait(bool forWrite, qint64 timeoutMs);

    int InputQueue();
    int OutputQueue();
    int Purge(bool input, bool output);
    // Waits until the output queue has gone out on the line.
    int Drain();
    int SetBreak(bool on);

    int ModemLines();  // ModemLine bits
    int SetModemLines(int lines, bool on);
    int ReadCounters(LineCounters& counters);
    int ReadModemState(ModemState& state);
    // Blocks until a modem input line moves away from `since`, returning at
    // once when one already has; -EINTR once InterruptModemWait is called.
    int WaitModemChange(const ModemState& since);
    void InterruptModemWait();

private:
    int fd_ = -1;
    int stopFd_ = -1;
    TtySettings saved_;
    std::atomic<bool> waiting_{false};
    std::atomic<unsigned long> waiter_{0};
};
