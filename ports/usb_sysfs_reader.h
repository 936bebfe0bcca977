#pragma once

#include "ports/tnr_usb_device.h"

#include <QString>

#include <vector>

class UsbNameSource;

// Reads the USB devices the kernel lists under /sys/bus/usb/devices: the
// root hubs "usbN" and the devices "B-P.P…" behind them (interfaces, named
// with a colon, are read as parts of their device).
class UsbSysfsReader
{
public:
    static inline const char* const kDefaultRoot = "/sys/bus/usb/devices";

    // `names` may be null: then only the device's own strings name it.
    explicit UsbSysfsReader(QString root = QString::fromLatin1(kDefaultRoot), const UsbNameSource* names = nullptr);

    // Every device, hubs included, in tree order: each bus's root hub, then
    // depth-first by port number.
    std::vector<TnrUsbDevice> ReadTree() const;
    // One device by its sysfs name.
    TnrUsbDevice ReadDevice(const QString& name) const;

    // Sorting key of a sysfs name: bus, then the port chain; empty for names
    // that are not devices.
    static std::vector<int> TreeKey(const QString& name);

private:
    QString root_;
    const UsbNameSource* names_;
};
