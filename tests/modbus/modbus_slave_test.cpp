// The engine on serial port A against real slaves on a pseudo-terminal pair:
// the libmodbus RTU slave and the pymodbus ASCII slave, both serving slave 7
// from 0x4A00 and both able to spoil the replies to chosen addresses.

#include "modbus/tnr_modbus.h"

#include "serial/serial_a_channel.h"
#include "tests/modbus/modbus_test_support.h"
#include "tests/serial/socat_pair.h"
#include "tests/streams/modbus_slave_peer.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Peer = ModbusSlavePeer;

class ModbusSlaveTest : public testing::TestWithParam<bool>
{
protected:
    bool Ascii() const { return GetParam(); }

    void SetUp() override
    {
        ASSERT_TRUE(pair.Ready());
        TnrComm::SetDefaultScanRoots({empty_.path(), empty_.path(), empty_.path()});
        channel = std::make_unique<SerialAChannel>(sink);
        engine = std::make_unique<TnrModbus>();
        engine->SetActive(true);
        engine->SetTimeout(1000);
        engine->SetASCII(Ascii());
        engine->OnModbusReply = [this](TnrModbus*, const TnrModbusPacket& reply, const TnrModbusRegisterList& r,
                                       const TnrModbusCoilList& c) { replies.push_back(Capture(reply, r, c)); };
        engine->OnTimeout = [this](TnrDataProtocol*) { ++timeouts; };
        engine->SetLog(&log);
    }
    void TearDown() override
    {
        if (channel)
            channel->nrComm1->SetDataProcessor(nullptr);
        channel.reset();
        slave.reset();
    }

    // Starts the slave on B with `faults` (address lists by kind) and opens port A on the other end.
    void Start(int exception = -1, int wrongSlave = -1, int badCheck = -1, int silent = -1)
    {
        QStringList arguments;
        QString program = QStringLiteral(SERIALNET_MODBUS_RTU_SLAVE);
        if (Ascii()) {
            program = QStringLiteral("/usr/bin/python3");
            arguments << QStringLiteral(SERIALNET_MODBUS_ASCII_SLAVE);
        }
        arguments << pair.B();
        const auto add = [&](const char* option, int address) {
            if (address >= 0)
                arguments << QString::fromLatin1(option) << QString::number(address);
        };
        add("--exception", exception);
        add("--wrong-slave", wrongSlave);
        add(Ascii() ? "--bad-lrc" : "--bad-crc", badCheck);
        add("--silent", silent);
        slave = std::make_unique<Peer>(program, arguments);
        ASSERT_TRUE(slave->Ready()) << slave->Errors().toStdString();

        channel->PickPortPath(pair.A());
        channel->Open();
        ASSERT_TRUE(channel->IsOpen()) << boxes.messages.join(QLatin1Char('|')).toStdString();
        channel->nrComm1->SetDataProcessor(engine.get());
    }

    bool WaitReplies(size_t count, int limitMs = 5000)
    {
        return WaitFor([&] { return replies.size() >= count; }, limitMs);
    }

    struct Log : TnrLog
    {
        QStringList lines;
        void AddLog(TDetailLevel, const QString& text) override { lines << text; }
    } log;
    QTemporaryDir empty_;
    SocatPair pair;
    MessageRecorder boxes;
    RecordingReceiveSink sink;
    std::unique_ptr<Peer> slave;
    std::unique_ptr<SerialAChannel> channel;
    std::unique_ptr<TnrModbus> engine;
    std::vector<SeenReply> replies;
    int timeouts = 0;
};

using Registers = std::vector<std::pair<quint16, quint16>>;
using Coils = std::vector<std::pair<quint16, bool>>;

Registers MapRegisters(int start, int count, quint16 (*value)(int))
{
    Registers expected;
    for (int i = 0; i < count; ++i)
        expected.emplace_back(quint16(start + i), value(start + i));
    return expected;
}

Coils MapCoils(int start, int count, bool (*value)(int))
{
    Coils expected;
    for (int i = 0; i < count; ++i)
        expected.emplace_back(quint16(start + i), value(start + i));
    return expected;
}

TEST_P(ModbusSlaveTest, ReadsTheSlavesMap)
{
    Start();
    engine->ReadRegisters(0x4A00, 10, 7, false);
    engine->ReadCoils(0x4A00, 10, 7, false);
    engine->ReadInputRegisters(0x4A05, 3, 7, false);
    engine->ReadInputs(0x4A03, 12, 7, false);
    ASSERT_TRUE(WaitReplies(4)) << replies.size() << " replies, " << timeouts << " time-outs";
    EXPECT_EQ(replies[0].registers, MapRegisters(0x4A00, 10, Peer::HoldingRegister));
    EXPECT_EQ(replies[1].coils, MapCoils(0x4A00, 10, Peer::Coil));
    EXPECT_EQ(replies[2].registers, MapRegisters(0x4A05, 3, Peer::InputRegister));
    EXPECT_EQ(replies[3].coils, MapCoils(0x4A03, 12, Peer::DiscreteInput));
    EXPECT_EQ(timeouts, 0);
    EXPECT_TRUE(engine->IsConnectedDevice(7));
    EXPECT_FALSE(sink.chunks.empty()) << "the port's own receive path still sees the bytes";
}

