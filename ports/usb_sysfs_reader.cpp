#include "ports/usb_sysfs_reader.h"

#include "ports/usb_name_source.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr qint64 kAttributeLimit = 4096;
constexpr qint64 kDescriptorLimit = 64 * 1024;
constexpr int kSearchLimit = 4096;
constexpr quint8 kHubClass = 9;
constexpr quint8 kStorageClass = 8;

QByteArray ReadBytes(const QString& path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(limit);
}

QString ReadText(const QString& folder, const char* name)
{
    return QString::fromUtf8(ReadBytes(folder + QLatin1Char('/') + QLatin1String(name), kAttributeLimit)).trimmed();
}

bool Exists(const QString& folder, const char* name)
{
    return QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(name));
}

uint ReadNumber(const QString& folder, const char* name, int base, bool* ok = nullptr)
{
    return ReadText(folder, name).toUInt(ok, base);
}

QString LinkName(const QString& path)
{
    const QString target = QFileInfo(path).symLinkTarget();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}

// " 2.00" → 0x0200.
quint16 VersionToBcd(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    const uint major = parts.value(0).toUInt();
    const QString minor = parts.value(1).leftJustified(2, QLatin1Char('0')).left(2);
    return quint16((major & 0xFF) << 8 | (minor.toUInt(nullptr, 16) & 0xFF));
}

TUsbSpeed SpeedOf(const QString& text)
{
    const double mbits = text.toDouble();
    if (mbits > 0 && mbits < 12)
        return usLow;
    if (mbits >= 5000)
        return usSuper;
    if (mbits >= 480)
        return usHigh;
    return usFull;
}

// The serial ports and block devices below an interface folder.
void SearchInterface(const QString& folder, QStringList& ttys, QStringList& blocks, QString& disks)
{
    static const QRegularExpression ttyName(QStringLiteral("^tty(USB|ACM)\\d+$"));
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDirIterator::Subdirectories);
    for (int seen = 0; it.hasNext() && seen < kSearchLimit; ++seen) {
        const QString path = it.next();
        const QString name = it.fileName();
        if (ttyName.match(name).hasMatch() && !ttys.contains(name))
            ttys << name;
        if (QFileInfo(path).dir().dirName() != QLatin1String("block") || blocks.contains(name))
            continue;
        blocks << name;
        QStringList partitions = QDir(path).entryList({name + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
        partitions.removeAll(name);
        if (partitions.isEmpty())
            partitions << name;
        std::sort(partitions.begin(), partitions.end());
        for (const QString& partition : partitions)
            disks += QStringLiteral("/dev/") + partition + QLatin1Char(' ');
    }
}

}  // namespace

UsbSysfsReader::UsbSysfsReader(QString root, const UsbNameSource* names) : root_(std::move(root)), names_(names) {}

std::vector<int> UsbSysfsReader::TreeKey(const QString& name)
{
    static const QRegularExpression rootHub(QStringLiteral("^usb(\\d+)$"));
    static const QRegularExpression device(QStringLiteral("^(\\d+)-(\\d+(?:\\.\\d+)*)$"));
    std::vector<int> key;
    if (const QRegularExpressionMatch match = rootHub.match(name); match.hasMatch()) {
        key.push_back(match.captured(1).toInt());
    } else if (const QRegularExpressionMatch match = device.match(name); match.hasMatch()) {
        key.push_back(match.captured(1).toInt());
        for (const QString& port : match.captured(2).split(QLatin1Char('.')))
            key.push_back(port.toInt());
    }
    return key;
}

std::vector<TnrUsbDevice> UsbSysfsReader::ReadTree() const
{
    std::vector<std::pair<std::vector<int>, QString>> names;
    for (const QString& name : QDir(root_).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::vector<int> key = TreeKey(name);
        if (!key.empty())
            names.emplace_back(std::move(key), name);
    }
    std::sort(names.begin(), names.end());
    std::vector<TnrUsbDevice> devices;
    devices.reserve(names.size());
    for (const auto& entry : names)
        devices.push_back(ReadDevice(entry.second));
    return devices;
}

