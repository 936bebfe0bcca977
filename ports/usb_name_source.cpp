#include "ports/usb_name_source.h"

#include <cstring>
#include <libudev.h>

HwdbUsbNames::HwdbUsbNames()
{
    udev_ = udev_new();
    if (udev_ != nullptr)
        hwdb_ = udev_hwdb_new(udev_);
}

HwdbUsbNames::~HwdbUsbNames()
{
    if (hwdb_ != nullptr)
        udev_hwdb_unref(hwdb_);
    if (udev_ != nullptr)
        udev_unref(udev_);
}

QString HwdbUsbNames::Lookup(const QByteArray& modalias, const char* key) const
{
    if (hwdb_ == nullptr)
        return QString();
    udev_list_entry* entry = udev_hwdb_get_properties_list_entry(hwdb_, modalias.constData(), 0);
    for (; entry != nullptr; entry = udev_list_entry_get_next(entry)) {
        const char* name = udev_list_entry_get_name(entry);
        if (name != nullptr && std::strcmp(name, key) == 0)
            return QString::fromUtf8(udev_list_entry_get_value(entry)).trimmed();
    }
    return QString();
}

QString HwdbUsbNames::VendorName(quint16 vendor) const
{
    return Lookup(QString::asprintf("usb:v%04X", vendor).toLatin1(), "ID_VENDOR_FROM_DATABASE");
}

QString HwdbUsbNames::ProductName(quint16 vendor, quint16 product) const
{
    return Lookup(QString::asprintf("usb:v%04Xp%04X", vendor, product).toLatin1(), "ID_MODEL_FROM_DATABASE");
}
