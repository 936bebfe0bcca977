#include "protocol/tnr_data_protocol.h"

#include "io/tnr_timer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct RecordingLog : TnrLog
{
    std::vector<QString> lines;
    void AddLog(TDetailLevel, const QString& text) override { lines.push_back(text); }
};

// A protocol whose timer the test can see, recording every reported packet
// as "index:bytes" and every timeout.
class RecordingProtocol : public TnrDataProcessor
{
public:
    RecordingProtocol()
    {
        OnDataPacket = [this](TnrDataProtocol*, TnrDataPacket* packet) {
            reports.push_back(std::to_string(DataPackets().IndexOf(packet)) + ":" +
                              packet->GetDataAsString().toStdString());
        };
        OnTimeout = [this](TnrDataProtocol*) { ++timeouts; };
    }
    using TnrCustomDataProcessor::Timer;

    void Feed(const QByteArray& bytes) { DataReceive(bytes.constData(), static_cast<quint32>(bytes.size())); }

    std::vector<std::string> reports;
    int timeouts = 0;
};

bool WaitFor(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return done();
}

// One packet description of a table row.
struct Description
{
    Description(QByteArray begin_, QByteArray end_ = {}, int length_ = 0, bool resetOthers_ = false,
                bool lengthCallback_ = false, quint8 wild_ = 0, int lengthMax_ = 0)
        : begin(std::move(begin_)), end(std::move(end_)), length(length_), resetOthers(resetOthers_),
          lengthCallback(lengthCallback_), wild(wild_), lengthMax(lengthMax_)
    {
    }
    QByteArray begin;
    QByteArray end;
    int length;
    bool resetOthers;
    bool lengthCallback;
    quint8 wild;
    int lengthMax;
};

void Describe(TnrDataProtocol& protocol, const std::vector<Description>& descriptions)
{
    for (const Description& d : descriptions) {
        TnrDataPacket* packet = protocol.DataPackets().Add();
        packet->PacketBegin = d.begin;
        packet->PacketEnd = d.end;
        packet->PacketLength = d.length;
        packet->ResetOthers = d.resetOthers;
        packet->WildChar = d.wild;
        if (d.lengthMax > 0)
            packet->SetPacketLengthMax(d.lengthMax);
        if (d.lengthCallback) {
            // The first byte after the marker counts the bytes still to come
            // before a two-byte trailer.
            packet->OnPacketLength = [](TnrDataPacket* p, quint8 byte, bool& handled) {
                p->PacketLength = byte + p->Pos() + 2;
                handled = true;
            };
        }
        packet->Reset();
    }
}

struct FramingRow
{
    const char* name;
    std::vector<Description> packets;
    QByteArray input;
    std::vector<std::string> reports;
};

