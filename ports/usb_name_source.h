#pragma once

#include <QString>
#include <QtGlobal>

// Vendor and product names by id, from a hardware database.
class UsbNameSource
{
public:
    virtual ~UsbNameSource() = default;
    virtual QString VendorName(quint16 vendor) const = 0;
    virtual QString ProductName(quint16 vendor, quint16 product) const = 0;
};

struct udev;
struct udev_hwdb;

// udev's hardware database (usb.ids compiled into hwdb.bin). Where it is
// missing every name is empty.
class HwdbUsbNames : public UsbNameSource
{
public:
    HwdbUsbNames();
    ~HwdbUsbNames() override;
    HwdbUsbNames(const HwdbUsbNames&) = delete;
    HwdbUsbNames& operator=(const HwdbUsbNames&) = delete;

    QString VendorName(quint16 vendor) const override;
    QString ProductName(quint16 vendor, quint16 product) const override;

private:
    QString Lookup(const QByteArray& modalias, const char* key) const;

    udev* udev_ = nullptr;
    udev_hwdb* hwdb_ = nullptr;
};
