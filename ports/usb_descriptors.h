#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>
#include <vector>

// USB 2.0, 9.6.6: an endpoint descriptor.
struct UsbEndpointDescriptor
{
    quint8 address = 0;     // bit 7 set: IN
    quint8 attributes = 0;  // low two bits: transfer type
    quint16 maxPacketSize = 0;
};

// USB 2.0, 9.6.3: a configuration with the endpoints of its interfaces'
// first alternate settings, the pipes the device has open once configured.
struct UsbConfigurationDescriptor
{
    quint8 value = 0;
    quint8 attributes = 0;
    quint8 maxPower = 0;  // in units of 2 mA
    std::vector<UsbEndpointDescriptor> endpoints;
};

// USB 2.0, 9.6.1: the device descriptor.
struct UsbDeviceDescriptor
{
    quint16 bcdUSB = 0;
    quint8 deviceClass = 0;
    quint8 maxPacketSize0 = 0;
    quint16 idVendor = 0;
    quint16 idProduct = 0;
    quint16 bcdDevice = 0;
    quint8 iManufacturer = 0;
    quint8 iProduct = 0;
    quint8 iSerialNumber = 0;
};

// What sysfs's "descriptors" file holds: the device descriptor followed by
// every configuration with its interface, endpoint and class descriptors.
struct UsbDescriptorSet
{
    std::optional<UsbDeviceDescriptor> device;
    std::vector<UsbConfigurationDescriptor> configurations;
};

// Walks the descriptor chain by bLength; a descriptor that is too short or
// cut off ends the walk, so any bytes give a (possibly empty) result.
UsbDescriptorSet ParseUsbDescriptors(QByteArrayView bytes);
