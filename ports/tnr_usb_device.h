#pragma once

#include "ports/usb_descriptors.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class UsbStringSource;

enum TUsbTransferType { ttUnknown, ttControl, ttIsochronous, ttBulk, ttInterrupt };
enum TUsbSpeed { usLow = 0, usFull = 1, usHigh = 2, usSuper = 3 };

// One open pipe of a device: an endpoint of its current configuration.
struct TnrUsbPipe
{
    int position = 0;  // in the device's pipe list
    std::optional<UsbEndpointDescriptor> endpoint;

    quint8 GetPipeID() const { return endpoint ? endpoint->address : 0; }
    bool GetDirectIn() const { return (GetPipeID() & 0x80) != 0; }
    bool GetDirectOut() const { return !GetDirectIn(); }
    TUsbTransferType GetTransferType() const;
    quint16 GetMaxPacketSize() const { return endpoint ? endpoint->maxPacketSize : 0; }
    // "Pipe [1] Bulk 512"
    QString NameFriendly() const;
    // "Pipe [1] Bulk 512 IN"
    QString Description() const;
};

// One device of the USB tree, as sysfs and the hardware database describe it.
struct TnrUsbDevice
{
    QString Description;
    QString NameFriendly;
    QString NameSymbolic;  // the usbfs node, e.g. /dev/bus/usb/001/004
    QString Driver;        // the device's own driver ("usb")
    QString Service;       // its interfaces' drivers, e.g. "usb-storage"
    QString PortName;      // the serial ports behind it, e.g. /dev/ttyUSB0
    QString Manufacturer;
    QString SerialNumber;
    QString InstanceId;    // the sysfs name, e.g. "1-1.2"
    QString SysfsPath;     // the device's folder in /sys/devices
    QString Disks;         // the block devices behind a storage device, each followed by a blank

    quint16 idVendor = 0;
    quint16 idProduct = 0;
    quint8 maxPacketSize0 = 0;
    TUsbSpeed speed = usFull;
    quint8 versionMajor = 0;
    quint8 versionMinor = 0;
    bool isHub = false;
    bool isStorage = false;
    QStringList blockDevices;  // "sdb", for ejecting

    quint8 iManufacturer = 0;
    quint8 iProduct = 0;
    quint8 iSerialNumber = 0;
    // The strings the device offers at its indexes, as read from sysfs.
    std::vector<std::pair<quint8, QString>> deviceStrings;

    std::optional<UsbConfigurationDescriptor> configuration;
    std::vector<TnrUsbPipe> pipes;
    // String descriptors 1, 2, ... up to the first empty one.
    QStringList descriptors;

    int GetPipeCount() const { return int(pipes.size()); }
    const TnrUsbPipe* GetPipe(int i) const;
    int GetMaxPower() const;
    bool GetIsWakeUp() const;
    bool GetIsSelfPower() const;
    bool GetIsBusPower() const;
    const QStringList& GetDescriptors() const { return descriptors; }
    // Reads the string descriptors again, from the device when `source` can
    // ask it, else the strings sysfs keeps, and takes Manufacturer,
    // Description and SerialNumber from them.
    void UpdateDescriptors(const UsbStringSource* source = nullptr);
    // The string at a descriptor index; empty when the device has none.
    QString StringAt(quint8 index) const;
};

QString UsbTransferTypeName(TUsbTransferType type);
QString UsbSpeedName(TUsbSpeed speed);
