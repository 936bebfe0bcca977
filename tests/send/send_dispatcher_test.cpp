#include "send/send_dispatcher.h"

#include "data/codec.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/info_recorder.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_target.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace {

class SendDispatcherTest : public ::testing::Test
{
protected:
    SendDispatcherTest()
    {
        for (ChannelId channel = COMA; channel <= LPT; ++channel)
            dispatcher.SetTarget(channel, &targets[channel]);
    }

    QStringList Texts() const
    {
        QStringList texts;
        for (const auto& line : info.lines)
            texts << line.text;
        return texts;
    }

    FakeReceiveOptions options;
    InfoRecorder info;
    ChannelCounters counters;
    int statusRefreshes = 0;
    SendDispatcher dispatcher{info, options, counters, [this] { ++statusRefreshes; }};
    std::array<RecordingTarget, kChannelCount> targets;
};

TEST_F(SendDispatcherTest, HexSendWritesParsedBytesReportsAndCounts)
{
    dispatcher.SendToChannel("11 22 33", COMA, true);

    ASSERT_EQ(targets[COMA].writes.size(), 1u);
    EXPECT_EQ(targets[COMA].writes[0], QByteArray("\x11\x22\x33"));
    EXPECT_EQ(Texts(), QStringList({QStringLiteral("串口A发送HEX数据3字节："), QStringLiteral("11 22 33 ")}));
    EXPECT_EQ(info.lines[0].color, kBlack);
    EXPECT_EQ(info.lines[1].color, kBlue);
    EXPECT_EQ(counters[COMA].txBytes, 3);
    EXPECT_EQ(counters[COMA].txFrames, 1);
    EXPECT_GT(counters[COMA].lastTime, 0);
    EXPECT_EQ(statusRefreshes, 1);
}

TEST_F(SendDispatcherTest, TextSendExpandsEscapes)
{
    dispatcher.SendToChannel("AT\\r\\n", COMA, false);

    EXPECT_EQ(targets[COMA].writes.at(0), QByteArray("AT\r\n"));
    ASSERT_EQ(info.lines.size(), 2u);
    EXPECT_EQ(info.lines[0].text, QStringLiteral("串口A发送文本数据4字节："));
    EXPECT_EQ(info.lines[0].color, kWindowText);
    EXPECT_EQ(info.lines[1].text, QStringLiteral("AT\n"));
    EXPECT_EQ(info.lines[1].color, kLime);
    EXPECT_EQ(counters[COMA].txBytes, 4);
}

TEST_F(SendDispatcherTest, SendInfoPrefixesOfEveryChannel)
{
    const struct
    {
        ChannelId channel;
        bool broadcast;
        const char* hex;
        const char* text;
    } cases[] = {
        {COMA, false, "串口A发送HEX数据", "串口A发送文本数据"},
        {COMB, false, "串口B发送HEX数据", "串口B发送文本数据"},
        {TCPS, false, "TCP Server发送HEX数据", "TCP Server发送文本数据"},
        {TCPC, false, "TCP Client发送HEX数据", "TCP Client发送文本数据"},
        {UDPS, true, "UDP Server广播HEX数据", "UDP Server广播文本数据"},
        {UDPS, false, "UDP Server发送HEX数据", "UDP Server发送文本数据"},
        {UDPC, false, "UDP Client发送HEX数据", "UDP Client发送文本数据"},
        {LPT, false, "并口发送HEX数据", "并口发送文本数据"},
    };
    for (const auto& c : cases) {
        targets[c.channel].broadcast = c.broadcast;
        info.lines.clear();
        dispatcher.SendToChannel("41", c.channel, true);
        EXPECT_EQ(info.lines.at(0).text, QString::fromUtf8(c.hex) + QStringLiteral("1字节："));
        info.lines.clear();
        dispatcher.SendToChannel("41", c.channel, false);
        EXPECT_EQ(info.lines.at(0).text, QString::fromUtf8(c.text) + QStringLiteral("2字节："));
        // Text-mode info lines use the window-text colour, except broadcasts.
        EXPECT_EQ(info.lines.at(0).color, c.broadcast ? kBlack : kWindowText);
    }
}

TEST_F(SendDispatcherTest, TcpServerLineEndOnlyInTextMode)
{
    targets[TCPS].lineEnd = "\r\n";
    dispatcher.SendToChannel("AB", TCPS, false);
    dispatcher.SendToChannel("41 42", TCPS, true);
    EXPECT_EQ(targets[TCPS].writes.at(0), QByteArray("AB\r\n"));
    EXPECT_EQ(targets[TCPS].writes.at(1), QByteArray("AB"));
    EXPECT_EQ(counters[TCPS].txBytes, 6);
    EXPECT_EQ(info.lines.at(0).text, QStringLiteral("TCP Server发送文本数据4字节："));
}

