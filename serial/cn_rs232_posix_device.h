#pragma once

#include "serial/cn_rs232_device.h"

#include <QString>

// What a failed call means to the user, in one place: `error` is an errno
// value (ENODEV for a device that hung up).
QString CnRS232ErrorText(int error);

// The TCnRS232 device on a Linux tty: termios2 and ioctl calls, an exclusive
// flock beside TIOCEXCL (which does not stop root), poll() with an eventfd as
// the stop signal.
class CnRS232PosixDevice : public CnRS232Device
{
public:
    CnRS232PosixDevice() = default;
    ~CnRS232PosixDevice() override;
    CnRS232PosixDevice(const CnRS232PosixDevice&) = delete;
    CnRS232PosixDevice& operator=(const CnRS232PosixDevice&) = delete;

    int Open(const QByteArray& path) override;
    int Probe(const QByteArray& path) override;
    int OpenStopSignal() override;
    void RaiseStop() override;
    void Close() override;

    int GetAttributes(CnRS232Termios& termios) override;
    int SetAttributes(const CnRS232Termios& termios) override;
    int SetModemLines(unsigned lines, bool on) override;
    int Purge(bool input, bool output) override;
    int Drain() override;

    unsigned Wait(bool forWrite, qint64 timeoutMs, int& error) override;
    qint64 Read(char* data, qint64 size) override;
    qint64 Write(const char* data, qint64 size) override;

private:
    int fd_ = -1;
    int stopFd_ = -1;
    CnRS232Termios saved_;
};
