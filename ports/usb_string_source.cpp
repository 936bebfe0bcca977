#include "ports/usb_string_source.h"

#include "ports/tnr_usb_device.h"

#include <algorithm>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr quint8 kStringType = 3;
constexpr quint16 kEnglishUs = 0x0409;

// One GET_DESCRIPTOR(STRING) request; the bytes the device answered.
QByteArray RequestString(int fd, quint8 index, quint16 language)
{
    unsigned char buffer[255] = {};
    usbdevfs_ctrltransfer transfer{};
    transfer.bRequestType = 0x80;  // device to host, standard, device
    transfer.bRequest = 6;         // GET_DESCRIPTOR
    transfer.wValue = quint16(kStringType << 8 | index);
    transfer.wIndex = language;
    transfer.wLength = sizeof buffer;
    transfer.timeout = UsbfsStringSource::kTimeoutMs;
    transfer.data = buffer;
    const int received = ::ioctl(fd, USBDEVFS_CONTROL, &transfer);
    return received > 0 ? QByteArray(reinterpret_cast<const char*>(buffer), received) : QByteArray();
}

}  // namespace

QString DecodeUsbStringDescriptor(QByteArrayView bytes)
{
    if (bytes.size() < 2 || quint8(bytes[1]) != kStringType)
        return QString();
    const qsizetype length = std::min<qsizetype>(quint8(bytes[0]), bytes.size());
    QString text;
    for (qsizetype at = 2; at + 1 < length; at += 2)
        text += QChar(char16_t(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8));
    return text;
}

std::optional<QStringList> UsbfsStringSource::ReadStrings(const TnrUsbDevice& device, int count) const
{
    if (device.NameSymbolic.isEmpty())
        return std::nullopt;
    const int fd = ::open(device.NameSymbolic.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    // String 0 lists the languages; the first one is asked for.
    const QByteArray languages = RequestString(fd, 0, 0);
    const quint16 language = languages.size() >= 4 && quint8(languages[1]) == kStringType
                                 ? quint16(quint8(languages[2]) | quint8(languages[3]) << 8)
                                 : kEnglishUs;
    QStringList strings;
    for (int index = 1; index <= count; ++index) {
        const QString text = DecodeUsbStringDescriptor(RequestString(fd, quint8(index), language));
        if (text.isEmpty())
            break;
        strings << text;
    }
    ::close(fd);
    return strings;
}
