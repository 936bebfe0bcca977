// Soak: the window relaying a long stream both ways at once, on each of three
// paths, with its display options as it starts: TCP server <-> TCP client,
// pty <-> port A <-> TCP server and pty <-> port B <-> TCP client. Peers on
// 127.0.0.1 and on socat pseudo-terminal pairs send a pattern and check it as
// it arrives; the SHA-256 of what each receiver got is compared with that of
// what its sender sends, computed from the pattern before the run so that
// hashing both ends does not take the processor from the window under test. For each path it prints
// the rate each way, the peak resident memory, the longest wait of a 5 ms
// timer on the event loop and whether every byte arrived intact.
//
//   relay_soak [MiB each way, default 1024] [tcp] [port_A] [port_B]
//
// Exits with 1 when a path misses a target: intact, peak resident memory
// under 150 MiB, worst gap under 100 ms.
#include "app/application.h"
#include "app/main_window.h"
#include "tests/streams/event_loop_gap_meter.h"
#include "tests/streams/pattern_stream.h"
#include "tests/streams/relay_rig.h"
#include "tests/streams/resident_memory.h"
#include "tests/streams/run_event_loop.h"
#include "tests/support/scratch_working_directory.h"

#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
constexpr double kPeakRssTargetMiB = 150;
constexpr double kWorstGapTargetMs = 100;

struct Path
{
    const char* name;
    ChannelId first;
    ChannelId second;
};

constexpr Path kPaths[] = {
    {"tcp", TCPS, TCPC},
    {"port_A", COMA, TCPS},
    {"port_B", COMB, TCPC},
};

struct Figures
{
    double forwardSeconds = 0;
    double backwardSeconds = 0;
    double peakRssMiB = 0;
    double worstGapMs = 0;
    double worstBusyMs = 0;
    bool intact = false;
    QString failure;
};

// SHA-256 of what the first end's peer sends (forward) and of what the second's sends.
struct Digests
{
    QByteArray forward;
    QByteArray backward;
};

Digests SentDigests(qint64 bytes)
{
    Digests digests;
    std::thread backward([&] { digests.backward = PatternStream::Sha256(RelayRig::kBackwardSeed, bytes); });
    digests.forward = PatternStream::Sha256(RelayRig::kForwardSeed, bytes);
    backward.join();
    return digests;
}

Figures Soak(const Path& path, qint64 bytes, const Digests& sent)
{
    Figures figures;
    ScratchWorkingDirectory workingDirectory;  // the window's settings files
    TForm1 form;
    form.FormCreate();
    form.show();
    RelayRig rig(form, path.first, path.second);
    if (!rig.Open()) {
        figures.failure = rig.Failure();
        return figures;
    }

    ResidentMemory::ReleaseFreed();
    const bool peakKnown = ResidentMemory::ResetPeak();
    qint64 sampledPeak = ResidentMemory::CurrentBytes();
    EventLoopGapMeter gaps;
    QElapsedTimer clock;
    clock.start();
    if (!rig.Start({.forward = bytes, .backward = bytes, .hashReceived = true})) {
        figures.failure = rig.Failure();
        return figures;
    }
    // At least 1 MiB/s each way, or it counts as stuck.
    const int timeoutMs = static_cast<int>(std::max<qint64>(60000, bytes / kMiB * 1000));
    RunEventLoopUntil(
        [&] {
            sampledPeak = std::max(sampledPeak, ResidentMemory::CurrentBytes());
            if (figures.forwardSeconds == 0 && rig.Second().ReceiveDone())
                figures.forwardSeconds = clock.nsecsElapsed() / 1e9;
            if (figures.backwardSeconds == 0 && rig.First().ReceiveDone())
                figures.backwardSeconds = clock.nsecsElapsed() / 1e9;
            return rig.Done() || rig.Broken();
        },
        timeoutMs, 20);
    figures.worstGapMs = gaps.WorstGapMs();
    figures.worstBusyMs = gaps.WorstBusyMs();
    const qint64 peak = peakKnown ? std::max(sampledPeak, ResidentMemory::PeakBytes()) : sampledPeak;
    figures.peakRssMiB = static_cast<double>(peak) / kMiB;
    figures.intact = rig.Intact() && rig.Second().ReceivedDigest() == sent.forward &&
                     rig.First().ReceivedDigest() == sent.backward;
    if (!figures.intact)
        figures.failure = rig.Progress();
    return figures;
}

bool IsSerial(ChannelId channel)
{
    return channel == COMA || channel == COMB;
}

// Where a direction starts or ends: the pty behind a serial port, the peer of a TCP channel.
QString Outside(ChannelId channel)
{
    return IsSerial(channel) ? QStringLiteral("pty") : RelayRig::EndName(channel);
}

// "pty<->port_A<->tcp_server"
QString PathName(const Path& path)
{
    QString name = RelayRig::EndName(path.first) + QStringLiteral("<->") + RelayRig::EndName(path.second);
    if (IsSerial(path.first))
        name.prepend(QStringLiteral("pty<->"));
    if (IsSerial(path.second))
        name.append(QStringLiteral("<->pty"));
    return name;
}

double Rate(qint64 bytes, double seconds)
{
    return seconds > 0 ? static_cast<double>(bytes) / kMiB / seconds : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    qint64 mib = 1024;
    if (!arguments.isEmpty()) {
        bool ok = false;
        const qint64 asked = arguments.first().toLongLong(&ok);
        if (ok) {
            mib = asked;
            arguments.removeFirst();
        }
    }
    if (mib <= 0) {
        std::fprintf(stderr, "usage: relay_soak [MiB each way] [tcp] [port_A] [port_B]\n");
        return 2;
    }
    const qint64 bytes = mib * kMiB;

    const Digests sent = SentDigests(bytes);
    bool allMet = true;
    for (const Path& path : kPaths) {
        if (!arguments.isEmpty() && !arguments.contains(QString::fromLatin1(path.name)))
            continue;
        const Figures figures = Soak(path, bytes, sent);
        std::printf("%s (%lld MiB each way): %s->%s MiB_per_s=%.1f %s->%s MiB_per_s=%.1f peak_rss_MiB=%.1f "
                    "worst_gap_ms=%.1f worst_busy_ms=%.1f intact=%d\n",
                    qPrintable(PathName(path)), static_cast<long long>(mib), qPrintable(Outside(path.first)),
                    qPrintable(Outside(path.second)), Rate(bytes, figures.forwardSeconds),
                    qPrintable(Outside(path.second)), qPrintable(Outside(path.first)),
                    Rate(bytes, figures.backwardSeconds), figures.peakRssMiB, figures.worstGapMs,
                    figures.worstBusyMs, figures.intact ? 1 : 0);
        if (!figures.failure.isEmpty())
            std::printf("  %s\n", qPrintable(figures.failure));
        std::fflush(stdout);
        allMet = allMet && figures.intact && figures.peakRssMiB < kPeakRssTargetMiB &&
                 figures.worstGapMs < kWorstGapTargetMs;
    }
    return allMet ? 0 : 1;
}
