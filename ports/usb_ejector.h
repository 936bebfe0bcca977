#pragma once

#include <QString>

struct TnrUsbDevice;

// Asks the platform to remove a device safely.
class UsbEjector
{
public:
    virtual ~UsbEjector() = default;
    // Empty when the device was ejected; otherwise why the platform refused.
    virtual QString Eject(const TnrUsbDevice& device) = 0;
};

// Storage devices through udisks2 on the system bus (file systems
// unmounted, then the drive powered off); any other device by clearing its
// "authorized" flag in sysfs, which unbinds its drivers.
class SystemUsbEjector : public UsbEjector
{
public:
    QString Eject(const TnrUsbDevice& device) override;

    static QString Deauthorize(const QString& sysfsPath);
};
