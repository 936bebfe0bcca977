#include "serial/chunk_handoff.h"
#include "serial/cn_rs232.h"
#include "serial/cn_rs232_read_chunker.h"
#include "serial/serial_a_channel.h"
#include "serial/serial_b_channel.h"
#include "serial/write_backlog.h"
#include "tests/serial/raw_end.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"
#include "tests/support/scratch_working_directory.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <thread>

namespace {

QByteArray Pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + (i >> 11)) & 0xFF);
    return bytes;
}

constexpr qsizetype kPeerPiece = 16 * 1024;

// Writes what the pair takes now of the rest of `data`.
void WriteSomeMore(RawEnd& peer, const QByteArray& data, qsizetype& written)
{
    if (written < data.size())
        written += peer.WriteSome(QByteArrayView(data).sliced(written, std::min(kPeerPiece, data.size() - written)));
}

qsizetype ReceivedSize(const RecordingReceiveSink& sink)
{
    qsizetype size = 0;
    for (const RecordingReceiveSink::Chunk& chunk : sink.chunks)
        size += chunk.data.size();
    return size;
}

// ---- The backlog against its marks ----

TEST(WriteBacklogTest, HighWaterIsTwoSecondsAtTheBaudRateAndAtLeastFourKiB)
{
    struct Row
    {
        quint32 baud;
        qint64 high;
    };
    const Row rows[] = {{0, 4096}, {9600, 4096}, {19200, 4096}, {115200, 23040}, {921600, 184320}};
    for (const Row& row : rows) {
        WriteBacklog backlog;
        backlog.SetBaudRate(row.baud);
        EXPECT_EQ(backlog.HighWater(), row.high) << row.baud;
        EXPECT_EQ(backlog.LowWater(), row.high / 2) << row.baud;
    }
}

TEST(WriteBacklogTest, CongestedAboveTheHighMarkAndDrainedOnceBelowTheLowMark)
{
    enum Op { kAdd, kRemove, kClear };
    struct Step
    {
        Op op;
        qint64 bytes;
        bool congested;
        bool drained;  // what Remove or Clear returned
    };
    struct Row
    {
        const char* behaviour;
        std::vector<Step> steps;
    };
    // 115200 baud: high-water 23040, low-water 11520.
    const Row rows[] = {
        {"reaching the high mark is not yet congestion", {{kAdd, 23040, false, false}, {kAdd, 1, true, false}}},
        {"between the marks after congestion: no longer congested, not yet drained",
         {{kAdd, 30000, true, false}, {kRemove, 18000, false, false}, {kRemove, 480, false, false},
          {kRemove, 1, false, true}, {kRemove, 11519, false, false}}},
        {"a backlog that never was congested reports no drain",
         {{kAdd, 20000, false, false}, {kRemove, 20000, false, false}}},
        {"dropping a congested backlog reports the drain", {{kAdd, 50000, true, false}, {kClear, 0, false, true}}},
        {"a second congestion is reported again",
         {{kAdd, 30000, true, false}, {kRemove, 30000, false, true}, {kAdd, 30000, true, false},
          {kRemove, 30000, false, true}}},
    };
    for (const Row& row : rows) {
        WriteBacklog backlog;
        backlog.SetBaudRate(115200);
        for (size_t i = 0; i < row.steps.size(); ++i) {
            const Step& step = row.steps[i];
            bool drained = false;
            if (step.op == kAdd)
                backlog.Add(step.bytes);
            else if (step.op == kRemove)
                drained = backlog.Remove(step.bytes);
            else
                drained = backlog.Clear();
            EXPECT_EQ(backlog.Congested(), step.congested) << row.behaviour << ", step " << i;
            EXPECT_EQ(drained, step.drained) << row.behaviour << ", step " << i;
        }
    }
}

// ---- The hand-off between a reader thread and its taker ----

