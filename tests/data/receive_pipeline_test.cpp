#include "data/receive_pipeline.h"
#include "send/relay.h"
#include "send/send_dispatcher.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/payload_encoding_scope.h"
#include "tests/support/recording_target.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QRegularExpression kStamp(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 {4}"));

QString WithoutStamp(const QString& line)
{
    return QString(line).remove(kStamp);
}

struct RecordingBeeper : Beeper
{
    std::vector<std::pair<int, int>> tones;
    void Beep(int frequencyHz, int durationMs) override { tones.emplace_back(frequencyHz, durationMs); }
};

struct RecordingWave : WaveInput
{
    bool showing = true;
    std::vector<QByteArray> chunks;
    bool IsShowing() const override { return showing; }
    void AddWaveData(QByteArrayView chunk) override { chunks.push_back(chunk.toByteArray()); }
};

struct FakeRelaySettings : RelaySettings
{
    bool on = false;
    int a = COMA;
    int b = COMB;
    bool RelayOn() const override { return on; }
    int EndpointA() const override { return a; }
    int EndpointB() const override { return b; }
};

class ReceivePipelineTest : public ::testing::Test
{
protected:
    ReceivePipelineTest()
    {
        pipeline.SetEcho(&dispatcher);
        pipeline.SetRelay(&relay);
        pipeline.SetBeeper(&beeper);
        pipeline.SetWaveInput(&wave);
        for (ChannelId channel = COMA; channel <= LPT; ++channel)
            dispatcher.SetTarget(channel, &targets[channel]);
    }

    QStringList Texts() const
    {
        QStringList texts;
        for (qsizetype i = 0; i < display.LineCount(); ++i)
            texts << WithoutStamp(display.At(i).text);
        return texts;
    }

    FakeReceiveOptions options;
    DisplayLineStore display;
    ChannelCounters counters;
    int statusRefreshes = 0;
    ReceivePipeline pipeline{options, display, counters, [this] { ++statusRefreshes; }};
    SendDispatcher dispatcher{pipeline, options, counters, [this] { ++statusRefreshes; }};
    FakeRelaySettings relaySettings;
    Relay relay{relaySettings, dispatcher};
    RecordingBeeper beeper;
    RecordingWave wave;
    std::array<RecordingTarget, kChannelCount> targets;
};

TEST_F(ReceivePipelineTest, DefaultOptionsShowStampedHeaderAndDataLine)
{
    pipeline.ProcessReceived("hello", QStringLiteral("TCP服务器[127.0.0.1:50312]"), TCPS);

    ASSERT_EQ(display.LineCount(), 2);
    EXPECT_TRUE(kStamp.match(display.At(0).text).hasMatch());
    EXPECT_TRUE(kStamp.match(display.At(1).text).hasMatch());
    EXPECT_EQ(Texts(), QStringList({QStringLiteral("TCP服务器[127.0.0.1:50312]接收5字节: "), QStringLiteral("hello")}));
    EXPECT_EQ(display.At(0).color, kBlack);
    EXPECT_EQ(display.At(1).color, kBlue);
    EXPECT_EQ(counters[TCPS].rxBytes, 5);
    EXPECT_EQ(counters[TCPS].rxFrames, 1);
    EXPECT_GT(counters[TCPS].lastTime, 0);
    EXPECT_EQ(statusRefreshes, 1);
}

TEST_F(ReceivePipelineTest, TimeStampsFollowEitherInfoOption)
{
    const struct
    {
        bool helpInfo;
        bool sendInfo;
        int lines;
        bool stamped;
    } cases[] = {{true, true, 2, true}, {false, true, 1, true}, {true, false, 2, true}, {false, false, 1, false}};
    for (const auto& c : cases) {
        display.Clear();
        options.helpInfo = c.helpInfo;
        options.sendInfo = c.sendInfo;
        pipeline.ProcessReceived("abc", QStringLiteral("L"), COMA);
        ASSERT_EQ(display.LineCount(), c.lines);
        const QString data = display.At(c.lines - 1).text;
        EXPECT_EQ(kStamp.match(data).hasMatch(), c.stamped) << data.toStdString();
        EXPECT_TRUE(data.endsWith(QStringLiteral("abc")));
    }
}

TEST_F(ReceivePipelineTest, DataColoursAlternateAcrossToggleWrap)
{
    options.helpInfo = false;
    std::vector<LineColor> colors;
    for (int chunk = 1; chunk <= 258; ++chunk) {
        pipeline.ProcessReceived("x", QString(), COMB);
        colors.push_back(display.At(display.LineCount() - 1).color);
    }
    EXPECT_EQ(colors[0], kBlue);
    EXPECT_EQ(colors[1], kBlueAlternate);
    // Chunks 255..258: the 8-bit toggle wraps between 255 and 0.
    EXPECT_EQ(colors[254], kBlue);
    EXPECT_EQ(colors[255], kBlueAlternate);
    EXPECT_EQ(colors[256], kBlue);
    EXPECT_EQ(colors[257], kBlueAlternate);
}