TEST_F(SendDispatcherTest, NotReadyDropsWithoutAnyTrace)
{
    targets[TCPS].ready = false;
    dispatcher.SendToChannel("11", TCPS, true);
    EXPECT_TRUE(targets[TCPS].writes.empty());
    EXPECT_TRUE(info.lines.empty());
    EXPECT_EQ(counters[TCPS].txFrames, 0);
    EXPECT_EQ(statusRefreshes, 0);
}

TEST_F(SendDispatcherTest, UnknownChannelShowsUnknowSender)
{
    for (int channel : {-1, 7, 100}) {
        info.lines.clear();
        dispatcher.SendToChannel("11 22", static_cast<ChannelId>(channel), true);
        EXPECT_EQ(Texts(), QStringList({QStringLiteral("unknow sender!"), QStringLiteral("11 22 ")}));
    }
    for (const auto& target : targets)
        EXPECT_TRUE(target.writes.empty());
    for (int channel = 0; channel < kChannelCount; ++channel)
        EXPECT_EQ(counters[channel].txFrames, 0);
    EXPECT_EQ(statusRefreshes, 3);
}

TEST_F(SendDispatcherTest, SendInfoOffShowsNothingButCounts)
{
    options.sendInfo = false;
    dispatcher.SendToChannel("11 22", UDPC, true);
    EXPECT_TRUE(info.lines.empty());
    EXPECT_EQ(counters[UDPC].txBytes, 2);
}

// A payload that did not go out is neither shown nor counted as sent, on every
// entry of the send path; only the reason is shown.
TEST_F(SendDispatcherTest, WriteThatDidNotGoOutShowsOnlyWhy)
{
    struct Case
    {
        const char* name;
        bool refused;
        bool bytesEntry;
    };
    const Case cases[] = {
        {"failed text send shows one line", false, false},
        {"failed relayed bytes show one line", false, true},
        {"refused send shows a message box", true, false},
        {"refused relayed bytes show a message box", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        info.lines.clear();
        counters.ClearAll();
        MessageRecorder boxes;
        RecordingTarget& target = targets[COMB];
        target.failure = QStringLiteral("串口B /dev/x 通讯中断: gone");
        target.refused = c.refused;

        if (c.bytesEntry)
            dispatcher.SendBytesToChannel(QByteArray("", 2), COMB);
        else
            dispatcher.SendToChannel("abc", COMB, false);

        EXPECT_TRUE(target.writes.empty());
        EXPECT_EQ(counters[COMB].txBytes, 0);
        EXPECT_EQ(counters[COMB].txFrames, 0);
        const QStringList expectedLines = c.refused ? QStringList() : QStringList{target.failure};
        const QStringList expectedBoxes = c.refused ? QStringList{target.failure} : QStringList();
        EXPECT_EQ(Texts(), expectedLines);
        EXPECT_EQ(boxes.messages, expectedBoxes);
    }
}

// Whoever sends more after a send (the file sender) learns whether it went out.
TEST_F(SendDispatcherTest, SendTellsWhetherThePayloadWentOut)
{
    const struct
    {
        const char* behaviour;
        ChannelId channel;
        std::function<void(RecordingTarget&)> setUp;
        bool wentOut;
    } rows[] = {
        {"written to an open channel", UDPC, {}, true},
        {"opened after a wait and written", COMA,
         [](RecordingTarget& t) {
             t.autoOpen = true;
             t.open = false;
             t.openAfterPolls = 1;
         },
         true},
        {"a failed write", COMB, [](RecordingTarget& t) { t.failure = QStringLiteral("gone"); }, false},
        {"a refused write", UDPS,
         [](RecordingTarget& t) {
             t.failure = QStringLiteral("too long");
             t.refused = true;
         },
         false},
        {"no client chosen", TCPS, [](RecordingTarget& t) { t.ready = false; }, false},
        {"an automatic open that gives up", TCPC,
         [](RecordingTarget& t) {
             t.autoOpen = true;
             t.open = false;
             t.openAfterPolls = -1;
         },
         false},
        {"an unknown channel", static_cast<ChannelId>(-1), {}, false},
    };
    MessageRecorder boxes;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        for (RecordingTarget& target : targets)
            target = RecordingTarget();
        if (row.setUp)
            row.setUp(targets[row.channel]);
        EXPECT_EQ(dispatcher.SendToChannel("41", row.channel, true), row.wentOut);
        if (row.setUp)
            row.setUp(targets[row.channel]);
        EXPECT_EQ(dispatcher.SendBytesToChannel("A", row.channel), row.wentOut);
    }
}

TEST_F(SendDispatcherTest, LineShowsTheCountTheWriteReports)
{
    targets[TCPC].reportedCount = [](const QByteArray&) { return -1; };
    dispatcher.SendToChannel("abc", TCPC, false);
    EXPECT_EQ(info.lines.at(0).text, QStringLiteral("TCP Client发送文本数据-1字节："));
}

TEST_F(SendDispatcherTest, HexPayloadOfAnyLengthGoesOutAsOneFrame)
{
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
        text += "A5 ";
    dispatcher.SendToChannel(text, UDPC, true);
    ASSERT_EQ(targets[UDPC].writes.size(), 1u);
    EXPECT_EQ(targets[UDPC].writes[0], QByteArray(20000, '\xA5'));
    EXPECT_EQ(counters[UDPC].txBytes, 20000);
}

