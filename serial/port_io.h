#pragma once

#include "serial/line_settings.h"
#include "serial/modem_state.h"

#include <QString>

// What port A's engine needs of its port, so that tests can record it and
// play modem lines back. Results follow the tty layer: 0, a count or a bit
// set on success, a negative errno value on failure. Read, write and modem
// waits may run on different threads at the same time.
class PortIo
{
public:
    virtual ~PortIo() = default;

    // Opens the device exclusively without becoming its controlling terminal,
    // saves its line settings and flushes its input.
    virtual int Open(const QString& path) = 0;
    // Restores the saved line settings and releases the device.
    virtual void Close() = 0;
    // Watched for readable bytes and hang-up.
    virtual int Descriptor() const = 0;

    virtual int Apply(const Dcb& dcb) = 0;
    // Kernel RS-485 direction control; -ENOTTY or -EINVAL where the driver has none.
    virtual int SetRs485(bool on) = 0;

    // Bytes read (> 0), 0 when the device is gone, -EAGAIN when nothing waits.
    virtual qint64 Read(char* buffer, qint64 size) = 0;
    // Bytes taken, or -EAGAIN when the output queue is full.
    virtual qint64 Write(const char* data, qint64 size) = 0;
    // Waits up to `timeoutMs` until a write can take bytes.
    virtual bool WaitWritable(int timeoutMs) = 0;
    virtual int InputQueue() = 0;
    virtual int OutputQueue() = 0;
    virtual int Purge(bool input, bool output) = 0;
    // Waits until the output queue has gone out on the line.
    virtual int Drain() = 0;
    virtual int SetBreak(bool on) = 0;

    virtual int ModemLines() = 0;  // ModemLine bits
    virtual int SetModemLine(int line, bool on) = 0;
    virtual int ReadCounters(LineCounters& counters) = 0;
    virtual int ReadModemState(ModemState& state) = 0;
    // Blocks until a modem input line moves away from `since`, returning at
    // once when one already has; -EINTR once InterruptWait is called.
    virtual int WaitModemChange(const ModemState& since) = 0;
    virtual void InterruptWait() = 0;
};
