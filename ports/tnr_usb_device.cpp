#include "ports/tnr_usb_device.h"

#include "ports/usb_string_source.h"

TUsbTransferType TnrUsbPipe::GetTransferType() const
{
    if (!endpoint)
        return ttUnknown;
    return TUsbTransferType(int(ttControl) + (endpoint->attributes & 0x03));
}

QString TnrUsbPipe::NameFriendly() const
{
    return QStringLiteral("Pipe [%1] %2 %3")
        .arg(position + 1)
        .arg(UsbTransferTypeName(GetTransferType()))
        .arg(GetMaxPacketSize());
}

QString TnrUsbPipe::Description() const
{
    return NameFriendly() + (GetDirectIn() ? QStringLiteral(" IN") : QStringLiteral(" OUT"));
}

const TnrUsbPipe* TnrUsbDevice::GetPipe(int i) const
{
    return i >= 0 && i < GetPipeCount() ? &pipes[size_t(i)] : nullptr;
}

int TnrUsbDevice::GetMaxPower() const
{
    return configuration && (configuration->attributes & 0x80) ? 2 * configuration->maxPower : 0;
}

bool TnrUsbDevice::GetIsWakeUp() const
{
    return configuration && (configuration->attributes & 0x20);
}

bool TnrUsbDevice::GetIsSelfPower() const
{
    return configuration && (configuration->attributes & 0x40);
}

bool TnrUsbDevice::GetIsBusPower() const
{
    return configuration && (configuration->attributes & 0x80);
}

QString TnrUsbDevice::StringAt(quint8 index) const
{
    if (index == 0)
        return QString();
    for (const auto& [at, text] : deviceStrings)
        if (at == index)
            return text;
    return QString();
}

void TnrUsbDevice::UpdateDescriptors(const UsbStringSource* source)
{
    constexpr int kMaxStrings = 16;
    descriptors.clear();
    const std::optional<QStringList> asked = source ? source->ReadStrings(*this, kMaxStrings) : std::nullopt;
    if (asked) {
        descriptors = asked->mid(0, kMaxStrings);
    } else {
        for (quint8 index = 1; index <= kMaxStrings; ++index) {
            const QString text = StringAt(index);
            if (text.isEmpty())
                break;
            descriptors << text;
        }
    }
    const auto at = [this](quint8 index) {
        return index >= 1 && index <= descriptors.size() ? descriptors[index - 1] : StringAt(index);
    };
    // Index 0 means the device names no such string; what is known stays.
    if (iManufacturer != 0)
        Manufacturer = at(iManufacturer);
    if (iProduct != 0)
        Description = at(iProduct);
    if (iSerialNumber != 0)
        SerialNumber = at(iSerialNumber);
}

QString UsbTransferTypeName(TUsbTransferType type)
{
    static const char* const kNames[] = {"Unknown", "Control", "Isochronous", "Bulk", "Interrupt"};
    return QString::fromLatin1(kNames[type]);
}

QString UsbSpeedName(TUsbSpeed speed)
{
    static const char* const kNames[] = {"Low", "Full", "High", "Super"};
    return QString::fromLatin1(kNames[speed]);
}
