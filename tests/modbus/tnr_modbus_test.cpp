#include "modbus/tnr_modbus.h"

#include "io/tnr_base_io.h"
#include "tests/modbus/modbus_test_support.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct RecordingLog : TnrLog
{
    QStringList lines;
    void AddLog(TDetailLevel, const QString& text) override { lines << text; }
};

// The engine without a port: what it sends is recorded (OnDataSend handles
// it) and replies are fed by hand.
class TnrModbusTest : public testing::Test
{
protected:
    TnrModbusTest() { Fresh(); }

    // A new engine, active, with every event recorded.
    void Fresh()
    {
        sent.clear();
        replies.clear();
        timeouts = 0;
        deviceStates.clear();
        log.lines.clear();
        engine = std::make_unique<TnrModbus>();
        engine->SetActive(true);
        engine->SetLog(&log);
        engine->OnDataSend = [this](TnrCustomDataProcessor*, const char* buffer, quint32 length, bool,
                                    bool& handled) {
            sent.emplace_back(buffer, qsizetype(length));
            handled = true;
        };
        engine->OnModbusReply = [this](TnrModbus*, const TnrModbusPacket& reply, const TnrModbusRegisterList& r,
                                       const TnrModbusCoilList& c) { replies.push_back(Capture(reply, r, c)); };
        engine->OnTimeout = [this](TnrDataProtocol*) { ++timeouts; };
        engine->OnDeviceState = [this](TnrModbus*, quint8 id, bool connected) {
            deviceStates.emplace_back(id, connected);
        };
    }

    void Feed(const QByteArray& bytes) { engine->DataReceive(bytes.constData(), quint32(bytes.size())); }
    QByteArray Frame(const char* body) const { return engine->ASCII() ? AsciiFrame(Hex(body)) : RtuFrame(Hex(body)); }
    QByteArray Request(const char* body) const { return Frame(body); }

    std::unique_ptr<TnrModbus> engine;
    RecordingLog log;
    std::vector<QByteArray> sent;
    std::vector<SeenReply> replies;
    int timeouts = 0;
    std::vector<std::pair<quint8, bool>> deviceStates;
};

TEST(ModbusChecksTest, CrcAndLrcOfKnownFrames)
{
    const QByteArray check = "123456789";
    EXPECT_EQ(ModbusCrc16(reinterpret_cast<const quint8*>(check.constData()), 9), 0x4B37);
    const QByteArray frame = Hex("01 03 00 00 00 0A");
    EXPECT_EQ(RtuFrame(frame), Hex("01 03 00 00 00 0A C5 CD")) << "the frame every Modbus guide shows";
    EXPECT_EQ(ModbusLrc(reinterpret_cast<const quint8*>(frame.constData()), 6), 0xF2);

    TnrModbusPacket packet;
    const QByteArray reply = Hex("01 03 00 00 00 0A C5 CD");
    packet.AssignData(reply.constData(), int(reply.size()));
    EXPECT_TRUE(packet.IsCrcOK());
    EXPECT_EQ(packet.Crc(), 0xC5CD) << "the stored CRC read with its bytes swapped";
    packet.Buffer[7] ^= 1;
    EXPECT_FALSE(packet.IsCrcOK());
    packet.RecalcCrc();
    EXPECT_TRUE(packet.IsCrcOK());
    packet.RecalcLrc();
    EXPECT_TRUE(packet.IsLrcOK());
    EXPECT_EQ(packet.Lrc(), 0xF2);

    const QByteArray tooLong(301, 'x');
    EXPECT_THROW(packet.AssignData(tooLong.constData(), 301), std::runtime_error);
}

TEST(ModbusChecksTest, ExceptionTexts)
{
    const std::pair<quint8, const char*> rows[] = {
        {0, "OK (00h)"},
        {1, "Illegal function (01h)"},
        {2, "Illegal data address (02h)"},
        {3, "Illegal data value (03h)"},
        {4, "Server device failure (04h)"},
        {5, "Acknowledge (05h)"},
        {6, "Server device busy (06h)"},
        {7, "Unknown modbus exception: 07"},
        {8, "Memory parity error (08h)"},
        {9, "Unknown modbus exception: 09"},
        {10, "Gateway path unavailable (0Ah)"},
        {11, "Gateway target device failed to respond (0Bh)"},
        {12, "Unknown modbus exception: 0C"},
        {0xFF, "Unknown modbus exception: FF"},
    };
    for (const auto& [code, text] : rows)
        EXPECT_EQ(ModbusExceptionMessage(code), QString::fromLatin1(text)) << int(code);
}

