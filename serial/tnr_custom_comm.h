#pragma once

#include "io/tnr_base_io.h"
#include "serial/line_settings.h"
#include "serial/port_io.h"
#include "serial/write_backlog.h"

#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class ModemWatcher;
class SerialWriter;

// The serial core of port A's engine: line settings, buffers, the watchers
// of the line, the event routine and line control. Which port it opens is
// left to the class above (GetPortName, RequestDeviceHandle). Bytes arrive
// through a readiness notifier on the port, modem-line changes and drained
// output from two worker threads that post to the user-interface thread, so
// the event routine always runs there, in arrival order.
class TnrCustomComm : public TnrBaseIO
{
    Q_OBJECT

public:
    using PortFactory = std::function<std::unique_ptr<PortIo>()>;
    using TOnSent = std::function<void(TnrCustomComm* Com)>;
    using TOnTraceState = std::function<void(TnrCustomComm* Com, TTraceStates Event)>;
    using TOnCommError = std::function<void(TnrCustomComm* Com, quint32 CommCode, quint32 SysError, quint32 State,
                                            bool& flFlashBuffers)>;
    // Edits the settings of the named port; false when the user cancels.
    using ConfigEditor = std::function<bool(const QString& portName, Dcb& dcb)>;

    // Line-error flags of the event routine.
    static constexpr quint32 kErrorRxOver = 0x01;
    static constexpr quint32 kErrorOverrun = 0x02;
    static constexpr quint32 kErrorParity = 0x04;
    static constexpr quint32 kErrorFrame = 0x08;
    static constexpr quint32 kErrorBreak = 0x10;
    static constexpr quint32 kErrorAll = 0x1F;

    static constexpr int kMinReceiveBuffer = 8192;

    explicit TnrCustomComm(QObject* parent = nullptr);
    ~TnrCustomComm() override;

    quint32 BaudRate() const { return dcb_.BaudRate; }
    void SetBaudRate(quint32 rate);
    TParity Parity() const { return dcb_.Parity; }
    void SetParity(TParity parity);
    TStopBits StopBits() const { return dcb_.StopBits; }
    void SetStopBits(TStopBits stopBits);
    quint8 ByteSize() const { return dcb_.ByteSize; }
    // Values outside 4..8 are stored as 8.
    void SetByteSize(int size);
    char EventChar() const { return dcb_.EvtChar; }
    void SetEventChar(char c);
    TStreamProtocol StreamProtocol() const { return protocol_; }
    void SetStreamProtocol(TStreamProtocol protocol);
    bool RS485Mode() const { return rs485_; }
    void SetRS485Mode(bool on);
    const Dcb& LineSettings() const { return dcb_; }

    TTraceStates TraceStates() const { return traceStates_; }
    void SetTraceStates(TTraceStates states);
    TModemSignals ModemSignals() const;

    quint16 BufferInSize() const { return bufferInSize_; }
    void SetBufferInSize(quint16 size) { bufferInSize_ = size; }
    quint16 BufferOutSize() const { return bufferOutSize_; }
    void SetBufferOutSize(quint16 size) { bufferOutSize_ = size; }
    quint32 TimeoutRead() const { return timeoutRead_; }
    void SetTimeoutRead(quint32 ms) { timeoutRead_ = ms; }
    // Limit of SendString and SendChar in ms; 0 waits as long as it takes.
    quint32 TimeoutWrite() const { return timeoutWrite_; }
    void SetTimeoutWrite(quint32 ms) { timeoutWrite_ = ms; }
    bool UseMainThread() const { return useMainThread_; }
    void SetUseMainThread(bool use) { useMainThread_ = use; }

    // Indicators: any object with a boolean property "Checked".
    void SetMonitorCTS(QObject* monitor) { monitorCts_ = monitor; }
    void SetMonitorDSR(QObject* monitor) { monitorDsr_ = monitor; }
    void SetMonitorRLSD(QObject* monitor) { monitorRlsd_ = monitor; }
    void SetMonitorRing(QObject* monitor) { monitorRing_ = monitor; }

