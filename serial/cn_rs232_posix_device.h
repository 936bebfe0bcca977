#pragma once

#include "serial/cn_rs232_device.h"
#include "serial/tty_port.h"

// The TCnRS232 device on a Linux tty.
class CnRS232PosixDevice : public CnRS232Device
{
public:
    int Open(const QByteArray& path) override { return port_.Open(path); }
    int Probe(const QByteArray& path) override { return TtyPort::Probe(path); }
    int OpenStopSignal() override { return port_.OpenStopSignal(); }
    void RaiseStop() override { port_.RaiseStop(); }
    void Close() override { port_.Close(); }

    int GetAttributes(TtySettings& settings) override { return port_.GetSettings(settings); }
    int SetAttributes(const TtySettings& settings) override { return port_.SetSettings(settings); }
    int SetModemLines(int lines, bool on) override { return port_.SetModemLines(lines, on); }
    int Purge(bool input, bool output) override { return port_.Purge(input, output); }
    int Drain() override { return port_.Drain(); }

    int Wait(bool forWrite, qint64 timeoutMs) override { return port_.Wait(forWrite, timeoutMs); }
    qint64 Read(char* data, qint64 size) override { return port_.Read(data, size); }
    qint64 Write(const char* data, qint64 size) override { return port_.Write(data, size); }

private:
    TtyPort port_;
};
