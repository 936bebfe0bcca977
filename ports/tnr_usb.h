#pragma once

#include "io/tnr_base_io.h"
#include "io/tnr_log.h"
#include "ports/tnr_usb_device.h"

#include <memory>
#include <vector>

class UsbEjector;
class UsbNameSource;
class UsbStringSource;

// The USB device component: its device list holds the non-hub devices of
// the USB tree in tree order, and one of them may be selected. It is never
// opened by the page.
class TnrUSB : public TnrBaseIO
{
    Q_OBJECT

public:
    static constexpr int kEjectRequests = 4;
    static constexpr int kEjectRetryMs = 500;

    // The system's sysfs tree, hardware database and ejector.
    explicit TnrUSB(QObject* parent = nullptr);
    ~TnrUSB() override;

    // Tests read a fake tree, name nothing and eject through a stand-in.
    void SetSysfsRoot(const QString& root) { root_ = root; }
    void SetNameSource(std::shared_ptr<const UsbNameSource> names) { names_ = std::move(names); }
    void SetEjector(std::shared_ptr<UsbEjector> ejector) { ejector_ = std::move(ejector); }
    void SetEjectRetryMs(int ms) { ejectRetryMs_ = ms; }
    // Asks devices for their string descriptors; null keeps to sysfs.
    void SetStringSource(std::shared_ptr<const UsbStringSource> strings) { strings_ = std::move(strings); }
    const UsbStringSource* StringSource() const { return strings_.get(); }

    bool RequestDescriptors() const { return requestDescriptors_; }
    void SetRequestDescriptors(bool on) { requestDescriptors_ = on; }
    quint16 IdVendor() const { return idVendor_; }
    void SetIdVendor(quint16 id);
    quint16 IdProduct() const { return idProduct_; }
    void SetIdProduct(quint16 id);
    TnrLog* Log() const { return log_; }
    void SetLog(TnrLog* log) { log_ = log; }

    void DeviceListLoad() override;
    int GetDeviceIndex() const override { return deviceIndex_; }
    // Outside the list only the selection is dropped.
    void SetDeviceIndex(int i) override;
    // Walks the tree again and selects the same position.
    void Update() override;
    // A device was plugged in or removed: the tree is walked again and the
    // pickers reload.
    void WMDeviceChange();
    int DeviceIndexOf(quint16 vendor, quint16 product) const;

    TnrUsbDevice* SelectedDevice() const { return selected_; }
    // Asks the platform to eject the selected device, four times 500 ms
    // apart; throws with the platform's reason after the fourth refusal.
    void Eject();

private:
    void AddLog(TDetailLevel level, const QString& text) const;
    // The listed devices from the tree walked last.
    void RebuildList();

    QString root_;
    std::shared_ptr<const UsbNameSource> names_;
    std::shared_ptr<UsbEjector> ejector_;
    std::shared_ptr<const UsbStringSource> strings_;
    int ejectRetryMs_ = kEjectRetryMs;
    bool requestDescriptors_ = false;
    quint16 idVendor_ = 0;
    quint16 idProduct_ = 0;
    TnrLog* log_ = nullptr;
    int deviceIndex_ = -1;
    TnrUsbDevice* selected_ = nullptr;
    std::vector<TnrUsbDevice> tree_;
    std::vector<TnrUsbDevice*> listed_;
};

// The pair of bulk pipes of the USB device the page picked. The page only
// gives it the pipe positions; nothing opens it.
class TnrUSBPipePair : public TnrBaseIO
{
    Q_OBJECT

public:
    explicit TnrUSBPipePair(QObject* parent = nullptr) : TnrBaseIO(parent) {}

    TnrUSB* UsbDevice() const { return usbDevice_; }
    void SetUsbDevice(TnrUSB* device) { usbDevice_ = device; }
    // Positions in the device's pipe list; -1 for none.
    int PipeIn() const { return pipeIn_; }
    void SetPipeIn(int position) { pipeIn_ = position; }
    int PipeOut() const { return pipeOut_; }
    void SetPipeOut(int position) { pipeOut_ = position; }

protected:
    // Bulk transfers through usbfs are not supported: opening reports it.
    Handle RequestDeviceHandle() override;

private:
    TnrUSB* usbDevice_ = nullptr;
    int pipeIn_ = -1;
    int pipeOut_ = -1;
};