    quint32 GetTotalSent() const { return totalSent_; }
    quint32 GetTotalReceived() const { return totalReceived_; }
    QString LastErrorText() const { return lastError_; }
    // Why the port last closed by itself (the device went away, a wait
    // failed): an errno value, 0 after an open or a requested close.
    int HaltError() const { return haltError_; }

    // More queued bytes than about two seconds of the line's rate wait for
    // the writer; WriteDrained follows once they fall below half of that.
    bool WriteCongested() const { return backlog_.Congested(); }
    qint64 WriteBacklogBytes() const { return backlog_.Bytes(); }
    // Stops (true) or resumes reading the port: while paused the bytes stay
    // in the driver, held back by its flow control. Lasts across opens.
    void SetReceivePaused(bool paused);
    bool ReceivePaused() const { return receivePaused_; }
    // RS-485 direction is driven by raising and dropping RTS around writes
    // (the driver has no RS-485 mode).
    bool ManualRts() const { return manualRts_; }

    void Open() override;
    void Close() override;

    // Queues the bytes and returns at once.
    void SendData(const char* Buffer, quint32 Length) override;
    // Writes and waits until the driver has taken the bytes.
    void SendString(const QByteArray& text) override;
    void SendChar(char c) override;
    void SetStateRTS(bool on);
    void SetStateDTR(bool on);
    void SetStateBreak(bool on);
    void ClearDeviceInput() override;
    void ClearDeviceOutput() override;
    void ClearDeviceBuffers() override;
    int GetReadyForRead();
    int GetNotYetSend();

    void ConfigDialog();
    ConfigEditor configEditor;

    // The name the port is known by in messages and the settings dialog.
    virtual QString GetPortName() const = 0;
    void TryConnectHandle(TnrTimer* sender) override;

    void SetPortFactory(PortFactory factory) { portFactory_ = std::move(factory); }

    TOnSent OnAfterSend;
    TOnTraceState OnTraceState;
    TOnCommError OnCommError;

signals:
    // The write backlog fell below its low-water mark after congestion
    // (also when a close dropped it).
    void WriteDrained();

protected:
    // Opens the port at `path`; a failure is reported as the open error of
    // the port called `name`.
    Handle OpenPort(const QString& name, const QString& path);
    void RequestDeviceHandleClose(Handle handle) override;

private:
    void RebuildDcb();
    void ApplySettings();
    void ApplyLines();
    void UpdateWatchers();
    void InitAfterOpen();
    void ThreadStart();
    void ThreadStop();
    void EventRoutine(TTraceStates events);
    quint32 TakeLineErrors();
    void ReadInput();
    void DoCommError(quint32 CommCode, quint32 SysError, quint32 State);
    void DoTraceStates(TTraceStates set);
    void ShowLines(TTraceStates set);
    void ShowLinesAtOpen();
    // `error`: why a halt without purge happened.
    void ForceHalt(bool purge, int error = 0);
    void PostWriteDrained();
    bool WantsTxEmpty() const;

    Dcb dcb_;
    TStreamProtocol protocol_ = spHardware;
    bool rs485_ = false;
    bool manualRts_ = true;
    TTraceStates traceStates_ = 0;
    quint16 bufferInSize_ = 8192;
    quint16 bufferOutSize_ = 8192;
    quint32 timeoutRead_ = 0;
    quint32 timeoutWrite_ = 0;
    bool useMainThread_ = true;
    QPointer<QObject> monitorCts_;
    QPointer<QObject> monitorDsr_;
    QPointer<QObject> monitorRlsd_;
    QPointer<QObject> monitorRing_;
    quint32 totalSent_ = 0;
    quint32 totalReceived_ = 0;
    int unreadSeen_ = 0;
    QString lastError_;
    int haltError_ = 0;
    bool receivePaused_ = false;
    WriteBacklog backlog_;
    PortFactory portFactory_;

    std::unique_ptr<PortIo> io_;
    std::vector<char> buffer_;
    LineCounters counters_;
    bool countersKnown_ = false;
    quint64 openSerial_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    QTimer unreadPoll_;
    std::unique_ptr<SerialWriter> writer_;
    std::unique_ptr<ModemWatcher> watcher_;
};