TEST_F(ReceivePipelineTest, ExpectedLengthCheck)
{
    const struct
    {
        const char* name;
        QString text;
        bool mismatchLine;
        QString textAfter;
    } cases[] = {
        {"4 differs from 5", QStringLiteral("4"), true, QStringLiteral("4")},
        {"5 matches", QStringLiteral(" 5 "), false, QStringLiteral(" 5 ")},
        {"0 disables", QStringLiteral("0"), false, QStringLiteral("0")},
        {"blanks disable", QStringLiteral("   "), false, QStringLiteral("   ")},
        {"letters become 1 and skip this chunk", QStringLiteral("abc"), false, QStringLiteral("1")},
    };
    for (const auto& c : cases) {
        display.Clear();
        beeper.tones.clear();
        options.expectedLength = c.text;
        pipeline.ProcessReceived("12345", QStringLiteral("L"), COMA);
        const QStringList texts = Texts();
        EXPECT_EQ(texts.first() == QStringLiteral("接收数据长度与期望不一致"), c.mismatchLine) << c.name;
        if (c.mismatchLine) {
            EXPECT_EQ(display.At(0).color, kGreen);
            EXPECT_EQ(texts.at(1), QStringLiteral("L接收5字节: ")) << "mismatch line comes before the header";
            EXPECT_EQ(beeper.tones, (std::vector<std::pair<int, int>>{{1200, 20}}));
        } else {
            EXPECT_TRUE(beeper.tones.empty()) << c.name;
        }
        EXPECT_EQ(options.expectedLength, c.textAfter) << c.name;
    }
    // After letters were replaced by 1, the next 5-byte chunk mismatches.
    display.Clear();
    pipeline.ProcessReceived("12345", QStringLiteral("L"), COMA);
    EXPECT_EQ(Texts().first(), QStringLiteral("接收数据长度与期望不一致"));
}

TEST_F(ReceivePipelineTest, LatestOnlyEmptiesTheDisplayPerChunk)
{
    pipeline.ShowInfo(QStringLiteral("old"), kWindowText);
    options.latestOnly = true;
    pipeline.ProcessReceived("new", QStringLiteral("L"), COMA);
    EXPECT_EQ(Texts(), QStringList({QStringLiteral("L接收3字节: "), QStringLiteral("new")}));
    EXPECT_EQ(counters[COMA].rxFrames, 1);
}

TEST_F(ReceivePipelineTest, EmptyChunkOnlyFeedsWaveAndRefreshesStatus)
{
    options.beep = true;
    pipeline.ProcessReceived(QByteArrayView(), QStringLiteral("L"), COMA);
    EXPECT_EQ(display.LineCount(), 0);
    EXPECT_EQ(counters[COMA].rxFrames, 0);
    EXPECT_TRUE(beeper.tones.empty());
    EXPECT_EQ(wave.chunks.size(), 1u);
    EXPECT_EQ(statusRefreshes, 1);
}

TEST_F(ReceivePipelineTest, WaveGetsChunksOnlyWhileShowing)
{
    wave.showing = false;
    pipeline.ProcessReceived("ab", QStringLiteral("L"), COMA);
    wave.showing = true;
    pipeline.ProcessReceived("cd", QStringLiteral("L"), COMA);
    ASSERT_EQ(wave.chunks.size(), 1u);
    EXPECT_EQ(wave.chunks[0], "cd");
}

TEST_F(ReceivePipelineTest, BeepOnEveryNonEmptyChunk)
{
    options.beep = true;
    pipeline.ProcessReceived("a", QStringLiteral("L"), COMA);
    EXPECT_EQ(beeper.tones, (std::vector<std::pair<int, int>>{{1000, 50}}));
}

TEST_F(ReceivePipelineTest, HexDisplayUsesTheChosenStyle)
{
    options.helpInfo = false;
    options.sendInfo = false;
    const struct
    {
        int style;
        QString expected;
    } cases[] = {{0, QStringLiteral("AB 00 ")}, {2, QStringLiteral("0xAB,0x00")}, {-1, QString()}};
    options.hexShow = true;
    for (const auto& c : cases) {
        display.Clear();
        options.hexStyle = c.style;
        pipeline.ProcessReceived(QByteArrayView("\xAB\x00", 2), QStringLiteral("L"), COMA);
        ASSERT_EQ(display.LineCount(), 1);
        EXPECT_EQ(display.At(0).text, c.expected);
    }
}

