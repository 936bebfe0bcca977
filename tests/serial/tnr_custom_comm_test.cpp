#include "serial/tnr_custom_comm.h"

#include "tests/support/recording_subscriber.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "raw_end.h"
#include "recording_port_io.h"
#include "socat_pair.h"
#include "wait_until.h"

namespace {

constexpr TTraceStates kModemEvents = TraceBit(tsCTS) | TraceBit(tsDSR) | TraceBit(tsRLSD) | TraceBit(tsRing);

// A stand-in indicator: anything with a boolean "Checked" property.
class Indicator : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Checked MEMBER checked)

public:
    explicit Indicator(bool initial = false) : checked(initial) {}
    bool checked;
};

// The serial core alone: it opens the device path it is given.
class PathComm : public TnrCustomComm
{
public:
    QString path = QStringLiteral("/dev/ttyS0");
    QString GetPortName() const override { return path; }

protected:
    Handle RequestDeviceHandle() override { return OpenPort(path, path); }
};

class CommTest : public testing::Test
{
protected:
    // Opens `comm` on end A of the pair with the recording port.
    void OpenRecorded(PathComm& comm)
    {
        comm.SetPortFactory([record = record] { return std::make_unique<RecordingPortIo>(record); });
        comm.path = pair.A();
        comm.SetActive(true);
        ASSERT_TRUE(comm.Active());
    }

    SocatPair pair;
    std::shared_ptr<PortRecord> record = std::make_shared<PortRecord>();
};

TEST(CommSettings, ByteSizeOutsideFourToEightIsStoredAsEight)
{
    const std::pair<int, int> rows[] = {{9, 8}, {3, 8}, {0, 8}, {4, 4}, {5, 5}, {7, 7}, {8, 8}};
    PathComm comm;
    for (const auto& [written, read] : rows) {
        comm.SetByteSize(written);
        EXPECT_EQ(comm.ByteSize(), read) << "ByteSize := " << written;
    }
}

TEST(CommSettings, FlagWordReadsBackTheModeItWasBuiltFor)
{
    struct Row
    {
        TStreamProtocol protocol;
        bool rs485;
        TParity parity;
        quint32 flags;
        TStreamProtocol readProtocol;
    };
    const Row rows[] = {{spNone, false, pNone, 0x1011, spNone},
                        {spXonXoff, false, pNone, 0x1311, spXonXoff},
                        {spHardware, false, pNone, 0x2015, spHardware},
                        {spHardware, true, pNone, 0x3011, spNone},
                        {spNone, false, pEven, 0x1013, spNone},
                        {spXonXoff, false, pOdd, 0x1313, spXonXoff}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "protocol " << row.protocol << " rs485 " << row.rs485);
        PathComm comm;
        comm.SetParity(row.parity);
        comm.SetRS485Mode(row.rs485);
        comm.SetStreamProtocol(row.protocol);
        EXPECT_EQ(comm.LineSettings().Flags, row.flags);
        EXPECT_EQ(StreamProtocolOfFlags(row.flags), row.readProtocol);
        EXPECT_EQ(Rs485ModeOfFlags(row.flags), row.rs485);
        EXPECT_EQ(comm.LineSettings().XonLim, 80);
        EXPECT_EQ(comm.LineSettings().XoffLim, 200);
        EXPECT_EQ(comm.LineSettings().XonChar, 0x11);
        EXPECT_EQ(comm.LineSettings().XoffChar, 0x13);
    }
    // Bits outside the modes survive a rebuild; mode bits do not.
    EXPECT_EQ(BuildFlagWord(0xFFFF, false, spNone, pNone), (0xFFFFu & 0x4CEAu & ~0x2u) | 0x1011u);
}

TEST(CommSettings, ConfigDialogAcceptedAppliesAndDerivesModesCancelledChangesNothing)
{
    PathComm comm;
    comm.SetStreamProtocol(spNone);
    QString askedFor;
    comm.configEditor = [&](const QString& port, Dcb& dcb) {
        askedFor = port;
        dcb.BaudRate = 115200;
        dcb.Flags = BuildFlagWord(dcb.Flags, false, spXonXoff, dcb.Parity);
        return false;
    };
    comm.ConfigDialog();
    EXPECT_EQ(comm.BaudRate(), 19200u);
    EXPECT_EQ(askedFor, QStringLiteral("/dev/ttyS0"));

    comm.configEditor = [](const QString&, Dcb& dcb) {
        dcb.BaudRate = 115200;
        dcb.ByteSize = 9;
        dcb.Flags = BuildFlagWord(dcb.Flags, true, spNone, dcb.Parity);
        return true;
    };
    comm.ConfigDialog();
    EXPECT_EQ(comm.BaudRate(), 115200u);
    EXPECT_EQ(comm.ByteSize(), 8);
    EXPECT_TRUE(comm.RS485Mode());
    EXPECT_EQ(comm.StreamProtocol(), spNone);
}

