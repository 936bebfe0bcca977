#pragma once

#include "serial/chunk_handoff.h"
#include "serial/cn_rs232_config.h"
#include "serial/cn_rs232_device.h"
#include "serial/write_backlog.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

// A refusal of StartComm; what() is the user-visible text in UTF-8.
class CnRS232Error : public std::runtime_error
{
public:
    explicit CnRS232Error(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString Text() const { return QString::fromUtf8(what()); }
};

// Serial port B's component: one reader thread that hands received chunks to
// the user-interface thread through a bounded hand-off, and one writer thread
// that writes queued buffers in order. Open, close, settings, writes and the
// receive pause are called on the user-interface thread only.
class TCnRS232 : public QObject
{
    Q_OBJECT

public:
    explicit TCnRS232(std::unique_ptr<CnRS232Device> device, QObject* parent = nullptr);
    // Closes the port.
    ~TCnRS232() override;

    // Device path of the port, e.g. /dev/ttyUSB0.
    QString CommName;

    const TCnRS232Config& CommConfig() const { return config_; }
    // Copies every field; an open port takes the new line settings at once.
    void SetCommConfig(const TCnRS232Config& config);
    const TCnRS232Timeouts& Timeouts() const { return timeouts_; }
    // Copies every field; an open port's next wait uses them.
    void SetTimeouts(const TCnRS232Timeouts& timeouts);

    // Opens CommName exclusively and starts both threads. Throws CnRS232Error
    // with the refusal text; the port then stays closed.
    void StartComm();
    // Stops both threads, drops input and output not yet moved, closes the device.
    void StopComm();
    // Queues `count` bytes for the writer and returns at once. False, and
    // nothing queued, when the port is closed or has failed, or count is 0.
    // Every call is queued whole, however long the queue already is.
    bool WriteCommData(const char* data, quint16 count);
    bool GetConnected() const { return connected_; }
    // The errno value the open port failed with; 0 while it works.
    int Failure() const { return failure_; }

    // More queued bytes than about two seconds of the line's rate wait for
    // the writer; OnWriteDrained follows once they fall below half of that.
    bool WriteCongested() const { return backlog_.Congested(); }
    qint64 WriteBacklogBytes() const { return backlog_.Bytes(); }
    // Stops (true) or resumes reading the device and delivering what was
    // read; nothing is lost and the order is kept.
    void SetReceivePaused(bool paused);
    // Chunks read and not yet delivered: at most ChunkHandoff::kCapacity.
    int PendingChunks() const { return handoff_.Count(); }
    // Checks, without taking it, that CommName exists and no one holds it:
    // 0 or a negative errno value.
    int ProbeComm() const { return device_->Probe(QFile::encodeName(CommName)); }

    // The settings file: CommName, line settings and time-outs, 26 keys.
    void ReadFromIni(const QString& file, const QString& section);
    // False when the file cannot be written.
    bool WriteToIni(const QString& file, const QString& section) const;

signals:
    // One received chunk, on the user-interface thread, in arrival order.
    void OnReceiveData(const QByteArray& chunk);
    // The open port failed (the device hung up, a read or write failed);
    // sent once per open, after the chunks read before it. `reason` says what
    // happened.
    void OnCommFailure(const QString& reason);
    // The queued bytes fell below the low-water mark after the port had been
    // congested (also when a close or a failure dropped them).
    void OnWriteDrained();

private:
    void ApplyLineSettings();
    void ReadLoop();
    void WriteLoop();
    // Called by either thread: posts the failure (an errno value) once.
    void Fail(int error);
    // The writer failed: drops what is queued, then fails.
    void FailWriter(int error);
    // Reader thread: hands the chunks over, waiting for room; false once stopped.
    bool Post(std::vector<QByteArray>& chunks);
    // User-interface thread: emits the chunks waiting, unless paused, and
    // leaves the rest to a later turn of the event loop.
    void DeliverChunks();
    void PostDeliver();
    // Either thread: reports the drain when `drained` says so.
    void PostDrained(bool drained);
    // Stops and joins whichever threads run, then closes the device.
    void Shutdown();

    std::unique_ptr<CnRS232Device> device_;
    TCnRS232Config config_;
    TCnRS232Timeouts timeouts_;
    bool connected_ = false;

    // Copies of the settings for the threads.
    mutable std::mutex settingsMutex_;
    TCnRS232Config threadConfig_;
    TCnRS232Timeouts threadTimeouts_;

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<QByteArray> queue_;
    bool stopping_ = false;
    std::atomic<int> failure_ = 0;
    // Counts the opens, so that a failure posted by an earlier one is not reported.
    std::atomic<quint64> session_ = 0;
    WriteBacklog backlog_;
    ChunkHandoff handoff_;

    std::thread reader_;
    std::thread writer_;
};