// Runs `work` on a thread and tells whether it has finished.
class Worker
{
public:
    explicit Worker(std::function<void()> work)
        : thread_([this, work = std::move(work)] {
              work();
              done_ = true;
          })
    {
    }
    ~Worker() { thread_.join(); }
    bool Done() const { return done_; }
    // Whether the work finishes within `ms`.
    bool FinishesWithin(int ms) const
    {
        const QDeadlineTimer deadline(ms);
        while (!done_ && !deadline.hasExpired())
            QThread::msleep(1);
        return done_;
    }

private:
    std::atomic<bool> done_ = false;
    std::thread thread_;
};

TEST(ChunkHandoffTest, TheReaderWaitsWhileTheHandOffIsFullAndNothingIsLost)
{
    ChunkHandoff handoff;
    constexpr int kChunks = 3 * ChunkHandoff::kCapacity;
    std::atomic<int> pushed = 0;
    Worker reader([&] {
        for (int i = 0; i < kChunks && handoff.WaitForRoom(); ++i) {
            bool first = false;
            handoff.Push(QByteArray::number(i), first);
            ++pushed;
        }
    });
    EXPECT_FALSE(reader.FinishesWithin(200));
    EXPECT_EQ(pushed, ChunkHandoff::kCapacity) << "the reader stops at the bound";
    EXPECT_EQ(handoff.Count(), ChunkHandoff::kCapacity);

    QList<QByteArray> taken;
    const QDeadlineTimer deadline(5000);
    while (taken.size() < kChunks && !deadline.hasExpired()) {
        if (std::optional<QByteArray> chunk = handoff.Take())
            taken << *chunk;
        EXPECT_LE(handoff.Count(), ChunkHandoff::kCapacity);
    }
    EXPECT_TRUE(reader.FinishesWithin(5000));
    ASSERT_EQ(taken.size(), kChunks);
    for (int i = 0; i < kChunks; ++i)
        EXPECT_EQ(taken[i], QByteArray::number(i));
}

TEST(ChunkHandoffTest, APauseHoldsTheReaderAndTheDeliveryUntilResumed)
{
    ChunkHandoff handoff;
    bool first = false;
    ASSERT_TRUE(handoff.Push("held", first));
    EXPECT_TRUE(first);
    handoff.SetPaused(true);
    EXPECT_FALSE(handoff.Take().has_value()) << "nothing is delivered while paused";
    Worker reader([&] { handoff.WaitForRoom(); });
    EXPECT_FALSE(reader.FinishesWithin(200)) << "the reader waits while paused";

    handoff.SetPaused(false);
    EXPECT_TRUE(reader.FinishesWithin(5000));
    EXPECT_EQ(handoff.Take(), std::optional<QByteArray>("held"));
}

TEST(ChunkHandoffTest, StopEndsEveryWaitAndResetMakesItUsableAgain)
{
    // Both waits stay blocked until the stop: the pause is never lifted and
    // the hand-off is full before the second one starts.
    ChunkHandoff handoff;
    handoff.SetPaused(true);
    Worker paused([&] { EXPECT_FALSE(handoff.WaitForRoom()); });
    bool first = false;
    for (int i = 0; i < ChunkHandoff::kCapacity; ++i)
        ASSERT_TRUE(handoff.Push("x", first));
    Worker full([&] { EXPECT_FALSE(handoff.Push("y", first)); });
    EXPECT_FALSE(paused.FinishesWithin(100));
    EXPECT_FALSE(full.FinishesWithin(100));

    handoff.Stop();
    EXPECT_TRUE(paused.FinishesWithin(5000));
    EXPECT_TRUE(full.FinishesWithin(5000));
    EXPECT_EQ(handoff.Count(), 0) << "stopping drops what waited";
    EXPECT_FALSE(handoff.WaitForRoom());

    handoff.Reset();
    EXPECT_TRUE(handoff.Paused()) << "a pause outlives a stop";
    handoff.SetPaused(false);
    EXPECT_TRUE(handoff.WaitForRoom());
    EXPECT_TRUE(handoff.Push("z", first));
    EXPECT_TRUE(first);
}

// ---- Both serial channels on pseudo-terminal pairs ----

struct PortUnderTest
{
    const char* name;
    // Makes the channel and opens it on `path`.
    std::function<std::unique_ptr<Channel>(ReceiveSink& sink, const QString& path)> open;
    std::function<bool(Channel& channel)> isOpen;
};

