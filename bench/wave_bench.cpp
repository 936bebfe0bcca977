// The waveform window at full speed: 10 MB of 2-byte signed samples on four
// curves (a sine wave each) through AddWaveData with the real plot, shown on
// the offscreen platform unless a display is asked for. Prints samples per
// second, the longest frame (axes and drawing) and the longest pass of the
// event loop (painting included), which must both stay under 16 ms whatever
// the history length.

#include "wave/ti_plot.h"
#include "wave/wave_form.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    constexpr qint64 kTotalBytes = 10 * 1024 * 1024;
    constexpr int kCurves = 4;
    constexpr int kChunkBytes = 4096;

    TwaveForm form;
    form.cbChCnt->setCurrentIndex(kCurves - 1);
    form.cbbNumType->setCurrentIndex(1);
    form.cbbUS->setCurrentIndex(1);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        std::fprintf(stderr, "window not exposed\n");

    // One chunk after another of interleaved frames, the phase running on.
    qint64 frame = 0;
    auto nextChunk = [&frame] {
        QByteArray chunk(kChunkBytes, '\0');
        for (int at = 0; at + 2 * kCurves <= kChunkBytes; at += 2 * kCurves, ++frame)
            for (int curve = 0; curve < kCurves; ++curve) {
                const auto value = qint16(std::lround(8000.0 * (curve + 1) * std::sin(frame * 0.05 + curve)));
                chunk[at + 2 * curve] = char(value & 0xFF);
                chunk[at + 2 * curve + 1] = char((value >> 8) & 0xFF);
            }
        return chunk;
    };

    qint64 worstAddNs = 0;
    qint64 worstLoopNs = 0;
    qint64 sent = 0;
    QElapsedTimer total;
    total.start();
    QElapsedTimer step;
    while (sent < kTotalBytes) {
        const QByteArray chunk = nextChunk();
        step.start();
        form.AddWaveData(chunk);
        worstAddNs = std::max(worstAddNs, step.nsecsElapsed());
        sent += chunk.size();
        step.start();
        QApplication::processEvents();
        worstLoopNs = std::max(worstLoopNs, step.nsecsElapsed());
    }
    const double seconds = total.nsecsElapsed() / 1e9;
    // One last frame at the full history.
    form.Chart1->Redraw();
    step.start();
    QApplication::processEvents();
    worstLoopNs = std::max(worstLoopNs, step.nsecsElapsed());

    const qint64 samples = sent / 2;
    qsizetype kept = 0;
    for (int curve = 0; curve < kCurves; ++curve)
        kept = std::max(kept, form.Chart1->GetChannel(curve)->Kept());
    std::printf("wave_bench: %lld bytes, %lld samples on %d curves in %.3f s\n", static_cast<long long>(sent),
                static_cast<long long>(samples), kCurves, seconds);
    std::printf("samples per second: %.0f\n", samples / seconds);
    std::printf("frames drawn: %lld (%.1f per second)\n", static_cast<long long>(form.Chart1->FrameCount()),
                form.Chart1->FrameCount() / seconds);
    std::printf("worst frame: %.2f ms\n", form.Chart1->WorstFrameNs() / 1e6);
    std::printf("worst event-loop pass (painting included): %.2f ms\n", worstLoopNs / 1e6);
    std::printf("worst AddWaveData of a %d-byte chunk: %.2f ms\n", kChunkBytes, worstAddNs / 1e6);
    std::printf("points kept per curve at the end: %lld (bound %lld)\n", static_cast<long long>(kept),
                static_cast<long long>(TiPlotChannel::kHistoryPoints));
    const bool ok = form.Chart1->WorstFrameNs() < 16'000'000;
    std::printf("frame under 16 ms: %s\n", ok ? "yes" : "NO");
    return ok ? 0 : 1;
}
