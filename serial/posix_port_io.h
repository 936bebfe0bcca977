#pragma once

#include "serial/port_io.h"
#include "serial/tty_port.h"

// Port A's PortIo on a Linux tty.
class PosixPortIo : public PortIo
{
public:
    int Open(const QString& path) override;
    void Close() override { port_.Close(); }
    int Descriptor() const override { return port_.Descriptor(); }
    int Apply(const Dcb& dcb) override;
    int SetRs485(bool on) override { return port_.SetRs485(on); }
    qint64 Read(char* buffer, qint64 size) override;
    qint64 Write(const char* data, qint64 size) override { return port_.Write(data, size); }
    bool WaitWritable(int timeoutMs) override;
    int InputQueue() override { return port_.InputQueue(); }
    int OutputQueue() override { return port_.OutputQueue(); }
    int Purge(bool input, bool output) override { return port_.Purge(input, output); }
    int Drain() override { return port_.Drain(); }
    int SetBreak(bool on) override { return port_.SetBreak(on); }
    int ModemLines() override { return port_.ModemLines(); }
    int SetModemLine(int line, bool on) override { return port_.SetModemLines(line, on); }
    int ReadCounters(LineCounters& counters) override { return port_.ReadCounters(counters); }
    int ReadModemState(ModemState& state) override { return port_.ReadModemState(state); }
    int WaitModemChange(const ModemState& since) override;
    void InterruptWait() override { port_.InterruptModemWait(); }

private:
    TtyPort port_;
};
