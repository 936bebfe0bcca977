// Throughput of the terminal's decoders and screen model next to libvterm fed
// the same bytes in the same run, and of the terminal control under the
// offscreen platform with its batched painting. Prints MB/s.

#include "bench/terminal_stream.h"
#include "terminal/tnr_terminal.h"
#include "terminal/tnr_terminal_screen.h"

#include <QApplication>
#include <QElapsedTimer>

#include <vterm.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qsizetype kStreamSize = 16 * 1024 * 1024;
constexpr qsizetype kChunk = 4096;
constexpr int kRounds = 3;

double MegabytesPerSecond(qsizetype bytes, qint64 ns) { return bytes / 1e6 / (ns / 1e9); }

double ScreenModel(const QByteArray& stream)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (int round = 0; round < kRounds; ++round) {
        TnrTerminalScreen screen;
        screen.Utf8 = true;
        screen.SetTerminalSize(80, 24);
        QElapsedTimer clock;
        clock.start();
        for (qsizetype at = 0; at < stream.size(); at += kChunk) {
            screen.TerminalInputStr(QByteArrayView(stream).sliced(at, std::min(kChunk, stream.size() - at)));
            // The painter takes the record of changed cells now and then.
            screen.TakeDamage();
        }
        best = std::min(best, clock.nsecsElapsed());
    }
    return MegabytesPerSecond(stream.size(), best);
}

int CountDamage(VTermRect, void* user)
{
    ++*static_cast<long*>(user);
    return 1;
}

double Libvterm(const QByteArray& stream)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (int round = 0; round < kRounds; ++round) {
        VTerm* vt = vterm_new(24, 80);
        vterm_set_utf8(vt, 1);
        VTermScreen* screen = vterm_obtain_screen(vt);
        static VTermScreenCallbacks callbacks{};
        callbacks.damage = CountDamage;
        long damage = 0;
        vterm_screen_set_callbacks(screen, &callbacks, &damage);
        vterm_screen_reset(screen, 1);
        QElapsedTimer clock;
        clock.start();
        for (qsizetype at = 0; at < stream.size(); at += kChunk)
            vterm_input_write(vt, stream.constData() + at, static_cast<size_t>(std::min(kChunk, stream.size() - at)));
        vterm_screen_flush_damage(screen);
        best = std::min(best, clock.nsecsElapsed());
        vterm_free(vt);
    }
    return MegabytesPerSecond(stream.size(), best);
}

void Widget(const QByteArray& stream)
{
    TnrTerminal terminal;
    terminal.SetUtf8(true);
    terminal.SetTerminalSize(80, 24);
    terminal.resize(80 * terminal.CellSize().width() + 8, 24 * terminal.CellSize().height() + 8);
    terminal.show();
    int refreshes = 0;
    QObject::connect(&terminal, &TnrTerminal::CaretMove, [&] { ++refreshes; });
    QApplication::processEvents();
    const qint64 paintedBefore = terminal.PaintedCells();
    QElapsedTimer clock;
    clock.start();
    for (qsizetype at = 0; at < stream.size(); at += kChunk) {
        terminal.InsertText(QByteArrayView(stream).sliced(at, std::min(kChunk, stream.size() - at)));
        // Chunks arrive from the event loop; the refresh timer fires between them.
        QApplication::processEvents();
    }
    terminal.Flush();
    QApplication::processEvents();
    const qint64 ns = clock.nsecsElapsed();
    std::printf("widget (offscreen, 80x24):   %8.1f MB/s   %d refreshes in %.2f s, %lld cells painted\n",
                MegabytesPerSecond(stream.size(), ns), refreshes, ns / 1e9,
                static_cast<long long>(terminal.PaintedCells() - paintedBefore));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray stream = TerminalStream(kStreamSize);
    qsizetype escapes = std::count(stream.begin(), stream.end(), '\033');
    std::printf("stream: %lld bytes, %lld escape sequences\n", static_cast<long long>(stream.size()),
                static_cast<long long>(escapes));
    const double model = ScreenModel(stream);
    const double reference = Libvterm(stream);
    std::printf("decoders + screen model:     %8.1f MB/s\n", model);
    std::printf("libvterm (parser + screen):  %8.1f MB/s\n", reference);
    std::printf("ratio:                       %8.2f\n", model / reference);
    Widget(stream);
    return 0;
}
