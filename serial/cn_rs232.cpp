#include "serial/cn_rs232.h"

#include "core/ini_file.h"
#include "serial/cn_rs232_ini.h"
#include "serial/cn_rs232_line_settings.h"
#include "serial/cn_rs232_read_chunker.h"
#include "serial/tty_port.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <optional>
#include <system_error>

namespace {

qint64 NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool IsTransient(qint64 result)
{
    return result == -EAGAIN || result == -EINTR;
}

}  // namespace

TCnRS232::TCnRS232(std::unique_ptr<CnRS232Device> device, QObject* parent)
    : QObject(parent), device_(std::move(device))
{
}

TCnRS232::~TCnRS232()
{
    StopComm();
}

void TCnRS232::SetCommConfig(const TCnRS232Config& config)
{
    config_ = config;
    backlog_.SetBaudRate(config.BaudRate);
    {
        const std::lock_guard lock(settingsMutex_);
        threadConfig_ = config;
    }
    if (connected_)
        ApplyLineSettings();
}

void TCnRS232::SetTimeouts(const TCnRS232Timeouts& timeouts)
{
    timeouts_ = timeouts;
    const std::lock_guard lock(settingsMutex_);
    threadTimeouts_ = timeouts;
}

void TCnRS232::ApplyLineSettings()
{
    // Starts from the driver's current settings, then sets every field.
    TtySettings settings;
    if (device_->GetAttributes(settings) == 0) {
        ApplyCnRS232Config(config_, settings);
        device_->SetAttributes(settings);
    }
    // Pseudo-terminals have no modem lines; their refusal changes nothing.
    const CnRS232ModemLines lines = ModemLinesAtOpen(config_);
    if (lines.on != 0)
        device_->SetModemLines(lines.on, true);
    if (lines.off != 0)
        device_->SetModemLines(lines.off, false);
}

void TCnRS232::StartComm()
{
    if (connected_)
        throw CnRS232Error(QStringLiteral("该串口已经打开了"));
    const int error = device_->Open(QFile::encodeName(CommName));
    if (error == -ENOTTY)
        throw CnRS232Error(QStringLiteral("指定的设备不是一个有效的通讯端口"));
    if (error != 0)
        throw CnRS232Error(QStringLiteral("串口打开失败"));
    // The kernel sizes a tty's queues itself (4096 bytes each way on most drivers).
    device_->Purge(true, true);
    ApplyLineSettings();
    if (device_->OpenStopSignal() != 0) {
        device_->Close();
        throw CnRS232Error(QStringLiteral("创建事件失败"));
    }
    stopping_ = false;
    failure_ = 0;
    ++session_;
    handoff_.Reset();
    try {
        reader_ = std::thread(&TCnRS232::ReadLoop, this);
    } catch (const std::system_error&) {
        Shutdown();
        throw CnRS232Error(QStringLiteral("创建读数据线程失败"));
    }
    try {
        writer_ = std::thread(&TCnRS232::WriteLoop, this);
    } catch (const std::system_error&) {
        Shutdown();
        throw CnRS232Error(QStringLiteral("创建写数据线程失败"));
    }
    connected_ = true;
}

void TCnRS232::StopComm()
{
    if (!connected_)
        return;
    Shutdown();
    connected_ = false;
}

void TCnRS232::Shutdown()
{
    {
        const std::lock_guard lock(queueMutex_);
        stopping_ = true;
    }
    queueChanged_.notify_all();
    device_->RaiseStop();
    handoff_.Stop();
    device_->Purge(true, false);
    if (reader_.joinable())
        reader_.join();
    // Queued writes are dropped, as a serial port's abort does.
    device_->Purge(false, true);
    if (writer_.joinable())
        writer_.join();
    {
        const std::lock_guard lock(queueMutex_);
        queue_.clear();
    }
    PostDrained(backlog_.Clear());
    device_->Close();
}

bool TCnRS232::WriteCommData(const char* data, quint16 count)
{
    if (!connected_ || count == 0)
        return false;
    {
        // Looked at under the lock: a failing writer empties the queue after
        // setting the failure, so nothing is left behind in it.
        const std::lock_guard lock(queueMutex_);
        if (failure_ != 0)
            return false;
        queue_.emplace_back(data, count);
        backlog_.Add(count);
    }
    queueChanged_.notify_one();
    return true;
}

void TCnRS232::ReadFromIni(const QString& file, const QString& section)
{
    const CnRS232Settings current{CommName, config_, timeouts_};
    const CnRS232Settings read = ReadCnRS232Settings(IniFile(file), section, current);
    CommName = read.CommName;
    SetCommConfig(read.CommConfig);
    SetTimeouts(read.Timeouts);
}

bool TCnRS232::WriteToIni(const QString& file, const QString& section) const
{
    IniFile ini(file);
    WriteCnRS232Settings(ini, section, {CommName, config_, timeouts_});
    return ini.Save();
}

void TCnRS232::SetReceivePaused(bool paused)
{
    handoff_.SetPaused(paused);
    // Delivered from the event loop, not from inside the caller (a relay
    // resuming its source while it handles the target's drain).
    if (!paused)
        PostDeliver();
}

