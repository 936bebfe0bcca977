#include "ports/tnr_usb.h"

#include "ports/usb_ejector.h"
#include "ports/usb_name_source.h"
#include "ports/usb_string_source.h"
#include "ports/usb_sysfs_reader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <stdexcept>

TnrUSB::TnrUSB(QObject* parent)
    : TnrBaseIO(parent),
      root_(QString::fromLatin1(UsbSysfsReader::kDefaultRoot)),
      names_(std::make_shared<HwdbUsbNames>()),
      ejector_(std::make_shared<SystemUsbEjector>()),
      strings_(std::make_shared<UsbfsStringSource>())
{
}

TnrUSB::~TnrUSB() = default;

void TnrUSB::AddLog(TDetailLevel level, const QString& text) const
{
    if (log_ != nullptr)
        log_->AddLog(level, QStringLiteral("TnrUSB: ") + text);
}

void TnrUSB::DeviceListLoad()
{
    // The selection points into the tree that is about to be replaced.
    selected_ = nullptr;
    tree_ = UsbSysfsReader(root_, names_.get()).ReadTree();
    RebuildList();
}

void TnrUSB::RebuildList()
{
    selected_ = nullptr;
    DeviceListClear();
    listed_.clear();
    for (TnrUsbDevice& device : tree_) {
        if (device.isHub)
            continue;
        if ((idProduct_ != 0 && idProduct_ != device.idProduct) || (idVendor_ != 0 && idVendor_ != device.idVendor))
            continue;
        auto entry = std::make_unique<TnrDevice>();
        entry->NameFriendly = device.NameFriendly;
        entry->Description = device.Description;
        entry->PortName = device.PortName;
        entry->Service = device.Service;
        entry->Manufacturer = device.Manufacturer;
        entry->SerialNumber = device.SerialNumber;
        entry->KernelName = device.InstanceId;
        entry->PortNumber = int(listed_.size());
        AddDevice(std::move(entry));
        listed_.push_back(&device);
    }
}

void TnrUSB::SetIdVendor(quint16 id)
{
    idVendor_ = id;
    RebuildList();
    SetDeviceIndex(deviceIndex_);
}

void TnrUSB::SetIdProduct(quint16 id)
{
    idProduct_ = id;
    RebuildList();
    SetDeviceIndex(deviceIndex_);
}

void TnrUSB::SetDeviceIndex(int i)
{
    selected_ = nullptr;
    if (i < 0 || size_t(i) >= listed_.size())
        return;
    deviceIndex_ = i;
    selected_ = listed_[size_t(i)];
    DoNotify(kNotifyDevicesChanged);
}

void TnrUSB::Update()
{
    const int remembered = deviceIndex_;
    DeviceListLoad();
    SetDeviceIndex(remembered);
    DoNotify(kNotifyDevicesChanged);
}

void TnrUSB::WMDeviceChange()
{
    DeviceListLoad();
    DoNotify(kNotifyDevicesChanged);
}

int TnrUSB::DeviceIndexOf(quint16 vendor, quint16 product) const
{
    for (size_t i = 0; i < listed_.size(); ++i)
        if (listed_[i]->idVendor == vendor && listed_[i]->idProduct == product)
            return int(i);
    return -1;
}

void TnrUSB::Eject()
{
    if (selected_ == nullptr) {
        DoFatalErrors(8, 0, QStringLiteral("Device is not selected"), false);
        return;
    }
    // The device may go away while the retries pump events: keep a copy.
    const TnrUsbDevice device = *selected_;
    AddLog(dlSimple, QStringLiteral("Eject USB device:") + device.NameFriendly + QStringLiteral(" | ") +
                         device.InstanceId);
    QString refused;
    for (int request = 1; request <= kEjectRequests; ++request) {
        refused = ejector_->Eject(device);
        if (refused.isEmpty())
            return;
        if (request == kEjectRequests)
            break;
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < ejectRetryMs_) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(10);
        }
    }
    throw std::runtime_error(refused.toStdString());
}

TnrBaseIO::Handle TnrUSBPipePair::RequestDeviceHandle()
{
    const TnrUsbDevice* device = usbDevice_ ? usbDevice_->SelectedDevice() : nullptr;
    const bool in = device && device->GetPipe(pipeIn_) != nullptr;
    const bool out = device && device->GetPipe(pipeOut_) != nullptr;
    if (!in && !out)
        DoFatalErrors(0, 0, QStringLiteral("Pipe IDs are wrong."), false);
    else
        DoFatalErrors(0, 0, QStringLiteral("USB pipes cannot be opened on this system."), false);
    return kInvalidHandle;
}
