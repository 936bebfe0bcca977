#include "ports/usb_property_rows.h"

namespace {

QString TrueFalse(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

}  // namespace

QString UsbIdText(quint16 id)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper() + QLatin1Char(' ') +
           QString::number(id);
}

std::vector<UsbPropertyRow> UsbPropertyRows(TnrUsbDevice& device,
                                            const std::function<void(const TnrUsbPipe&)>& bulkPipe,
                                            const UsbStringSource* strings)
{
    std::vector<UsbPropertyRow> rows;
    const auto add = [&rows](const QString& property, const QString& value) {
        if (!value.trimmed().isEmpty())
            rows.push_back({property, value});
    };
    add(QStringLiteral("Description"), device.Description);
    add(QStringLiteral("SerialNumber"), device.SerialNumber);
    add(QStringLiteral("NameFriendly"), device.NameFriendly);
    add(QStringLiteral("NameSymbolic"), device.NameSymbolic);
    add(QStringLiteral("Driver"), device.Driver);
    add(QStringLiteral("PortName"), device.PortName);
    add(QStringLiteral("Manufacturer"), device.Manufacturer);
    add(QStringLiteral("Max Power"), QString::number(device.GetMaxPower()) + QStringLiteral(" mA"));
    add(QStringLiteral("Max Packet Size"), QString::number(device.maxPacketSize0));
    add(QStringLiteral("Vendor ID"), UsbIdText(device.idVendor));
    add(QStringLiteral("Product I"), UsbIdText(device.idProduct));
    add(QStringLiteral("Is Wake Up"), TrueFalse(device.GetIsWakeUp()));
    add(QStringLiteral("Is Self Power"), TrueFalse(device.GetIsSelfPower()));
    add(QStringLiteral("Is Bus Power"), TrueFalse(device.GetIsBusPower()));
    add(QStringLiteral("USB Version"), QStringLiteral("%1.%2").arg(device.versionMajor).arg(device.versionMinor));
    add(QStringLiteral("Speed (Low,Full,High)"), UsbSpeedName(device.speed) + QLatin1Char(' '));
    add(QStringLiteral("Pipe Count"), QString::number(device.GetPipeCount()));
    for (const TnrUsbPipe& pipe : device.pipes) {
        add(QStringLiteral("PIPE%1 Description").arg(pipe.position), pipe.Description());
        if (pipe.GetTransferType() == ttBulk && bulkPipe)
            bulkPipe(pipe);
    }
    add(QStringLiteral("Service"), device.Service);
    add(QStringLiteral("Disk's"), device.Disks);
    device.UpdateDescriptors(strings);
    for (int n = 0; n < device.descriptors.size(); ++n)
        add(QStringLiteral("String Descriptor [%1]").arg(n + 1), device.descriptors[n]);
    return rows;
}
