#include "serial/tnr_custom_serial_comm.h"

#include "tests/support/recording_subscriber.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <functional>
#include <stdexcept>

#include "fake_sysfs.h"
#include "socat_pair.h"

namespace {

// Engines in these tests scan an empty machine unless a test gives them a
// tree, so nothing real is ever listed.
class SerialCommTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TnrCustomSerialComm::SetDefaultScanRoots({empty_.path(), empty_.path(), empty_.path()});
    }

    // Points the engine at a device path.
    static void UsePath(TnrCustomSerialComm& comm, const QString& path) { comm.SetDeviceIndex(comm.AddPortPath(path)); }

    QTemporaryDir empty_;
    SocatPair pair;
};

TEST_F(SerialCommTest, ComPortMapsToAndFromComPortNo)
{
    TnrCustomSerialComm comm;
    const std::pair<int, TComPort> numbers[] = {{1, cpCOM1}, {3, cpCOM3}, {8, cpCOM8}, {9, cpCOMxx}, {12, cpCOMxx}};
    for (const auto& [number, port] : numbers) {
        comm.SetComPortNo(static_cast<quint16>(number));
        EXPECT_EQ(comm.ComPort(), port) << "ComPortNo " << number;
    }
    comm.SetComPort(cpCOM3);
    EXPECT_EQ(comm.ComPortNo(), 3);
    comm.SetComPort(cpCOMxx);
    EXPECT_EQ(comm.ComPortNo(), 3);
}

TEST_F(SerialCommTest, TheDeviceListNamesPortsAsTheDetailSaysAndKeepsTypedPaths)
{
    FakeSysfs tree;
    tree.AddTty(QStringLiteral("ttyS0"), QStringLiteral("sys/devices/pnp0/00:04"), "4:64", "4");
    tree.Link(QStringLiteral("sys/devices/pnp0/00:04/driver"), QStringLiteral("sys/bus/pnp/drivers/serial"));
    const QString ftdi = QStringLiteral("sys/devices/pci0/usb1/1-1");
    tree.WriteFile(ftdi + QStringLiteral("/idVendor"), "0403\n");
    tree.WriteFile(ftdi + QStringLiteral("/product"), "FT232R USB UART\n");
    tree.AddTty(QStringLiteral("ttyUSB0"), ftdi + QStringLiteral("/1-1:1.0/ttyUSB0"), "188:0");
    const PortScanRoots roots{tree.Sys(), tree.UdevData(), tree.Dev()};

    struct Row
    {
        TnrEnumPorts detail;
        QStringList texts;
    };
    const Row rows[] = {{epQuickAll, {"ttyS0", "ttyUSB0"}}, {epFullInfo, {"ttyS0 (serial)", "ttyUSB0 (FT232R USB UART)"}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "EnumPorts " << row.detail);
        TnrCustomSerialComm comm;
        comm.SetScanRoots(roots);
        comm.SetEnumPorts(row.detail);
        EXPECT_EQ(comm.GetDeviceList(), row.texts);
        EXPECT_EQ(comm.GetDeviceIndex(), 0) << "port 1 is ttyS0";
        EXPECT_EQ(comm.GetPortName(), tree.Dev() + QStringLiteral("/ttyS0"));

        const int typed = comm.AddPortPath(QStringLiteral("/dev/pts/7"));
        comm.Update();
        EXPECT_EQ(comm.GetDeviceList().value(typed), QStringLiteral("/dev/pts/7")) << "kept across Update";
        EXPECT_GT(comm.GetDevice(typed)->PortNumber, comm.GetDevice(1)->PortNumber);

        comm.SetComPortNo(12);
        EXPECT_EQ(comm.GetDeviceIndex(), -1);
        EXPECT_EQ(comm.GetPortName(), QStringLiteral("COM12"));
    }
}

TEST_F(SerialCommTest, OpeningAMissingPortRaisesTheDeviceMessageAndStaysClosed)
{
    const QString missing = empty_.filePath(QStringLiteral("no-such-port"));
    const std::pair<std::function<void(TnrCustomSerialComm&)>, QString> rows[] = {
        {[&](TnrCustomSerialComm& comm) { UsePath(comm, missing); },
         QStringLiteral("Device \"%1\" Open Error !!!\r").arg(missing)},
        {[](TnrCustomSerialComm& comm) { comm.SetComPortNo(9); }, QStringLiteral("Device \"COM9\" Open Error !!!\r")}};
    for (const auto& [choose, prefix] : rows) {
        TnrCustomSerialComm comm;
        choose(comm);
        try {
            comm.SetActive(true);
            ADD_FAILURE() << "no error for " << prefix.toStdString();
        } catch (const std::runtime_error& error) {
            const QString message = QString::fromStdString(error.what());
            EXPECT_TRUE(message.startsWith(prefix)) << error.what();
            EXPECT_GT(message.size(), prefix.size()) << "the system's text follows";
        }
        EXPECT_FALSE(comm.Active());
        EXPECT_TRUE(comm.LastErrorText().startsWith(prefix));
    }
}

TEST_F(SerialCommTest, SecondOpenOfTheSamePortFails)
{
    ASSERT_TRUE(pair.Ready());
    TnrCustomSerialComm first;
    TnrCustomSerialComm second;
    UsePath(first, pair.A());
    UsePath(second, pair.A());
    first.SetActive(true);
    ASSERT_TRUE(first.Active());
    EXPECT_THROW(second.SetActive(true), std::runtime_error);
    EXPECT_FALSE(second.Active());
    first.SetActive(false);
    second.SetActive(true);
    EXPECT_TRUE(second.Active());
}

TEST_F(SerialCommTest, ChangingThePortWhileOpenReopensOnTheNewPort)
{
    ASSERT_TRUE(pair.Ready());
    TnrCustomSerialComm comm;
    RecordingSubscriber subscriber;
    comm.NotifyAdd(&subscriber);
    UsePath(comm, pair.A());
    comm.SetActive(true);
    subscriber.codes.clear();
    UsePath(comm, pair.B());
    EXPECT_TRUE(comm.Active());
    EXPECT_EQ(comm.GetPortName(), pair.B());
    EXPECT_EQ(subscriber.codes, (std::vector<int>{kNotifyClosed, kNotifyOpened, kNotifyDevicesChanged}));
    comm.NotifyDelete(&subscriber);
}

}  // namespace
