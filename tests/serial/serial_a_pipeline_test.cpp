// Serial channel A with the real receive pipeline and send dispatcher around
// it, on a socat pair, and no widget anywhere: what the peer end sends becomes
// display lines, and what is sent through the dispatcher reaches the peer end.
#include "core/channel_counters.h"
#include "data/display_line_store.h"
#include "data/receive_pipeline.h"
#include "send/send_dispatcher.h"
#include "serial/serial_a_channel.h"
#include "tests/serial/raw_end.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SerialAPipelineTest : public testing::Test
{
protected:
    struct Line
    {
        QString text;
        LineColor color;
        bool operator==(const Line&) const = default;
    };

    SerialAPipelineTest()
    {
        TnrComm::SetDefaultScanRoots({empty_.path(), empty_.path(), empty_.path()});
        channel = std::make_unique<SerialAChannel>(pipeline);
        pipeline.SetEcho(&dispatcher);
        dispatcher.SetTarget(COMA, channel.get());
    }

    void SetUp() override { ASSERT_TRUE(pair.Ready()) << "socat did not make the pseudo-terminal pair"; }

    // The display lines from `first` on, without their time stamps.
    std::vector<Line> LinesFrom(qsizetype first) const
    {
        std::vector<Line> lines;
        for (qsizetype i = first; i < display.LineCount(); ++i) {
            static const QRegularExpression stamp(
                QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 {4}"));
            lines.push_back({QString(display.At(i).text).remove(stamp), display.At(i).color});
        }
        return lines;
    }

    static std::string Show(const std::vector<Line>& lines)
    {
        QString all;
        for (const Line& line : lines)
            all += QStringLiteral("%1 #%2\n").arg(line.text).arg(line.color, 6, 16, QLatin1Char('0'));
        return all.toStdString();
    }

    QTemporaryDir empty_;
    SocatPair pair;
    MessageRecorder boxes;
    FakeReceiveOptions options;
    DisplayLineStore display;
    ChannelCounters counters;
    ReceivePipeline pipeline{options, display, counters, [] {}};
    SendDispatcher dispatcher{pipeline, options, counters, [] {}};
    std::unique_ptr<SerialAChannel> channel;
};

TEST_F(SerialAPipelineTest, SendsOpenThePortAndReachTheFarEnd)
{
    channel->PickPortPath(pair.A());
    RawEnd peer(pair.B());
    ASSERT_TRUE(peer.IsOpen());

    dispatcher.SendToChannel("AT\\r\\n", COMA, false);
    ASSERT_TRUE(channel->IsOpen()) << boxes.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(peer.ReadExactly(4), QByteArray("AT\r\n"));
    const qsizetype afterText = display.LineCount();
    dispatcher.SendToChannel("41 42 0D", COMA, true);
    EXPECT_EQ(peer.ReadExactly(3), QByteArray("AB\r"));

    const std::vector<Line> text = LinesFrom(0);
    ASSERT_GE(text.size(), 2u) << Show(text);
    EXPECT_EQ(text[0], (Line{QStringLiteral("串口A发送文本数据4字节："), kWindowText})) << Show(text);
    EXPECT_EQ(text[1], (Line{QStringLiteral("AT"), kLime})) << Show(text);
    const std::vector<Line> hex = LinesFrom(afterText);
    ASSERT_EQ(hex.size(), 2u) << Show(hex);
    EXPECT_EQ(hex[0], (Line{QStringLiteral("串口A发送HEX数据3字节："), kBlack}));
    EXPECT_EQ(hex[1].color, kBlue);
    EXPECT_TRUE(hex[1].text.startsWith(QStringLiteral("41 42 0D"))) << Show(hex);
    EXPECT_EQ(counters[COMA].txBytes, 7);
    EXPECT_EQ(counters[COMA].txFrames, 2);
}

TEST_F(SerialAPipelineTest, ReceivedBurstsBecomeHeaderAndDataLinesInAlternatingBlues)
{
    channel->PickPortPath(pair.A());
    channel->Open();
    ASSERT_TRUE(channel->IsOpen()) << boxes.messages.join(QLatin1Char('|')).toStdString();
    RawEnd peer(pair.B());

    ASSERT_TRUE(peer.WriteAll("hello"));
    ASSERT_TRUE(WaitUntil([&] { return counters[COMA].rxBytes == 5; }));
    ASSERT_TRUE(peer.WriteAll("world!"));
    ASSERT_TRUE(WaitUntil([&] { return counters[COMA].rxBytes == 11; }));
    EXPECT_EQ(counters[COMA].rxFrames, 2);
    const std::vector<Line> expected = {
        {QStringLiteral("COMA[a]接收5字节: "), kBlack},
        {QStringLiteral("hello"), kBlue},
        {QStringLiteral("COMA[a]接收6字节: "), kBlack},
        {QStringLiteral("world!"), kBlueAlternate},
    };
    EXPECT_EQ(LinesFrom(0), expected) << Show(LinesFrom(0));
}

TEST_F(SerialAPipelineTest, EchoSendsWhatArrivedBackThroughTheDispatcher)
{
    options.echo[COMA] = true;
    channel->PickPortPath(pair.A());
    channel->Open();
    ASSERT_TRUE(channel->IsOpen());
    RawEnd peer(pair.B());

    ASSERT_TRUE(peer.WriteAll("ping"));
    QByteArray back;
    EXPECT_TRUE(WaitUntil([&] {
        back += peer.ReadExactly(4 - back.size(), 10);
        return back.size() == 4;
    }));
    EXPECT_EQ(back, QByteArray("ping"));
    EXPECT_EQ(counters[COMA].rxBytes, 4);
    EXPECT_EQ(counters[COMA].txBytes, 4);
}

}  // namespace
