#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <vector>

// USB descriptors as a device sends them (USB 2.0, 9.6).
namespace UsbBytes {

inline void Put16(QByteArray& bytes, int value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8 & 0xFF));
}

inline QByteArray Device(int bcdUSB, int deviceClass, int maxPacket0, int vendor, int product, int iManufacturer,
                         int iProduct, int iSerial)
{
    QByteArray bytes;
    bytes.append(char(18)).append(char(1));
    Put16(bytes, bcdUSB);
    bytes.append(char(deviceClass)).append(char(0)).append(char(0)).append(char(maxPacket0));
    Put16(bytes, vendor);
    Put16(bytes, product);
    Put16(bytes, 0x0100);
    bytes.append(char(iManufacturer)).append(char(iProduct)).append(char(iSerial)).append(char(1));
    return bytes;
}

struct Endpoint
{
    int address;
    int attributes;
    int maxPacket;
};

struct Interface
{
    int number;
    int alternate;
    int interfaceClass;
    std::vector<Endpoint> endpoints;
};

inline QByteArray Configuration(int value, int attributes, int maxPower, const std::vector<Interface>& interfaces)
{
    QByteArray body;
    for (const Interface& interface : interfaces) {
        body.append(char(9)).append(char(4)).append(char(interface.number)).append(char(interface.alternate));
        body.append(char(interface.endpoints.size())).append(char(interface.interfaceClass));
        body.append(char(0)).append(char(0)).append(char(0));
        // A class-specific descriptor between interface and endpoints, as HID has.
        body.append(char(3)).append(char(0x21)).append(char(0));
        for (const Endpoint& endpoint : interface.endpoints) {
            body.append(char(7)).append(char(5)).append(char(endpoint.address)).append(char(endpoint.attributes));
            Put16(body, endpoint.maxPacket);
            body.append(char(1));
        }
    }
    QByteArray bytes;
    bytes.append(char(9)).append(char(2));
    Put16(bytes, 9 + int(body.size()));
    bytes.append(char(interfaces.size())).append(char(value)).append(char(0)).append(char(attributes));
    bytes.append(char(maxPower));
    return bytes + body;
}

}  // namespace UsbBytes

// A throw-away tree laid out like /sys: device folders below a controller
// in devices/, linked by name from bus/usb/devices.
class FakeUsbSysfs
{
public:
    FakeUsbSysfs() { QDir(dir_.path()).mkpath(QStringLiteral("bus/usb/devices")); }

    QString Devices() const { return dir_.filePath(QStringLiteral("bus/usb/devices")); }
    QString FolderOf(const QString& name) const { return QFileInfo(Devices() + QLatin1Char('/') + name).canonicalFilePath(); }

    // A device folder below its parent device (or the controller) and its link.
    QString AddDevice(const QString& name, const QString& parent)
    {
        const QString base = parent.isEmpty() ? dir_.filePath(QStringLiteral("devices/pci0000:00/0000:00:14.0"))
                                              : FolderOf(parent);
        const QString folder = base + QLatin1Char('/') + name;
        QDir().mkpath(folder);
        QFile::link(folder, Devices() + QLatin1Char('/') + name);
        Driver(folder, QStringLiteral("usb"));
        return folder;
    }

    // An interface folder of a device, bound to `driver`.
    QString AddInterface(const QString& device, const QString& suffix, const QString& driver, const QByteArray& cls)
    {
        const QString folder = FolderOf(device) + QLatin1Char('/') + device + QLatin1Char(':') + suffix;
        QDir().mkpath(folder);
        Write(folder, "bInterfaceClass", cls);
        if (!driver.isEmpty())
            Driver(folder, driver);
        return folder;
    }

    void Write(const QString& folder, const char* name, const QByteArray& content) const
    {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        file.open(QIODevice::WriteOnly);
        file.write(content);
    }

    void Remove(const QString& name)
    {
        QDir(FolderOf(name)).removeRecursively();
        QFile::remove(Devices() + QLatin1Char('/') + name);
    }