TEST(ModbusListsTest, NumbersAreUniqueAndKeepTheirPlace)
{
    TnrModbusRegisterList registers;
    registers.Add(5, 50);
    registers.Add(3, 30);
    registers.Put(5, 55);
    ASSERT_EQ(registers.Count(), 2);
    EXPECT_EQ(registers.Item(0), (5u << 16) + 55u);
    EXPECT_EQ(registers.GetRegNumber(1), 3);
    EXPECT_EQ(registers.Get(3), 30);
    EXPECT_EQ(registers.Get(4), 0);
    EXPECT_EQ(registers.IndexOfRegister(4), -1);
    TnrModbusCoilList coils;
    coils.Add(0xFFFF, true);
    EXPECT_TRUE(coils.GetCoilValue(coils.IndexOfCoil(0xFFFF)));
}

TEST_F(TnrModbusTest, RequestFramesOfTheEightFunctionsInBothFramings)
{
    struct Row
    {
        const char* name;
        std::function<void(TnrModbus&)> call;
        const char* rtu;
        const char* ascii;
    };
    static const bool bits[] = {true, false, true, true, false, false, false, false, true, true};
    static const quint16 values[] = {1, 0xABCD};
    const Row rows[] = {
        {"read coils", [](TnrModbus& m) { m.ReadCoils(0x4A00, 10, 7, false); }, "07 01 4A 00 00 0A AA 73",
         ":07014A00000AA4\r\n"},
        {"read inputs", [](TnrModbus& m) { m.ReadInputs(0x4A00, 10, 7, false); }, "07 02 4A 00 00 0A EE 73",
         ":07024A00000AA3\r\n"},
        {"read registers", [](TnrModbus& m) { m.ReadRegisters(0x4A00, 10, 7, false); }, "07 03 4A 00 00 0A D3 B3",
         ":07034A00000AA2\r\n"},
        {"read input registers", [](TnrModbus& m) { m.ReadInputRegisters(0x4A00, 10, 7, false); },
         "07 04 4A 00 00 0A 66 73", ":07044A00000AA1\r\n"},
        {"write coil on", [](TnrModbus& m) { m.WriteCoil(0, true, 7); }, "07 05 00 00 FF 00 8C 5C",
         ":07050000FF00F5\r\n"},
        {"write coil off", [](TnrModbus& m) { m.WriteCoil(0, false, 7); }, "07 05 00 00 00 00 CD AC",
         ":070500000000F4\r\n"},
        {"write register", [](TnrModbus& m) { m.WriteRegister(0x4A00, 0xFFFF, 7); }, "07 06 4A 00 FF FF 9E 04",
         ":07064A00FFFFAB\r\n"},
        {"write coils, least significant bit first", [](TnrModbus& m) { m.WriteCoils(0x4A00, bits, 10, 7); },
         "07 0F 4A 00 00 0A 02 0D 03 61 CD", ":070F4A00000A020D0384\r\n"},
        {"write registers", [](TnrModbus& m) { m.WriteRegisters(0x4A00, values, 2, 7); },
         "07 10 4A 00 00 02 04 00 01 AB CD 4D 21", ":07104A000002040001ABCD20\r\n"},
        {"the address-less form uses Address",
         [](TnrModbus& m) {
             m.SetAddress(7);
             m.ReadRegisters(0x4A00, 10, false);
         },
         "07 03 4A 00 00 0A D3 B3", ":07034A00000AA2\r\n"},
    };
    for (const Row& row : rows) {
        for (bool ascii : {false, true}) {
            Fresh();
            engine->SetASCII(ascii);
            row.call(*engine);
            ASSERT_EQ(sent.size(), 1u) << row.name;
            EXPECT_EQ(sent[0], ascii ? QByteArray(row.ascii) : Hex(row.rtu))
                << row.name << (ascii ? " in ASCII" : " in RTU");
            EXPECT_TRUE(engine->RequestOutstanding());
        }
    }
}

