#include "ports/lpt_channel.h"
#include "ports/lpt_pins.h"
#include "ports/lpt_port_list.h"
#include "ports/tnr_lpt.h"
#include "send/send_dispatcher.h"
#include "tests/ports/recording_lpt_io.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/info_recorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace {

struct LogRecorder : TnrLog
{
    QStringList lines;
    void AddLog(TDetailLevel, const QString& text) override { lines << text; }
};

QString ErrorOf(TnrLPT& lpt)
{
    try {
        lpt.SetActive(true);
    } catch (const std::runtime_error& error) {
        return QString::fromStdString(error.what());
    }
    return QString();
}

class LptTest : public ::testing::Test
{
protected:
    LptTest() : io(new RecordingLptIO), lpt(std::unique_ptr<LptPortIO>(io)) { lpt.SetDeviceRoot(QStringLiteral("/dev")); }

    RecordingLptIO* io;
    TnrLPT lpt;
};

TEST(LptPins, ConnectorPinsMapToTheirRegisterBits)
{
    const struct
    {
        int pin;
        LptRegister reg;
        int bit;
    } mapped[] = {{1, LptRegister::kControl, 0},  {2, LptRegister::kData, 0},     {5, LptRegister::kData, 3},
                  {9, LptRegister::kData, 7},     {10, LptRegister::kStatus, 6},  {11, LptRegister::kStatus, 7},
                  {12, LptRegister::kStatus, 5},  {13, LptRegister::kStatus, 4},  {14, LptRegister::kControl, 1},
                  {15, LptRegister::kStatus, 3},  {16, LptRegister::kControl, 2}, {17, LptRegister::kControl, 3}};
    for (const auto& row : mapped) {
        const std::optional<LptPinBit> where = LptPinOf(row.pin);
        ASSERT_TRUE(where) << row.pin;
        EXPECT_EQ(where->reg, row.reg) << row.pin;
        EXPECT_EQ(where->bit, row.bit) << row.pin;
    }
    for (int pin : {0, -1, 18, 21, 25, 26, 1000})
        EXPECT_FALSE(LptPinOf(pin)) << pin;
}

TEST_F(LptTest, PinsReadTheRegisterBitsAsRead)
{
    ASSERT_EQ(ErrorOf(lpt), QString());
    io->data = 0x55;
    io->status = 0xA8;   // Busy, NoPaper and ^Fault bits set
    io->control = 0x05;  // ^Strobe and Init bits set
    const bool expected[26] = {false,
                               /* 1 */ true,
                               /* 2..9 */ true, false, true, false, true, false, true, false,
                               /* 10..13 */ false, true, true, false,
                               /* 14..17 */ false, true, true, false,
                               /* 18..25 */ false, false, false, false, false, false, false, false};
    for (int pin = 1; pin <= 25; ++pin) {
        EXPECT_EQ(lpt.GetPin(pin), expected[pin]) << pin;
        EXPECT_EQ(LptPinState(pin, 0x55, 0xA8, 0x05), expected[pin]) << pin;
    }
    EXPECT_FALSE(lpt.GetPin(0));
    EXPECT_FALSE(lpt.GetPin(26));
}

TEST_F(LptTest, AClosedPortReadsFalseAndWritesNothing)
{
    io->data = 0xFF;
    io->status = 0xFF;
    for (int pin = 1; pin <= 17; ++pin)
        EXPECT_FALSE(lpt.GetPin(pin));
    lpt.SendChar('a');
    lpt.SendString("abc");
    lpt.SendData("abc", 3);
    lpt.SetPin(2, true);
    EXPECT_FALSE(lpt.WaitForStatus(0x80, 0x80, 1000));
    EXPECT_EQ(io->reads, 0);
    EXPECT_TRUE(io->writes.empty());
}

TEST_F(LptTest, EachByteIsPutOnTheDataPinsThenStrobedOnControlBitZero)
{
    ASSERT_EQ(ErrorOf(lpt), QString());
    io->control = 0x04;  // Init stays as it is
    lpt.SendData("A\x00", 2);
    using W = RecordingLptIO::RegisterWrite;
    const std::vector<W> expected = {{LptRegister::kData, 0x41},    {LptRegister::kControl, 0x05},
                                     {LptRegister::kControl, 0x04}, {LptRegister::kData, 0x00},
                                     {LptRegister::kControl, 0x05}, {LptRegister::kControl, 0x04}};
    EXPECT_EQ(io->writes, expected);
    io->writes.clear();
    lpt.SendString("");
    lpt.SendData("x", 0);
    EXPECT_TRUE(io->writes.empty());
}

