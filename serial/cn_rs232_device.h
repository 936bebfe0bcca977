#pragma once

#include "serial/tty_port.h"

#include <QByteArray>
#include <QtGlobal>

// What the TCnRS232 component needs of its port, one member per call, so
// that tests can record them. Results follow the tty layer: 0, a count or a
// bit set on success, a negative errno value on failure. The reader and the
// writer thread call Wait, Read, Write and SetModemLines at the same time.
class CnRS232Device
{
public:
    // What ended a Wait; 0 means the time ran out.
    static constexpr int kReady = TtyPort::kReady;
    static constexpr int kHangup = TtyPort::kHangup;
    static constexpr int kStopped = TtyPort::kStopped;

    virtual ~CnRS232Device() = default;

    // Opens the device for exclusive non-blocking reading and writing, saves
    // its line settings and discards pending input. -ENOTTY: not a serial
    // device; -EBUSY: held by another open.
    virtual int Open(const QByteArray& path) = 0;
    // Checks that the device exists and no one holds it, without taking it.
    virtual int Probe(const QByteArray& path) = 0;
    // The stop signal both threads wait on; made after Open.
    virtual int OpenStopSignal() = 0;
    virtual void RaiseStop() = 0;
    // Restores the saved line settings and releases the device.
    virtual void Close() = 0;

    virtual int GetAttributes(TtySettings& settings) = 0;
    virtual int SetAttributes(const TtySettings& settings) = 0;
    // ModemLine::kDtr and kRts.
    virtual int SetModemLines(int lines, bool on) = 0;
    virtual int Purge(bool input, bool output) = 0;
    // Waits until the output queue is sent.
    virtual int Drain() = 0;

    // Waits until the device can be read (or written, `forWrite`), hangs up,
    // the stop signal is raised, or `timeoutMs` passes (-1: no limit).
    virtual int Wait(bool forWrite, qint64 timeoutMs) = 0;
    virtual qint64 Read(char* data, qint64 size) = 0;
    virtual qint64 Write(const char* data, qint64 size) = 0;
};