std::vector<PortUnderTest> BothPorts()
{
    return {
        {"port A",
         [](ReceiveSink& sink, const QString& path) -> std::unique_ptr<Channel> {
             auto channel = std::make_unique<SerialAChannel>(sink);
             channel->PickPortPath(path);
             channel->Open();
             return channel;
         },
         [](Channel& channel) { return static_cast<SerialAChannel&>(channel).IsOpen(); }},
        {"port B",
         [](ReceiveSink& sink, const QString& path) -> std::unique_ptr<Channel> {
             auto channel = std::make_unique<SerialBChannel>(sink);
             channel->ChoosePort(path, false);
             channel->Open();
             return channel;
         },
         [](Channel& channel) { return static_cast<SerialBChannel&>(channel).IsOpen(); }},
    };
}

// The channels on an empty machine (no port scan finds anything) in an
// empty working folder (port B's settings file lives there).
class SerialFlowTest : public testing::Test
{
protected:
    SerialFlowTest() { TnrComm::SetDefaultScanRoots({empty_.path(), empty_.path(), empty_.path()}); }

    QTemporaryDir empty_;
    ScratchWorkingDirectory workingDirectory_;
    MessageRecorder boxes;
};

TEST_F(SerialFlowTest, WritingIntoAPtyNobodyReadsCongestsUntilTheFarEndReads)
{
    const QByteArray data = Pattern(512 * 1024);
    constexpr qsizetype kPiece = 64 * 1024;
    for (const PortUnderTest& port : BothPorts()) {
        SocatPair pair;
        ASSERT_TRUE(pair.Ready()) << port.name;
        RecordingReceiveSink sink;
        std::unique_ptr<Channel> channel = port.open(sink, pair.A());
        ASSERT_TRUE(port.isOpen(*channel)) << port.name << boxes.messages.join(QLatin1Char('|')).toStdString();
        int drained = 0;
        QObject::connect(channel.get(), &Channel::Drained, [&] { ++drained; });
        RawEnd peer(pair.B());
        ASSERT_TRUE(peer.IsOpen()) << port.name;

        EXPECT_FALSE(channel->Congested()) << port.name;
        for (qsizetype at = 0; at < data.size(); at += kPiece) {
            const SendTarget::WriteResult result = channel->Write(data.mid(at, kPiece));
            EXPECT_TRUE(result.Sent()) << port.name << ": a send is queued whole, congested or not";
            EXPECT_EQ(result.count, kPiece) << port.name;
        }
        EXPECT_TRUE(channel->Congested()) << port.name;
        WaitUntil([] { return false; }, 300);  // a drain that should not come would show by now
        EXPECT_TRUE(channel->Congested()) << port.name << ": the far end has not read";
        EXPECT_EQ(drained, 0) << port.name;

        EXPECT_EQ(peer.ReadExactly(data.size(), 20000), data) << port.name << ": every byte, in order";
        EXPECT_TRUE(WaitUntil([&] { return drained > 0; })) << port.name;
        EXPECT_FALSE(channel->Congested()) << port.name;
        WaitUntil([] { return false; }, 100);
        EXPECT_EQ(drained, 1) << port.name;
    }
}

TEST_F(SerialFlowTest, APausedPortDeliversNothingAndEverythingInOrderOnceResumed)
{
    const QByteArray data = Pattern(1024 * 1024);
    for (const PortUnderTest& port : BothPorts()) {
        SocatPair pair;
        ASSERT_TRUE(pair.Ready()) << port.name;
        RecordingReceiveSink sink;
        std::unique_ptr<Channel> channel = port.open(sink, pair.A());
        ASSERT_TRUE(port.isOpen(*channel)) << port.name;
        RawEnd peer(pair.B());
        ASSERT_TRUE(peer.IsOpen()) << port.name;

        channel->SetReceivePaused(true);
        qsizetype written = 0;
        WaitUntil(
            [&] {
                WriteSomeMore(peer, data, written);
                return written == data.size();
            },
            1000);
        EXPECT_TRUE(sink.chunks.empty()) << port.name << ": nothing is delivered while paused";
        EXPECT_LT(written, data.size()) << port.name << ": the sender is held back by the full buffers";

        channel->SetReceivePaused(false);
        EXPECT_TRUE(WaitUntil(
            [&] {
                WriteSomeMore(peer, data, written);
                return ReceivedSize(sink) >= data.size();
            },
            30000))
            << port.name << ": " << ReceivedSize(sink) << " of " << data.size();
        EXPECT_TRUE(sink.Received() == data) << port.name << ": everything, in order";
    }
}

