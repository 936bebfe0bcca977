// Throughput of serial port A's receive path on a socat pseudo-terminal pair:
// `head -c` reading the pair as the baseline, the engine with a handler that
// only counts and checks the bytes, and the whole window's receive pipeline.
#include "app/main_window.h"
#include "serial/serial_a_page.h"
#include "serial/tnr_comm.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qsizetype kTotal = 64 * 1024 * 1024;

const QByteArray& Pattern()
{
    static const QByteArray pattern = [] {
        QByteArray bytes(kTotal, Qt::Uninitialized);
        for (qsizetype i = 0; i < kTotal; ++i)
            bytes[i] = static_cast<char>((i * 131 + (i >> 13)) & 0xFF);
        return bytes;
    }();
    return pattern;
}

class Pair
{
public:
    Pair()
    {
        socat_.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + A(),
                                               QStringLiteral("pty,raw,echo=0,link=") + B()});
        const QDeadlineTimer deadline(5000);
        while (!(QFileInfo::exists(A()) && QFileInfo::exists(B())) && !deadline.hasExpired())
            QThread::msleep(10);
    }
    ~Pair()
    {
        socat_.kill();
        socat_.waitForFinished(5000);
    }
    QString A() const { return dir_.filePath(QStringLiteral("a")); }
    QString B() const { return dir_.filePath(QStringLiteral("b")); }

private:
    QTemporaryDir dir_;
    QProcess socat_;
};

// Writes the whole pattern into `path` on its own thread.
std::thread StartWriter(const QString& path)
{
    return std::thread([path] {
        const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_NOCTTY);
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
        const QByteArray& pattern = Pattern();
        qsizetype done = 0;
        while (done < pattern.size()) {
            const ssize_t n = ::write(fd, pattern.constData() + done, static_cast<size_t>(std::min<qsizetype>(65536, pattern.size() - done)));
            if (n <= 0)
                break;
            done += n;
        }
        ::close(fd);
    });
}

template <typename Condition>
bool Pump(Condition condition, int timeoutMs = 120000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return condition();
}

void BM_HeadBaseline(benchmark::State& state)
{
    Pattern();
    for (auto _ : state) {
        Pair pair;
        QProcess head;
        head.setStandardOutputFile(QStringLiteral("/dev/null"));
        head.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                          QStringLiteral("exec head -c %1 < '%2'").arg(kTotal).arg(pair.B())});
        head.waitForStarted();
        QThread::msleep(50);
        std::thread writer = StartWriter(pair.A());
        head.waitForFinished(120000);
        writer.join();
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}

void BM_EngineCountingHandler(benchmark::State& state)
{
    Pattern();
    bool intact = true;
    for (auto _ : state) {
        Pair pair;
        TnrComm comm;
        qsizetype received = 0;
        comm.OnAfterReceive = [&](TnrBaseIO*, const char* buffer, quint32 count) {
            if (received + count > kTotal || std::memcmp(Pattern().constData() + received, buffer, count) != 0)
                intact = false;
            received += count;
        };
        comm.SetDeviceIndex(comm.AddPortPath(pair.B()));
        comm.SetActive(true);
        std::thread writer = StartWriter(pair.A());
        if (!Pump([&] { return received >= kTotal; }))
            intact = false;
        writer.join();
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
    state.counters["intact"] = intact ? 1 : 0;
}

void BM_WindowReceivePipeline(benchmark::State& state)
{
    Pattern();
    for (auto _ : state) {
        Pair pair;
        TForm1 window;
        window.FormCreate();
        window.ComA().PickPortPath(pair.B());
        window.serialA->btnOpenComClick();
        std::thread writer = StartWriter(pair.A());
        const bool complete = Pump([&] { return window.Counters()[COMA].rxBytes >= kTotal; });
        writer.join();
        state.counters["complete"] = complete ? 1 : 0;
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}

BENCHMARK(BM_HeadBaseline)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EngineCountingHandler)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowReceivePipeline)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
