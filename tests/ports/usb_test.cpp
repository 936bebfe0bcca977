#include "ports/tnr_usb.h"
#include "ports/usb_descriptors.h"
#include "ports/usb_ejector.h"
#include "ports/usb_name_source.h"
#include "ports/usb_property_rows.h"
#include "ports/usb_string_source.h"
#include "ports/usb_sysfs_reader.h"
#include "tests/ports/fake_usb_sysfs.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

using Rows = std::vector<std::pair<QString, QString>>;

Rows RowsOf(TnrUsbDevice& device, std::vector<int>* bulk = nullptr)
{
    Rows rows;
    for (const UsbPropertyRow& row : UsbPropertyRows(device, [bulk](const TnrUsbPipe& pipe) {
             if (bulk != nullptr)
                 bulk->push_back(pipe.position);
         }))
        rows.emplace_back(row.property, row.value);
    return rows;
}

Rows Expect(std::initializer_list<std::pair<const char*, const char*>> rows)
{
    Rows expected;
    for (const auto& [property, value] : rows)
        expected.emplace_back(QString::fromUtf8(property), QString::fromUtf8(value));
    return expected;
}

struct FakeNames : UsbNameSource
{
    QString VendorName(quint16 vendor) const override
    {
        return vendor == 0x046D ? QStringLiteral("Logitech, Inc.") : QString();
    }
    QString ProductName(quint16 vendor, quint16 product) const override
    {
        return vendor == 0x046D && product == 0xC077 ? QStringLiteral("M105 Optical Mouse") : QString();
    }
};

struct FakeEjector : UsbEjector
{
    QStringList requests;
    int refusals = 0;
    QString reason = QStringLiteral("Device or resource busy");
    QString Eject(const TnrUsbDevice& device) override
    {
        requests << device.InstanceId;
        return refusals-- > 0 ? reason : QString();
    }
};

struct FakeStrings : UsbStringSource
{
    std::optional<QStringList> strings;
    mutable int asked = 0;
    std::optional<QStringList> ReadStrings(const TnrUsbDevice&, int count) const override
    {
        ++asked;
        EXPECT_EQ(count, 16);
        return strings;
    }
};

class UsbTest : public ::testing::Test
{
protected:
    UsbTest()
    {
        sysfs.AddStandardTree();
        usb.SetSysfsRoot(sysfs.Devices());
        usb.SetNameSource(nullptr);
        usb.SetEjector(ejector);
        usb.SetEjectRetryMs(0);
        usb.GetDeviceList();
    }

    TnrUsbDevice* Select(int i)
    {
        usb.SetDeviceIndex(i);
        return usb.SelectedDevice();
    }

    FakeUsbSysfs sysfs;
    std::shared_ptr<FakeEjector> ejector = std::make_shared<FakeEjector>();
    TnrUSB usb;
};

TEST_F(UsbTest, DevicesBehindHubsAreListedInTreeOrderAndHubsNever)
{
    EXPECT_EQ(usb.GetDeviceList(), QStringList({QStringLiteral("Cruzer Blade"), QStringLiteral("USB-Serial Controller"),
                                                QStringLiteral("USB2.0-Ser!"), QStringLiteral("USB Optical Mouse")}));
    EXPECT_EQ(usb.GetDeviceIndex(), -1);
    EXPECT_EQ(usb.SelectedDevice(), nullptr);

    const std::vector<TnrUsbDevice> tree = UsbSysfsReader(sysfs.Devices()).ReadTree();
    QStringList order, hubs;
    for (const TnrUsbDevice& device : tree) {
        order << device.InstanceId;
        if (device.isHub)
            hubs << device.InstanceId;
    }
    EXPECT_EQ(order, QStringList({"usb1", "1-1", "1-1.1", "1-1.2", "1-1.10", "1-2"}));
    EXPECT_EQ(hubs, QStringList({"usb1", "1-1"}));
}

