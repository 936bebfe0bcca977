#pragma once

#include "io/tnr_base_io.h"
#include "io/tnr_log.h"
#include "ports/lpt_port_io.h"

#include <QByteArray>

#include <memory>
#include <vector>

enum TLptPorts { lpLPT1, lpLPT2, lpLPT3, lpLPT4, lpLPTxx };

// The parallel port component. In direct mode it claims the port through
// ppdev (/dev/parportN for LPT N+1) and reads and writes its three
// registers; in common mode it writes bytes to the printer device /dev/lpN.
// Everything runs on the user-interface thread.
class TnrLPT : public TnrBaseIO
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultIOBase = 888;  // 0x378
    static constexpr int kBusyWaitMs = 100;
    static constexpr int kStatusPollMs = 5;

    explicit TnrLPT(QObject* parent = nullptr);
    TnrLPT(std::unique_ptr<LptPortIO> io, QObject* parent = nullptr);
    ~TnrLPT() override;

    // Where the device nodes and the kernel's port list are looked for
    // (/dev and /proc/sys/dev/parport); tests use their own trees.
    void SetDeviceRoot(const QString& root) { deviceRoot_ = root; }
    void SetProcRoot(const QString& root) { procRoot_ = root; }

    TLptPorts LptPort() const;
    void SetLptPort(TLptPorts port);
    int LptPortNo() const { return portNo_; }
    // Closes, takes the base address found for port n, reopens when it was open.
    void SetLptPortNo(int n);
    quint16 LptIOBase() const { return ioBase_; }
    void SetLptIOBase(quint16 base) { ioBase_ = base; }
    bool DirectMode() const { return directMode_; }
    void SetDirectMode(bool direct);
    bool ControlBusy() const { return controlBusy_; }
    void SetControlBusy(bool wait) { controlBusy_ = wait; }
    TnrLog* Log() const { return log_; }
    void SetLog(TnrLog* log) { log_ = log; }

    // "LPT" and the port number in decimal.
    QString GetLptname() const;
    // The device node opened for the current port and mode.
    QString DevicePath() const;

    void Open() override;

    // Pins of the 25-pin connector; ground pins, unknown pins and a closed
    // port read false.
    bool GetPin(int pin);
    void SetPin(int pin, bool on);
    // Whole registers; common mode and a closed port read 0 and write nothing.
    quint8 GetDataBits();
    void SetDataBits(quint8 bits);
    quint8 GetBitsStatus();
    // The status register is input only: nothing is written.
    void SetBitsStatus(quint8 bits);
    quint8 GetBitsControl();
    void SetBitsControl(quint8 bits);
    // Polls the status register every 5 ms, handling pending events, until
    // (status & mask) == value or `timeoutMs` passed.
    bool WaitForStatus(quint8 mask, quint8 value, int timeoutMs);

    void SendChar(char c) override;
    void SendString(const QByteArray& text) override;
    void SendData(const char* Buffer, quint32 Length) override;
    // The bytes in order; returns how many went out. With ControlBusy a byte
    // whose busy wait timed out is skipped.
    quint32 WriteBlock(const char* Buffer, quint32 Length);

    // Device list: the kernel's ports, in its order.
    void DeviceListLoad() override;
    int GetDeviceIndex() const override;
    void SetDeviceIndex(int i) override;
    quint16 DeviceIOBase(int i) const;

protected:
    Handle RequestDeviceHandle() override;
    void RequestDeviceHandleClose(Handle handle) override;

private:
    void AddLog(TDetailLevel level, const QString& text) const;
    bool Register(LptRegister reg, quint8& value);
    bool WriteOne(char c);

    std::unique_ptr<LptPortIO> io_;
    QString deviceRoot_ = QStringLiteral("/dev");
    QString procRoot_ = QStringLiteral("/proc/sys/dev/parport");
    int portNo_ = 1;
    bool directMode_ = true;
    quint16 ioBase_ = kDefaultIOBase;
    bool controlBusy_ = false;
    TnrLog* log_ = nullptr;
    int lastError_ = 0;
    std::vector<quint16> deviceBases_;
};
