// Relay throughput: a bounded stream from a TCP peer into the window's TCP
// server channel, relayed ("转发" TCP SERVER <-> TCP CLIENT) through its TCP
// client channel to a second TCP peer, with the window's default display
// options (every byte shown), next to socat relaying the same stream in the
// same run; once without and once with the receive log, whose writing then
// counts until every line is in its file. Both sinks check that every byte
// arrived, in order.
#include "app/main_window.h"
#include "data/receive_log.h"
#include "net/is_port_in_use.h"
#include "tests/streams/loopback_listener.h"
#include "tests/streams/relay_rig.h"
#include "tests/streams/run_event_loop.h"
#include "tests/streams/stream_peer.h"
#include "tests/support/scratch_working_directory.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>
#include <optional>

namespace {

constexpr qint64 kTotal = 64 * 1024 * 1024;
constexpr int kTimeoutMs = 600000;

struct Run
{
    double seconds = 0;
    bool intact = false;
    qint64 chunks = 0;  // deliveries the relay handled
};

// The window relays TCP SERVER -> TCP CLIENT, as a user would set it up.
Run RelayThroughWindow(bool withLog)
{
    ScratchWorkingDirectory scratch;  // the settings file the window writes stays out of the way
    Run run;
    // The log writes into the scratch folder.
    std::optional<ReceiveLog> log;
    if (withLog)
        log.emplace(scratch.Path());
    TForm1 window(nullptr, log ? &*log : nullptr);
    window.FormCreate();
    window.show();
    RelayRig rig(window, TCPS, TCPC);
    if (!rig.Open(5000))
        return run;
    QElapsedTimer clock;
    clock.start();
    if (!rig.Start({.forward = kTotal}))
        return run;
    RunEventLoopUntil([&] { return rig.Done() || rig.Broken(); }, kTimeoutMs, 1);
    if (log)
        log->Flush();
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.intact = rig.Intact();
    run.chunks = window.Counters()[TCPS].rxFrames;
    return run;
}

// socat relaying the same stream between the same kind of peers.
Run RelayThroughSocat()
{
    Run run;
    LoopbackListener sinkListener;
    const quint16 listenPort = LoopbackListener::FreePort();
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("TCP-LISTEN:%1,reuseaddr").arg(listenPort),
                                          QStringLiteral("TCP:127.0.0.1:%1").arg(sinkListener.Port())});
    if (!socat.waitForStarted(5000))
        return run;
    const QDeadlineTimer listening(5000);
    while (IsPortInUse(listenPort, true) == 0 && !listening.hasExpired())
        QThread::msleep(5);

    {
        QElapsedTimer clock;
        clock.start();
        const int sourceFd = LoopbackListener::Connect(listenPort);
        if (sourceFd < 0)
            return run;
        StreamPeer source(sourceFd, {.sendBytes = kTotal});
        int sinkFd = -1;
        const QDeadlineTimer accepting(5000);
        while ((sinkFd = sinkListener.TakeConnection()) < 0 && !accepting.hasExpired())
            QThread::msleep(1);
        if (sinkFd < 0)
            return run;
        StreamPeer sink(sinkFd, {.receiveBytes = kTotal});
        const QDeadlineTimer deadline(kTimeoutMs);
        while (!sink.ReceiveDone() && !sink.Broken() && !deadline.hasExpired())
            QThread::msleep(1);
        run.seconds = clock.nsecsElapsed() / 1e9;
        run.intact = sink.ReceiveDone() && sink.Intact();
    }
    socat.waitForFinished(5000);
    if (socat.state() != QProcess::NotRunning) {
        socat.kill();
        socat.waitForFinished(5000);
    }
    return run;
}

void BM_RelayTcpServerToTcpClient(benchmark::State& state)
{
    double relaySeconds = 0;
    double socatSeconds = 0;
    bool intact = true;
    qint64 chunks = 0;
    for (auto _ : state) {
        const Run socat = RelayThroughSocat();
        const Run relay = RelayThroughWindow(state.range(0) != 0);
        state.SetIterationTime(relay.seconds);
        relaySeconds += relay.seconds;
        socatSeconds += socat.seconds;
        intact = intact && relay.intact && socat.intact;
        chunks += relay.chunks;
    }
    const double mib = static_cast<double>(kTotal) * state.iterations() / (1024.0 * 1024.0);
    state.SetBytesProcessed(state.iterations() * kTotal);
    state.counters["relay_MiB_per_s"] = mib / relaySeconds;
    state.counters["socat_MiB_per_s"] = mib / socatSeconds;
    state.counters["ratio"] = socatSeconds / relaySeconds;
    state.counters["intact"] = intact ? 1 : 0;
    state.counters["relayed_chunks"] = static_cast<double>(chunks);
}

BENCHMARK(BM_RelayTcpServerToTcpClient)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("log")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