TEST_F(UsbTest, StorageDeviceShowsEveryRowInOrder)
{
    TnrUsbDevice* device = Select(0);
    ASSERT_NE(device, nullptr);
    std::vector<int> bulk;
    EXPECT_EQ(RowsOf(*device, &bulk), Expect({{"Description", "Cruzer Blade"},
                                              {"SerialNumber", "4C530001230512115093"},
                                              {"NameFriendly", "Cruzer Blade"},
                                              {"NameSymbolic", "/dev/bus/usb/001/005"},
                                              {"Driver", "usb"},
                                              {"Manufacturer", "SanDisk"},
                                              {"Max Power", "100 mA"},
                                              {"Max Packet Size", "64"},
                                              {"Vendor ID", "0x0781 1921"},
                                              {"Product I", "0x5567 21863"},
                                              {"Is Wake Up", "False"},
                                              {"Is Self Power", "False"},
                                              {"Is Bus Power", "True"},
                                              {"USB Version", "2.0"},
                                              {"Speed (Low,Full,High)", "High "},
                                              {"Pipe Count", "2"},
                                              {"PIPE0 Description", "Pipe [1] Bulk 512 IN"},
                                              {"PIPE1 Description", "Pipe [2] Bulk 512 OUT"},
                                              {"Service", "usb-storage"},
                                              {"Disk's", "/dev/sdb1 "},
                                              {"String Descriptor [1]", "SanDisk"},
                                              {"String Descriptor [2]", "Cruzer Blade"},
                                              {"String Descriptor [3]", "4C530001230512115093"}}));
    EXPECT_EQ(bulk, (std::vector<int>{0, 1}));
    EXPECT_TRUE(device->isStorage);
    EXPECT_EQ(device->blockDevices, QStringList{QStringLiteral("sdb")});
}

TEST_F(UsbTest, SerialAdapterWithoutSerialNumberShowsNoSerialNumberRow)
{
    TnrUsbDevice* device = Select(1);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(RowsOf(*device), Expect({{"Description", "USB-Serial Controller"},
                                       {"NameFriendly", "USB-Serial Controller"},
                                       {"NameSymbolic", "/dev/bus/usb/001/006"},
                                       {"Driver", "usb"},
                                       {"PortName", "/dev/ttyUSB0"},
                                       {"Manufacturer", "Prolific Technology Inc."},
                                       {"Max Power", "100 mA"},
                                       {"Max Packet Size", "64"},
                                       {"Vendor ID", "0x067B 1659"},
                                       {"Product I", "0x2303 8963"},
                                       {"Is Wake Up", "True"},
                                       {"Is Self Power", "False"},
                                       {"Is Bus Power", "True"},
                                       {"USB Version", "1.1"},
                                       {"Speed (Low,Full,High)", "Full "},
                                       {"Pipe Count", "3"},
                                       {"PIPE0 Description", "Pipe [1] Interrupt 10 IN"},
                                       {"PIPE1 Description", "Pipe [2] Bulk 64 OUT"},
                                       {"PIPE2 Description", "Pipe [3] Bulk 64 IN"},
                                       {"Service", "pl2303"},
                                       {"String Descriptor [1]", "Prolific Technology Inc."},
                                       {"String Descriptor [2]", "USB-Serial Controller"}}));
    EXPECT_FALSE(device->isStorage);
}

TEST_F(UsbTest, ADeviceWithoutConfigurationDescriptorHasNoPowerAndFalseFlags)
{
    TnrUsbDevice* device = Select(2);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(RowsOf(*device), Expect({{"Description", "USB2.0-Ser!"},
                                       {"NameFriendly", "USB2.0-Ser!"},
                                       {"NameSymbolic", "/dev/bus/usb/001/007"},
                                       {"Driver", "usb"},
                                       {"Max Power", "0 mA"},
                                       {"Max Packet Size", "8"},
                                       {"Vendor ID", "0x1A86 6790"},
                                       {"Product I", "0x7523 29987"},
                                       {"Is Wake Up", "False"},
                                       {"Is Self Power", "False"},
                                       {"Is Bus Power", "False"},
                                       {"USB Version", "1.1"},
                                       {"Speed (Low,Full,High)", "Full "},
                                       {"Pipe Count", "0"}}));
}

