#include "serial/tnr_custom_serial_comm.h"

#include <algorithm>
#include <memory>

namespace {

// The list entry of a device path the user typed.
std::unique_ptr<TnrDevice> TypedPathDevice(const QString& path, int number)
{
    auto device = std::make_unique<TnrDevice>();
    device->PortNumber = number;
    device->NameFriendly = path;
    device->KernelName = path.section(QLatin1Char('/'), -1);
    device->ComName = device->KernelName;
    device->PortName = path;
    return device;
}

}  // namespace

TnrCustomSerialComm::TnrCustomSerialComm(QObject* parent) : TnrCustomComm(parent) {}

PortScanRoots& TnrCustomSerialComm::DefaultScanRoots()
{
    static PortScanRoots roots;
    return roots;
}

void TnrCustomSerialComm::SetDefaultScanRoots(const PortScanRoots& roots)
{
    DefaultScanRoots() = roots;
}

void TnrCustomSerialComm::SetComPortNo(quint16 number)
{
    const bool wasOpen = Active();
    Close();
    comPortNo_ = number;
    try {
        if (wasOpen)
            Open();
    } catch (...) {
        DoNotify(kNotifyDevicesChanged);
        throw;
    }
    DoNotify(kNotifyDevicesChanged);
}

TComPort TnrCustomSerialComm::ComPort() const
{
    if (comPortNo_ < 1 || comPortNo_ > 8)
        return cpCOMxx;
    return static_cast<TComPort>(comPortNo_ - 1);
}

void TnrCustomSerialComm::SetComPort(TComPort port)
{
    if (port != cpCOMxx)
        SetComPortNo(static_cast<quint16>(port + 1));
}

TnrBaseIO::Handle TnrCustomSerialComm::RequestDeviceHandle()
{
    const QString name = GetPortName();
    return OpenPort(name, name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name);
}

QString TnrCustomSerialComm::GetPortName() const
{
    const TnrDevice* device = GetDevice(IndexOfDeviceData(comPortNo_));
    if (device == nullptr)
        return QStringLiteral("COM%1").arg(comPortNo_);
    return device->PortName;
}

int TnrCustomSerialComm::GetDeviceIndex() const
{
    return IndexOfDeviceData(comPortNo_);
}

void TnrCustomSerialComm::SetDeviceIndex(int i)
{
    if (const TnrDevice* device = GetDevice(i))
        SetComPortNo(static_cast<quint16>(device->PortNumber));
}

void TnrCustomSerialComm::DeviceListLoad()
{
    for (const SerialPortInfo& port : EnumerateSerialPorts(scanRoots_)) {
        auto device = std::make_unique<TnrDevice>();
        device->PortNumber = port.portNumber;
        device->NameFriendly = enumPorts_ == epQuickAll ? port.name : FriendlyPortName(port);
        device->KernelName = port.name;
        device->ComName = port.name;
        device->PortName = port.path;
        device->Description = port.description;
        device->Service = port.driver;
        device->Manufacturer = port.manufacturer;
        device->SerialNumber = port.serialNumber;
        AddDeviceSorted(std::move(device));
    }
    for (const auto& [path, number] : typedPaths_)
        AddDeviceSorted(TypedPathDevice(path, number));
}

void TnrCustomSerialComm::Update()
{
    DeviceListClear();
    DeviceListLoad();
    DoNotify(kNotifyDevicesChanged);
}

int TnrCustomSerialComm::AddPortPath(const QString& path)
{
    for (int i = 0; i < GetDeviceCount(); ++i)
        if (GetDevice(i)->PortName == path)
            return i;
    int number = kFirstUnnumberedPort;
    for (int i = 0; i < GetDeviceCount(); ++i)
        number = std::max(number, GetDevice(i)->PortNumber + 1);
    for (const auto& typed : typedPaths_)
        number = std::max(number, typed.second + 1);
    typedPaths_.emplace_back(path, number);
    return AddDeviceSorted(TypedPathDevice(path, number));
}