    // The tree the USB tests share: a root hub, a hub with a storage device,
    // a serial adapter without serial number and a device without a
    // descriptors file behind it, and a mouse on the root hub.
    void AddStandardTree()
    {
        using namespace UsbBytes;
        QString folder = AddDevice(QStringLiteral("usb1"), QString());
        Write(folder, "descriptors",
              Device(0x0200, 9, 64, 0x1d6b, 0x0002, 3, 2, 1) + Configuration(1, 0xE0, 0, {{0, 0, 9, {{0x81, 3, 4}}}}));
        Attributes(folder, "480", 1, 1, "Linux 6.1.0 xhci-hcd", "xHCI Host Controller", "0000:00:14.0");

        folder = AddDevice(QStringLiteral("1-1"), QStringLiteral("usb1"));
        Write(folder, "descriptors",
              Device(0x0200, 9, 64, 0x05e3, 0x0608, 0, 1, 0) + Configuration(1, 0xE0, 50, {{0, 0, 9, {{0x81, 3, 1}}}}));
        Attributes(folder, "480", 1, 2, "", "USB2.0 Hub", "");
        AddInterface(QStringLiteral("1-1"), QStringLiteral("1.0"), QStringLiteral("hub"), "09");

        folder = AddDevice(QStringLiteral("1-1.1"), QStringLiteral("1-1"));
        Write(folder, "descriptors",
              Device(0x0200, 0, 64, 0x0781, 0x5567, 1, 2, 3) +
                  Configuration(1, 0x80, 50,
                                {{0, 0, 8, {{0x81, 2, 512}, {0x02, 2, 512}}}, {0, 1, 8, {{0x83, 3, 8}}}}));
        Attributes(folder, "480", 1, 5, "SanDisk", "Cruzer Blade", "4C530001230512115093");
        const QString storage = AddInterface(QStringLiteral("1-1.1"), QStringLiteral("1.0"),
                                             QStringLiteral("usb-storage"), "08");
        QDir().mkpath(storage + QStringLiteral("/host6/target6:0:0/6:0:0:0/block/sdb/sdb1"));

        folder = AddDevice(QStringLiteral("1-1.2"), QStringLiteral("1-1"));
        Write(folder, "descriptors",
              Device(0x0110, 0, 64, 0x067b, 0x2303, 1, 2, 0) +
                  Configuration(1, 0xA0, 50, {{0, 0, 0xff, {{0x81, 3, 10}, {0x02, 2, 64}, {0x83, 2, 64}}}}));
        Attributes(folder, "12", 1, 6, "Prolific Technology Inc.", "USB-Serial Controller", "");
        const QString serial = AddInterface(QStringLiteral("1-1.2"), QStringLiteral("1.0"), QStringLiteral("pl2303"),
                                            "ff");
        QDir().mkpath(serial + QStringLiteral("/ttyUSB0/tty/ttyUSB0"));

        // Sorted by port number, not by name: 1-1.10 comes after 1-1.2.
        folder = AddDevice(QStringLiteral("1-1.10"), QStringLiteral("1-1"));
        Attributes(folder, "12", 1, 7, "", "USB2.0-Ser!", "");
        Write(folder, "idVendor", "1a86\n");
        Write(folder, "idProduct", "7523\n");
        Write(folder, "version", " 1.10\n");
        Write(folder, "bMaxPacketSize0", "8\n");
        Write(folder, "bDeviceClass", "ff\n");

        folder = AddDevice(QStringLiteral("1-2"), QStringLiteral("usb1"));
        Write(folder, "descriptors",
              Device(0x0200, 0, 8, 0x046d, 0xc077, 1, 2, 0) + Configuration(1, 0xA0, 50, {{0, 0, 3, {{0x81, 3, 4}}}}));
        Attributes(folder, "1.5", 1, 3, "Logitech", "USB Optical Mouse", "");
        AddInterface(QStringLiteral("1-2"), QStringLiteral("1.0"), QStringLiteral("usbhid"), "03");
    }

private:
    void Attributes(const QString& folder, const QByteArray& speed, int bus, int address, const QByteArray& manufacturer,
                    const QByteArray& product, const QByteArray& serial) const
    {
        Write(folder, "speed", speed + '\n');
        Write(folder, "busnum", QByteArray::number(bus) + '\n');
        Write(folder, "devnum", QByteArray::number(address) + '\n');
        Write(folder, "bConfigurationValue", "1\n");
        Write(folder, "authorized", "1\n");
        if (!manufacturer.isEmpty())
            Write(folder, "manufacturer", manufacturer + '\n');
        if (!product.isEmpty())
            Write(folder, "product", product + '\n');
        if (!serial.isEmpty())
            Write(folder, "serial", serial + '\n');
    }

    void Driver(const QString& folder, const QString& driver) const
    {
        const QString target = dir_.filePath(QStringLiteral("bus/usb/drivers/") + driver);
        QDir().mkpath(target);
        QFile::link(target, folder + QStringLiteral("/driver"));
    }

    QTemporaryDir dir_;
};