TEST_P(ModbusSlaveTest, WritesWithTheFourWriteFunctionsAndReadsThemBack)
{
    Start();
    const quint16 values[] = {0x0102, 0x0304, 0x0506};
    const bool bits[] = {false, true, true, false, true, false, false, true, true};
    engine->WriteRegister(0x4A05, 0xBEEF, 7);
    engine->WriteRegisters(0x4A10, values, 3, 7);
    engine->WriteCoil(0x4A01, true, 7);
    engine->WriteCoils(0x4A20, bits, 9, 7);
    engine->ReadRegisters(0x4A05, 1, 7, false);
    engine->ReadRegisters(0x4A10, 3, 7, false);
    engine->ReadCoils(0x4A00, 2, 7, false);
    engine->ReadCoils(0x4A20, 9, 7, false);
    ASSERT_TRUE(WaitReplies(8)) << replies.size() << " replies, " << timeouts << " time-outs";
    EXPECT_EQ(replies[0].registers, (Registers{{0x4A05, 0xBEEF}}));
    EXPECT_EQ(replies[1].registers, (Registers{{0x4A10, 3}})) << "function 16 answers with the quantity";
    EXPECT_EQ(replies[2].coils, (Coils{{0x4A01, true}}));
    EXPECT_EQ(replies[3].function, 15);
    EXPECT_EQ(replies[4].registers, (Registers{{0x4A05, 0xBEEF}}));
    EXPECT_EQ(replies[5].registers, (Registers{{0x4A10, 0x0102}, {0x4A11, 0x0304}, {0x4A12, 0x0506}}));
    EXPECT_EQ(replies[6].coils, (Coils{{0x4A00, true}, {0x4A01, true}}));
    Coils written;
    for (int i = 0; i < 9; ++i)
        written.emplace_back(quint16(0x4A20 + i), bits[i]);
    EXPECT_EQ(replies[7].coils, written);
}

TEST_P(ModbusSlaveTest, PollsBothBlocksAndEveryReplyMatchesTheMap)
{
    Start();
    engine->ReadRegisters(0x4A00, 10, 7, true);
    engine->ReadCoils(0x4A00, 10, 7, true);
    WaitFor([] { return false; }, 2500);
    engine->StopPolling();
    ASSERT_TRUE(WaitFor([&] { return engine->RequestCount() == 0; }, 3000));

    ASSERT_GE(replies.size(), 10u);
    const Registers registers = MapRegisters(0x4A00, 10, Peer::HoldingRegister);
    const Coils coils = MapCoils(0x4A00, 10, Peer::Coil);
    for (size_t i = 0; i < replies.size(); ++i) {
        ASSERT_EQ(replies[i].function, i % 2 == 0 ? 3 : 1) << "the two polls alternate, reply " << i;
        if (i % 2 == 0)
            EXPECT_EQ(replies[i].registers, registers) << i;
        else
            EXPECT_EQ(replies[i].coils, coils) << i;
    }
    EXPECT_EQ(timeouts, 0);
    const int perSecond = engine->RepliesPerSecond();
    EXPECT_GT(perSecond, 0);
    EXPECT_LE(perSecond, int(replies.size()));
    std::printf("%s: %zu replies in 2.5 s, RepliesPerSecond %d\n", Ascii() ? "ASCII" : "RTU", replies.size(),
                perSecond);
}

TEST_P(ModbusSlaveTest, ExceptionsAndTransportFaultsFromTheSlave)
{
    engine->SetTimeout(300);
    Start(0x4A30, 0x4A31, 0x4A32, 0x4A33);
    std::vector<std::pair<quint8, bool>> states;
    engine->OnDeviceState = [&](TnrModbus*, quint8 id, bool connected) { states.emplace_back(id, connected); };
    engine->ReadRegisters(0x0100, 1, 7, false);  // outside the map
    engine->ReadRegisters(0x4A30, 1, 7, false);  // exception
    engine->ReadRegisters(0x4A31, 1, 7, false);  // another slave answers
    engine->ReadRegisters(0x4A00, 1, 7, false);
    engine->ReadRegisters(0x4A32, 1, 7, false);  // spoilt check
    engine->ReadRegisters(0x4A33, 1, 7, false);  // silence
    engine->ReadRegisters(0x4A01, 1, 7, false);
    ASSERT_TRUE(WaitReplies(4, 8000)) << replies.size() << " replies, " << timeouts << " time-outs";
    ASSERT_TRUE(WaitFor([&] { return engine->RequestCount() == 0; }, 3000));

    ASSERT_EQ(replies.size(), 4u);
    EXPECT_TRUE(replies[0].exception);
    EXPECT_EQ(replies[0].message, QStringLiteral("Illegal data address (02h)"));
    EXPECT_TRUE(replies[1].exception);
    EXPECT_EQ(replies[1].message, QStringLiteral("Server device failure (04h)"));
    EXPECT_EQ(replies[2].registers, (Registers{{0x4A00, Peer::HoldingRegister(0x4A00)}}));
    EXPECT_EQ(replies[3].registers, (Registers{{0x4A01, Peer::HoldingRegister(0x4A01)}}));
    EXPECT_EQ(timeouts, 2) << "the wrong slave and the silence; a spoilt check advances at once";
    EXPECT_TRUE(log.lines.contains(QStringLiteral("nrModbus: Modbus: CRC WRONG! ")));
    EXPECT_EQ(states, (std::vector<std::pair<quint8, bool>>{{7, true}, {7, false}, {7, true}, {7, false}, {7, true}}));
}

TEST_P(ModbusSlaveTest, ClosingThePortEmptiesTheQueue)
{
    Start();
    engine->ReadRegisters(0x4A00, 10, 7, true);
    ASSERT_TRUE(WaitReplies(2));
    channel->Close();
    EXPECT_EQ(engine->RequestCount(), 0);
    EXPECT_FALSE(engine->IsConnectedDevice(7));
    const size_t atClose = replies.size();
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(replies.size(), atClose);
}

INSTANTIATE_TEST_SUITE_P(Framings, ModbusSlaveTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("AsciiPymodbus") : std::string("RtuLibmodbus");
                         });

}  // namespace
