#include "serial/tnr_custom_comm.h"

#include "serial/modem_watcher.h"
#include "serial/posix_port_io.h"
#include "serial/serial_writer.h"
#include "serial/tty_port.h"

#include <QSocketNotifier>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <exception>

namespace {

// Reads per readiness event before the event loop gets a turn again.
constexpr int kMaxReadsPerEvent = 64;
// While nobody consumes received bytes they stay queued; the queue is looked
// at this often to count them.
constexpr int kUnreadPollMs = 50;

constexpr TTraceStates kModemEvents = TraceBit(tsCTS) | TraceBit(tsDSR) | TraceBit(tsRLSD) | TraceBit(tsRing);

void SetChecked(QObject* monitor, bool checked)
{
    if (monitor != nullptr && monitor->metaObject()->indexOfProperty("Checked") >= 0)
        monitor->setProperty("Checked", QVariant(checked));
}

TTraceStates ModemLinesToEvents(int lines)
{
    TTraceStates events = 0;
    if (lines & ModemLine::kCts)
        events |= TraceBit(tsCTS);
    if (lines & ModemLine::kDsr)
        events |= TraceBit(tsDSR);
    if (lines & ModemLine::kRlsd)
        events |= TraceBit(tsRLSD);
    if (lines & ModemLine::kRing)
        events |= TraceBit(tsRing);
    return events;
}

}  // namespace

TnrCustomComm::TnrCustomComm(QObject* parent) : TnrBaseIO(parent)
{
    dcb_.BaudRate = 19200;
    RebuildDcb();
    unreadPoll_.setInterval(kUnreadPollMs);
    connect(&unreadPoll_, &QTimer::timeout, this, [this] { EventRoutine(TraceBit(tsRxChar)); });
}

TnrCustomComm::~TnrCustomComm()
{
    OnTraceState = nullptr;
    try {
        Close();
    } catch (...) {
    }
}

void TnrCustomComm::SetBaudRate(quint32 rate)
{
    dcb_.BaudRate = rate;
    RebuildDcb();
}

void TnrCustomComm::SetParity(TParity parity)
{
    dcb_.Parity = parity;
    RebuildDcb();
}

void TnrCustomComm::SetStopBits(TStopBits stopBits)
{
    dcb_.StopBits = stopBits;
    RebuildDcb();
}

void TnrCustomComm::SetByteSize(int size)
{
    dcb_.ByteSize = static_cast<quint8>(size >= 4 && size <= 8 ? size : 8);
    RebuildDcb();
}

void TnrCustomComm::SetEventChar(char c)
{
    dcb_.EvtChar = c;
    RebuildDcb();
}

void TnrCustomComm::SetStreamProtocol(TStreamProtocol protocol)
{
    protocol_ = protocol;
    RebuildDcb();
}

void TnrCustomComm::SetRS485Mode(bool on)
{
    rs485_ = on;
    RebuildDcb();
}

void TnrCustomComm::RebuildDcb()
{
    dcb_.Flags = BuildFlagWord(dcb_.Flags, rs485_, protocol_, dcb_.Parity);
    dcb_.XonLim = 80;
    dcb_.XoffLim = 200;
    dcb_.XonChar = 0x11;
    dcb_.XoffChar = 0x13;
    backlog_.SetBaudRate(dcb_.BaudRate);
    if (Active())
        ApplySettings();
}

void TnrCustomComm::ApplySettings()
{
    const int result = io_->Apply(dcb_);
    if (result < 0)
        DoCommError(0, static_cast<quint32>(-result), 0);
    ApplyLines();
    UpdateWatchers();
}

// DTR and RTS as the flag word says; RS-485 through the driver where it can.
void TnrCustomComm::ApplyLines()
{
    const quint32 dtr = dcb_.Flags & DcbFlag::kDtrControl;
    if (dtr == DcbFlag::kDtrEnable || dtr == 0)
        io_->SetModemLine(ModemLine::kDtr, dtr == DcbFlag::kDtrEnable);
    const quint32 rts = dcb_.Flags & DcbFlag::kRtsControl;
    if (rts == DcbFlag::kRtsToggle) {
        manualRts_ = io_->SetRs485(true) != 0;
        if (manualRts_)
            io_->SetModemLine(ModemLine::kRts, false);
        return;
    }
    if (!manualRts_) {
        io_->SetRs485(false);
        manualRts_ = true;
    }
    if (rts == DcbFlag::kRtsEnable || rts == 0)
        io_->SetModemLine(ModemLine::kRts, rts == DcbFlag::kRtsEnable);
}

void TnrCustomComm::SetTraceStates(TTraceStates states)
{
    traceStates_ = states;
    if (Active())
        UpdateWatchers();
}