TEST_F(TnrModbusTest, RequestsAreLogged)
{
    static const bool bits[10] = {};
    engine->ReadRegisters(0x4A00, 10, 7, false);
    engine->ReadCoils(0x0001, 16, 0xAB, true);
    engine->WriteCoil(0x4A00, true, 7);
    engine->WriteCoil(0x0010, false, 7);
    engine->WriteRegister(0x4A00, 0xFFFF, 7);
    engine->WriteCoils(0x4A00, bits, 10, 7);
    const QStringList expected = {
        "nrModbus: ReadRegisters 4A00 count: 10 addr:07", "nrModbus: ReadCoil 0001 count: 16 addr:AB",
        "nrModbus: WrtieCoil 4A00 -1 07",                 "nrModbus: WrtieCoil 0010 0 07",
        "nrModbus: WriteRegister 4A00 FFFF 07",           "nrModbus: WriteCoils 4A00 bits: 10 addr:07",
    };
    QStringList requests;
    for (const QString& line : log.lines)
        if (!line.contains(QStringLiteral("DoDataSend")))
            requests << line;
    EXPECT_EQ(requests, expected);
}

TEST_F(TnrModbusTest, RefusedRequestsQueueNothing)
{
    std::vector<quint16> values(128, 1);
    try {
        engine->WriteRegisters(0, values.data(), 128, 7);
        ADD_FAILURE() << "128 values were accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Modbus data length too long");
    }
    EXPECT_EQ(engine->RequestCount(), 0);
    engine->WriteRegisters(0, values.data(), 127, 7);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 9 + 2 * 127);

    Fresh();
    engine->SetActive(false);
    try {
        engine->ReadRegisters(0, 1, 7, false);
        ADD_FAILURE() << "an inactive engine took a request";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Modbus is not Active");
    }
    EXPECT_THROW(engine->WriteCoil(0, true, 7), std::runtime_error);
    EXPECT_EQ(engine->RequestCount(), 0);
    EXPECT_TRUE(sent.empty());
}

