// Relay throughput: a bounded stream from a TCP peer into the window's TCP
// server channel, relayed ("转发" TCP SERVER <-> TCP CLIENT) through its TCP
// client channel to a second TCP peer, with the window's default display options (every
// byte shown), next to socat relaying the same stream in the same run; once
// without and once with the receive log, whose writing then counts until
// every line is in its file. Both sinks check that every byte arrived, in order.
#include "app/main_window.h"
#include "data/receive_log.h"
#include "net/is_port_in_use.h"
#include "net/tcp_client_channel.h"
#include "net/tcp_client_page.h"
#include "net/tcp_server_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <atomic>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr qsizetype kTotal = 64 * 1024 * 1024;
constexpr int kTimeoutMs = 600000;

// A stream whose every position is told apart from its neighbours, so a lost,
// doubled or reordered piece shows.
const QByteArray& Pattern()
{
    static const QByteArray pattern = [] {
        QByteArray bytes(kTotal, Qt::Uninitialized);
        quint32 state = 2463534242u;
        for (qsizetype i = 0; i < kTotal; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            bytes[i] = static_cast<char>(state >> 24);
        }
        return bytes;
    }();
    return pattern;
}

sockaddr_in Loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// The receiving peer: accepts one connection on 127.0.0.1 and reads the whole
// stream on its own thread, comparing as it goes.
class Sink
{
public:
    Sink()
    {
        listening_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(0);
        ::bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listening_, 1);
        socklen_t size = sizeof address;
        ::getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~Sink()
    {
        ::shutdown(listening_, SHUT_RDWR);
        thread_.join();
        ::close(listening_);
    }

    quint16 Port() const { return port_; }
    bool Done() const { return done_; }
    bool Intact() const { return intact_; }
    qint64 Received() const { return received_; }

private:
    void Run()
    {
        const int connection = ::accept(listening_, nullptr, nullptr);
        if (connection < 0) {
            done_ = true;
            return;
        }
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        const char* expected = Pattern().constData();
        qint64 received = 0;
        while (received < kTotal) {
            const ssize_t n = ::recv(connection, buffer.data(), static_cast<size_t>(buffer.size()), 0);
            if (n <= 0)
                break;
            if (received + n > kTotal || std::memcmp(expected + received, buffer.constData(), n) != 0)
                intact_ = false;
            received += n;
            received_ = received;
        }
        if (received != kTotal)
            intact_ = false;
        ::close(connection);
        done_ = true;
    }

    int listening_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
    std::atomic<bool> done_{false};
    std::atomic<bool> intact_{true};
    std::atomic<qint64> received_{0};
};

// The sending peer: connects to 127.0.0.1 at `port` and writes the stream.
std::thread StartSource(quint16 port)
{
    return std::thread([port] {
        const int connection = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = Loopback(port);
        if (::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(connection);
            return;
        }
        const QByteArray& pattern = Pattern();
        qsizetype sent = 0;
        while (sent < pattern.size()) {
            const ssize_t n = ::send(connection, pattern.constData() + sent,
                                     static_cast<size_t>(std::min<qsizetype>(1 << 16, pattern.size() - sent)), 0);
            if (n <= 0)
                break;
            sent += n;
        }
        // Stay connected until the relay has passed everything on.
        ::shutdown(connection, SHUT_WR);
        char byte;
        while (::recv(connection, &byte, 1, 0) > 0) {
        }
        ::close(connection);
    });
}

quint16 FreePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(probe);
    return ntohs(address.sin_port);
}

template <typename Condition>
bool Pump(Condition condition, int timeoutMs = kTimeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return condition();
}

struct Run
{
    double seconds = 0;
    bool intact = false;
    qint64 chunks = 0;  // deliveries the relay handled
};

// The window relays TCP SERVER -> TCP CLIENT, as a user would set it up.
Run RelayThroughWindow(bool withLog)
{
    QTemporaryDir scratch;  // the settings file the window writes stays out of the way
    const QString previous = QDir::currentPath();
    QDir::setCurrent(scratch.path());
    Run run;
    {
        std::optional<ReceiveLog> log;
        if (withLog)
            log.emplace(scratch.path());
        Sink sink;
        TForm1 window(nullptr, log ? &*log : nullptr);
        window.FormCreate();
        window.show();
        QApplication::processEvents();

        window.tcpClient->edtTCPClientHost->setText(QStringLiteral("127.0.0.1"));
        window.tcpClient->edtTCPClientPort->setText(QString::number(sink.Port()));
        window.tcpClient->chkTCPClient->click();
        const quint16 serverPort = FreePort();
        window.tcpServer->edtTCPPort->setText(QString::number(serverPort));
        window.tcpServer->chkTCPSrv->setChecked(true);
        window.cbbConnA->setCurrentIndex(TCPS);
        window.cbbConnB->setCurrentIndex(TCPC);
        window.chkRelay->setChecked(true);
        Pump([&] { return window.TcpClient().IsOpen(); }, 5000);

        QElapsedTimer clock;
        clock.start();
        std::thread source = StartSource(serverPort);
        Pump([&] { return sink.Done(); });
        if (log)
            log->Flush();
        run.seconds = clock.nsecsElapsed() / 1e9;
        run.intact = sink.Intact();
        run.chunks = window.Counters()[TCPS].rxFrames;
        window.tcpServer->chkTCPSrv->setChecked(false);
        source.join();
        window.close();
    }
    QDir::setCurrent(previous);
    return run;
}

// socat relaying the same stream between the same kind of peers.
Run RelayThroughSocat()
{
    Run run;
    Sink sink;
    const quint16 listenPort = FreePort();
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("TCP-LISTEN:%1,reuseaddr").arg(listenPort),
                                          QStringLiteral("TCP:127.0.0.1:%1").arg(sink.Port())});
    if (!socat.waitForStarted(5000))
        return run;
    const QDeadlineTimer listening(5000);
    while (IsPortInUse(listenPort, true) == 0 && !listening.hasExpired())
        QThread::msleep(5);

    QElapsedTimer clock;
    clock.start();
    std::thread source = StartSource(listenPort);
    const QDeadlineTimer deadline(kTimeoutMs);
    while (!sink.Done() && !deadline.hasExpired())
        QThread::msleep(1);
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.intact = sink.Intact();
    source.join();
    socat.waitForFinished(5000);
    if (socat.state() != QProcess::NotRunning) {
        socat.kill();
        socat.waitForFinished(5000);
    }
    return run;
}

void BM_RelayTcpServerToTcpClient(benchmark::State& state)
{
    Pattern();
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