TEST_F(CommTest, BurstLargerThanTheReceiveBufferArrivesInOrderWithoutLoss)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    QByteArray received;
    int calls = 0;
    quint32 largest = 0;
    comm.OnAfterReceive = [&](TnrBaseIO*, const char* buffer, quint32 count) {
        received.append(buffer, count);
        ++calls;
        largest = std::max(largest, count);
    };
    comm.path = pair.A();
    comm.SetActive(true);
    ASSERT_TRUE(comm.Active());

    QByteArray burst;
    for (int i = 0; i < 100000; ++i)
        burst.append(static_cast<char>((i * 7 + i / 256) & 0xFF));
    RawEnd other(pair.B());
    qsizetype written = 0;
    // The pair holds less than the burst: keep writing while the engine reads.
    ASSERT_TRUE(WaitUntil([&] {
        written += other.WriteSome(QByteArrayView(burst).sliced(written));
        return received.size() >= burst.size();
    }, 10000));
    EXPECT_EQ(received, burst);
    EXPECT_GT(calls, 1);
    EXPECT_LE(largest, static_cast<quint32>(TnrCustomComm::kMinReceiveBuffer));
    EXPECT_EQ(comm.GetTotalReceived(), static_cast<quint32>(burst.size()));
}

TEST_F(CommTest, BytesNobodyConsumesStayQueuedButAreCounted)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    comm.path = pair.A();
    comm.SetActive(true);
    RawEnd other(pair.B());
    ASSERT_TRUE(other.WriteAll("12345"));
    ASSERT_TRUE(WaitUntil([&] { return comm.GetTotalReceived() == 5; }));
    EXPECT_EQ(comm.GetReadyForRead(), 5);

    QByteArray received;
    comm.OnAfterReceive = [&](TnrBaseIO*, const char* buffer, quint32 count) { received.append(buffer, count); };
    ASSERT_TRUE(WaitUntil([&] { return received == "12345"; }));
    EXPECT_EQ(comm.GetTotalReceived(), 5u);
}

TEST_F(CommTest, QueuedAndWaitedSendsReachTheOtherEndInOrder)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    comm.path = pair.A();
    comm.SendData("lost", 4);  // closed: nothing happens
    comm.SetActive(true);
    RawEnd other(pair.B());
    comm.SendData("abc", 3);
    comm.SendString("defg");
    comm.SendChar('!');
    comm.SendString(QByteArray());
    EXPECT_EQ(other.ReadExactly(8), QByteArray("abcdefg!"));
    EXPECT_EQ(comm.GetTotalSent(), 8u);
}

TEST_F(CommTest, OtherEndGoingAwayHaltsWithoutPurgeAndNotifiesClosed)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    RecordingSubscriber subscriber;
    comm.NotifyAdd(&subscriber);
    int closeEvents = 0;
    comm.OnClose = [&](TnrBaseIO*) { ++closeEvents; };
    comm.OnAfterReceive = [](TnrBaseIO*, const char*, quint32) {};
    comm.SetKeepConnection(true);
    comm.path = pair.A();
    comm.SetActive(true);
    ASSERT_TRUE(comm.Active());

    pair.Kill();
    ASSERT_TRUE(WaitUntil([&] { return !comm.Active(); }));
    EXPECT_EQ(closeEvents, 1);
    EXPECT_EQ(subscriber.codes.back(), kNotifyClosed);
    EXPECT_TRUE(comm.TryConnectRunning());
    comm.NotifyDelete(&subscriber);
}

TEST_F(CommTest, OpeningDrivesDtrOnAndRtsAsTheFlowControlSays)
{
    struct Row
    {
        TStreamProtocol protocol;
        std::vector<std::pair<int, bool>> writes;
    };
    const Row rows[] = {{spNone, {{ModemLine::kDtr, true}, {ModemLine::kRts, true}}},
                        {spXonXoff, {{ModemLine::kDtr, true}, {ModemLine::kRts, true}}},
                        {spHardware, {{ModemLine::kDtr, true}}}};
    ASSERT_TRUE(pair.Ready());
    for (const Row& row : rows) {
        record = std::make_shared<PortRecord>();
        PathComm comm;
        comm.SetStreamProtocol(row.protocol);
        OpenRecorded(comm);
        EXPECT_EQ(record->LineWrites(), row.writes) << "protocol " << row.protocol;
    }
}

