#pragma once

#include <QByteArrayView>
#include <QStringList>

#include <optional>

struct TnrUsbDevice;

// Asks a device for its string descriptors.
class UsbStringSource
{
public:
    virtual ~UsbStringSource() = default;
    // Strings 1, 2, … up to `count`, stopping before the first one that is
    // empty or not answered; nullopt when the device cannot be asked at all.
    virtual std::optional<QStringList> ReadStrings(const TnrUsbDevice& device, int count) const = 0;
};

// GET_DESCRIPTOR requests through the device's usbfs node
// (/dev/bus/usb/BBB/DDD), which needs write access to the node.
class UsbfsStringSource : public UsbStringSource
{
public:
    static constexpr unsigned kTimeoutMs = 500;

    std::optional<QStringList> ReadStrings(const TnrUsbDevice& device, int count) const override;
};

// USB 2.0, 9.6.7: the UTF-16LE text of a string descriptor; empty when the
// bytes are no string descriptor.
QString DecodeUsbStringDescriptor(QByteArrayView bytes);
