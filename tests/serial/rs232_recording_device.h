#pragma once

#include "serial/cn_rs232_device.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <cerrno>

// A device that records the component's calls as text lines and succeeds
// unless told otherwise. Writes take every byte; reads find nothing; waits
// block until the stop signal is raised or their time passes.
class Rs232RecordingDevice : public CnRS232Device
{
public:
    int openError = 0;        // 0 or a negative errno value
    int stopSignalError = 0;  // 0 or a negative errno value
    qint64 writeResult = 0;  // 0: take every byte; negative: fail with that errno value

    QStringList Calls() const
    {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    QByteArray Written() const
    {
        const std::lock_guard lock(mutex_);
        return written_;
    }
    TtySettings Attributes() const
    {
        const std::lock_guard lock(mutex_);
        return attributes_;
    }
    void ClearCalls()
    {
        const std::lock_guard lock(mutex_);
        calls_.clear();
    }

    int Open(const QByteArray& path) override
    {
        Record(QStringLiteral("Open ") + QString::fromUtf8(path));
        const std::lock_guard lock(mutex_);
        stopped_ = false;
        return openError;
    }
    int Probe(const QByteArray& path) override
    {
        Record(QStringLiteral("Probe ") + QString::fromUtf8(path));
        return openError;
    }
    int OpenStopSignal() override
    {
        Record(QStringLiteral("OpenStopSignal"));
        return stopSignalError;
    }
    void RaiseStop() override
    {
        Record(QStringLiteral("RaiseStop"));
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }
    void Close() override { Record(QStringLiteral("Close")); }

    int GetAttributes(TtySettings& settings) override
    {
        Record(QStringLiteral("GetAttributes"));
        const std::lock_guard lock(mutex_);
        settings = attributes_;
        return 0;
    }
    int SetAttributes(const TtySettings& settings) override
    {
        Record(QStringLiteral("SetAttributes ") + QString::number(settings.ospeed));
        const std::lock_guard lock(mutex_);
        attributes_ = settings;
        return 0;
    }
    int SetModemLines(int lines, bool on) override
    {
        QString names;
        if (lines & ModemLine::kDtr)
            names += QStringLiteral(" DTR");
        if (lines & ModemLine::kRts)
            names += QStringLiteral(" RTS");
        Record(QStringLiteral("SetModemLines") + names + (on ? QStringLiteral(" on") : QStringLiteral(" off")));
        return 0;
    }
    int Purge(bool input, bool output) override
    {
        Record(QStringLiteral("Purge") + (input ? QStringLiteral(" input") : QString()) +
               (output ? QStringLiteral(" output") : QString()));
        return 0;
    }
    int Drain() override
    {
        Record(QStringLiteral("Drain"));
        return 0;
    }

    int Wait(bool forWrite, qint64 timeoutMs) override
    {
        if (forWrite)
            return kReady;
        std::unique_lock lock(mutex_);
        auto stopped = [this] { return stopped_; };
        if (timeoutMs < 0)
            changed_.wait(lock, stopped);
        else
            changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), stopped);
        return stopped_ ? kStopped : 0;
    }
    qint64 Read(char*, qint64) override { return -EAGAIN; }
    qint64 Write(const char* data, qint64 size) override
    {
        Record(QStringLiteral("Write ") + QString::number(size));
        if (writeResult < 0)
            return writeResult;
        const std::lock_guard lock(mutex_);
        written_.append(data, size);
        return size;
    }

private:
    void Record(const QString& call)
    {
        const std::lock_guard lock(mutex_);
        calls_ << call;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopped_ = false;
    QStringList calls_;
    QByteArray written_;
    TtySettings attributes_;
};