TnrUsbDevice UsbSysfsReader::ReadDevice(const QString& name) const
{
    const QString link = root_ + QLatin1Char('/') + name;
    QString folder = QFileInfo(link).canonicalFilePath();
    if (folder.isEmpty())
        folder = link;

    TnrUsbDevice device;
    device.InstanceId = name;
    device.SysfsPath = folder;

    const UsbDescriptorSet set = ParseUsbDescriptors(ReadBytes(folder + QStringLiteral("/descriptors"), kDescriptorLimit));
    quint16 bcdUSB = 0;
    quint8 deviceClass = 0;
    if (set.device) {
        bcdUSB = set.device->bcdUSB;
        deviceClass = set.device->deviceClass;
        device.idVendor = set.device->idVendor;
        device.idProduct = set.device->idProduct;
        device.maxPacketSize0 = set.device->maxPacketSize0;
        device.iManufacturer = set.device->iManufacturer;
        device.iProduct = set.device->iProduct;
        device.iSerialNumber = set.device->iSerialNumber;
    } else {
        bcdUSB = VersionToBcd(ReadText(folder, "version"));
        deviceClass = quint8(ReadNumber(folder, "bDeviceClass", 16));
        device.idVendor = quint16(ReadNumber(folder, "idVendor", 16));
        device.idProduct = quint16(ReadNumber(folder, "idProduct", 16));
        device.maxPacketSize0 = quint8(ReadNumber(folder, "bMaxPacketSize0", 10));
    }
    device.versionMajor = quint8(bcdUSB >> 8);
    device.versionMinor = quint8((bcdUSB & 0xF0) >> 4);
    device.isHub = deviceClass == kHubClass || name.startsWith(QLatin1String("usb"));
    device.speed = SpeedOf(ReadText(folder, "speed"));

    // The configuration the device runs in; none while it is unconfigured.
    bool configured = false;
    const uint current = ReadNumber(folder, "bConfigurationValue", 10, &configured);
    const bool unknown = !Exists(folder, "bConfigurationValue");
    for (const UsbConfigurationDescriptor& configuration : set.configurations) {
        if (unknown || (configured && configuration.value == current)) {
            device.configuration = configuration;
            break;
        }
    }
    if (device.configuration)
        for (const UsbEndpointDescriptor& endpoint : device.configuration->endpoints)
            device.pipes.push_back({int(device.pipes.size()), endpoint});

    const QString manufacturer = ReadText(folder, "manufacturer");
    const QString product = ReadText(folder, "product");
    device.SerialNumber = ReadText(folder, "serial");
    for (const auto& [index, text] : {std::pair{device.iManufacturer, manufacturer},
                                      std::pair{device.iProduct, product},
                                      std::pair{device.iSerialNumber, device.SerialNumber}})
        if (index != 0 && !text.isEmpty())
            device.deviceStrings.emplace_back(index, text);

    const QString vendorName = names_ ? names_->VendorName(device.idVendor) : QString();
    const QString productName = names_ ? names_->ProductName(device.idVendor, device.idProduct) : QString();
    device.Manufacturer = !vendorName.isEmpty() ? vendorName : manufacturer;
    device.Description = !productName.isEmpty() ? productName : product;
    if (device.Description.isEmpty())
        device.Description = QStringLiteral("unknown device");
    device.NameFriendly = device.Description;

    bool busOk = false, devOk = false;
    const uint bus = ReadNumber(folder, "busnum", 10, &busOk);
    const uint address = ReadNumber(folder, "devnum", 10, &devOk);
    if (busOk && devOk)
        device.NameSymbolic = QString::asprintf("/dev/bus/usb/%03u/%03u", bus, address);
    device.Driver = LinkName(folder + QStringLiteral("/driver"));

    QStringList services, ttys;
    const QStringList interfaces =
        QDir(folder).entryList({name + QStringLiteral(":*")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& interface : interfaces) {
        const QString path = folder + QLatin1Char('/') + interface;
        const QString driver = LinkName(path + QStringLiteral("/driver"));
        if (!driver.isEmpty() && !services.contains(driver))
            services << driver;
        if (driver == QLatin1String("usb-storage") || driver == QLatin1String("uas") ||
            ReadNumber(path, "bInterfaceClass", 16) == kStorageClass)
            device.isStorage = true;
        SearchInterface(path, ttys, device.blockDevices, device.Disks);
    }
    device.Service = services.join(QLatin1Char(','));
    for (const QString& tty : ttys)
        device.PortName += (device.PortName.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("/dev/") + tty;
    return device;
}
