#include "app/disk_serial.h"

#include "app/version_answer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QByteArray ReadSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024);
}

bool IsPhysicalDisk(const QString& root, const QString& name)
{
    for (const char* virtualKind : {"loop", "ram", "zram", "dm-", "md", "sr", "nbd", "fd"})
        if (name.startsWith(QLatin1String(virtualKind)))
            return false;
    return QFileInfo::exists(root + QStringLiteral("/sys/block/") + name + QStringLiteral("/device"));
}

}  // namespace

TCnHardDiskInfo::TCnHardDiskInfo(QString root) : root_(std::move(root))
{
    QStringList names = QDir(root_ + QStringLiteral("/sys/block")).entryList(QDir::Dirs | QDir::NoDotAndDotDot |
                                                                             QDir::System);
    std::sort(names.begin(), names.end());
    for (const QString& name : names) {
        if (serials_.size() >= kMaxDisks)
            break;
        if (IsPhysicalDisk(root_, name))
            serials_.append(ReadSerial(name));
    }
}

QString TCnHardDiskInfo::GetDiskSerialNo(int index) const
{
    if (index < 0 || index >= serials_.size())
        return {};
    return VersionAnswer::NormaliseDiskSerial(serials_[index]);
}

QByteArray TCnHardDiskInfo::ReadSerial(const QString& disk) const
{
    const QString block = root_ + QStringLiteral("/sys/block/") + disk;
    // The udev database names the disk by its device numbers.
    const QByteArray numbers = ReadSmallFile(block + QStringLiteral("/dev")).trimmed();
    if (!numbers.isEmpty()) {
        const QByteArray data =
            ReadSmallFile(root_ + QStringLiteral("/run/udev/data/b") + QString::fromLatin1(numbers));
        QByteArray serial;
        for (const QByteArray& line : data.split('\n')) {
            if (line.startsWith("E:ID_SERIAL_SHORT="))
                return line.mid(18);
            if (line.startsWith("E:ID_SERIAL=") && serial.isEmpty())
                serial = line.mid(12);
        }
        if (!serial.isEmpty())
            return serial;
    }
    // NVMe and virtio disks tell it in sysfs as well.
    for (const char* file : {"/device/serial", "/serial"}) {
        const QByteArray serial = ReadSmallFile(block + QLatin1String(file));
        if (!serial.isEmpty())
            return serial.endsWith('\n') ? serial.chopped(1) : serial;
    }
    return {};
}
