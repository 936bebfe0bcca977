#include "ports/tnr_lpt.h"

#include "ports/lpt_pins.h"
#include "ports/lpt_port_list.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {

constexpr quint32 kErrorService = 7;
constexpr quint32 kErrorOpen = 10;

}  // namespace

TnrLPT::TnrLPT(QObject* parent) : TnrLPT(std::make_unique<PpdevPortIO>(), parent) {}

TnrLPT::TnrLPT(std::unique_ptr<LptPortIO> io, QObject* parent) : TnrBaseIO(parent), io_(std::move(io)) {}

TnrLPT::~TnrLPT()
{
    if (Active())
        Close();
}

TLptPorts TnrLPT::LptPort() const
{
    return portNo_ > 4 || portNo_ < 1 ? lpLPTxx : TLptPorts(portNo_ - 1);
}

void TnrLPT::SetLptPort(TLptPorts port)
{
    if (port != lpLPTxx)
        SetLptPortNo(int(port) + 1);
}

void TnrLPT::SetLptPortNo(int n)
{
    const bool wasOpen = Active();
    Close();
    portNo_ = n;
    const int index = IndexOfDeviceData(n);
    if (index >= 0)
        ioBase_ = deviceBases_[size_t(index)];
    if (wasOpen)
        Open();
    DoNotify(kNotifyDevicesChanged);
}

void TnrLPT::SetDirectMode(bool direct)
{
    if (direct == directMode_)
        return;
    const bool wasOpen = Active();
    Close();
    directMode_ = direct;
    if (wasOpen)
        Open();
}

QString TnrLPT::GetLptname() const
{
    // In decimal, so that LPT10 and above read right too.
    return QStringLiteral("LPT") + QString::number(portNo_);
}

QString TnrLPT::DevicePath() const
{
    return deviceRoot_ + (directMode_ ? QStringLiteral("/parport%1") : QStringLiteral("/lp%1")).arg(portNo_ - 1);
}

void TnrLPT::AddLog(TDetailLevel level, const QString& text) const
{
    if (log_ != nullptr)
        log_->AddLog(level, QStringLiteral("TnrLPT: ") + text);
}

TnrBaseIO::Handle TnrLPT::RequestDeviceHandle()
{
    const QString path = DevicePath();
    int error = 0;
    const int handle = io_->Open(path, error);
    lastError_ = error;
    if (!directMode_)
        return handle < 0 ? kInvalidHandle : handle;
    // Direct mode: the node missing or not ours to open is the port-access
    // layer not being installable; a port another driver holds is it not starting.
    if (handle < 0) {
        AddLog(dlSimple, path + QStringLiteral(": ") + LptSystemErrorText(error));
        DoFatalErrors(kErrorService, quint32(error), QStringLiteral("Create service failed."), false);
        return kInvalidHandle;
    }
    if (!io_->Claim(handle, error)) {
        lastError_ = error;
        io_->Close(handle);
        AddLog(dlSimple, path + QStringLiteral(": ") + LptSystemErrorText(error));
        DoFatalErrors(kErrorService, quint32(error), QStringLiteral("Start service failed."), false);
        return kInvalidHandle;
    }
    return handle;
}

void TnrLPT::RequestDeviceHandleClose(Handle handle)
{
    io_->Close(handle);
}

void TnrLPT::Open()
{
    if (Active())
        return;
    TnrBaseIO::Open();
    if (!Active()) {
        DoFatalErrors(kErrorOpen, quint32(lastError_),
                      GetLptname() + QStringLiteral(" open is failed.\r") + LptSystemErrorText(lastError_), false);
        return;
    }
    if (!directMode_) {
        AddLog(dlSimple, QStringLiteral("Common mode."));
        io_->ResetPrinter(DeviceHandle());
    } else if (ioBase_ != 0) {
        AddLog(dlSimple, QString::asprintf("Direct mode. Base address: %x", ioBase_));
    } else {
        DoFatalErrors(kErrorOpen, 0,
                      GetLptname() + QStringLiteral(" open in Direct Mode is failed. Base I/O port is NULL"), false);
    }
}

bool TnrLPT::Register(LptRegister reg, quint8& value)
{
    value = 0;
    return Active() && directMode_ && io_->Read(DeviceHandle(), reg, value);
}

bool TnrLPT::GetPin(int pin)
{
    const std::optional<LptPinBit> where = LptPinOf(pin);
    quint8 value = 0;
    if (!where || !Register(where->reg, value))
        return false;
    return (value >> where->bit) & 1;
}

