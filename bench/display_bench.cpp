// Receive-path benchmarks: how many display lines per second ProcessReceived
// sustains next to a plain QPlainTextEdit and with the receive log on and
// off, bytes per second for large chunks, and the longest event-loop stall
// while chunks arrive at twice a 3 Mbaud line.

#include "app/main_window.h"
#include "data/codec.h"
#include "data/receive_display.h"
#include "data/receive_log.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <benchmark/benchmark.h>

namespace {

QByteArray Chunk(int size)
{
    QByteArray chunk(size, 'x');
    for (int i = 0; i < size; ++i)
        chunk[i] = static_cast<char>('A' + i % 26);
    return chunk;
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// A shown main window with default options, as a user has it.
struct ShownForm
{
    explicit ShownForm(LineLog* log = nullptr) : form(nullptr, log)
    {
        form.FormCreate();
        form.show();
        QApplication::processEvents();
    }
    TForm1 form;
};

// The naive display: one appendPlainText per line, events every 100 lines.
// Returns lines per second over about `seconds`.
double ReferenceLinesPerSecond(double seconds)
{
    QPlainTextEdit edit;
    edit.resize(600, 500);
    edit.show();
    QApplication::processEvents();
    const QString header = QStringLiteral("2024-5-1 12:34:56 0078毫秒    TCP服务器[127.0.0.1:50312]接收64字节: ");
    const QString data = QStringLiteral("2024-5-1 12:34:56 0078毫秒    ") + QString::fromLatin1(Chunk(64));
    qint64 lines = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        for (int i = 0; i < 2000; ++i) {
            edit.appendPlainText(i % 2 ? data : header);
            if (i % 100 == 99)
                QApplication::processEvents();
        }
        lines += 2000;
        // The same bound as the receive display: emptied, never grown without end.
        if (edit.blockCount() > 10000)
            edit.clear();
    }
    return lines * 1000.0 / clock.elapsed();
}

// Default options: a header line and a data line per chunk. Events are
// handled every 100 chunks, so the display catches up as it would live. The
// naive reference runs in the same process right after, for the ratio.
void BM_ProcessReceivedLines(benchmark::State& state)
{
    ShownForm shown;
    const QByteArray chunk = Chunk(64);
    const QString label = QStringLiteral("TCP服务器[127.0.0.1:50312]");
    qint64 lines = 0;
    QElapsedTimer clock;
    clock.start();
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            shown.form.ProcessReceived(chunk, label, TCPS);
            if (i % 100 == 99)
                QApplication::processEvents();
        }
        shown.form.edtMsg->Refresh();
        QApplication::processEvents();
        lines += 2000;
    }
    const double linesPerSecond = lines * 1000.0 / std::max<qint64>(1, clock.elapsed());
    const double reference = ReferenceLinesPerSecond(3.0);
    state.counters["lines_per_s"] = linesPerSecond;
    state.counters["reference_lines_per_s"] = reference;
    state.counters["ratio_to_reference"] = linesPerSecond / reference;
}

// Lines shown in about `seconds` as in BM_ProcessReceivedLines, and the
// milliseconds taken; with `log`, until every line is in its file too.
std::pair<qint64, qint64> ShowLines(ReceiveLog* log, double seconds)
{
    ShownForm shown(log);
    const QByteArray chunk = Chunk(64);
    const QString label = QStringLiteral("TCP服务器[127.0.0.1:50312]");
    qint64 lines = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        for (int i = 0; i < 1000; ++i) {
            shown.form.ProcessReceived(chunk, label, TCPS);
            if (i % 100 == 99)
                QApplication::processEvents();
        }
        shown.form.edtMsg->Refresh();
        QApplication::processEvents();
        lines += 2000;
    }
    if (log)
        log->Flush();
    return {lines, clock.elapsed()};
}

