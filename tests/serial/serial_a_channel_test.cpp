#include "serial/serial_a_channel.h"
#include "core/channel_counters.h"
#include "send/send_dispatcher.h"
#include "tests/serial/raw_end.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Channel A alone, on a machine whose port scan finds nothing, with what it
// announces recorded.
class SerialAChannelTest : public testing::Test
{
protected:
    SerialAChannelTest()
    {
        TnrComm::SetDefaultScanRoots({empty_.path(), empty_.path(), empty_.path()});
        channel = std::make_unique<SerialAChannel>(sink);
        QObject::connect(channel.get(), &SerialAChannel::CaptionChanged,
                         [this](const QString& caption) { captions << caption; });
        QObject::connect(channel.get(), &SerialAChannel::OpenedChanged,
                         [this](bool opened) { openedChanges.push_back(opened); });
    }

    QTemporaryDir empty_;
    RecordingReceiveSink sink;
    MessageRecorder boxes;
    std::unique_ptr<SerialAChannel> channel;
    QStringList captions;
    std::vector<bool> openedChanges;
};

TEST_F(SerialAChannelTest, EngineCarriesPortASettings)
{
    EXPECT_EQ(channel->Id(), COMA);
    EXPECT_EQ(channel->nrComm1->objectName(), QStringLiteral("nrComm1"));
    EXPECT_EQ(channel->nrComm1->BaudRate(), 9600u);
    EXPECT_EQ(channel->nrComm1->ByteSize(), 8);
    EXPECT_EQ(channel->nrComm1->Parity(), pNone);
    EXPECT_EQ(channel->nrComm1->StopBits(), sbOne);
    EXPECT_EQ(channel->nrComm1->StreamProtocol(), spNone);
    EXPECT_EQ(channel->nrComm1->EnumPorts(), epFullInfo);
    EXPECT_EQ(channel->nrComm1->TerminalUsage(), tuBoth);
    EXPECT_TRUE(channel->nrComm1->TerminalEcho());
    EXPECT_TRUE(channel->OpensAutomatically());
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_FALSE(channel->Opened());
}

TEST_F(SerialAChannelTest, DescriptionNamesThePortAndItsLineSettings)
{
    channel->Start();
    EXPECT_EQ(captions, QStringList{QStringLiteral("串口A   9600  8   None   1  禁用流控")})
        << "no port 1 on this machine: the description begins with the blanks";

    struct Row
    {
        int byteSize;
        TParity parity;
        TStopBits stopBits;
        TStreamProtocol protocol;
        const char* description;
    };
    const Row rows[] = {{8, pNone, sbOne, spNone, "  9600  8   None   1  禁用流控"},
                        {7, pEven, sbTwo, spXonXoff, "  9600  7   Even   2 XonXoff"},
                        {4, pMark, sbOneAndHalf, spHardware, "  9600   Mark   1.5  硬件流控"},
                        {5, pSpace, sbOne, spNone, "  9600  5   Space   1  禁用流控"}};
    for (const Row& row : rows) {
        channel->nrComm1->SetByteSize(row.byteSize);
        channel->nrComm1->SetParity(row.parity);
        channel->nrComm1->SetStopBits(row.stopBits);
        channel->nrComm1->SetStreamProtocol(row.protocol);
        EXPECT_EQ(channel->DescribePortA(), QString::fromUtf8(row.description));
    }

    const QString path = empty_.filePath(QStringLiteral("ttyV0"));
    channel->PickPortPath(path);
    EXPECT_TRUE(channel->DescribePortA().startsWith(path + QStringLiteral("  9600")));
}

TEST_F(SerialAChannelTest, Rs485PresetSwitchesFlowControlOffAndRedescribes)
{
    channel->nrComm1->SetStreamProtocol(spHardware);
    channel->SetRs485Preset(true);
    EXPECT_EQ(channel->nrComm1->StreamProtocol(), spNone);
    EXPECT_TRUE(channel->nrComm1->RS485Mode());
    ASSERT_EQ(captions.size(), 1);
    EXPECT_TRUE(captions.back().endsWith(QStringLiteral("  禁用流控")));

    channel->nrComm1->SetStreamProtocol(spHardware);
    channel->SetRs485Preset(false);
    EXPECT_FALSE(channel->nrComm1->RS485Mode());
    EXPECT_EQ(channel->nrComm1->StreamProtocol(), spHardware) << "switching the preset off leaves the flow control as it is";
    EXPECT_TRUE(captions.back().endsWith(QStringLiteral("  硬件流控")));
}

TEST_F(SerialAChannelTest, ConfigureRunsTheEditorAndRedescribes)
{
    channel->Configure();
    EXPECT_EQ(channel->nrComm1->BaudRate(), 9600u) << "without an editor nothing changes";

    channel->SetConfigEditor([](const QString&, Dcb& dcb) {
        dcb.BaudRate = 115200;
        return true;
    });
    channel->Configure();
    EXPECT_EQ(channel->nrComm1->BaudRate(), 115200u);
    EXPECT_EQ(captions.back(), QStringLiteral("  115200  8   None   1  禁用流控"));

    channel->SetConfigEditor([](const QString&, Dcb& dcb) {
        dcb.BaudRate = 300;
        return false;
    });
    channel->Configure();
    EXPECT_EQ(channel->nrComm1->BaudRate(), 115200u) << "a cancelled editor changes nothing";
}