TModemSignals TnrCustomComm::ModemSignals() const
{
    if (!Active())
        return 0;
    const int lines = io_->ModemLines();
    if (lines < 0)
        return 0;
    TModemSignals signalSet = 0;
    if (lines & ModemLine::kCts)
        signalSet |= 1u << msCTS;
    if (lines & ModemLine::kDsr)
        signalSet |= 1u << msDSR;
    if (lines & ModemLine::kRing)
        signalSet |= 1u << msRing;
    if (lines & ModemLine::kRlsd)
        signalSet |= 1u << msRLSD;
    return signalSet;
}

void TnrCustomComm::Open()
{
    Close();
    totalReceived_ = 0;
    totalSent_ = 0;
    haltError_ = 0;
    TnrBaseIO::Open();
    if (!Active())
        return;
    InitAfterOpen();
    DoNotify(kNotifyOpened);
}

void TnrCustomComm::InitAfterOpen()
{
    buffer_.assign(static_cast<size_t>(std::max<int>(bufferInSize_, kMinReceiveBuffer)) + 1, 0);
    countersKnown_ = io_->ReadCounters(counters_) == 0;
    unreadSeen_ = 0;
    ThreadStart();
    ApplySettings();
    ShowLinesAtOpen();
}

TnrBaseIO::Handle TnrCustomComm::OpenPort(const QString& name, const QString& path)
{
    std::unique_ptr<PortIo> io = portFactory_ ? portFactory_() : std::make_unique<PosixPortIo>();
    const int result = io->Open(path);
    if (result < 0) {
        lastError_ = QStringLiteral("Device \"%1\" Open Error !!!\r%2").arg(name, TtyErrorText(-result));
        DoFatalErrors(1, 0, lastError_, false);
        return kInvalidHandle;
    }
    io_ = std::move(io);
    return io_->Descriptor();
}

void TnrCustomComm::Close()
{
    if (Active()) {
        try {
            ForceHalt(true);
        } catch (...) {
            TnrBaseIO::Close();
        }
    }
    DoTraceStates(TraceBit(tsTxEmpty));
}

void TnrCustomComm::ForceHalt(bool purge, int error)
{
    if (!Active())
        return;
    if (purge && io_->OutputQueue() > 0)
        ClearDeviceBuffers();
    // Known to OnClose and the closed notice.
    haltError_ = purge ? 0 : error;
    TnrBaseIO::Close();
    DoNotify(kNotifyClosed);
    if (!purge && KeepConnection())
        TryConnectRestart();
}

void TnrCustomComm::RequestDeviceHandleClose(Handle)
{
    ThreadStop();
    buffer_.clear();
    buffer_.shrink_to_fit();
    io_->Close();
    io_.reset();
}

void TnrCustomComm::ThreadStart()
{
    ThreadStop();
    notifier_ = new QSocketNotifier(static_cast<qintptr>(io_->Descriptor()), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { EventRoutine(TraceBit(tsRxChar)); });
    const quint64 serial = openSerial_;
    SerialWriter::Reports writerReports;
    writerReports.drained = [this, serial] {
        QMetaObject::invokeMethod(this, [this, serial] {
            if (serial == openSerial_)
                EventRoutine(TraceBit(tsTxEmpty));
        }, Qt::QueuedConnection);
    };
    writerReports.failed = [this, serial](int error) {
        QMetaObject::invokeMethod(this, [this, serial, error] {
            if (serial == openSerial_ && Active())
                DoCommError(0, static_cast<quint32>(-error), 0);
        }, Qt::QueuedConnection);
    };
    writerReports.room = [this] { PostWriteDrained(); };
    writer_ = std::make_unique<SerialWriter>(*io_, backlog_, std::move(writerReports));
    if (receivePaused_)
        notifier_->setEnabled(false);
}

void TnrCustomComm::UpdateWatchers()
{
    writer_->SetReportDrained(WantsTxEmpty());
    const bool watchModem = (traceStates_ & kModemEvents) != 0;
    if (!watchModem) {
        watcher_.reset();
    } else if (!watcher_) {
        const quint64 serial = openSerial_;
        ModemWatcher::Reports reports;
        reports.changed = [this, serial](int lines) {
            QMetaObject::invokeMethod(this, [this, serial, lines] {
                if (serial == openSerial_)
                    EventRoutine(ModemLinesToEvents(lines));
            }, Qt::QueuedConnection);
        };
        reports.gone = [this, serial](int error) {
            QMetaObject::invokeMethod(this, [this, serial, error] {
                if (serial == openSerial_)
                    ForceHalt(false, -error);
            }, Qt::QueuedConnection);
        };
        watcher_ = std::make_unique<ModemWatcher>(*io_, std::move(reports));
    }
}

