#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// Line settings as the kernel keeps them (the fields of struct termios2).
struct CnRS232Termios
{
    quint32 iflag = 0;
    quint32 oflag = 0;
    quint32 cflag = 0;
    quint32 lflag = 0;
    quint8 line = 0;
    std::array<quint8, 19> cc{};
    quint32 ispeed = 0;
    quint32 ospeed = 0;

    bool operator==(const CnRS232Termios&) const = default;
};

// The kernel calls of the TCnRS232 component, one member per call, so that
// tests can record them. Results are 0 or an errno value; Read and Write
// return a byte count or a negated errno value. The reader and the writer
// thread call Wait, Read, Write and SetModemLines at the same time.
class CnRS232Device
{
public:
    // Modem lines for SetModemLines.
    static constexpr unsigned kLineDtr = 1;
    static constexpr unsigned kLineRts = 2;

    // What ended a Wait; 0 means the time ran out.
    static constexpr unsigned kReady = 1;
    static constexpr unsigned kHangup = 2;
    static constexpr unsigned kStopped = 4;
    static constexpr unsigned kFailed = 8;

    virtual ~CnRS232Device() = default;

    // Opens the device for exclusive non-blocking reading and writing, saves
    // its line settings and discards pending input. ENOTTY: not a serial
    // device; EBUSY: held by another open.
    virtual int Open(const QByteArray& path) = 0;
    // Checks that the device exists and no one holds it, without taking it.
    virtual int Probe(const QByteArray& path) = 0;
    // The stop signal both threads wait on; made after Open.
    virtual int OpenStopSignal() = 0;
    virtual void RaiseStop() = 0;
    // Restores the saved line settings and releases the device.
    virtual void Close() = 0;

    virtual int GetAttributes(CnRS232Termios& termios) = 0;
    virtual int SetAttributes(const CnRS232Termios& termios) = 0;
    virtual int SetModemLines(unsigned lines, bool on) = 0;
    virtual int Purge(bool input, bool output) = 0;
    // Waits until the output queue is sent.
    virtual int Drain() = 0;

    // Waits until the device can be read (or written, `forWrite`), hangs up,
    // the stop signal is raised, or `timeoutMs` passes (-1: no limit).
    // kFailed comes with the errno value in `error`.
    virtual unsigned Wait(bool forWrite, qint64 timeoutMs, int& error) = 0;
    virtual qint64 Read(char* data, qint64 size) = 0;
    virtual qint64 Write(const char* data, qint64 size) = 0;
};