// The read and write replies of the examples, in both framings and cut into
// two chunks at every byte.
TEST_F(TnrModbusTest, RepliesAreDecodedHoweverTheyArrive)
{
    using Registers = std::vector<std::pair<quint16, quint16>>;
    using Coils = std::vector<std::pair<quint16, bool>>;
    struct Row
    {
        const char* name;
        std::function<void(TnrModbus&)> call;
        const char* reply;
        Registers registers;
        Coils coils;
    };
    const Row rows[] = {
        {"two registers from 0x4A00", [](TnrModbus& m) { m.ReadRegisters(0x4A00, 2, 7, false); },
         "07 03 04 00 01 00 02", {{0x4A00, 1}, {0x4A01, 2}}, {}},
        {"input registers", [](TnrModbus& m) { m.ReadInputRegisters(0x0010, 1, 7, false); }, "07 04 02 AB CD",
         {{0x0010, 0xABCD}}, {}},
        {"ten coils from bytes 05 02", [](TnrModbus& m) { m.ReadCoils(0x4A00, 10, 7, false); }, "07 01 02 05 02",
         {},
         {{0x4A00, true},
          {0x4A01, false},
          {0x4A02, true},
          {0x4A03, false},
          {0x4A04, false},
          {0x4A05, false},
          {0x4A06, false},
          {0x4A07, false},
          {0x4A08, false},
          {0x4A09, true}}},
        {"coil numbers wrap at 16 bits", [](TnrModbus& m) { m.ReadInputs(0xFFFF, 2, 7, false); }, "07 02 01 03",
         {}, {{0xFFFF, true}, {0x0000, true}}},
        {"no more coils than the byte count holds", [](TnrModbus& m) { m.ReadCoils(0, 20, 7, false); },
         "07 01 01 FF", {}, {{0, true}, {1, true}, {2, true}, {3, true}, {4, true}, {5, true}, {6, true}, {7, true}}},
        {"write register echo", [](TnrModbus& m) { m.WriteRegister(0x4A00, 0xFFFF, 7); }, "07 06 4A 00 FF FF",
         {{0x4A00, 0xFFFF}}, {}},
        {"write registers reply carries the quantity",
         [](TnrModbus& m) {
             const quint16 value = 0xFFFF;
             m.WriteRegisters(0x4A00, &value, 1, 7);
         },
         "07 10 4A 00 00 01", {{0x4A00, 1}}, {}},
        {"write coil echo", [](TnrModbus& m) { m.WriteCoil(0x0003, true, 7); }, "07 05 00 03 FF 00", {},
         {{0x0003, true}}},
        {"write coils reply decodes nothing",
         [](TnrModbus& m) {
             const bool on = true;
             m.WriteCoils(0x0003, &on, 1, 7);
         },
         "07 0F 00 03 00 01", {}, {}},
    };
    for (const Row& row : rows) {
        for (bool ascii : {false, true}) {
            Fresh();
            engine->SetASCII(ascii);
            const QByteArray reply = Frame(row.reply);
            for (qsizetype cut = 0; cut <= reply.size(); ++cut) {
                replies.clear();
                row.call(*engine);
                Feed(reply.first(cut));
                Feed(reply.sliced(cut));
                ASSERT_EQ(replies.size(), 1u) << row.name << " cut at " << cut << (ascii ? " ASCII" : " RTU");
                EXPECT_FALSE(replies[0].exception);
                EXPECT_EQ(replies[0].registers, row.registers) << row.name;
                EXPECT_EQ(replies[0].coils, row.coils) << row.name;
                EXPECT_EQ(engine->RequestCount(), 0);
                EXPECT_FALSE(engine->RequestOutstanding());
            }
            EXPECT_EQ(timeouts, 0);
            EXPECT_TRUE(engine->IsConnectedDevice(7));
        }
    }
}

TEST_F(TnrModbusTest, ExceptionReplyIsAnAnswerNotAFault)
{
    for (bool ascii : {false, true}) {
        Fresh();
        engine->SetASCII(ascii);
        engine->ReadRegisters(0x4A00, 10, 7, false);
        Feed(Frame("07 83 02"));
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_TRUE(replies[0].exception);
        EXPECT_EQ(replies[0].function, 0x83);
        EXPECT_EQ(replies[0].message, QStringLiteral("Illegal data address (02h)"));
        EXPECT_TRUE(replies[0].registers.empty());
        EXPECT_TRUE(replies[0].coils.empty());
        EXPECT_TRUE(log.lines.contains(QStringLiteral("nrModbus: Modbus replies EXCEPTION: Illegal data address (02h)")));
        EXPECT_TRUE(engine->IsConnectedDevice(7)) << "the slave answered";
        EXPECT_EQ(timeouts, 0);
        EXPECT_EQ(engine->RequestCount(), 0);
    }
}

TEST_F(TnrModbusTest, WrongCheckAdvancesTheQueueWithoutAReply)
{
    for (bool ascii : {false, true}) {
        Fresh();
        engine->SetASCII(ascii);
        engine->ReadRegisters(0x4A00, 2, 7, false);
        engine->WriteRegister(0x0001, 5, 7);
        ASSERT_EQ(sent.size(), 1u) << "the second request waits for the first";
        QByteArray bad = Frame("07 03 04 00 01 00 02");
        bad[ascii ? bad.size() - 3 : bad.size() - 1] = ascii ? (bad[bad.size() - 3] == '0' ? '1' : '0') : ~bad.back();
        Feed(bad);
        EXPECT_TRUE(replies.empty());
        EXPECT_TRUE(log.lines.contains(QStringLiteral("nrModbus: Modbus: CRC WRONG! ")));
        ASSERT_EQ(sent.size(), 2u) << "the next request goes out at once";
        EXPECT_EQ(sent[1], Frame("07 06 00 01 00 05"));
        EXPECT_FALSE(engine->IsConnectedDevice(7));
        Feed(Frame("07 06 00 01 00 05"));
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].function, 6);
    }
}