const std::vector<FramingRow>& FramingRows()
{
    static const std::vector<FramingRow> rows = {
        {"colon to CR LF: bytes before the colon are not stored",
         {{":", "\r\n"}},
         "xx:abc\r\nyy:d\r\r\n",
         {"0::abc\r\n", "0::d\r\r\n"}},
        {"two-byte begin and length 8 counts from the first begin byte",
         {{"AB", "", 8}},
         "zAAB123456AB",
         {"0:AB123456"}},
        {"1B 5B 3F before 1B 5B: the longer sequence wins and the other is reset",
         {{"\x1b[?", "h", 0, true}, {"\x1b[", "h", 0, true}},
         "\x1b[?25h" "h" "\x1b[1h",
         {"0:\x1b[?25h", "1:\x1b[1h"}},
        {"length callback sees the first byte after the begin marker",
         {{"\x02", "", 0, false, true}},
         QByteArray("\x02\x03" "abcde" "\x02\x00" "xy", 11),
         {"0:\x02\x03" "abcde", std::string("0:\x02\x00xy", 6)}},
        {"begin-only packet completes on the last marker byte",
         {{"AT"}},
         "xATyAAT",
         {"0:AT", "0:AT"}},
        {"marker a a b is not found in a a a b",
         {{"aab"}},
         "aaab" "aab",
         {"0:aab"}},
        {"wild byte: the collected begin is the pattern's text",
         {{"A?", "!", 0, false, false, '?'}},
         "AxyzAB!",
         {"0:A?yzAB!"}},
        {"end-only with a length keeps the last bytes",
         {{"", "\n", 3}},
         "abcdef\nxy\n",
         {"0:ef\n", "0:xy\n"}},
        {"a packet that is only its marker",
         {{"XY", "", 2}},
         "aXYXY",
         {"0:XY", "0:XY"}},
        {"earlier description wins a tie on the same byte",
         {{"", "\n"}, {"", "\n"}},
         "ab\n",
         {"0:ab\n"}},
        {"a frame longer than the buffer is dropped and the next one found",
         {{":", "\r\n", 0, false, false, 0, 512}},
         ":" + QByteArray(600, 'x') + "\r\n:ok\r\n",
         {"0::ok\r\n"}},
        {"end-only collection restarts empty past the buffer",
         {{"", "\n", 0, false, false, 0, 512}},
         QByteArray(512, 'x') + "ab\n",
         {"0:ab\n"}},
    };
    return rows;
}

TEST(TnrDataProtocolTest, FramesPacketsByTheirDescriptions)
{
    for (const FramingRow& row : FramingRows()) {
        RecordingProtocol protocol;
        Describe(protocol, row.packets);
        protocol.Feed(row.input);
        EXPECT_EQ(protocol.reports, row.reports) << row.name;
    }
}

// A stream parser gives the same packets however the stream is cut into chunks.
TEST(TnrDataProtocolTest, SameResultForEverySplitOfTheInput)
{
    for (const FramingRow& row : FramingRows()) {
        for (qsizetype cut = 0; cut <= row.input.size(); ++cut) {
            RecordingProtocol protocol;
            Describe(protocol, row.packets);
            protocol.Feed(row.input.first(cut));
            protocol.Feed(row.input.sliced(cut));
            EXPECT_EQ(protocol.reports, row.reports) << row.name << ", cut at " << cut;
        }
    }
}

TEST(TnrDataProtocolTest, PriorityWinnerResetsTheOtherPacket)
{
    RecordingProtocol protocol;
    Describe(protocol, {{"\x1b[?", "h", 0, true}, {"\x1b[", "h", 0, true}});
    protocol.Feed("\x1b[?25");
    EXPECT_TRUE(protocol.DataPackets()[1]->IsPossible()) << "the shorter description is collecting too";
    protocol.Feed("h");
    EXPECT_EQ(protocol.reports, (std::vector<std::string>{"0:\x1b[?25h"}));
    EXPECT_FALSE(protocol.DataPackets()[1]->IsPossible());
    EXPECT_EQ(protocol.DataPackets()[1]->State(), dpsWaitBegin);
    protocol.Feed("h");
    EXPECT_EQ(protocol.reports.size(), 1u) << "the reset packet does not complete on a later end byte";
}

TEST(TnrDataProtocolTest, InactiveProtocolAndInactivePacketsIgnoreBytes)
{
    TnrDataProtocol protocol;
    EXPECT_FALSE(protocol.Active());
    int reports = 0;
    protocol.OnDataPacket = [&](TnrDataProtocol*, TnrDataPacket*) { ++reports; };
    Describe(protocol, {{"AT"}});
    protocol.DataReceive("AT", 2);
    EXPECT_EQ(reports, 0);
    protocol.SetActive(true);
    protocol.DataReceive("AT", 2);
    EXPECT_EQ(reports, 1);
    protocol.DataPackets()[0]->Active = false;
    protocol.DataReceive("AT", 2);
    EXPECT_EQ(reports, 1);

    TnrDataProcessor processor;
    EXPECT_TRUE(processor.Active()) << "the ready-to-use form is active from creation";
    EXPECT_EQ(processor.LogPrefix(), QStringLiteral("nrDataProc: "));
    EXPECT_EQ(protocol.LogPrefix(), QStringLiteral("nrDataProt: "));
}