TEST_F(LptTest, ControlBusyWaitsForTheNotBusyBitBeforeEachByte)
{
    ASSERT_EQ(ErrorOf(lpt), QString());
    lpt.SetControlBusy(true);
    io->statusSequence = {0x00, 0x7F, 0x00};
    io->status = 0x80;
    const int readsBefore = io->reads;
    EXPECT_EQ(lpt.WriteBlock("ab", 2), 2u);
    EXPECT_EQ(io->DataWritten(), QByteArray("ab"));
    // Three busy polls and one ready for the first byte, one ready poll for the
    // second, and the control register read of each strobe.
    EXPECT_EQ(io->reads - readsBefore, 4 + 1 + 2);
}

TEST_F(LptTest, ControlBusySkipsEveryByteWhoseWaitTimesOut)
{
    ASSERT_EQ(ErrorOf(lpt), QString());
    lpt.SetControlBusy(true);
    io->status = 0x00;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(lpt.WriteBlock("ab", 2), 0u);
    EXPECT_GE(clock.elapsed(), 2 * TnrLPT::kBusyWaitMs);
    EXPECT_TRUE(io->writes.empty());

    LptChannel channel(std::make_unique<RecordingLptIO>());
    ASSERT_EQ(ErrorOf(channel.nrLPT1), QString());
    channel.nrLPT1.SetControlBusy(true);
    const SendTarget::WriteResult busy = channel.Write("z");
    EXPECT_FALSE(busy.Sent());
    EXPECT_EQ(busy.failure, QString::fromUtf8(LptChannel::kBusyLine));
}

TEST(LptChannelTest, OnlyBytesThatWentOutAreReportedSent)
{
    auto* io = new RecordingLptIO;
    LptChannel channel{std::unique_ptr<LptPortIO>(io)};
    const SendTarget::WriteResult closed = channel.Write("55");
    EXPECT_FALSE(closed.Sent());
    EXPECT_EQ(closed.failure, QString::fromUtf8(LptChannel::kClosedLine));
    EXPECT_TRUE(io->writes.empty());

    channel.nrLPT1.SetActive(true);
    const SendTarget::WriteResult sent = channel.Write(QByteArray("\x55\xAA", 2));
    EXPECT_TRUE(sent.Sent());
    EXPECT_EQ(sent.count, 2);
    EXPECT_EQ(io->DataWritten(), QByteArray("\x55\xAA", 2));
    EXPECT_TRUE(channel.Write(QByteArray()).Sent());
}

TEST(LptChannelTest, TheDispatcherCountsOnlyWhatWentOut)
{
    InfoRecorder info;
    FakeReceiveOptions options;
    ChannelCounters counters;
    SendDispatcher dispatcher(info, options, counters, [] {});
    auto* io = new RecordingLptIO;
    LptChannel channel{std::unique_ptr<LptPortIO>(io)};
    dispatcher.SetTarget(LPT, &channel);

    EXPECT_FALSE(dispatcher.SendToChannel("55 AA", LPT, true));
    ASSERT_EQ(info.lines.size(), 1u);
    EXPECT_EQ(info.lines[0].text, QString::fromUtf8(LptChannel::kClosedLine));
    EXPECT_EQ(counters[LPT].txBytes, 0);

    channel.nrLPT1.SetActive(true);
    EXPECT_TRUE(dispatcher.SendToChannel("55 AA", LPT, true));
    EXPECT_EQ(io->DataWritten(), QByteArray("\x55\xAA"));
    EXPECT_EQ(info.lines[1].text, QStringLiteral("并口发送HEX数据2字节："));
    EXPECT_EQ(counters[LPT].txBytes, 2);
    EXPECT_TRUE(dispatcher.SendToChannel("ab", LPT, false));
    EXPECT_EQ(io->DataWritten(), QByteArray("\x55\xAA" "ab"));
    EXPECT_EQ(counters[LPT].txBytes, 4);
}

