#include "ports/usb_descriptors.h"

namespace {

constexpr quint8 kDeviceType = 1;
constexpr quint8 kConfigurationType = 2;
constexpr quint8 kInterfaceType = 4;
constexpr quint8 kEndpointType = 5;

quint8 U8(QByteArrayView bytes, qsizetype at)
{
    return quint8(bytes[at]);
}

quint16 U16(QByteArrayView bytes, qsizetype at)
{
    return quint16(U8(bytes, at) | U8(bytes, at + 1) << 8);
}

}  // namespace

UsbDescriptorSet ParseUsbDescriptors(QByteArrayView bytes)
{
    UsbDescriptorSet set;
    bool inFirstAlternate = false;
    for (qsizetype at = 0; at + 2 <= bytes.size();) {
        const qsizetype length = U8(bytes, at);
        if (length < 2 || at + length > bytes.size())
            break;
        const QByteArrayView d = bytes.sliced(at, length);
        const quint8 type = U8(d, 1);
        if (type == kDeviceType && at == 0 && length >= 18) {
            UsbDeviceDescriptor device;
            device.bcdUSB = U16(d, 2);
            device.deviceClass = U8(d, 4);
            device.maxPacketSize0 = U8(d, 7);
            device.idVendor = U16(d, 8);
            device.idProduct = U16(d, 10);
            device.bcdDevice = U16(d, 12);
            device.iManufacturer = U8(d, 14);
            device.iProduct = U8(d, 15);
            device.iSerialNumber = U8(d, 16);
            set.device = device;
        } else if (type == kConfigurationType && length >= 9) {
            UsbConfigurationDescriptor configuration;
            configuration.value = U8(d, 5);
            configuration.attributes = U8(d, 7);
            configuration.maxPower = U8(d, 8);
            set.configurations.push_back(configuration);
            inFirstAlternate = false;
        } else if (type == kInterfaceType && length >= 9) {
            inFirstAlternate = U8(d, 3) == 0;
        } else if (type == kEndpointType && length >= 7 && inFirstAlternate && !set.configurations.empty()) {
            set.configurations.back().endpoints.push_back({U8(d, 2), U8(d, 3), U16(d, 4)});
        }
        at += length;
    }
    return set;
}