// The same display with the receive log off and on, in turns, so that both
// see the same load of the machine; the log writes into a scratch folder.
void BM_ProcessReceivedLinesLogOffAndOn(benchmark::State& state)
{
    for (auto _ : state) {
        QTemporaryDir folder;
        ReceiveLog log(folder.path());
        std::pair<qint64, qint64> off{0, 0};
        std::pair<qint64, qint64> on{0, 0};
        for (int turn = 0; turn < 3; ++turn) {
            const auto [offLines, offMs] = ShowLines(nullptr, 1.5);
            const auto [onLines, onMs] = ShowLines(&log, 1.5);
            off = {off.first + offLines, off.second + offMs};
            on = {on.first + onLines, on.second + onMs};
        }
        const double offPerSecond = off.first * 1000.0 / std::max<qint64>(1, off.second);
        const double onPerSecond = on.first * 1000.0 / std::max<qint64>(1, on.second);
        state.counters["log_off_lines_per_s"] = offPerSecond;
        state.counters["log_on_lines_per_s"] = onPerSecond;
        state.counters["ratio_on_to_off"] = onPerSecond / offPerSecond;
        QFileInfo file(folder.path() + QLatin1Char('/') + ReceiveLog::FileName(QDateTime::currentMSecsSinceEpoch()));
        state.counters["log_MiB"] = file.size() / (1024.0 * 1024.0);
    }
}

// Bytes per second for large chunks; range(0) = chunk size, range(1) = hex display.
void BM_ProcessReceivedBytes(benchmark::State& state)
{
    ShownForm shown;
    shown.form.chkHexShow->setChecked(state.range(1) != 0);
    shown.form.cbbHexStyle->setCurrentIndex(0);
    const QByteArray chunk = Chunk(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        shown.form.ProcessReceived(chunk, QStringLiteral("COMA[ttyUSB0]"), COMA);
        QApplication::processEvents();
    }
    state.SetBytesProcessed(state.iterations() * chunk.size());
}

// Feeds 64-byte chunks at 600 KB/s for five seconds from a 1 ms timer and
// records how late a 10 ms timer ticks at worst.
void BM_EventLoopStallAt600KBps(benchmark::State& state)
{
    for (auto _ : state) {
        ShownForm shown;
        constexpr qint64 kBytesPerSecond = 600 * 1000;
        constexpr int kChunk = 64;
        constexpr int kRunMs = 5000;
        const QByteArray chunk = Chunk(kChunk);
        qint64 fed = 0;
        long peakKiB = 0;
        qint64 worstLateMs = 0;
        QElapsedTimer clock;
        clock.start();

        QTimer feeder;
        feeder.setTimerType(Qt::PreciseTimer);
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            const qint64 due = clock.elapsed() * kBytesPerSecond / 1000 / kChunk;
            while (fed < due) {
                shown.form.ProcessReceived(chunk, QStringLiteral("COMA[ttyUSB0]"), COMA);
                ++fed;
            }
        });
        feeder.start(1);

        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        qint64 lastTick = 0;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            worstLateMs = std::max(worstLateMs, now - lastTick - 10);
            lastTick = now;
            peakKiB = std::max(peakKiB, ResidentKiB());
        });
        probe.start(10);

        while (clock.elapsed() < kRunMs)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        feeder.stop();
        probe.stop();

        state.counters["worst_late_ms"] = static_cast<double>(worstLateMs);
        state.counters["chunks_fed"] = static_cast<double>(fed);
        state.counters["chunks_lost"] = static_cast<double>(fed - shown.form.Counters()[COMA].rxFrames);
        state.counters["display_lines"] = static_cast<double>(shown.form.DisplayLines().LineCount());
        state.counters["peak_rss_MiB"] = peakKiB / 1024.0;
    }
}

BENCHMARK(BM_ProcessReceivedLines)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ProcessReceivedLinesLogOffAndOn)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessReceivedBytes)
    ->Args({1024, 0})
    ->Args({1024, 1})
    ->Args({65536, 0})
    ->Args({65536, 1})
    ->ArgNames({"chunk", "hex"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EventLoopStallAt600KBps)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
