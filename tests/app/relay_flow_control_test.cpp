// The window relaying long streams between real peers on 127.0.0.1 and socat
// pseudo-terminal pairs, with its display options as it starts: a receiver
// that does not read holds the sender back instead of filling memory, and the
// event loop keeps running while both directions are busy.
#include "app/main_window.h"
#include "tests/streams/event_loop_gap_meter.h"
#include "tests/streams/relay_rig.h"
#include "tests/streams/resident_memory.h"
#include "tests/streams/run_event_loop.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <cstdio>
#include <ostream>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

class RelayFlowControlTest : public ::testing::Test
{
protected:
    RelayFlowControlTest()
    {
        form.FormCreate();
        form.show();
    }

    ScratchWorkingDirectory workingDirectory;
    MessageRecorder messages;
    TForm1 form;
};

struct StalledCase
{
    const char* name;
    ChannelId source;  // its peer sends
    ChannelId target;  // its peer reads late
};

void PrintTo(const StalledCase& row, std::ostream* out)
{
    *out << row.name;
}

class StalledReceiverTest : public RelayFlowControlTest, public ::testing::WithParamInterface<StalledCase>
{
};

// The sending peer offers far more than any queue may hold while the
// receiving peer reads nothing. Once the sender has not got a byte further
// for a second, everything the program and the kernel will take is taken.
TEST_P(StalledReceiverTest, SenderIsHeldBackWithBoundedMemoryAndEveryByteArrivesOnceItReads)
{
    constexpr qint64 kOffered = 256 * kMiB;
    constexpr qint64 kGrowthBound = 64 * kMiB;
    constexpr int kSettledMs = 1000;

    RelayRig rig(form, GetParam().source, GetParam().target);
    ASSERT_TRUE(rig.Open()) << rig.Failure().toStdString();
    ResidentMemory::ReleaseFreed();
    const qint64 baseline = ResidentMemory::CurrentBytes();
    ASSERT_TRUE(rig.Start({.forward = kOffered, .holdSecondReading = true})) << rig.Failure().toStdString();

    qint64 peak = baseline;
    qint64 lastSent = -1;
    QElapsedTimer still;
    still.start();
    const bool settled = RunEventLoopUntil(
        [&] {
            peak = std::max(peak, ResidentMemory::CurrentBytes());
            if (rig.First().Sent() != lastSent) {
                lastSent = rig.First().Sent();
                still.restart();
            }
            return still.elapsed() >= kSettledMs || rig.First().SendDone() || rig.Broken();
        },
        20000);
    EXPECT_TRUE(settled) << "the sender kept going for 20 s against a receiver that reads nothing";
    EXPECT_LT(rig.First().Sent(), kOffered) << "the program took everything offered: the sender was never slowed";
    EXPECT_LT(peak - baseline, kGrowthBound)
        << "resident memory grew by " << (peak - baseline) / kMiB << " MiB; the sender got "
        << rig.First().Sent() / kMiB << " MiB out";
    EXPECT_EQ(rig.Second().Received(), 0);
    std::printf("while stalled: sender got %.1f MiB out, resident memory grew by %.1f MiB\n",
                static_cast<double>(rig.First().Sent()) / kMiB, static_cast<double>(peak - baseline) / kMiB);

    rig.Second().ReleaseReading();
    EXPECT_TRUE(RunEventLoopUntil([&] { return rig.Done() || rig.Broken(); }, 40000)) << rig.Progress().toStdString();
    EXPECT_TRUE(rig.Intact()) << rig.Progress().toStdString();
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(QLatin1Char('|')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Relay, StalledReceiverTest,
    ::testing::Values(StalledCase{"TcpServerIntoTcpClient", TCPS, TCPC},
                      StalledCase{"TcpServerIntoPortB", TCPS, COMB},
                      StalledCase{"TcpClientIntoPortB", TCPC, COMB},
                      StalledCase{"TcpClientIntoPortA", TCPC, COMA}),
    [](const ::testing::TestParamInfo<StalledCase>& info) { return info.param.name; });

struct BothWaysCase
{
    const char* name;
    ChannelId port;
    ChannelId network;
};

void PrintTo(const BothWaysCase& row, std::ostream* out)
{
    *out << row.name;
}

class BothWaysTest : public RelayFlowControlTest, public ::testing::WithParamInterface<BothWaysCase>
{
};

// The window never works more than 100 ms without coming back to a 5 ms timer
// on its event loop while a serial port and a TCP channel relay 64 MiB to each
// other both ways at once. The check counts the window thread's own time, so
// other work on a busy machine cannot fail it; the clock's gap is printed.
TEST_P(BothWaysTest, EventLoopNeverStallsAndBothStreamsArriveIntact)
{
    constexpr qint64 kEachWay = 64 * kMiB;
    constexpr double kWorstBusyMs = 100;

    RelayRig rig(form, GetParam().port, GetParam().network);
    ASSERT_TRUE(rig.Open()) << rig.Failure().toStdString();
    EventLoopGapMeter gaps;
    ASSERT_TRUE(rig.Start({.forward = kEachWay, .backward = kEachWay})) << rig.Failure().toStdString();
    EXPECT_TRUE(RunEventLoopUntil([&] { return rig.Done() || rig.Broken(); }, 45000)) << rig.Progress().toStdString();
    const double worstBusyMs = gaps.WorstBusyMs();
    std::printf("worst event-loop gap %.1f ms, %.1f ms of it the window's own work\n", gaps.WorstGapMs(),
                worstBusyMs);
    EXPECT_TRUE(rig.Intact()) << rig.Progress().toStdString();
    EXPECT_LT(worstBusyMs, kWorstBusyMs) << "the window worked " << worstBusyMs << " ms without answering";
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(QLatin1Char('|')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Relay, BothWaysTest,
                         ::testing::Values(BothWaysCase{"PortBAndTcpClient", COMB, TCPC},
                                           BothWaysCase{"PortAAndTcpServer", COMA, TCPS}),
                         [](const ::testing::TestParamInfo<BothWaysCase>& info) { return info.param.name; });

}  // namespace