TEST_F(LptTest, DirectModeOpensTheClaimedPpdevNodeAndLogsTheBase)
{
    LogRecorder log;
    lpt.SetLog(&log);
    ASSERT_EQ(ErrorOf(lpt), QString());
    EXPECT_TRUE(lpt.Active());
    EXPECT_EQ(io->opened, QStringList{QStringLiteral("/dev/parport0")});
    EXPECT_TRUE(log.lines.contains(QStringLiteral("TnrLPT: Direct mode. Base address: 378")));
    lpt.SetActive(false);
    EXPECT_EQ(io->closes, 1);
}

TEST_F(LptTest, OpenFailuresRaiseTheirMessagesAndLeaveThePortClosed)
{
    const struct
    {
        const char* name;
        int openError;
        int claimError;
        bool direct;
        QString message;
    } cases[] = {
        {"node missing", ENOENT, 0, true, QStringLiteral("Create service failed.")},
        {"no permission", EACCES, 0, true, QStringLiteral("Create service failed.")},
        {"port held by another driver", 0, EBUSY, true, QStringLiteral("Start service failed.")},
        {"printer device missing", ENOENT, 0, false,
         QStringLiteral("LPT1 open is failed.\r") + QString::fromLocal8Bit(std::strerror(ENOENT))},
    };
    for (const auto& row : cases) {
        auto* recording = new RecordingLptIO;
        recording->openError = row.openError;
        recording->claimError = row.claimError;
        TnrLPT port{std::unique_ptr<LptPortIO>(recording)};
        port.SetDirectMode(row.direct);
        quint32 detail = 0;
        port.OnFatalError = [&detail](TnrBaseIO*, quint32, quint32 Detail, const QString&, bool&) {
            detail = Detail;
        };
        EXPECT_EQ(ErrorOf(port), row.message) << row.name;
        EXPECT_FALSE(port.Active()) << row.name;
        EXPECT_EQ(detail, quint32(row.openError ? row.openError : row.claimError)) << row.name;
        EXPECT_EQ(recording->closes, row.claimError ? 1 : 0) << row.name;
    }
}