TEST_F(ReceivePipelineTest, TextDisplayKeepsZeroAndControlBytesVisible)
{
    options.helpInfo = false;
    options.sendInfo = false;
    pipeline.ProcessReceived(QByteArrayView("a\0b\x1B", 4), QStringLiteral("L"), COMA);
    ASSERT_EQ(display.LineCount(), 1);
    EXPECT_EQ(display.At(0).text, QStringLiteral("a\u2400b\u241B"));
}

TEST_F(ReceivePipelineTest, EchoSendsTheChunkBackInTextAndHexMode)
{
    options.echo[COMB] = true;
    const QByteArray chunk("A\\r\0\xFF", 5);

    pipeline.ProcessReceived(chunk, QStringLiteral("L"), COMB);
    ASSERT_EQ(targets[COMB].writes.size(), 1u);
    // Text mode: the echo is typed text again, so escapes are expanded.
    EXPECT_EQ(targets[COMB].writes[0], QByteArray("A\r\0\xFF", 4));

    options.hexShow = true;
    pipeline.ProcessReceived(chunk, QStringLiteral("L"), COMB);
    ASSERT_EQ(targets[COMB].writes.size(), 2u);
    EXPECT_EQ(targets[COMB].writes[1], chunk);
    EXPECT_EQ(counters[COMB].txFrames, 2);
    EXPECT_EQ(counters[COMB].rxFrames, 2);
    EXPECT_TRUE(targets[COMA].writes.empty());
}

TEST_F(ReceivePipelineTest, EchoRunsBeforeRelay)
{
    options.echo[COMA] = true;
    options.hexShow = true;
    relaySettings.on = true;
    relaySettings.a = COMA;
    relaySettings.b = TCPC;
    std::vector<ChannelId> order;
    targets[COMA].reportedCount = [&](const QByteArray& p) { order.push_back(COMA); return p.size(); };
    targets[TCPC].reportedCount = [&](const QByteArray& p) { order.push_back(TCPC); return p.size(); };
    pipeline.ProcessReceived(QByteArrayView("\x00\xFF\x0D", 3), QStringLiteral("L"), COMA);
    EXPECT_EQ(order, (std::vector<ChannelId>{COMA, TCPC}));
    EXPECT_EQ(targets[TCPC].writes.at(0), QByteArray("\x00\xFF\x0D", 3));
}

TEST_F(ReceivePipelineTest, RelayedChunkIsShownReceivedThenSentAndReachesTheTargetUnchanged)
{
    relaySettings.on = true;
    relaySettings.a = COMA;
    relaySettings.b = TCPC;
    const QByteArray chunk("\x00\xFF\r\nA", 5);
    pipeline.ProcessReceived(chunk, QStringLiteral("COMA[ttyS0]"), COMA);
    ASSERT_EQ(targets[TCPC].writes.size(), 1u);
    EXPECT_EQ(targets[TCPC].writes[0], chunk);
    EXPECT_EQ(Texts(), QStringList({QStringLiteral("COMA[ttyS0]接收5字节: "), QStringLiteral("\u2400\uFFFD"),
                                    QStringLiteral("A"), QStringLiteral("TCP Client发送HEX数据5字节："),
                                    QStringLiteral("00 FF 0D 0A 41 ")}));
    EXPECT_EQ(display.ColorAt(3), kBlack);
    EXPECT_EQ(display.ColorAt(4), kBlue);
    EXPECT_EQ(counters[TCPC].txBytes, 5);
    EXPECT_EQ(counters[TCPC].txFrames, 1);
    EXPECT_EQ(counters[COMA].rxBytes, 5);
}

TEST_F(ReceivePipelineTest, ShowInfoEmptiesTheDisplayPastItsBound)
{
    const struct
    {
        bool logBound;
        int bound;
    } cases[] = {{true, ReceivePipeline::kLogBoundLines}, {false, ReceivePipeline::kBoundLines}};
    options.helpInfo = options.sendInfo = false;
    for (const auto& c : cases) {
        display.Clear();
        options.logBound = c.logBound;
        for (int i = 0; i <= c.bound; ++i)
            pipeline.ShowInfo(QStringLiteral("line"), kWindowText);
        EXPECT_EQ(display.LineCount(), c.bound + 1) << "one line over the bound is kept";
        pipeline.ShowInfo(QStringLiteral("last"), kWindowText);
        ASSERT_EQ(display.LineCount(), 1);
        EXPECT_EQ(display.At(0).text, QStringLiteral("last"));
    }
}