void TnrCustomComm::ThreadStop()
{
    unreadPoll_.stop();
    if (notifier_ != nullptr) {
        // The notifier may be the sender of the event being handled now.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    watcher_.reset();
    writer_.reset();
    // What the writer had not written is gone with it.
    if (backlog_.Clear())
        PostWriteDrained();
    ++openSerial_;
}

void TnrCustomComm::PostWriteDrained()
{
    QMetaObject::invokeMethod(this, &TnrCustomComm::WriteDrained, Qt::QueuedConnection);
}

void TnrCustomComm::SetReceivePaused(bool paused)
{
    receivePaused_ = paused;
    if (notifier_ == nullptr)
        return;
    if (paused) {
        notifier_->setEnabled(false);
        unreadPoll_.stop();
    } else {
        // Bytes that waited meanwhile make the notifier fire at once.
        notifier_->setEnabled(true);
    }
}

bool TnrCustomComm::WantsTxEmpty() const
{
    return (traceStates_ & TraceBit(tsTxEmpty)) != 0 || (rs485_ && manualRts_);
}

quint32 TnrCustomComm::TakeLineErrors()
{
    LineCounters now;
    if (!countersKnown_ || io_->ReadCounters(now) != 0)
        return 0;
    quint32 errors = 0;
    if (now.bufferOverrun != counters_.bufferOverrun)
        errors |= kErrorRxOver;
    if (now.overrun != counters_.overrun)
        errors |= kErrorOverrun;
    if (now.parity != counters_.parity)
        errors |= kErrorParity;
    if (now.frame != counters_.frame)
        errors |= kErrorFrame;
    if (now.brk != counters_.brk)
        errors |= kErrorBreak;
    counters_ = now;
    return errors;
}

void TnrCustomComm::EventRoutine(TTraceStates events)
{
    if (!Active())
        return;
    try {
        const quint32 errors = TakeLineErrors();
        if (errors == kErrorAll) {
            ForceHalt(false, ENODEV);
            return;
        }
        if (errors != 0) {
            DoCommError(errors, 0, 0);
            return;
        }
        if (events & TraceBit(tsRxChar)) {
            ReadInput();
            if (!Active())
                return;
        }
        if (events & TraceBit(tsTxEmpty)) {
            if (rs485_ && manualRts_)
                io_->SetModemLine(ModemLine::kRts, false);
            const bool handled = DoOutputData();
            if ((traceStates_ & TraceBit(tsTxEmpty)) && !handled && OnAfterSend)
                OnAfterSend(this);
        }
        const TTraceStates set = events & ~(TraceBit(tsRxChar) | TraceBit(tsTxEmpty)) & traceStates_;
        if (set != 0)
            DoTraceStates(set);
    } catch (const std::exception& error) {
        DoFatalErrors(1, static_cast<quint32>(errno), QString::fromStdString(error.what()), true);
    }
}

void TnrCustomComm::ReadInput()
{
    if (receivePaused_)
        return;
    if (!(traceStates_ & TraceBit(tsRxChar)) && !IsReadNeeded()) {
        // Nobody takes the bytes: count them and leave them queued.
        const int queued = io_->InputQueue();
        if (queued > unreadSeen_)
            totalReceived_ += static_cast<quint32>(queued - unreadSeen_);
        unreadSeen_ = std::max(queued, 0);
        notifier_->setEnabled(false);
        unreadPoll_.start();
        return;
    }
    unreadPoll_.stop();
    notifier_->setEnabled(true);
    // Bytes counted while nobody read them are not counted twice.
    qint64 counted = unreadSeen_;
    unreadSeen_ = 0;
    const qint64 room = static_cast<qint64>(buffer_.size()) - 1;
    for (int round = 0; round < kMaxReadsPerEvent; ++round) {
        const qint64 count = io_->Read(buffer_.data(), room);
        if (count == -EAGAIN || count == -EINTR)
            return;
        if (count <= 0) {
            // End of file, hang-up or an I/O error: the device has gone.
            ForceHalt(false, count == 0 ? ENODEV : static_cast<int>(-count));
            return;
        }
        totalReceived_ += static_cast<quint32>(std::max<qint64>(count - counted, 0));
        counted = std::max<qint64>(counted - count, 0);
        buffer_[static_cast<size_t>(count)] = 0;
        DoInputData(buffer_.data(), static_cast<quint32>(count));
        // A handler may have paused the receive (a relay whose target is full).
        if (!Active() || receivePaused_ || count < room)
            return;
    }
}

void TnrCustomComm::DoCommError(quint32 CommCode, quint32 SysError, quint32 State)
{
    if (rs485_ && manualRts_ && Active())
        io_->SetModemLine(ModemLine::kRts, false);
    bool flush = false;
    if (OnCommError)
        OnCommError(this, CommCode, SysError, State, flush);
    if (flush)
        ClearDeviceBuffers();
}

void TnrCustomComm::DoTraceStates(TTraceStates set)
{
    ShowLines(set);
    if (OnTraceState)
        OnTraceState(this, set);
}

void TnrCustomComm::ShowLines(TTraceStates set)
{
    int lines = Active() ? io_->ModemLines() : 0;
    if (lines < 0)
        lines = 0;
    SetChecked(monitorCts_, lines & ModemLine::kCts);
    SetChecked(monitorDsr_, lines & ModemLine::kDsr);
    SetChecked(monitorRlsd_, lines & ModemLine::kRlsd);
    if (set & TraceBit(tsRing))
        SetChecked(monitorRing_, true);
}

// A peer whose lines were already on when the port opened sends no change;
// the lines are shown as they are now, and the watchers, armed before this
// look, report every change after it.
void TnrCustomComm::ShowLinesAtOpen()
{
    const int lines = io_->ModemLines();
    const TTraceStates on = lines < 0 ? 0 : ModemLinesToEvents(lines) & traceStates_;
    if (on != 0)
        DoTraceStates(on);
    else
        ShowLines(0);
}

void TnrCustomComm::SendData(const char* Buffer, quint32 Length)
{
    if (!Active())
        return;
    if (rs485_ && manualRts_)
        io_->SetModemLine(ModemLine::kRts, true);
    writer_->Queue(QByteArray(Buffer, static_cast<qsizetype>(Length)));
    totalSent_ += Length;
}

void TnrCustomComm::SendString(const QByteArray& text)
{
    if (text.isEmpty() || !Active())
        return;
    if (rs485_ && manualRts_)
        io_->SetModemLine(ModemLine::kRts, true);
    const quint64 ticket = writer_->Queue(text);
    const int limit = timeoutWrite_ == 0 ? -1 : static_cast<int>(timeoutWrite_);
    switch (writer_->WaitWritten(ticket, limit)) {
    case SerialWriter::Outcome::kWritten:
        totalSent_ += static_cast<quint32>(text.size());
        break;
    case SerialWriter::Outcome::kTimedOut:
        DoCommError(0, ETIMEDOUT, 0);
        break;
    case SerialWriter::Outcome::kFailed:
        break;  // the writer reports the failure itself
    }
}

void TnrCustomComm::SendChar(char c)
{
    SendString(QByteArray(1, c));
}

void TnrCustomComm::SetStateRTS(bool on)
{
    if (!Active())
        return;
    io_->SetModemLine(ModemLine::kRts, on);
    DoTraceStates(TraceBit(tsCTS));
}

void TnrCustomComm::SetStateDTR(bool on)
{
    if (!Active())
        return;
    io_->SetModemLine(ModemLine::kDtr, on);
    DoTraceStates(TraceBit(tsDSR));
}

void TnrCustomComm::SetStateBreak(bool on)
{
    if (Active())
        io_->SetBreak(on);
}

void TnrCustomComm::ClearDeviceInput()
{
    if (Active())
        io_->Purge(true, false);
}

void TnrCustomComm::ClearDeviceOutput()
{
    if (!Active())
        return;
    writer_->DiscardPending();
    io_->Purge(false, true);
    if (rs485_ && manualRts_)
        io_->SetModemLine(ModemLine::kRts, false);
}

void TnrCustomComm::ClearDeviceBuffers()
{
    if (!Active())
        return;
    writer_->DiscardPending();
    io_->Purge(true, true);
    if (rs485_ && manualRts_)
        io_->SetModemLine(ModemLine::kRts, false);
}

int TnrCustomComm::GetReadyForRead()
{
    return Active() ? std::max(io_->InputQueue(), 0) : 0;
}

int TnrCustomComm::GetNotYetSend()
{
    return Active() ? std::max(io_->OutputQueue(), 0) : 0;
}

void TnrCustomComm::ConfigDialog()
{
    if (!configEditor)
        return;
    Dcb edited = dcb_;
    if (!configEditor(GetPortName(), edited))
        return;
    if (edited.ByteSize < 4 || edited.ByteSize > 8)
        edited.ByteSize = 8;
    dcb_ = edited;
    backlog_.SetBaudRate(dcb_.BaudRate);
    protocol_ = StreamProtocolOfFlags(dcb_.Flags);
    rs485_ = Rs485ModeOfFlags(dcb_.Flags);
    if (Active())
        ApplySettings();
}

void TnrCustomComm::TryConnectHandle(TnrTimer*)
{
    TryConnectStop();
}
