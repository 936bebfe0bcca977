#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

// A Modbus slave program on one end of a pseudo-terminal pair, started by a
// test or benchmark and killed when it goes: the libmodbus RTU slave
// (modbus_rtu_slave) or the pymodbus ASCII slave (modbus_ascii_slave.py). Both
// serve slave 7 with the same map from 0x4A00, 100 items of each kind.
class ModbusSlavePeer
{
public:
    static constexpr int kStart = 0x4A00;
    static constexpr int kCount = 100;

    ModbusSlavePeer(const QString& program, const QStringList& arguments)
    {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.setReadChannel(QProcess::StandardOutput);
        process_.start(program, arguments);
    }
    ~ModbusSlavePeer()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Waits until the slave says "ready".
    bool Ready(int timeoutMs = 10000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!output_.contains("ready")) {
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
                return false;
            process_.waitForReadyRead(50);
            output_ += process_.readAllStandardOutput();
        }
        return true;
    }
    QString Errors() { return QString::fromLocal8Bit(process_.readAllStandardError()); }

    // The slave's map before any write.
    static quint16 HoldingRegister(int address) { return quint16(0x1000 + address - kStart); }
    static quint16 InputRegister(int address) { return quint16(0x2000 + address - kStart); }
    static bool Coil(int address) { return (address - kStart) % 3 == 0; }
    static bool DiscreteInput(int address) { return (address - kStart) % 2 == 1; }

private:
    QProcess process_;
    QByteArray output_;
};