TEST_F(UsbTest, DatabaseNamesComeFirstAndTheDeviceStringsAtTheNextShowing)
{
    usb.SetNameSource(std::make_shared<FakeNames>());
    usb.Update();
    TnrUsbDevice* mouse = Select(3);
    ASSERT_NE(mouse, nullptr);
    const Rows first = RowsOf(*mouse);
    EXPECT_EQ(first[0], std::pair(QStringLiteral("Description"), QStringLiteral("M105 Optical Mouse")));
    const Rows next = RowsOf(*mouse);
    EXPECT_EQ(next[0], std::pair(QStringLiteral("Description"), QStringLiteral("USB Optical Mouse")));
    EXPECT_EQ(next.back(), std::pair(QStringLiteral("String Descriptor [2]"), QStringLiteral("USB Optical Mouse")));
    EXPECT_EQ(mouse->speed, usLow);
    EXPECT_EQ(UsbIdText(0x046D), QStringLiteral("0x046D 1133"));
}

TEST_F(UsbTest, StringsTheDeviceAnswersReplaceTheNamesAtTheNextShowing)
{
    TnrUsbDevice* storage = Select(0);
    ASSERT_NE(storage, nullptr);
    FakeStrings strings;
    strings.strings = QStringList{"Maker A", "Thing B", "SN-C", "Config D"};
    const std::vector<UsbPropertyRow> first = UsbPropertyRows(*storage, {}, &strings);
    EXPECT_EQ(strings.asked, 1);
    EXPECT_EQ(first[0].value, QStringLiteral("Cruzer Blade"));
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(first[first.size() - 1].property, QStringLiteral("String Descriptor [4]"));
    EXPECT_EQ(first[first.size() - 1].value, QStringLiteral("Config D"));
    EXPECT_EQ(storage->Manufacturer, QStringLiteral("Maker A"));
    EXPECT_EQ(storage->Description, QStringLiteral("Thing B"));
    EXPECT_EQ(storage->SerialNumber, QStringLiteral("SN-C"));

    // A device that cannot be asked keeps to the strings sysfs holds.
    strings.strings.reset();
    UsbPropertyRows(*storage, {}, &strings);
    EXPECT_EQ(storage->descriptors, QStringList({"SanDisk", "Cruzer Blade", "4C530001230512115093"}));
    EXPECT_EQ(storage->Manufacturer, QStringLiteral("SanDisk"));
}

TEST(UsbStringDescriptorTest, Utf16TextWithinItsLength)
{
    const struct
    {
        const char* name;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"plain", QByteArray("\x08\x03" "A\0B\0C\0", 8), QStringLiteral("ABC")},
        {"non-Latin", QByteArray("\x06\x03\x32\x4e\xe3\x53", 6), QStringLiteral("串口")},
        {"length beyond the bytes", QByteArray("\x20\x03" "A\0", 4), QStringLiteral("A")},
        {"odd length drops the half character", QByteArray("\x05\x03" "A\0B", 5), QStringLiteral("A")},
        {"not a string descriptor", QByteArray("\x04\x02" "A\0", 4), QString()},
        {"too short", QByteArray("\x02", 1), QString()},
    };
    for (const auto& row : cases)
        EXPECT_EQ(DecodeUsbStringDescriptor(row.bytes), row.text) << row.name;
}

TEST(UsbVersionTest, ReleaseNumberGivesMajorAndMinor)
{
    const struct
    {
        int bcdUSB;
        const char* shown;
    } cases[] = {{0x0200, "2.0"}, {0x0110, "1.1"}, {0x0100, "1.0"}, {0x0320, "3.2"}, {0x0210, "2.1"}};
    for (const auto& row : cases) {
        FakeUsbSysfs sysfs;
        const QString folder = sysfs.AddDevice(QStringLiteral("2-1"), QString());
        sysfs.Write(folder, "descriptors", UsbBytes::Device(row.bcdUSB, 0, 64, 1, 2, 0, 0, 0));
        TnrUsbDevice device = UsbSysfsReader(sysfs.Devices()).ReadDevice(QStringLiteral("2-1"));
        bool found = false;
        for (const auto& [property, value] : RowsOf(device))
            if (property == QLatin1String("USB Version")) {
                found = true;
                EXPECT_EQ(value, QString::fromLatin1(row.shown)) << row.bcdUSB;
            }
        EXPECT_TRUE(found);
    }
}

