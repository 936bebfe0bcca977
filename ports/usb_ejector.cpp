#include "ports/usb_ejector.h"

#include "ports/tnr_usb_device.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QVariantMap>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const kService = "org.freedesktop.UDisks2";
const char* const kBlockPrefix = "/org/freedesktop/UDisks2/block_devices/";

QString ErrorText(const QDBusMessage& reply)
{
    return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
}

// Unmounts every mounted file system on the disk and its partitions.
QString UnmountAll(QDBusConnection& bus, const QString& disk)
{
    QStringList blocks{disk};
    blocks += QDir(QStringLiteral("/sys/class/block/") + disk)
                  .entryList({disk + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& block : blocks) {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService),
                                                           QString::fromLatin1(kBlockPrefix) + block,
                                                           QStringLiteral("org.freedesktop.UDisks2.Filesystem"),
                                                           QStringLiteral("Unmount"));
        call << QVariantMap();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
        if (reply.type() != QDBusMessage::ErrorMessage)
            continue;
        const QString name = reply.errorName();
        // A block without a file system, or one that is not mounted, is fine.
        if (name == QLatin1String("org.freedesktop.UDisks2.Error.NotMounted") ||
            name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
            name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
            name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface"))
            continue;
        return ErrorText(reply);
    }
    return QString();
}

}  // namespace

QString SystemUsbEjector::Deauthorize(const QString& sysfsPath)
{
    const QByteArray path = (sysfsPath + QStringLiteral("/authorized")).toLocal8Bit();
    const int fd = ::open(path.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const bool written = ::write(fd, "0", 1) == 1;
    const int error = errno;
    ::close(fd);
    return written ? QString() : QString::fromLocal8Bit(std::strerror(error));
}

QString SystemUsbEjector::Eject(const TnrUsbDevice& device)
{
    if (!device.isStorage || device.blockDevices.isEmpty())
        return Deauthorize(device.SysfsPath);

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return bus.lastError().message().isEmpty() ? QStringLiteral("udisks2") : bus.lastError().message();
    for (const QString& disk : device.blockDevices) {
        if (const QString refused = UnmountAll(bus, disk); !refused.isEmpty())
            return refused;
        QDBusMessage get = QDBusMessage::createMethodCall(QString::fromLatin1(kService),
                                                          QString::fromLatin1(kBlockPrefix) + disk,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QStringLiteral("org.freedesktop.UDisks2.Block") << QStringLiteral("Drive");
        const QDBusMessage driveReply = bus.call(get, QDBus::Block, 10000);
        if (driveReply.type() == QDBusMessage::ErrorMessage)
            return ErrorText(driveReply);
        const QString drive =
            qvariant_cast<QDBusObjectPath>(qvariant_cast<QDBusVariant>(driveReply.arguments().value(0)).variant()).path();
        if (drive.isEmpty() || drive == QLatin1String("/"))
            return QStringLiteral("udisks2");
        for (const char* method : {"PowerOff", "Eject"}) {
            QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), drive,
                                                               QStringLiteral("org.freedesktop.UDisks2.Drive"),
                                                               QString::fromLatin1(method));
            call << QVariantMap();
            const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
            if (reply.type() != QDBusMessage::ErrorMessage)
                break;
            // A drive that cannot be powered off may still be ejected.
            if (std::strcmp(method, "Eject") == 0)
                return ErrorText(reply);
        }
    }
    return QString();
}