TEST(TnrDataProtocolTest, ChunksRestartTheIdleTimerAndGoOnToTheChainedProcessor)
{
    RecordingProtocol protocol;
    RecordingProtocol next;
    Describe(protocol, {{"AT"}});
    Describe(next, {{"xAT"}});
    protocol.SetDataProcessor(&next);

    protocol.SetTimeout(3000);
    protocol.Feed("xA");
    EXPECT_TRUE(protocol.Timer()->Enabled());
    EXPECT_EQ(protocol.Timer()->Interval(), 3000);

    protocol.SetTimeout(0);
    protocol.Feed("T");
    EXPECT_FALSE(protocol.Timer()->Enabled()) << "Timeout 0: no idle timer";
    EXPECT_EQ(protocol.reports, (std::vector<std::string>{"0:AT"}));
    EXPECT_EQ(next.reports, (std::vector<std::string>{"0:xAT"})) << "the chained processor sees the chunks unchanged";
}

TEST(TnrDataProtocolTest, IdleTimerRaisesOnTimeoutOnceThenStaysOff)
{
    RecordingProtocol protocol;
    Describe(protocol, {{":", "\r\n"}});
    protocol.SetTimeout(20);
    protocol.Feed(":ab");
    ASSERT_TRUE(WaitFor([&] { return protocol.timeouts > 0; }, 2000));
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(protocol.timeouts, 1);
    EXPECT_FALSE(protocol.Timer()->Enabled());
    EXPECT_TRUE(protocol.reports.empty());
}

TEST(TnrDataProtocolTest, IdleTimerEndsTimeoutFramedPackets)
{
    RecordingProtocol protocol;
    TnrDataPacket* packet = protocol.DataPackets().Add();
    packet->PacketBegin = "#";
    packet->PacketEndByTimeout = true;
    packet->Reset();
    protocol.SetTimeout(20);
    protocol.Feed("x#ab");
    protocol.Feed("c");
    ASSERT_TRUE(WaitFor([&] { return !protocol.reports.empty(); }, 2000));
    EXPECT_EQ(protocol.reports, (std::vector<std::string>{"0:#abc"}));
    EXPECT_EQ(protocol.timeouts, 0);
    EXPECT_EQ(packet->Pos(), 0) << "the ended packet is reset";

    // An idle time with nothing collected is a plain timeout.
    protocol.Feed("y");
    ASSERT_TRUE(WaitFor([&] { return protocol.timeouts > 0; }, 2000));
    EXPECT_EQ(protocol.reports.size(), 1u);
}

TEST(TnrDataProtocolTest, LengthCallbackIsConsultedUntilItAnswers)
{
    RecordingProtocol protocol;
    TnrDataPacket* packet = protocol.DataPackets().Add();
    packet->PacketBegin = "S";
    std::vector<int> seen;
    // The length is in the second byte after the marker.
    packet->OnPacketLength = [&](TnrDataPacket* p, quint8 byte, bool& handled) {
        seen.push_back(byte);
        if (p->Pos() == 3) {
            p->PacketLength = 3 + byte;
            handled = true;
        }
    };
    packet->Reset();
    protocol.Feed(QByteArray("S\x07\x02xy" "S\x01\x01z", 9));
    EXPECT_EQ(seen, (std::vector<int>{7, 2, 1, 1}));
    EXPECT_EQ(protocol.reports, (std::vector<std::string>{"0:S\x07\x02xy", "0:S\x01\x01z"}));
}

