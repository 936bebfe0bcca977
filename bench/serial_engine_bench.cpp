// Throughput of serial port A's receive path on a socat pseudo-terminal pair:
// `head -c` reading the pair as the baseline, the engine with a handler that
// only counts and checks the bytes, and the whole window's receive pipeline.
#include "app/main_window.h"
#include "serial/serial_a_page.h"
#include "serial/tnr_comm.h"
#include "tests/serial/socat_pair.h"
#include "tests/streams/pattern_stream.h"
#include "tests/streams/run_event_loop.h"
#include "tests/streams/stream_peer.h"

#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr qint64 kTotal = 64 * 1024 * 1024;

// Writes the whole pattern into the far end of `pair` on its own thread.
std::unique_ptr<StreamPeer> StartWriter(const SocatPair& pair)
{
    return std::make_unique<StreamPeer>(StreamPeer::OpenTerminal(pair.A()), StreamPeer::Plan{.sendBytes = kTotal});
}

bool Pump(const std::function<bool()>& condition)
{
    return RunEventLoopUntil(condition, 120000, 1);
}

void BM_HeadBaseline(benchmark::State& state)
{
    for (auto _ : state) {
        SocatPair pair;
        QProcess head;
        head.setStandardOutputFile(QStringLiteral("/dev/null"));
        head.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                          QStringLiteral("exec head -c %1 < '%2'").arg(kTotal).arg(pair.B())});
        head.waitForStarted();
        QThread::msleep(50);
        const auto writer = StartWriter(pair);
        head.waitForFinished(120000);
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}

void BM_EngineCountingHandler(benchmark::State& state)
{
    bool intact = true;
    for (auto _ : state) {
        SocatPair pair;
        PatternStream pattern(StreamPeer::Plan{}.sendSeed);
        TnrComm comm;
        qsizetype received = 0;
        comm.OnAfterReceive = [&](TnrBaseIO*, const char* buffer, quint32 count) {
            if (received + count > kTotal || !pattern.Matches(buffer, count))
                intact = false;
            received += count;
        };
        comm.SetDeviceIndex(comm.AddPortPath(pair.B()));
        comm.SetActive(true);
        const auto writer = StartWriter(pair);
        if (!Pump([&] { return received >= kTotal; }))
            intact = false;
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
    state.counters["intact"] = intact ? 1 : 0;
}

void BM_WindowReceivePipeline(benchmark::State& state)
{
    for (auto _ : state) {
        SocatPair pair;
        TForm1 window;
        window.FormCreate();
        window.ComA().PickPortPath(pair.B());
        window.serialA->btnOpenComClick();
        const auto writer = StartWriter(pair);
        const bool complete = Pump([&] { return window.Counters()[COMA].rxBytes >= kTotal; });
        state.counters["complete"] = complete ? 1 : 0;
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}

BENCHMARK(BM_HeadBaseline)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EngineCountingHandler)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowReceivePipeline)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