TEST_F(CommTest, LineControlActsOnlyWhileOpenAndRtsAndDtrRefreshIndicators)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    Indicator cts;
    Indicator dsr;
    comm.SetMonitorCTS(&cts);
    comm.SetMonitorDSR(&dsr);
    std::vector<TTraceStates> traced;
    comm.OnTraceState = [&](TnrCustomComm*, TTraceStates set) { traced.push_back(set); };
    comm.SetPortFactory([record = record] { return std::make_unique<RecordingPortIo>(record); });
    comm.SetStateRTS(true);
    comm.SetStateBreak(true);
    EXPECT_TRUE(traced.empty());

    comm.SetStreamProtocol(spNone);
    OpenRecorded(comm);
    traced.clear();
    record->lineWrites.clear();
    record->lines |= ModemLine::kCts | ModemLine::kDsr;  // the null modem answers
    comm.SetStateRTS(false);
    comm.SetStateDTR(false);
    EXPECT_EQ(record->LineWrites(), (std::vector<std::pair<int, bool>>{{ModemLine::kRts, false}, {ModemLine::kDtr, false}}));
    EXPECT_EQ(traced, (std::vector<TTraceStates>{TraceBit(tsCTS), TraceBit(tsDSR)}));
    EXPECT_TRUE(cts.checked);
    EXPECT_TRUE(dsr.checked);
    EXPECT_EQ(comm.ModemSignals(), (1u << msCTS) | (1u << msDSR));

    comm.SetStateBreak(true);
    comm.SetStateBreak(false);
    EXPECT_EQ(record->breakWrites, (std::vector<bool>{true, false}));
}

TEST_F(CommTest, LinesAlreadyOnWhenThePortOpensAreShownAtOnce)
{
    ASSERT_TRUE(pair.Ready());
    struct Row
    {
        const char* behaviour;
        TTraceStates traceStates;
        std::vector<TTraceStates> events;
    };
    // Opening closes first, which always reports {tsTxEmpty}.
    const Row rows[] = {
        {"traced lines light the lamps and raise one event", kModemEvents,
         {TraceBit(tsTxEmpty), TraceBit(tsCTS) | TraceBit(tsDSR) | TraceBit(tsRLSD)}},
        {"untraced lines light the lamps without an event", 0, {TraceBit(tsTxEmpty)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.behaviour);
        record = std::make_shared<PortRecord>();
        // The far end holds DTR, RTS and carrier before the port is opened.
        record->beforeOpenReturns = [](PortRecord& r) { r.MoveLines(ModemLine::kCts | ModemLine::kDsr | ModemLine::kRlsd); };
        PathComm comm;
        Indicator cts;
        Indicator dsr;
        Indicator rlsd;
        Indicator ring;
        comm.SetMonitorCTS(&cts);
        comm.SetMonitorDSR(&dsr);
        comm.SetMonitorRLSD(&rlsd);
        comm.SetMonitorRing(&ring);
        std::vector<TTraceStates> traced;
        comm.OnTraceState = [&](TnrCustomComm*, TTraceStates set) { traced.push_back(set); };
        comm.SetTraceStates(row.traceStates);
        OpenRecorded(comm);

        EXPECT_TRUE(cts.checked && dsr.checked && rlsd.checked) << "shown when the open returns";
        EXPECT_FALSE(ring.checked);
        EXPECT_EQ(traced, row.events);
        WaitUntil([] { return false; }, 100);
        EXPECT_EQ(traced, row.events) << "the watcher reports no change for lines already shown";
    }
}

TEST_F(CommTest, AChangeBeforeTheWatchersFirstWaitIsShown)
{
    ASSERT_TRUE(pair.Ready());
    // DSR comes on and the ring line pulses right after the watcher took its
    // baseline, before its thread waits: the pulse is over before anyone
    // reads the levels, only the transition counters keep it.
    record->afterFirstStateRead = [](PortRecord& r) {
        r.MoveLines(ModemLine::kDsr | ModemLine::kRing);
        r.MoveLines(ModemLine::kDsr);
    };
    PathComm comm;
    Indicator dsr;
    Indicator ring;
    comm.SetMonitorDSR(&dsr);
    comm.SetMonitorRing(&ring);
    std::vector<TTraceStates> traced;
    comm.OnTraceState = [&](TnrCustomComm*, TTraceStates set) { traced.push_back(set); };
    comm.SetTraceStates(kModemEvents);
    OpenRecorded(comm);

    ASSERT_TRUE(WaitUntil([&] { return ring.checked; }));
    EXPECT_TRUE(dsr.checked);
    ASSERT_FALSE(traced.empty());
    EXPECT_EQ(traced.back(), TraceBit(tsDSR) | TraceBit(tsRing));
}

TEST_F(CommTest, ModemLineChangesReachIndicatorsAndRingIsNeverCleared)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    Indicator cts;
    Indicator dsr;
    Indicator rlsd;
    Indicator ring;
    comm.SetMonitorCTS(&cts);
    comm.SetMonitorDSR(&dsr);
    comm.SetMonitorRLSD(&rlsd);
    comm.SetMonitorRing(&ring);
    std::vector<TTraceStates> traced;
    comm.OnTraceState = [&](TnrCustomComm*, TTraceStates set) { traced.push_back(set); };
    comm.SetTraceStates(kModemEvents);
    OpenRecorded(comm);

    record->MoveLines(ModemLine::kCts | ModemLine::kRlsd | ModemLine::kRing);
    ASSERT_TRUE(WaitUntil([&] { return cts.checked && rlsd.checked && ring.checked; }));
    EXPECT_FALSE(dsr.checked);
    EXPECT_EQ(traced.back(), TraceBit(tsCTS) | TraceBit(tsRLSD) | TraceBit(tsRing));

    record->MoveLines(ModemLine::kDsr);
    ASSERT_TRUE(WaitUntil([&] { return dsr.checked; }));
    EXPECT_FALSE(cts.checked);
    EXPECT_TRUE(ring.checked);

    comm.SetActive(false);
    EXPECT_FALSE(dsr.checked);
    EXPECT_TRUE(ring.checked);
    EXPECT_EQ(traced.back(), TraceBit(tsTxEmpty));
}