TEST_F(UsbTest, AfterAChangeTheSamePositionIsSelectedOrNothing)
{
    ASSERT_NE(Select(1), nullptr);
    sysfs.Remove(QStringLiteral("1-1.1"));
    usb.Update();
    EXPECT_EQ(usb.GetDeviceCount(), 3);
    ASSERT_NE(usb.SelectedDevice(), nullptr);
    EXPECT_EQ(usb.SelectedDevice()->InstanceId, QStringLiteral("1-1.10"));

    ASSERT_NE(Select(2), nullptr);
    sysfs.Remove(QStringLiteral("1-2"));
    usb.Update();
    EXPECT_EQ(usb.GetDeviceCount(), 2);
    EXPECT_EQ(usb.SelectedDevice(), nullptr);
}

TEST_F(UsbTest, VendorAndProductFiltersRebuildTheList)
{
    usb.GetDeviceList();
    EXPECT_EQ(usb.DeviceIndexOf(0x046D, 0xC077), 3);
    EXPECT_EQ(usb.DeviceIndexOf(0x046D, 0x0001), -1);
    usb.SetIdVendor(0x067B);
    EXPECT_EQ(usb.GetDeviceList(), QStringList{QStringLiteral("USB-Serial Controller")});
    usb.SetIdVendor(0);
    usb.SetIdProduct(0x5567);
    EXPECT_EQ(usb.GetDeviceList(), QStringList{QStringLiteral("Cruzer Blade")});
}

TEST_F(UsbTest, EjectAsksFourTimesThenRaisesThePlatformsReason)
{
    usb.GetDeviceList();
    try {
        usb.Eject();
        ADD_FAILURE() << "no device selected";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Device is not selected");
    }
    EXPECT_TRUE(ejector->requests.isEmpty());

    Select(0);
    ejector->refusals = 3;
    usb.Eject();
    EXPECT_EQ(ejector->requests.size(), 4);

    ejector->requests.clear();
    ejector->refusals = 4;
    usb.SetEjectRetryMs(20);
    QElapsedTimer clock;
    clock.start();
    try {
        usb.Eject();
        ADD_FAILURE() << "refused four times";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(QString::fromStdString(error.what()), ejector->reason);
    }
    EXPECT_GE(clock.elapsed(), 3 * 20);
    EXPECT_EQ(ejector->requests, QStringList(4, QStringLiteral("1-1.1")));
}

TEST_F(UsbTest, ANonStorageDeviceIsDeauthorisedThroughSysfs)
{
    TnrUsbDevice* serial = Select(1);
    ASSERT_NE(serial, nullptr);
    EXPECT_EQ(SystemUsbEjector().Eject(*serial), QString());
    QFile flag(serial->SysfsPath + QStringLiteral("/authorized"));
    ASSERT_TRUE(flag.open(QIODevice::ReadOnly));
    EXPECT_EQ(flag.readAll(), QByteArray("0"));
    EXPECT_EQ(SystemUsbEjector::Deauthorize(serial->SysfsPath + QStringLiteral("/missing")),
              QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST(UsbDescriptorsTest, CutOrMalformedChainsEndTheWalk)
{
    using namespace UsbBytes;
    const QByteArray whole = Device(0x0200, 0, 64, 0x1234, 0x5678, 1, 2, 3) +
                             Configuration(1, 0x80, 50, {{0, 0, 8, {{0x81, 2, 512}, {0x02, 2, 512}}}});
    const UsbDescriptorSet set = ParseUsbDescriptors(whole);
    ASSERT_TRUE(set.device);
    EXPECT_EQ(set.device->idVendor, 0x1234);
    ASSERT_EQ(set.configurations.size(), 1u);
    EXPECT_EQ(set.configurations[0].endpoints.size(), 2u);

    // Every cut keeps what came before it and never reads past the end.
    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        const UsbDescriptorSet part = ParseUsbDescriptors(QByteArrayView(whole).first(cut));
        EXPECT_EQ(bool(part.device), cut >= 18) << cut;
        for (const UsbConfigurationDescriptor& configuration : part.configurations)
            EXPECT_LE(configuration.endpoints.size(), 2u) << cut;
    }
    QByteArray zeroLength = whole;
    zeroLength[18] = 0;
    EXPECT_TRUE(ParseUsbDescriptors(zeroLength).configurations.empty());
    EXPECT_FALSE(ParseUsbDescriptors(QByteArray("\x12\x01", 2)).device);
}

}  // namespace
