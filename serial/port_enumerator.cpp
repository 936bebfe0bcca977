#include "serial/port_enumerator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString ReadTrimmed(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}

// Properties ("E:KEY=value" lines) of one device in the udev database.
QHash<QString, QString> ReadUdevProperties(const PortScanRoots& roots, const QString& majorMinor)
{
    QHash<QString, QString> properties;
    if (majorMinor.isEmpty())
        return properties;
    QFile file(roots.udevData + QStringLiteral("/c") + majorMinor);
    if (!file.open(QIODevice::ReadOnly))
        return properties;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.startsWith(QLatin1String("E:")))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 2)
            properties.insert(line.mid(2, equals - 2), line.mid(equals + 1));
    }
    return properties;
}

// The USB device (the directory holding idVendor) above a tty's device, or
// an empty text for ports on other buses.
QString UsbDeviceDir(const QString& deviceDir)
{
    QDir dir(deviceDir);
    for (int level = 0; level < 6; ++level) {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("idVendor"))))
            return dir.absolutePath();
        if (!dir.cdUp())
            break;
    }
    return QString();
}

QString FirstNonEmpty(std::initializer_list<QString> texts)
{
    for (const QString& text : texts)
        if (!text.isEmpty())
            return text;
    return QString();
}

// udev keeps blanks of ID_MODEL and ID_VENDOR as underscores.
QString Unmangled(const QString& udevText)
{
    return QString(udevText).replace(QLatin1Char('_'), QLatin1Char(' '));
}

}  // namespace

std::vector<SerialPortInfo> EnumerateSerialPorts(const PortScanRoots& roots)
{
    static const QRegularExpression uartName(QStringLiteral("^ttyS(\\d+)$"));
    std::vector<SerialPortInfo> ports;
    const QDir classDir(roots.sys + QStringLiteral("/class/tty"));
    const QStringList names = classDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString ttyDir = classDir.filePath(name);
        const QFileInfo deviceLink(ttyDir + QStringLiteral("/device"));
        if (!deviceLink.exists())
            continue;
        const QString typeText = ReadTrimmed(ttyDir + QStringLiteral("/type"));
        if (!typeText.isEmpty() && typeText.toInt() == 0)
            continue;

        const QString deviceDir = deviceLink.canonicalFilePath();
        const QHash<QString, QString> udev = ReadUdevProperties(roots, ReadTrimmed(ttyDir + QStringLiteral("/dev")));
        const QString usbDir = UsbDeviceDir(deviceDir);
        auto usbText = [&usbDir](const char* file) {
            return usbDir.isEmpty() ? QString() : ReadTrimmed(usbDir + QLatin1Char('/') + QLatin1String(file));
        };

        SerialPortInfo port;
        port.name = name;
        port.path = roots.dev + QLatin1Char('/') + name;
        port.driver = QFileInfo(deviceDir + QStringLiteral("/driver")).canonicalFilePath().section(QLatin1Char('/'), -1);
        port.description = FirstNonEmpty({udev.value(QStringLiteral("ID_MODEL_FROM_DATABASE")), usbText("product"),
                                          Unmangled(udev.value(QStringLiteral("ID_MODEL"))), port.driver});
        port.manufacturer = FirstNonEmpty({udev.value(QStringLiteral("ID_VENDOR_FROM_DATABASE")),
                                           usbText("manufacturer"), Unmangled(udev.value(QStringLiteral("ID_VENDOR")))});
        port.serialNumber = FirstNonEmpty({usbText("serial"), udev.value(QStringLiteral("ID_SERIAL_SHORT"))});
        const QRegularExpressionMatch uart = uartName.match(name);
        port.portNumber = uart.hasMatch() ? uart.captured(1).toInt() + 1 : 0;
        ports.push_back(port);
    }

    // Ports without a COM-like number get keys above every COM number, in name order.
    int next = kFirstUnnumberedPort;
    for (SerialPortInfo& port : ports)
        if (port.portNumber == 0)
            port.portNumber = next++;
    std::stable_sort(ports.begin(), ports.end(),
                     [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.portNumber < b.portNumber; });
    return ports;
}

QString FriendlyPortName(const SerialPortInfo& port)
{
    if (port.description.isEmpty())
        return port.name;
    return port.name + QStringLiteral(" (") + port.description + QLatin1Char(')');
}