void TnrLPT::SetPin(int pin, bool on)
{
    const std::optional<LptPinBit> where = LptPinOf(pin);
    quint8 value = 0;
    if (!where || where->reg == LptRegister::kStatus || !Register(where->reg, value))
        return;
    const quint8 mask = quint8(1u << where->bit);
    io_->Write(DeviceHandle(), where->reg, on ? value | mask : value & ~mask);
}

quint8 TnrLPT::GetDataBits()
{
    quint8 value = 0;
    Register(LptRegister::kData, value);
    return value;
}

void TnrLPT::SetDataBits(quint8 bits)
{
    if (Active() && directMode_)
        io_->Write(DeviceHandle(), LptRegister::kData, bits);
}

quint8 TnrLPT::GetBitsStatus()
{
    quint8 value = 0;
    Register(LptRegister::kStatus, value);
    return value;
}

void TnrLPT::SetBitsStatus(quint8) {}

quint8 TnrLPT::GetBitsControl()
{
    quint8 value = 0;
    Register(LptRegister::kControl, value);
    return value;
}

void TnrLPT::SetBitsControl(quint8 bits)
{
    if (Active() && directMode_)
        io_->Write(DeviceHandle(), LptRegister::kControl, bits);
}

bool TnrLPT::WaitForStatus(quint8 mask, quint8 value, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (Active()) {
        quint8 status = 0;
        if (Register(LptRegister::kStatus, status) && (status & mask) == value)
            return true;
        if (clock.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(kStatusPollMs);
        // A click may close the port meanwhile; the loop then ends.
        QCoreApplication::processEvents();
    }
    return false;
}

bool TnrLPT::WriteOne(char c)
{
    if (!Active())
        return false;
    const Handle handle = DeviceHandle();
    if (!directMode_)
        return io_->WriteBytes(handle, &c, 1) == 1;
    // One strobe pulse on control bit 0, the other control lines kept.
    quint8 control = 0;
    if (!io_->Write(handle, LptRegister::kData, quint8(c)) || !io_->Read(handle, LptRegister::kControl, control))
        return false;
    const bool raised = io_->Write(handle, LptRegister::kControl, control | 0x01);
    const bool lowered = io_->Write(handle, LptRegister::kControl, control & ~0x01);
    return raised && lowered;
}

void TnrLPT::SendChar(char c)
{
    WriteOne(c);
}

quint32 TnrLPT::WriteBlock(const char* Buffer, quint32 Length)
{
    quint32 sent = 0;
    for (quint32 i = 0; i < Length && Active(); ++i) {
        // Status bit 7 set: the printer is not busy.
        if (controlBusy_ && !WaitForStatus(0x80, 0x80, kBusyWaitMs))
            continue;
        if (WriteOne(Buffer[i]))
            ++sent;
    }
    return sent;
}

void TnrLPT::SendData(const char* Buffer, quint32 Length)
{
    if (!Active())
        return;
    AddLog(dlDetail, QString::asprintf("Try to send data. Length: %u", Length));
    WriteBlock(Buffer, Length);
}

void TnrLPT::SendString(const QByteArray& text)
{
    if (!Active() || text.isEmpty())
        return;
    AddLog(dlDetail, QStringLiteral("Try to send string %1 ...").arg(QString::fromLatin1(text)));
    WriteBlock(text.constData(), quint32(text.size()));
}

void TnrLPT::DeviceListLoad()
{
    DeviceListClear();
    deviceBases_.clear();
    for (const LptPortEntry& port : ListParallelPorts(procRoot_)) {
        auto device = std::make_unique<TnrDevice>();
        device->NameFriendly = port.name;
        device->ComName = port.name;
        device->PortNumber = port.number;
        device->KernelName = QStringLiteral("parport%1").arg(port.number - 1);
        device->PortName = deviceRoot_ + QLatin1Char('/') + device->KernelName;
        AddDevice(std::move(device));
        deviceBases_.push_back(port.ioBase);
    }
}

int TnrLPT::GetDeviceIndex() const
{
    return IndexOfDeviceData(portNo_);
}

void TnrLPT::SetDeviceIndex(int i)
{
    const TnrDevice* device = GetDevice(i);
    if (device != nullptr)
        SetLptPortNo(device->PortNumber);
}

quint16 TnrLPT::DeviceIOBase(int i) const
{
    return i >= 0 && size_t(i) < deviceBases_.size() ? deviceBases_[size_t(i)] : 0;
}
