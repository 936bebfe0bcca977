#pragma once

#include "io/tnr_base_io.h"
#include "serial/line_settings.h"
#include "serial/port_enumerator.h"
#include "serial/port_io.h"

#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class ModemWatcher;
class SerialWriter;

// The serial port engine. Keeps the line settings, opens and closes the port,
// watches its line events and hands every received byte, on the
// user-interface thread, to the receive dispatch of the base. Bytes arrive
// through a readiness notifier on the port, modem-line changes and drained
// output from two worker threads that post to the user-interface thread, so
// the event routine always runs there, in arrival order.
class TnrComm : public TnrBaseIO
{
    Q_OBJECT

public:
    using PortFactory = std::function<std::unique_ptr<PortIo>()>;
    using TOnSent = std::function<void(TnrComm* Com)>;
    using TOnTraceState = std::function<void(TnrComm* Com, TTraceStates Event)>;
    using TOnCommError = std::function<void(TnrComm* Com, quint32 CommCode, quint32 SysError, quint32 State,
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

    explicit TnrComm(QObject* parent = nullptr);
    ~TnrComm() override;

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

    quint16 ComPortNo() const { return comPortNo_; }
    // A change closes an open port and opens the new one.
    void SetComPortNo(quint16 number);
    TComPort ComPort() const;
    void SetComPort(TComPort port);

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
    TnrEnumPorts EnumPorts() const { return enumPorts_; }
    void SetEnumPorts(TnrEnumPorts mode) { enumPorts_ = mode; }
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
    void ClearDeviceInput() override;
    void ClearDeviceOutput() override;
    void ClearDeviceBuffers() override;
    int GetReadyForRead();
    int GetNotYetSend();

    void ConfigDialog();
    ConfigEditor configEditor;

    // The device path, or "COM" and the number when the number is not listed.
    QString GetPortName() const;
    int GetDeviceIndex() const override;
    void SetDeviceIndex(int i) override;
    void DeviceListLoad() override;
    void Update() override;
    // Lists a device path typed by the user (kept across Update); returns its position.
    int AddPortPath(const QString& path);
    void TryConnectHandle(TnrTimer* sender) override;

    void SetPortFactory(PortFactory factory) { portFactory_ = std::move(factory); }
    void SetScanRoots(const PortScanRoots& roots) { scanRoots_ = roots; }
    // Where engines created from now on scan for ports (tests use a fake tree).
    static void SetDefaultScanRoots(const PortScanRoots& roots);

    TOnSent OnAfterSend;
    TOnTraceState OnTraceState;
    TOnCommError OnCommError;

protected:
    Handle RequestDeviceHandle() override;
    void RequestDeviceHandleClose(Handle handle) override;

private:
    static PortScanRoots& DefaultScanRoots();
    void RebuildDcb();
    void ApplyDcb();
    void ApplyLines();
    void UpdateWatchers();
    void ThreadStart();
    void ThreadStop();
    // Posts an event batch (TraceBit set) from any thread to the event routine.
    void PostEvents(TTraceStates events);
    void PostGone();
    void EventRoutine(TTraceStates events);
    quint32 TakeLineErrors();
    void ReadInput();
    void DoCommError(quint32 CommCode, quint32 SysError, quint32 State);
    void DoTraceStates(TTraceStates set);
    void ForceHalt(bool purge);
    bool WantsTxEmpty() const;

    Dcb dcb_;
    TStreamProtocol protocol_ = spHardware;
    bool rs485_ = false;
    bool manualRts_ = true;
    quint16 comPortNo_ = 1;
    TTraceStates traceStates_ = 0;
    quint16 bufferInSize_ = 8192;
    quint16 bufferOutSize_ = 8192;
    quint32 timeoutRead_ = 0;
    quint32 timeoutWrite_ = 0;
    TnrEnumPorts enumPorts_ = epQuickAll;
    bool useMainThread_ = true;
    QPointer<QObject> monitorCts_;
    QPointer<QObject> monitorDsr_;
    QPointer<QObject> monitorRlsd_;
    QPointer<QObject> monitorRing_;
    quint32 totalSent_ = 0;
    quint32 totalReceived_ = 0;
    int unreadSeen_ = 0;
    QString lastError_;
    std::vector<std::pair<QString, int>> typedPaths_;
    PortScanRoots scanRoots_ = DefaultScanRoots();
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