TEST_F(TnrModbusTest, NoiseBeforeAReplyIsSkipped)
{
    for (bool ascii : {false, true}) {
        Fresh();
        engine->SetASCII(ascii);
        engine->ReadRegisters(0x4A00, 1, 7, false);
        const QByteArray noise = ascii ? QByteArray("xx:zz\r\n\r:") + char(0) : Hex("00 FF 07 55 03 AA 83");
        Feed(noise + Frame("07 03 02 12 34"));
        ASSERT_EQ(replies.size(), 1u) << (ascii ? "ASCII" : "RTU");
        EXPECT_EQ(replies[0].registers, (std::vector<std::pair<quint16, quint16>>{{0x4A00, 0x1234}}));
    }
}

TEST_F(TnrModbusTest, AReplyFromAnotherSlaveOrFunctionEndsByTimeout)
{
    engine->SetTimeout(30);
    engine->ReadRegisters(0x4A00, 1, 7, false);
    Feed(RtuFrame(Hex("08 03 02 12 34")));
    Feed(RtuFrame(Hex("07 04 02 12 34")));
    EXPECT_TRUE(replies.empty());
    ASSERT_TRUE(WaitFor([&] { return timeouts == 1; }, 2000));
    EXPECT_EQ(engine->RequestCount(), 0) << "a timed-out one-shot request is dropped";
}

TEST_F(TnrModbusTest, PendingRequestWaitsForTheOutstandingOne)
{
    engine->ReadRegisters(0x4A00, 1, 7, false);
    engine->ReadCoils(0x0000, 8, 9, false);
    engine->WriteCoil(1, true, 7);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(engine->RequestCount(), 3);
    Feed(RtuFrame(Hex("07 03 02 00 01")));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], RtuFrame(Hex("09 01 00 00 00 08")));
    Feed(RtuFrame(Hex("09 01 01 81")));
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(replies[1].address, 9) << "recognisers are made for every slave address asked";
    EXPECT_EQ(replies[1].coils.back(), std::make_pair(quint16(7), true));
}

TEST_F(TnrModbusTest, TwoPollRequestsAlternateUntilStopped)
{
    engine->SetTimeout(20);
    engine->ReadRegisters(0x4A00, 10, 7, true);
    engine->ReadCoils(0x4A00, 10, 7, true);
    ASSERT_TRUE(WaitFor([&] { return sent.size() >= 5; }, 5000));
    const QByteArray registers = RtuFrame(Hex("07 03 4A 00 00 0A"));
    const QByteArray coils = RtuFrame(Hex("07 01 4A 00 00 0A"));
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(sent[i], i % 2 == 0 ? registers : coils) << i;
    EXPECT_GE(timeouts, 4);

    engine->StopPolling();
    const size_t atStop = sent.size();
    ASSERT_TRUE(WaitFor([&] { return engine->RequestCount() == 0; }, 2000));
    WaitFor([] { return false; }, 100);
    EXPECT_LE(sent.size(), atStop + 1) << "only the request still queued goes out once more";
    EXPECT_FALSE(engine->RequestOutstanding());
}

TEST_F(TnrModbusTest, AnsweredPollsAlternate)
{
    engine->ReadRegisters(0x4A00, 1, 7, true);
    engine->ReadCoils(0x4A00, 2, 7, true);
    for (int round = 0; round < 3; ++round) {
        Feed(RtuFrame(Hex("07 03 02 00 2A")));
        Feed(RtuFrame(Hex("07 01 01 02")));
    }
    ASSERT_EQ(replies.size(), 6u);
    EXPECT_EQ(sent.size(), 7u);
    for (size_t i = 0; i < replies.size(); ++i)
        EXPECT_EQ(replies[i].function, i % 2 == 0 ? 3 : 1);
    EXPECT_EQ(replies[5].coils, (std::vector<std::pair<quint16, bool>>{{0x4A00, false}, {0x4A01, true}}));
    EXPECT_EQ(engine->RequestCount(), 2);
}

