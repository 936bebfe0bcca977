#include "serial/port_enumerator.h"
#include "fake_sysfs.h"

#include <gtest/gtest.h>

namespace {

// A machine with one real UART, one empty 8250 slot, two USB adapters, an
// on-chip UART and the terminals that are no serial ports.
void BuildMachine(FakeSysfs& tree, bool withUdevDatabase)
{
    tree.AddTty(QStringLiteral("ttyS0"), QStringLiteral("sys/devices/pnp0/00:04"), "4:64", "4");
    tree.Link(QStringLiteral("sys/devices/pnp0/00:04/driver"), QStringLiteral("sys/bus/pnp/drivers/serial"));
    tree.AddTty(QStringLiteral("ttyS1"), QStringLiteral("sys/devices/platform/serial8250"), "4:65", "0");

    const QString ftdi = QStringLiteral("sys/devices/pci0/usb1/1-1");
    tree.WriteFile(ftdi + QStringLiteral("/idVendor"), "0403\n");
    tree.WriteFile(ftdi + QStringLiteral("/product"), "FT232R USB UART\n");
    tree.WriteFile(ftdi + QStringLiteral("/manufacturer"), "FTDI\n");
    tree.WriteFile(ftdi + QStringLiteral("/serial"), "A10K1234\n");
    tree.AddTty(QStringLiteral("ttyUSB0"), ftdi + QStringLiteral("/1-1:1.0/ttyUSB0"), "188:0");
    tree.Link(ftdi + QStringLiteral("/1-1:1.0/ttyUSB0/driver"), QStringLiteral("sys/bus/usb-serial/drivers/ftdi_sio"));

    const QString pico = QStringLiteral("sys/devices/pci0/usb1/1-2");
    tree.WriteFile(pico + QStringLiteral("/idVendor"), "2e8a\n");
    tree.WriteFile(pico + QStringLiteral("/product"), "Pico\n");
    tree.AddTty(QStringLiteral("ttyACM0"), pico + QStringLiteral("/1-2:1.0"), "166:0");

    tree.AddTty(QStringLiteral("ttyAMA0"), QStringLiteral("sys/devices/platform/fe201000.serial"), "204:64");
    tree.Link(QStringLiteral("sys/devices/platform/fe201000.serial/driver"),
              QStringLiteral("sys/bus/amba/drivers/uart-pl011"));

    tree.AddTty(QStringLiteral("tty0"), QString());
    tree.AddTty(QStringLiteral("ptmx"), QString(), "5:2");
    tree.AddTty(QStringLiteral("console"), QString(), "5:1");

    if (withUdevDatabase) {
        tree.WriteFile(QStringLiteral("udev/c188:0"),
                       "I:1234\nE:ID_MODEL=FT232R_USB_UART\nE:ID_MODEL_FROM_DATABASE=FT232 Serial (UART) IC\n"
                       "E:ID_VENDOR_FROM_DATABASE=Future Technology Devices International, Ltd\n");
        tree.WriteFile(QStringLiteral("udev/c204:64"), "E:ID_MODEL=PL011_rev3\nE:ID_VENDOR=ARM\n");
    }
}

struct Expected
{
    const char* name;
    int portNumber;
    const char* description;
    const char* manufacturer;
    const char* serialNumber;
    const char* driver;
};

struct ScanCase
{
    const char* behaviour;
    bool withUdevDatabase;
    std::vector<Expected> expected;
};

void PrintTo(const ScanCase& scan, std::ostream* out)
{
    *out << scan.behaviour;
}

class PortEnumeratorTest : public testing::TestWithParam<ScanCase>
{
};

TEST_P(PortEnumeratorTest, ListsRealPortsSortedWithDescriptions)
{
    FakeSysfs tree;
    BuildMachine(tree, GetParam().withUdevDatabase);
    const std::vector<SerialPortInfo> ports = EnumerateSerialPorts({tree.Sys(), tree.UdevData(), tree.Dev()});

    const std::vector<Expected>& expected = GetParam().expected;
    ASSERT_EQ(ports.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(ports[i].name, QString::fromUtf8(expected[i].name));
        EXPECT_EQ(ports[i].path, tree.Dev() + QLatin1Char('/') + QString::fromUtf8(expected[i].name));
        EXPECT_EQ(ports[i].portNumber, expected[i].portNumber);
        EXPECT_EQ(ports[i].description, QString::fromUtf8(expected[i].description));
        EXPECT_EQ(ports[i].manufacturer, QString::fromUtf8(expected[i].manufacturer));
        EXPECT_EQ(ports[i].serialNumber, QString::fromUtf8(expected[i].serialNumber));
        EXPECT_EQ(ports[i].driver, QString::fromUtf8(expected[i].driver));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scans, PortEnumeratorTest,
    testing::Values(
        ScanCase{"udev database names the adapters",
                 true,
                 {{"ttyS0", 1, "serial", "", "", "serial"},
                  {"ttyACM0", 4097, "Pico", "", "", ""},
                  {"ttyAMA0", 4098, "PL011 rev3", "ARM", "", "uart-pl011"},
                  {"ttyUSB0", 4099, "FT232 Serial (UART) IC", "Future Technology Devices International, Ltd",
                   "A10K1234", "ftdi_sio"}}},
        ScanCase{"without udev the USB strings and the driver describe the ports",
                 false,
                 {{"ttyS0", 1, "serial", "", "", "serial"},
                  {"ttyACM0", 4097, "Pico", "", "", ""},
                  {"ttyAMA0", 4098, "uart-pl011", "", "", "uart-pl011"},
                  {"ttyUSB0", 4099, "FT232R USB UART", "FTDI", "A10K1234", "ftdi_sio"}}}),
    [](const testing::TestParamInfo<ScanCase>& info) { return info.param.withUdevDatabase ? "WithUdev" : "WithoutUdev"; });

TEST(PortEnumerator, MachineWithoutSerialPortsGivesEmptyList)
{
    FakeSysfs tree;
    tree.AddTty(QStringLiteral("tty1"), QString());
    EXPECT_TRUE(EnumerateSerialPorts({tree.Sys(), tree.UdevData(), tree.Dev()}).empty());
    EXPECT_TRUE(EnumerateSerialPorts({tree.Root() + QStringLiteral("/missing"), tree.UdevData(), tree.Dev()}).empty());
}

TEST(PortEnumerator, FriendlyNameAddsDescriptionInParentheses)
{
    SerialPortInfo port;
    port.name = QStringLiteral("ttyUSB0");
    EXPECT_EQ(FriendlyPortName(port), QStringLiteral("ttyUSB0"));
    port.description = QStringLiteral("FT232R USB UART");
    EXPECT_EQ(FriendlyPortName(port), QStringLiteral("ttyUSB0 (FT232R USB UART)"));
}

}  // namespace