TEST_F(ReceivePipelineTest, ShowInfoEmptiesTheDisplayPastItsCharacterBound)
{
    options.helpInfo = options.sendInfo = false;
    options.hexShow = true;
    const QByteArray chunk(65536, '\x11');
    const int chunksToFill = static_cast<int>(ReceivePipeline::kBoundChars / (65536 * 3)) + 1;
    for (int i = 0; i < chunksToFill; ++i)
        pipeline.ProcessReceived(chunk, QStringLiteral("L"), COMA);
    EXPECT_GT(display.CharCount(), ReceivePipeline::kBoundChars);
    pipeline.ProcessReceived(chunk, QStringLiteral("L"), COMA);
    EXPECT_EQ(display.LineCount(), 1);
    EXPECT_EQ(counters[COMA].rxFrames, chunksToFill + 1);
}

TEST_F(ReceivePipelineTest, AutoScrollBoundEmptiesAfterAHugeMultiLineText)
{
    options.helpInfo = options.sendInfo = false;
    QString many;
    for (int i = 0; i < ReceivePipeline::kAutoScrollBoundLines; ++i)
        many += QStringLiteral("x\n");
    options.autoScroll = false;
    pipeline.ShowInfo(many, kWindowText);
    EXPECT_EQ(display.LineCount(), ReceivePipeline::kAutoScrollBoundLines + 1);
    display.Clear();
    options.autoScroll = true;
    pipeline.ShowInfo(many, kWindowText);
    EXPECT_EQ(display.LineCount(), 0);
}

TEST_F(ReceivePipelineTest, ShowInfoSplitsLineBreaksIntoLines)
{
    options.helpInfo = options.sendInfo = false;
    pipeline.ShowInfo(QStringLiteral("a\r\nb\rc\nd"), kPurple);
    EXPECT_EQ(Texts(), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(display.At(3).color, kPurple);
}

TEST_F(ReceivePipelineTest, TextOfAStreamIsShownInTheChosenEncodingWithCharactersCutBetweenChunksWhole)
{
    options.helpInfo = false;
    options.sendInfo = false;
    const struct
    {
        const char* behaviour;
        TextCodec::Encoding encoding;
        QByteArray first;
        QByteArray second;
        QStringList lines;
    } rows[] = {
        {"UTF-8 in one chunk", TextCodec::Encoding::kUtf8, "\xE4\xBD\xA0\xE5\xA5\xBD", "", {"你好"}},
        {"UTF-8 cut inside a character", TextCodec::Encoding::kUtf8, "\xE4\xBD\xA0\xE5", "\xA5\xBD", {"你", "好"}},
        {"UTF-8 cut after a lead byte", TextCodec::Encoding::kUtf8, "\xE4", "\xBD\xA0", {"", "你"}},
        {"GBK cut inside a character", TextCodec::Encoding::kGbk, "\xB4\xAE\xBF", "\xDA", {"串", "口"}},
    };
    for (const auto& row : rows) {
        const PayloadEncodingScope encoding(row.encoding);
        display.Clear();
        pipeline.ProcessReceived(row.first, QString(), TCPS);
        // Another channel's chunk in between takes nothing of the cut character.
        pipeline.ProcessReceived("-", QString(), UDPS);
        if (!row.second.isEmpty())
            pipeline.ProcessReceived(row.second, QString(), TCPS);
        QStringList expected = row.lines;
        expected.insert(1, QStringLiteral("-"));
        EXPECT_EQ(Texts(), expected) << row.behaviour;
    }
}

TEST_F(ReceivePipelineTest, HexDisplayDropsTheBytesHeldForTheNextTextChunk)
{
    const PayloadEncodingScope encoding(TextCodec::Encoding::kUtf8);
    options.helpInfo = false;
    options.sendInfo = false;
    pipeline.ProcessReceived("\xE4\xBD", QString(), COMB);
    options.hexShow = true;
    pipeline.ProcessReceived("\xA0", QString(), COMB);
    options.hexShow = false;
    pipeline.ProcessReceived("ok", QString(), COMB);
    EXPECT_EQ(Texts(), QStringList({"", "A0 ", "ok"}));
}

TEST_F(ReceivePipelineTest, TextSentIsShownInTheChosenEncoding)
{
    const PayloadEncodingScope encoding(TextCodec::Encoding::kUtf8);
    options.helpInfo = false;
    dispatcher.SendToChannel("\xE4\xBD\xA0\xE5\xA5\xBD", UDPC, false);
    EXPECT_EQ(targets[UDPC].writes.at(0), QByteArray("\xE4\xBD\xA0\xE5\xA5\xBD"));
    EXPECT_EQ(Texts().last(), QStringLiteral("你好"));
}

}  // namespace
