// The sysfs USB reader on a device whose "descriptors" file is the input,
// and the property rows made of what it read.

#include "ports/usb_descriptors.h"
#include "ports/usb_property_rows.h"
#include "ports/usb_sysfs_reader.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/scratch_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>

namespace {

// A device folder with the usual attributes, linked as "1-1" from a root.
struct Tree
{
    Tree() : descriptors("descriptors"), root(QDir::tempPath() + QStringLiteral("/serialnet-usb-XXXXXX"))
    {
        const QString folder = QFileInfo(descriptors.Path()).absolutePath();
        for (const auto& [name, text] : {std::pair{"speed", "480\n"}, std::pair{"busnum", "1\n"},
                                         std::pair{"devnum", "4\n"}, std::pair{"bConfigurationValue", "1\n"},
                                         std::pair{"manufacturer", "Maker\n"}, std::pair{"product", "Gadget\n"},
                                         std::pair{"serial", "0001\n"}}) {
            QFile file(folder + QLatin1Char('/') + QLatin1String(name));
            FUZZ_CHECK(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        FUZZ_CHECK(root.isValid());
        FUZZ_CHECK(QFile::link(folder, root.filePath(QStringLiteral("1-1"))));
    }

    ScratchFile descriptors;
    QTemporaryDir root;
};

const QStringList kFixedRows = {"Description",  "SerialNumber",       "NameFriendly",          "NameSymbolic",
                                "Driver",       "PortName",           "Manufacturer",          "Max Power",
                                "Max Packet Size", "Vendor ID",       "Product I",             "Is Wake Up",
                                "Is Self Power", "Is Bus Power",      "USB Version",           "Speed (Low,Full,High)",
                                "Pipe Count"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Tree tree;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    tree.descriptors.Write(bytes);

    const UsbDescriptorSet set = ParseUsbDescriptors(bytes);
    FUZZ_CHECK(set.device.has_value() == (size >= 18 && data[0] >= 18 && data[0] <= size && data[1] == 1));
    size_t endpoints = 0;
    for (const UsbConfigurationDescriptor& configuration : set.configurations)
        endpoints += configuration.endpoints.size();
    FUZZ_CHECK(set.configurations.size() * 9 + endpoints * 7 <= size);

    TnrUsbDevice device = UsbSysfsReader(tree.root.path()).ReadDevice(QStringLiteral("1-1"));
    if (set.device) {
        FUZZ_CHECK(device.idVendor == set.device->idVendor && device.idProduct == set.device->idProduct);
        FUZZ_CHECK(device.isHub == (set.device->deviceClass == 9));
    }
    FUZZ_CHECK(device.GetMaxPower() >= 0 && device.GetMaxPower() <= 510);
    for (const TnrUsbPipe& pipe : device.pipes)
        FUZZ_CHECK(device.GetPipe(pipe.position) == &pipe);

    // Rows in their order, none empty, one per pipe, strings as read.
    for (int showing = 0; showing < 2; ++showing) {
        int bulk = 0, pipeRows = 0, fixed = -1;
        const std::vector<UsbPropertyRow> rows =
            UsbPropertyRows(device, [&bulk](const TnrUsbPipe& pipe) {
                FUZZ_CHECK(pipe.GetTransferType() == ttBulk);
                ++bulk;
            });
        for (const UsbPropertyRow& row : rows) {
            FUZZ_CHECK(!row.value.trimmed().isEmpty());
            const int at = int(kFixedRows.indexOf(row.property));
            if (at >= 0) {
                FUZZ_CHECK(at > fixed);
                fixed = at;
            }
            if (row.property.startsWith(QLatin1String("PIPE")))
                ++pipeRows;
        }
        FUZZ_CHECK(pipeRows == device.GetPipeCount());
        FUZZ_CHECK(bulk <= pipeRows);
        FUZZ_CHECK(device.descriptors.size() <= 3);
    }
    return 0;
}