TEST_F(TnrModbusTest, IgnoreRepeatFuncReplacesAnEqualQueuedRequestButNeverTheHead)
{
    engine->SetIgnoreRepeatFunc(true);
    engine->ReadRegisters(0x4A00, 10, 7, true);
    engine->ReadCoils(0x4A00, 10, 7, true);
    engine->ReadCoils(0x4A00, 4, 7, true);
    EXPECT_EQ(engine->RequestCount(), 2) << "equal to the second: replaced in place";
    engine->ReadRegisters(0x4A00, 3, 7, true);
    EXPECT_EQ(engine->RequestCount(), 3) << "equal only to the head: appended";
    engine->ReadCoils(0x4A00, 4, 7, false);
    EXPECT_EQ(engine->RequestCount(), 4) << "a one-shot read is not equal to a poll";

    Feed(RtuFrame(Hex("07 03 14") + QByteArray(20, '\0')));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], RtuFrame(Hex("07 01 4A 00 00 04"))) << "the replacement took the second place";
}

TEST_F(TnrModbusTest, TimeoutOnlyWhileARequestIsOutstanding)
{
    engine->SetTimeout(30);
    engine->ReadRegisters(0x4A00, 1, 7, false);
    Feed(RtuFrame(Hex("07 03 02 00 01")));
    ASSERT_EQ(replies.size(), 1u);
    // The idle timer restarted by the reply runs out with nothing outstanding.
    WaitFor([] { return false; }, 150);
    EXPECT_EQ(timeouts, 0);
    EXPECT_TRUE(engine->IsConnectedDevice(7));
    EXPECT_EQ(deviceStates, (std::vector<std::pair<quint8, bool>>{{7, true}}));

    // Silence while a request is outstanding: one time-out, the slave is gone.
    engine->ReadRegisters(0x4A00, 1, 7, false);
    ASSERT_TRUE(WaitFor([&] { return timeouts == 1; }, 2000));
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(deviceStates, (std::vector<std::pair<quint8, bool>>{{7, true}, {7, false}}));
}

TEST_F(TnrModbusTest, PollPauseLongerThanTimeoutDoesNotTimeOutTheAnsweredRequest)
{
    engine->SetTimeout(30);
    engine->SetDelayPoll(150);
    engine->ReadRegisters(0x4A00, 1, 7, true);
    Feed(RtuFrame(Hex("07 03 02 00 01")));
    EXPECT_EQ(sent.size(), 1u) << "the next poll waits for the pause";
    ASSERT_TRUE(WaitFor([&] { return sent.size() == 2; }, 2000));
    EXPECT_EQ(timeouts, 0);
    EXPECT_TRUE(engine->IsConnectedDevice(7));
}

TEST_F(TnrModbusTest, PausesWaitOnTheEventLoopInOrder)
{
    struct Row
    {
        const char* name;
        int delayPoll;
        int delayWrite;
        bool poll;
    };
    const Row rows[] = {{"short poll pause", 40, 0, true}, {"long poll pause", 120, 0, true},
                        {"pause after a one-shot request", 0, 60, false}};
    for (const Row& row : rows) {
        Fresh();
        engine->SetDelayPoll(row.delayPoll);
        engine->SetDelayWrite(row.delayWrite);
        engine->ReadRegisters(0x4A00, 1, 7, row.poll);
        engine->WriteRegister(0x0001, 2, 7);
        QElapsedTimer clock;
        clock.start();
        Feed(RtuFrame(Hex("07 03 02 00 01")));
        EXPECT_EQ(sent.size(), 1u) << row.name << ": the call returns before the pause ends";
        bool loopRan = false;
        QTimer::singleShot(0, [&] { loopRan = true; });
        ASSERT_TRUE(WaitFor([&] { return sent.size() == 2; }, 2000)) << row.name;
        EXPECT_TRUE(loopRan);
        EXPECT_GE(clock.elapsed(), std::max(row.delayPoll, row.delayWrite) - 2) << row.name;
        EXPECT_EQ(sent[1], RtuFrame(Hex("07 06 00 01 00 02"))) << row.name;
    }
}