TEST_F(SerialFlowTest, PortBsReaderStopsWhileTheWindowTakesNoChunksAndLosesNothing)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    RecordingReceiveSink sink;
    SerialBChannel channel(sink);
    channel.ChoosePort(pair.A(), false);
    channel.Open();
    ASSERT_TRUE(channel.IsOpen());
    RawEnd peer(pair.B());
    const QByteArray data = Pattern(1024 * 1024);

    // No events are handled: the chunks wait in the hand-off.
    qsizetype written = 0;
    int mostPending = 0;
    const QDeadlineTimer busy(1000);
    for (int round = 0; round < 100000 && !busy.hasExpired(); ++round) {
        WriteSomeMore(peer, data, written);
        mostPending = std::max(mostPending, channel.Comm2->PendingChunks());
        QThread::usleep(200);
    }
    EXPECT_EQ(mostPending, ChunkHandoff::kCapacity) << "the reader stops at the bound";
    EXPECT_LT(written, data.size()) << "the rest is held back in the device's buffers";
    EXPECT_TRUE(sink.chunks.empty());

    // Events run again: everything arrives, in order, in chunks of at most 2048 bytes.
    EXPECT_TRUE(WaitUntil(
        [&] {
            WriteSomeMore(peer, data, written);
            mostPending = std::max(mostPending, channel.Comm2->PendingChunks());
            return ReceivedSize(sink) >= data.size();
        },
        30000))
        << ReceivedSize(sink) << " of " << data.size();
    EXPECT_TRUE(sink.Received() == data);
    EXPECT_LE(mostPending, ChunkHandoff::kCapacity);
    for (const RecordingReceiveSink::Chunk& chunk : sink.chunks)
        ASSERT_LE(chunk.data.size(), CnRS232ReadChunker::kReadSize);
}

// A receive sink that takes a while over every chunk, as the display does.
struct SlowSink : RecordingReceiveSink
{
    void ProcessReceived(QByteArrayView data, const QString& label, ChannelId channel) override
    {
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < 1'000'000) {
        }
        RecordingReceiveSink::ProcessReceived(data, label, channel);
    }
};

TEST_F(SerialFlowTest, PortBKeepsTheEventLoopTurningWhileAFastPeerSends)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    SlowSink sink;
    SerialBChannel channel(sink);
    channel.ChoosePort(pair.A(), false);
    channel.Open();
    ASSERT_TRUE(channel.IsOpen());
    const QByteArray data = Pattern(4 * 1024 * 1024);
    std::atomic<bool> sent = false;
    Worker peer([&] {
        RawEnd end(pair.B());
        constexpr qsizetype kPiece = 64 * 1024;
        for (qsizetype at = 0; at < data.size(); at += kPiece)
            if (!end.WriteAll(data.mid(at, kPiece), 20000))
                return;
        sent = true;
    });

    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 worstGapMs = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worstGapMs = std::max(worstGapMs, sinceTick.restart());
    });
    tick.start();
    EXPECT_TRUE(WaitUntil([&] { return ReceivedSize(sink) >= data.size(); }, 60000))
        << ReceivedSize(sink) << " of " << data.size();
    worstGapMs = std::max(worstGapMs, sinceTick.elapsed());
    tick.stop();
    EXPECT_TRUE(peer.FinishesWithin(20000));
    EXPECT_TRUE(sent);
    EXPECT_TRUE(sink.Received() == data);
    // A reader delivering as fast as the chunks are handled would hold the
    // loop for the whole transfer (seconds); the margin is for a loaded machine.
    EXPECT_LT(worstGapMs, 500) << "the event loop was kept from running";
}

}  // namespace