bool TCnRS232::Post(std::vector<QByteArray>& chunks)
{
    bool posted = true;
    for (QByteArray& chunk : chunks) {
        bool first = false;
        if (!handoff_.Push(std::move(chunk), first)) {
            posted = false;
            break;
        }
        // One call wakes the user-interface thread for all chunks that
        // arrive before it runs.
        if (first)
            PostDeliver();
    }
    chunks.clear();
    return posted;
}

void TCnRS232::PostDeliver()
{
    QMetaObject::invokeMethod(this, &TCnRS232::DeliverChunks, Qt::QueuedConnection);
}

void TCnRS232::DeliverChunks()
{
    // A reader that refills the hand-off as fast as the chunks are handled
    // must not keep the event loop here: after one hand-off's worth the rest
    // waits for the next turn.
    for (int i = 0; i < ChunkHandoff::kCapacity; ++i) {
        std::optional<QByteArray> chunk = handoff_.Take();
        if (!chunk)
            return;
        emit OnReceiveData(*chunk);
    }
    if (handoff_.Count() > 0)
        PostDeliver();
}

void TCnRS232::PostDrained(bool drained)
{
    if (drained)
        QMetaObject::invokeMethod(this, &TCnRS232::OnWriteDrained, Qt::QueuedConnection);
}

void TCnRS232::Fail(int error)
{
    int none = 0;
    if (!failure_.compare_exchange_strong(none, error))
        return;
    const quint64 session = session_;
    QMetaObject::invokeMethod(
        this,
        [this, error, session] {
            if (session != session_ || !connected_)
                return;
            // What was read before the failure comes first.
            DeliverChunks();
            emit OnCommFailure(TtyErrorText(error));
        },
        Qt::QueuedConnection);
}

void TCnRS232::ReadLoop()
{
    TCnRS232Timeouts timeouts;
    bool ignoreNull;
    auto takeSettings = [&] {
        const std::lock_guard lock(settingsMutex_);
        timeouts = threadTimeouts_;
        ignoreNull = threadConfig_.IgnoreNullChar;
    };
    takeSettings();
    CnRS232ReadChunker chunker(timeouts, NowMs());
    std::vector<QByteArray> chunks;
    char buffer[CnRS232ReadChunker::kReadSize];

    auto failWith = [&](int error) {
        // What arrived before the failure is still delivered.
        if (QByteArray rest = chunker.TakePending(); !rest.isEmpty())
            chunks.push_back(std::move(rest));
        if (Post(chunks))
            Fail(error);
    };

    for (;;) {
        // While the window has not taken the chunks handed over, or the
        // receive is paused, the device keeps what arrives.
        if (!handoff_.WaitForRoom())
            return;
        takeSettings();
        chunker.SetTimeouts(timeouts);
        const int wake = device_->Wait(false, chunker.WaitMs(NowMs()));
        if (wake < 0) {
            failWith(-wake);
            return;
        }
        if (wake & CnRS232Device::kStopped)
            return;
        if (wake & (CnRS232Device::kReady | CnRS232Device::kHangup)) {
            const qint64 n = device_->Read(buffer, chunker.Room());
            if (n > 0) {
                QByteArrayView received(buffer, n);
                QByteArray kept;
                if (ignoreNull && received.contains('\0')) {
                    kept = received.toByteArray();
                    kept.removeIf([](char c) { return c == '\0'; });
                    received = kept;
                }
                chunker.Feed(received, NowMs(), chunks);
            } else if (n == 0 || (IsTransient(n) && (wake & CnRS232Device::kHangup))) {
                // End of file on a tty: the other end or the device is gone.
                failWith(ENODEV);
                return;
            } else if (!IsTransient(n)) {
                failWith(static_cast<int>(-n));
                return;
            }
        }
        chunker.Tick(NowMs(), chunks);
        if (!Post(chunks))
            return;
    }
}

void TCnRS232::WriteLoop()
{
    for (;;) {
        QByteArray data;
        {
            std::unique_lock lock(queueMutex_);
            queueChanged_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            data = std::move(queue_.front());
            queue_.pop_front();
        }
        bool toggleRts;
        {
            const std::lock_guard lock(settingsMutex_);
            toggleRts = threadConfig_.RtsControl == CnRS232::TRtsControl::RtsTransmissionAvailable;
        }
        if (toggleRts)
            device_->SetModemLines(ModemLine::kRts, true);
        qint64 written = 0;
        while (written < data.size()) {
            const qint64 n = device_->Write(data.constData() + written, data.size() - written);
            if (n > 0) {
                written += n;
                PostDrained(backlog_.Remove(n));
                continue;
            }
            if (n < 0 && !IsTransient(n)) {
                FailWriter(static_cast<int>(-n));
                return;
            }
            const int wake = device_->Wait(true, -1);
            if (wake >= 0 && (wake & CnRS232Device::kStopped))
                return;
            if (wake < 0 || (wake & CnRS232Device::kHangup)) {
                FailWriter(wake < 0 ? -wake : ENODEV);
                return;
            }
        }
        if (toggleRts) {
            device_->Drain();
            device_->SetModemLines(ModemLine::kRts, false);
        }
    }
}

void TCnRS232::FailWriter(int error)
{
    Fail(error);
    // Nothing queued will go out any more: the queue no longer holds a
    // relay's source back.
    const std::lock_guard lock(queueMutex_);
    queue_.clear();
    PostDrained(backlog_.Clear());
}