TEST_F(SendDispatcherTest, AutomaticOpenThatSucceeds)
{
    RecordingTarget& port = targets[COMA];
    port.autoOpen = true;
    port.open = false;
    port.openAfterPolls = 3;
    dispatcher.SendToChannel("11", COMA, true);
    EXPECT_EQ(port.startOpeningCalls, 1);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(counters[COMA].txFrames, 1);
}

TEST_F(SendDispatcherTest, AutomaticOpenThatGivesUpDropsSilently)
{
    RecordingTarget& port = targets[TCPC];
    port.autoOpen = true;
    port.open = false;
    port.openAfterPolls = -1;
    dispatcher.SendToChannel("11", TCPC, true);
    EXPECT_EQ(port.startOpeningCalls, 1);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(info.lines.empty());
    EXPECT_EQ(statusRefreshes, 0);
}

TEST_F(SendDispatcherTest, EveryAutomaticOpenHasItsOwnBudget)
{
    RecordingTarget& port = targets[COMB];
    port.autoOpen = true;
    port.open = false;
    port.openAfterPolls = -1;
    dispatcher.SendToChannel("11", COMB, true);
    dispatcher.SendToChannel("11", COMB, true);
    EXPECT_TRUE(port.writes.empty());
    // After two full waits, a port that needs nine rounds still gets its send out.
    port.openAfterPolls = 8;
    dispatcher.SendToChannel("11", COMB, true);
    EXPECT_EQ(port.startOpeningCalls, 3);
    EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(SendDispatcherTest, EventsAreHandledWhileWaitingForAnOpen)
{
    RecordingTarget& port = targets[COMA];
    port.autoOpen = true;
    port.open = false;
    port.openAfterPolls = -1;
    bool timerRan = false;
    QTimer::singleShot(150, [&] {
        timerRan = true;
        port.open = true;
    });
    dispatcher.SendToChannel("11", COMA, true);
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(SendDispatcherTest, BytesGoOutShownAndCountedAsAHexSendOfTheirDigits)
{
    struct Outcome
    {
        std::vector<QByteArray> writes;
        std::vector<std::pair<QString, LineColor>> lines;
        qint32 txBytes = 0;
        qint32 txFrames = 0;
        int refreshes = 0;
        bool operator==(const Outcome&) const = default;
    };
    QByteArray large(70000, Qt::Uninitialized);
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 13);
    const struct
    {
        const char* behaviour;
        ChannelId channel;
        QByteArray bytes;
        std::function<void(RecordingTarget&)> setUp;
        bool sendInfo;
    } rows[] = {
        {"zero, high and CR bytes to an open port", COMA, QByteArray("\x00\xFF\x0D", 3), {}, true},
        {"a large chunk", TCPC, large, {}, true},
        {"no line end in hex mode", TCPS, "AB", [](RecordingTarget& t) { t.lineEnd = "\r\n"; }, true},
        {"a broadcast", UDPS, "\x01", [](RecordingTarget& t) { t.broadcast = true; }, true},
        {"the count the write reports", TCPC, "abc",
         [](RecordingTarget& t) { t.reportedCount = [](const QByteArray&) { return 1; }; }, true},
        {"a target not ready drops it", TCPS, "\x11", [](RecordingTarget& t) { t.ready = false; }, true},
        {"a port that opens after a wait", COMB, "\x22",
         [](RecordingTarget& t) {
             t.autoOpen = true;
             t.open = false;
             t.openAfterPolls = 1;
         },
         true},
        {"send info off", UDPC, "\x33", {}, false},
        {"an unknown channel", static_cast<ChannelId>(-1), "\x44", {}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        const auto run = [&](const std::function<void()>& send) {
            for (RecordingTarget& target : targets)
                target = RecordingTarget();
            if (row.setUp)
                row.setUp(targets[row.channel]);
            options.sendInfo = row.sendInfo;
            info.lines.clear();
            counters.ClearAll();
            statusRefreshes = 0;
            send();
            Outcome outcome;
            for (const RecordingTarget& t : targets)
                outcome.writes.insert(outcome.writes.end(), t.writes.begin(), t.writes.end());
            for (const auto& line : info.lines)
                outcome.lines.emplace_back(line.text, line.color);
            const CONN_INFO& record = counters[row.channel >= 0 ? row.channel : COMA];
            outcome.txBytes = record.txBytes;
            outcome.txFrames = record.txFrames;
            outcome.refreshes = statusRefreshes;
            return outcome;
        };
        const Outcome viaDigits = run([&] { dispatcher.SendToChannel(BytesToHexPlain(row.bytes), row.channel, true); });
        const Outcome direct = run([&] { dispatcher.SendBytesToChannel(row.bytes, row.channel); });
        EXPECT_TRUE(direct == viaDigits);
    }
}

}  // namespace