TEST_F(TnrModbusTest, RequestPushedDuringAPauseWaitsForItsEnd)
{
    engine->SetDelayWrite(80);
    engine->WriteRegister(0x0001, 2, 7);
    Feed(RtuFrame(Hex("07 06 00 01 00 02")));
    engine->WriteRegister(0x0001, 3, 7);
    EXPECT_EQ(sent.size(), 1u);
    ASSERT_TRUE(WaitFor([&] { return sent.size() == 2; }, 2000));
    WaitFor([] { return false; }, 50);
    EXPECT_EQ(sent.size(), 2u) << "sent once, after the pause";
}

TEST_F(TnrModbusTest, AThrowingReplyHandlerIsAFatalErrorAndTheQueueGoesOn)
{
    std::vector<std::pair<quint32, QString>> errors;
    engine->OnFatalError = [&](TnrCustomDataProcessor*, quint32 code, quint32 detail, const QString& message,
                               bool& raise) {
        EXPECT_EQ(detail, 0u);
        errors.emplace_back(code, message);
        raise = false;
    };
    engine->OnModbusReply = [](TnrModbus*, const TnrModbusPacket&, const TnrModbusRegisterList&,
                               const TnrModbusCoilList&) { throw std::runtime_error("boom"); };
    engine->ReadRegisters(0x4A00, 1, 7, false);
    engine->WriteRegister(0x0001, 2, 7);
    Feed(RtuFrame(Hex("07 03 02 00 01")));
    EXPECT_EQ(errors, (std::vector<std::pair<quint32, QString>>{
                          {0u, QStringLiteral("Error on call OnModbusReply() handler. boom")}}));
    EXPECT_EQ(sent.size(), 2u);
    engine->OnFatalError = nullptr;
    EXPECT_THROW(Feed(RtuFrame(Hex("07 06 00 01 00 02"))), std::runtime_error);
    EXPECT_EQ(engine->RequestCount(), 0);
}

TEST_F(TnrModbusTest, MediumClosedEmptiesTheQueueAndDisconnectsEveryDevice)
{
    TnrBaseIO port;
    port.SetDataProcessor(engine.get());
    engine->ReadRegisters(0x4A00, 1, 7, true);
    Feed(RtuFrame(Hex("07 03 02 00 01")));
    engine->ReadRegisters(0x4A00, 1, 9, true);
    Feed(RtuFrame(Hex("07 03 02 00 01")));
    Feed(RtuFrame(Hex("09 03 02 00 01")));
    EXPECT_TRUE(engine->IsConnectedDevice(9));
    port.DoNotify(kNotifyClosed);
    EXPECT_EQ(engine->RequestCount(), 0);
    EXPECT_FALSE(engine->RequestOutstanding());
    EXPECT_EQ(deviceStates,
              (std::vector<std::pair<quint8, bool>>{{7, true}, {9, true}, {7, false}, {9, false}}));
    port.SetDataProcessor(nullptr);
}

TEST_F(TnrModbusTest, AsciiFrameLongerThanTheDecodeAreaIsDropped)
{
    engine->SetASCII(true);
    engine->ReadRegisters(0x4A00, 1, 7, false);
    Feed(":" + QByteArray(2 * TnrModbus::kAsciiAreaSize + 10, '7') + "\r\n");
    EXPECT_TRUE(replies.empty());
    Feed(AsciiFrame(Hex("07 03 02 00 05")));
    ASSERT_EQ(replies.size(), 1u) << "the recogniser starts over after the long frame";
    EXPECT_EQ(replies[0].registers[0].second, 5);
}

TEST_F(TnrModbusTest, RepliesPerSecondCountsGoodReplies)
{
    EXPECT_EQ(engine->RepliesPerSecond(), 0);
    engine->ReadRegisters(0x4A00, 1, 7, true);
    Feed(RtuFrame(Hex("07 03 02 00 01")));
    EXPECT_EQ(engine->RepliesPerSecond(), 1) << "the first reply closes the empty first window";
    for (int i = 0; i < 5; ++i)
        Feed(RtuFrame(Hex("07 03 02 00 01")));
    EXPECT_EQ(engine->RepliesPerSecond(), 1) << "the window is still open";
}

}  // namespace