TEST_F(CommTest, LineErrorsAreReportedAndAllFiveAtOnceHaltThePort)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    std::vector<quint32> errors;
    comm.OnCommError = [&](TnrCustomComm*, quint32 code, quint32, quint32, bool&) { errors.push_back(code); };
    comm.OnAfterReceive = [](TnrBaseIO*, const char*, quint32) {};
    OpenRecorded(comm);
    RawEnd other(pair.B());

    {
        const std::lock_guard lock(record->mutex);
        record->counters.frame += 1;
        record->counters.parity += 2;
    }
    ASSERT_TRUE(other.WriteAll("x"));
    ASSERT_TRUE(WaitUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.front(), TnrCustomComm::kErrorFrame | TnrCustomComm::kErrorParity);
    EXPECT_TRUE(comm.Active());

    {
        const std::lock_guard lock(record->mutex);
        record->counters.frame += 1;
        record->counters.parity += 1;
        record->counters.overrun += 1;
        record->counters.brk += 1;
        record->counters.bufferOverrun += 1;
    }
    ASSERT_TRUE(other.WriteAll("y"));
    ASSERT_TRUE(WaitUntil([&] { return !comm.Active(); }));
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(CommTest, Rs485WithoutDriverSupportRaisesRtsAroundEachWrite)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    comm.SetRS485Mode(true);
    OpenRecorded(comm);
    EXPECT_TRUE(comm.ManualRts());
    RawEnd other(pair.B());
    record->lineWrites.clear();

    comm.SendData("485", 3);
    EXPECT_EQ(other.ReadExactly(3), QByteArray("485"));
    ASSERT_TRUE(WaitUntil([&] { return record->LineWrites().size() >= 2; }));
    EXPECT_EQ(record->LineWrites(), (std::vector<std::pair<int, bool>>{{ModemLine::kRts, true}, {ModemLine::kRts, false}}));
}

TEST_F(CommTest, Rs485WithDriverSupportLeavesRtsToTheDriver)
{
    ASSERT_TRUE(pair.Ready());
    record->rs485Result = 0;
    PathComm comm;
    comm.SetRS485Mode(true);
    OpenRecorded(comm);
    EXPECT_FALSE(comm.ManualRts());
    EXPECT_EQ(record->rs485Calls, std::vector<bool>{true});
    RawEnd other(pair.B());
    record->lineWrites.clear();
    comm.SendData("485", 3);
    EXPECT_EQ(other.ReadExactly(3), QByteArray("485"));
    EXPECT_TRUE(record->LineWrites().empty());

    comm.SetRS485Mode(false);
    EXPECT_EQ(record->rs485Calls, (std::vector<bool>{true, false}));
    EXPECT_TRUE(comm.ManualRts());
}

TEST_F(CommTest, SettingsChangedWhileOpenApplyAtOnceAndWhileClosedAtTheNextOpen)
{
    ASSERT_TRUE(pair.Ready());
    PathComm comm;
    comm.SetBaudRate(9600);
    OpenRecorded(comm);
    ASSERT_FALSE(record->applied.empty());
    EXPECT_EQ(record->applied.back().BaudRate, 9600u);
    comm.SetBaudRate(115200);
    EXPECT_EQ(record->applied.back().BaudRate, 115200u);

    comm.SetActive(false);
    const size_t before = record->applied.size();
    comm.SetBaudRate(57600);
    EXPECT_EQ(record->applied.size(), before);
    comm.SetActive(true);
    EXPECT_EQ(record->applied.back().BaudRate, 57600u);
}

}  // namespace

#include "tnr_custom_comm_test.moc"