TEST(LptSystemTest, AMissingOrUnclaimableParportNodeFailsToEnable)
{
    QTemporaryDir dev;
    TnrLPT lpt;
    lpt.SetDeviceRoot(dev.path());
    EXPECT_EQ(ErrorOf(lpt), QStringLiteral("Create service failed."));
    EXPECT_FALSE(lpt.Active());

    // A node that opens but is no parallel port: the claim fails.
    QFile node(dev.filePath(QStringLiteral("parport0")));
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    EXPECT_EQ(ErrorOf(lpt), QStringLiteral("Start service failed."));
    EXPECT_FALSE(lpt.Active());

    lpt.SetDirectMode(false);
    EXPECT_EQ(ErrorOf(lpt), QStringLiteral("LPT1 open is failed.\r") + QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_FALSE(lpt.Active());

    // A cancelled error leaves the port closed without raising.
    lpt.SetDirectMode(true);
    QFile::remove(dev.filePath(QStringLiteral("parport0")));
    lpt.OnFatalError = [](TnrBaseIO*, quint32, quint32, const QString&, bool& raise) { raise = false; };
    EXPECT_EQ(ErrorOf(lpt), QString());
    EXPECT_FALSE(lpt.Active());
}

TEST_F(LptTest, BaseAddressZeroRaisesButLeavesThePortOpen)
{
    lpt.SetLptIOBase(0);
    EXPECT_EQ(ErrorOf(lpt), QStringLiteral("LPT1 open in Direct Mode is failed. Base I/O port is NULL"));
    EXPECT_TRUE(lpt.Active());
}

TEST_F(LptTest, CommonModeWritesBytesToThePrinterDevice)
{
    LogRecorder log;
    lpt.SetLog(&log);
    lpt.SetDirectMode(false);
    ASSERT_EQ(ErrorOf(lpt), QString());
    EXPECT_EQ(io->opened, QStringList{QStringLiteral("/dev/lp0")});
    EXPECT_EQ(io->resets, 1);
    EXPECT_TRUE(log.lines.contains(QStringLiteral("TnrLPT: Common mode.")));
    lpt.SendString("hello");
    EXPECT_EQ(io->printed, QByteArray("hello"));
    io->data = 0xFF;
    EXPECT_EQ(lpt.GetDataBits(), 0);
    EXPECT_TRUE(io->writes.empty());

    // Switching the mode while open reopens the port in the other mode.
    lpt.SetDirectMode(true);
    EXPECT_TRUE(lpt.Active());
    EXPECT_EQ(io->opened.last(), QStringLiteral("/dev/parport0"));
    EXPECT_EQ(io->closes, 1);
}

TEST_F(LptTest, PortPropertiesAndName)
{
    EXPECT_EQ(lpt.LptPort(), lpLPT1);
    EXPECT_EQ(lpt.LptIOBase(), 888);
    EXPECT_EQ(lpt.GetLptname(), QStringLiteral("LPT1"));
    lpt.SetLptPort(lpLPT3);
    EXPECT_EQ(lpt.LptPortNo(), 3);
    EXPECT_EQ(lpt.GetLptname(), QStringLiteral("LPT3"));
    EXPECT_EQ(lpt.DevicePath(), QStringLiteral("/dev/parport2"));
    lpt.SetLptPortNo(7);
    EXPECT_EQ(lpt.LptPort(), lpLPTxx);
    lpt.SetLptPort(lpLPTxx);
    EXPECT_EQ(lpt.LptPortNo(), 7);
    // parport10 is LPT11, not "LPT;".
    lpt.SetLptPortNo(11);
    EXPECT_EQ(lpt.GetLptname(), QStringLiteral("LPT11"));
}

class LptProcTest : public LptTest
{
protected:
    void AddPort(const QString& name, const QByteArray& baseAddr)
    {
        QDir(proc.path()).mkpath(name);
        QFile file(proc.filePath(name + QStringLiteral("/base-addr")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(baseAddr);
    }

    QTemporaryDir proc;
};

TEST_F(LptProcTest, PortsAreListedInKernelOrderWithTheirBaseAddresses)
{
    AddPort(QStringLiteral("parport10"), "956\t-1\n");
    AddPort(QStringLiteral("parport0"), "888\t1912\n");
    AddPort(QStringLiteral("parport1"), "632\t1656\n");
    AddPort(QStringLiteral("parport2"), "garbage\n");
    QDir(proc.path()).mkpath(QStringLiteral("default"));

    const std::vector<LptPortEntry> ports = ListParallelPorts(proc.path());
    ASSERT_EQ(ports.size(), 4u);
    const struct
    {
        const char* name;
        int number;
        quint16 base;
    } expected[] = {{"LPT1", 1, 888}, {"LPT2", 2, 632}, {"LPT3", 3, 0}, {"LPT11", 11, 956}};
    for (size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].name, QString::fromLatin1(expected[i].name));
        EXPECT_EQ(ports[i].number, expected[i].number);
        EXPECT_EQ(ports[i].ioBase, expected[i].base);
    }
    EXPECT_TRUE(ListParallelPorts(proc.filePath(QStringLiteral("missing"))).empty());
}

TEST_F(LptProcTest, PickingAnotherPortWhileOpenReopensAtItsAddress)
{
    AddPort(QStringLiteral("parport0"), "888\t1912\n");
    AddPort(QStringLiteral("parport1"), "632\t1656\n");
    lpt.SetProcRoot(proc.path());
    EXPECT_EQ(lpt.GetDeviceList(), QStringList({QStringLiteral("LPT1"), QStringLiteral("LPT2")}));
    EXPECT_EQ(lpt.GetDeviceIndex(), 0);
    ASSERT_EQ(ErrorOf(lpt), QString());

    lpt.SetDeviceIndex(1);
    EXPECT_TRUE(lpt.Active());
    EXPECT_EQ(lpt.LptPortNo(), 2);
    EXPECT_EQ(lpt.LptIOBase(), 632);
    EXPECT_EQ(lpt.GetDeviceIndex(), 1);
    EXPECT_EQ(io->opened, QStringList({QStringLiteral("/dev/parport0"), QStringLiteral("/dev/parport1")}));
    EXPECT_EQ(io->closes, 1);
}

}  // namespace