TEST_F(SerialAChannelTest, FailedOpenShowsTheBoxAndStaysClosed)
{
    channel->PickPortPath(empty_.filePath(QStringLiteral("gone")));
    channel->Open();
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("串口打开错误!")});
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_FALSE(channel->Opened());
    EXPECT_TRUE(openedChanges.empty());
    ASSERT_EQ(captions.size(), 1) << "the caption names the port even when the open fails";
    EXPECT_TRUE(captions[0].startsWith(empty_.filePath(QStringLiteral("gone"))));

    channel->SetRts(true);  // a closed port: nothing happens
    EXPECT_FALSE(channel->IsOpen());
}

TEST_F(SerialAChannelTest, OpenReceiveAndClose)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    channel->PickPortPath(pair.A());
    channel->Open();
    ASSERT_TRUE(channel->IsOpen()) << boxes.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(channel->Opened());
    EXPECT_EQ(openedChanges, std::vector<bool>{true});
    EXPECT_TRUE(captions.back().startsWith(pair.A() + QStringLiteral("  9600")));

    RawEnd other(pair.B());
    ASSERT_TRUE(other.WriteAll("hello"));
    ASSERT_TRUE(WaitUntil([&] { return sink.Received(COMA).size() == 5; }));
    EXPECT_EQ(sink.Received(COMA), QByteArray("hello"));
    for (const RecordingReceiveSink::Chunk& chunk : sink.chunks) {
        EXPECT_EQ(chunk.label, QStringLiteral("COMA[a]")) << "the label names the device";
        EXPECT_EQ(chunk.channel, COMA);
    }

    channel->Close();
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_FALSE(channel->Opened());
    EXPECT_EQ(openedChanges, (std::vector<bool>{true, false}));
}

TEST_F(SerialAChannelTest, AnEmptyBlockDeliversNothing)
{
    channel->nrComm1AfterReceive(channel->nrComm1, "", 0);
    channel->nrComm1AfterReceive(channel->nrComm1, "x", 1);
    ASSERT_EQ(sink.chunks.size(), 1u);
    EXPECT_EQ(sink.chunks[0].data, QByteArray("x")) << "the count excludes any terminator";
}

TEST_F(SerialAChannelTest, RemovedDeviceClosesTheChannelWithOneLine)
{
    auto pair = std::make_unique<SocatPair>();
    ASSERT_TRUE(pair->Ready());
    const QString path = pair->A();
    channel->PickPortPath(path);
    channel->Open();
    ASSERT_TRUE(channel->IsOpen());
    pair.reset();
    ASSERT_TRUE(WaitUntil([&] { return !channel->IsOpen(); }));
    WaitUntil([] { return false; }, 300);  // a second line would show by now
    EXPECT_FALSE(channel->Opened());
    EXPECT_EQ(openedChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(sink.Texts(), QStringList{QStringLiteral("串口A ") + path + QStringLiteral(" 通讯中断: 设备已断开")});
    EXPECT_EQ(sink.lines[0].color, kWindowText);

    channel->Close();
    EXPECT_EQ(openedChanges, (std::vector<bool>{true, false})) << "closing a halted port changes nothing";
    EXPECT_EQ(sink.lines.size(), 1u);
}

TEST_F(SerialAChannelTest, ClosingAndSwitchingPortsGiveNoFailureLine)
{
    SocatPair first;
    SocatPair second;
    ASSERT_TRUE(first.Ready() && second.Ready());
    channel->PickPortPath(first.A());
    channel->Open();
    ASSERT_TRUE(channel->IsOpen());
    channel->PickPortPath(second.A());
    EXPECT_TRUE(channel->IsOpen()) << "picking another port while open reopens on it";
    EXPECT_EQ(openedChanges, (std::vector<bool>{true, false, true})) << "the page follows the reopen";

    channel->PickPortPath(QStringLiteral("/nonexistent/ttyV9"));
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_EQ(openedChanges, (std::vector<bool>{true, false, true, false})) << "a failed reopen shows as closed";
    ASSERT_EQ(boxes.messages.size(), 1);
    EXPECT_TRUE(boxes.messages[0].startsWith(QStringLiteral("Device \"/nonexistent/ttyV9\" Open Error !!!\r")));
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(SerialAChannelTest, PluggedAndRemovedDevicesGiveOneLineEach)
{
    channel->DeviceChange(false);
    channel->DeviceChange(true);
    ASSERT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(sink.lines[0].text, QStringLiteral("设备拔出"));
    EXPECT_EQ(sink.lines[1].text, QStringLiteral("设备插入"));
    EXPECT_EQ(sink.lines[0].color, kWindowText);
    EXPECT_EQ(sink.lines[1].color, kWindowText);
}

TEST_F(SerialAChannelTest, DispatcherOpensTheClosedPortAndCountsTextAndHexSends)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    FakeReceiveOptions options;
    ChannelCounters counters;
    SendDispatcher dispatcher{sink, options, counters, [] {}};
    dispatcher.SetTarget(COMA, channel.get());
    channel->PickPortPath(pair.A());
    RawEnd other(pair.B());
    struct Row
    {
        QByteArray text;
        bool hex;
        QByteArray wire;
    };
    const Row rows[] = {{"AT\\r\\n", false, "AT\r\n"}, {"11 22 33", true, "\x11\x22\x33"}, {"text", false, "text"}};
    qint64 sent = 0;
    for (const Row& row : rows) {
        dispatcher.SendToChannel(row.text, COMA, row.hex);
        EXPECT_TRUE(channel->IsOpen());
        EXPECT_EQ(other.ReadExactly(row.wire.size()), row.wire);
        sent += row.wire.size();
        EXPECT_EQ(counters[COMA].txBytes, sent);
    }
    EXPECT_EQ(counters[COMA].txFrames, 3);
    EXPECT_EQ(openedChanges, std::vector<bool>{true}) << "the page learns of the automatic open";
}

}  // namespace