TEST(TnrDataProtocolTest, ThrowingHandlersBecomeFatalErrors)
{
    RecordingProtocol protocol;
    Describe(protocol, {{"AT"}});
    protocol.DataPackets()[0]->Caption = "Attention";
    RecordingLog log;
    protocol.SetLog(&log);
    std::vector<std::pair<quint32, QString>> errors;
    protocol.OnFatalError = [&](TnrCustomDataProcessor*, quint32 code, quint32 detail, const QString& message,
                                bool& raise) {
        EXPECT_EQ(detail, 1u);
        errors.emplace_back(code, message);
        raise = false;
    };
    protocol.OnDataPacket = [](TnrDataProtocol*, TnrDataPacket*) { throw std::runtime_error("boom"); };
    protocol.OnTimeout = [](TnrDataProtocol*) { throw std::runtime_error("bang"); };
    protocol.Feed("AT");
    protocol.SetTimeout(10);
    protocol.Feed("x");
    ASSERT_TRUE(WaitFor([&] { return errors.size() == 2; }, 2000));
    EXPECT_EQ(errors[0], std::make_pair(15u, QStringLiteral("EXCEPTION in DataPacket handler [Attention]boom")));
    EXPECT_EQ(errors[1], std::make_pair(15u, QStringLiteral("EXCEPTION in OnTimout handler.bang")));
    EXPECT_EQ(log.lines.front(), QStringLiteral("nrDataProc: DataPacket is detected: Attention"));

    // Without a handler that cancels it the error surfaces to the caller.
    protocol.OnFatalError = nullptr;
    EXPECT_THROW(protocol.Feed("AT"), std::runtime_error);
}

TEST(TnrDataProtocolTest, MediumEventsResetThePackets)
{
    TnrBaseIO device;
    RecordingProtocol protocol;
    Describe(protocol, {{":", "\r\n"}});
    device.SetDataProcessor(&protocol);
    device.DoInputData(":ab", 3);
    EXPECT_TRUE(protocol.DataPackets()[0]->IsPossible());
    device.DoNotify(kNotifyClosed);
    EXPECT_FALSE(protocol.DataPackets()[0]->IsPossible());
    device.DoInputData("\r\n", 2);
    device.DoInputData(":a", 2);
    device.DoNotify(kNotifyOpened);
    device.DoInputData("\r\n", 2);
    EXPECT_TRUE(protocol.reports.empty());
}

TEST(TnrDataProtocolTest, AssigningACollectionCopiesTheDescriptions)
{
    RecordingProtocol source;
    Describe(source, {{":", "\r\n"}, {"AT"}});
    source.DataPackets()[1]->Tag = 42;
    source.DataPackets()[1]->SetPacketLengthMax(100);
    RecordingProtocol copy;
    copy.SetDataPackets(source.DataPackets());
    ASSERT_EQ(copy.DataPackets().Count(), 2);
    EXPECT_EQ(copy.DataPackets()[1]->Tag, 42);
    EXPECT_EQ(copy.DataPackets()[1]->PacketLengthMax(), 512) << "below the minimum stores 512";
    EXPECT_EQ(copy.DataPackets()[0]->DisplayName(), QStringLiteral("TnrDataPacket"));
    copy.Feed(":x\r\nAT");
    EXPECT_EQ(copy.reports, (std::vector<std::string>{"0::x\r\n", "1:AT"}));
    EXPECT_TRUE(source.reports.empty());
}

TEST(TnrDataProtocolTest, CollectionKeepsInsertionOrder)
{
    TnrDataPackets packets;
    TnrDataPacket* last = packets.Add();
    TnrDataPacket* first = packets.Insert(0);
    TnrDataPacket* middle = packets.AddItem(nullptr, 1);
    EXPECT_EQ(packets.IndexOf(first), 0);
    EXPECT_EQ(packets.IndexOf(middle), 1);
    EXPECT_EQ(packets.IndexOf(last), 2);
    EXPECT_EQ(middle->Collection(), &packets);
}

}  // namespace
