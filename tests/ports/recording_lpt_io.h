#pragma once

#include "ports/lpt_port_io.h"

#include <QStringList>

#include <cerrno>
#include <deque>
#include <utility>
#include <vector>

// A parallel port in memory: three registers, every register write and byte
// write recorded in order, and failures to open or claim on request.
class RecordingLptIO : public LptPortIO
{
public:
    struct RegisterWrite
    {
        LptRegister reg;
        quint8 value;
        bool operator==(const RegisterWrite&) const = default;
    };

    int Open(const QString& path, int& error) override
    {
        opened << path;
        error = openError;
        return openError != 0 ? -1 : kHandle;
    }
    bool Claim(int, int& error) override
    {
        error = claimError;
        return claimError == 0;
    }
    void Close(int) override { ++closes; }
    bool Read(int, LptRegister reg, quint8& value) override
    {
        ++reads;
        if (reg == LptRegister::kStatus && !statusSequence.empty()) {
            value = statusSequence.front();
            statusSequence.pop_front();
            return true;
        }
        value = reg == LptRegister::kData ? data : reg == LptRegister::kStatus ? status : control;
        return true;
    }
    bool Write(int, LptRegister reg, quint8 value) override
    {
        writes.push_back({reg, value});
        if (reg == LptRegister::kData)
            data = value;
        else if (reg == LptRegister::kControl)
            control = value;
        return reg != LptRegister::kStatus;
    }
    qint64 WriteBytes(int, const char* bytes, qint64 size) override
    {
        printed.append(bytes, size);
        return size;
    }
    bool ResetPrinter(int) override
    {
        ++resets;
        return true;
    }

    // The bytes put on the data register, in order.
    QByteArray DataWritten() const
    {
        QByteArray bytes;
        for (const RegisterWrite& write : writes)
            if (write.reg == LptRegister::kData)
                bytes.append(char(write.value));
        return bytes;
    }

    static constexpr int kHandle = 7;
    int openError = 0;
    int claimError = 0;
    quint8 data = 0;
    quint8 status = 0;
    quint8 control = 0;
    // Status values read before `status`, one per read.
    std::deque<quint8> statusSequence;
    QStringList opened;
    std::vector<RegisterWrite> writes;
    QByteArray printed;
    int reads = 0;
    int closes = 0;
    int resets = 0;
};
