#include "net/tcp_client_channel.h"
#include "send/send_dispatcher.h"
#include "tests/net/channel_test_support.h"
#include "tests/net/fake_name_resolver.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>
#include <sys/socket.h>

namespace {

const QString kConnected = QStringLiteral("TCP Client已连接服务端");
const QString kDisconnected = QStringLiteral("TCP Client已断开");
const QString kConnectError = QStringLiteral("TCP Client连接出错");
const QString kUnknown = QStringLiteral("TCP Client异常，原因未知");
const QString kSendError = QStringLiteral("TCP Client发送出错");

// A TCP server on 127.0.0.1 that keeps the connections it accepts.
class PeerServer
{
public:
    PeerServer() { server.listen(QHostAddress::LocalHost, 0); }

    quint16 Port() const { return server.serverPort(); }

    // The next accepted connection, or null when none arrives in time.
    QTcpSocket* Accept(int timeoutMs = 5000)
    {
        if (!WaitFor([&] { return server.hasPendingConnections(); }, timeoutMs))
            return nullptr;
        return server.nextPendingConnection();
    }

    QTcpServer server;
};

class TcpClientChannelTest : public ::testing::Test
{
protected:
    TcpClientChannelTest()
    {
        channel.SetNameResolver(&resolver);
        // Reconnection ticks come quicker in tests; the interval itself is
        // checked on its own.
        channel.tmrReconn.setInterval(50);
    }
    ~TcpClientChannelTest() override { channel.Shutdown(); }

    void SwitchOn(const QString& host, quint16 port)
    {
        channel.SetServerFields(host, QString::number(port));
        channel.Switch(true);
    }

    int CountLines(const QString& text) const { return static_cast<int>(sink.Texts().count(text)); }
    bool WaitForLine(const QString& text, int times = 1) const
    {
        return WaitFor([&] { return CountLines(text) >= times; });
    }

    MessageRecorder messages;
    FakeNameResolver resolver;
    RecordingReceiveSink sink;
    TcpClientChannel channel{sink};
};

TEST_F(TcpClientChannelTest, ConnectsReportsTheLocalPortAndLabelsWhatTheServerSends)
{
    EXPECT_EQ(channel.Id(), TCPC);
    EXPECT_EQ(channel.tmrReconn.objectName(), QStringLiteral("tmrReconn"));
    QSignalSpy connected(&channel, &TcpClientChannel::Connected);
    QSignalSpy switched(&channel, &TcpClientChannel::SwitchChanged);
    PeerServer server;
    SwitchOn(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitForLine(kConnected));
    EXPECT_EQ(sink.lines.back().color, kWindowText);
    EXPECT_TRUE(channel.IsOpen());
    EXPECT_TRUE(channel.IsSwitchedOn());
    ASSERT_EQ(connected.size(), 1);
    EXPECT_EQ(connected[0][0].value<quint16>(), peer->peerPort());
    ASSERT_FALSE(switched.isEmpty());
    EXPECT_TRUE(switched.last()[0].toBool());
    EXPECT_TRUE(channel.tmrReconn.isActive());

    peer->write("hello");
    ASSERT_TRUE(WaitFor([&] { return !sink.chunks.empty(); }));
    EXPECT_EQ(sink.chunks[0].data, QByteArray("hello"));
    EXPECT_EQ(sink.chunks[0].label, QStringLiteral("TCP客户端[127.0.0.1:%1]").arg(server.Port()));
    EXPECT_EQ(sink.chunks[0].channel, TCPC);
    EXPECT_TRUE(resolver.asked.isEmpty());
}

TEST_F(TcpClientChannelTest, ServerClosingDisconnectsAndReconnectsOnlyWithAutoReconnect)
{
    const struct
    {
        const char* behaviour;
        bool reconnect;
    } rows[] = {{"without auto-reconnect the client stays down", false},
                {"with auto-reconnect a new attempt connects and switches on again", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        PeerServer server;
        channel.SetAutoReconnect(row.reconnect);
        const size_t mark = sink.lines.size();
        SwitchOn(QStringLiteral("127.0.0.1"), server.Port());
        QTcpSocket* peer = server.Accept();
        ASSERT_NE(peer, nullptr);
        ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
        QSignalSpy disconnected(&channel, &TcpClientChannel::Disconnected);

        peer->disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return sink.Texts(mark).contains(kDisconnected); }));
        EXPECT_EQ(disconnected.size(), 1);

        QTcpSocket* again = server.Accept(row.reconnect ? 5000 : 300);
        EXPECT_EQ(again != nullptr, row.reconnect);
        if (row.reconnect) {
            ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
            EXPECT_TRUE(channel.IsSwitchedOn());
            EXPECT_EQ(sink.Texts(mark), QStringList({kConnected, kDisconnected, kConnected}));
        } else {
            EXPECT_FALSE(channel.IsSwitchedOn());
            EXPECT_EQ(sink.Texts(mark), QStringList({kConnected, kDisconnected}));
        }
        channel.Switch(false);  // stops the timer and any connection
        EXPECT_FALSE(channel.tmrReconn.isActive());
    }
}

TEST_F(TcpClientChannelTest, RefusedPortGivesOneConnectErrorPerAttempt)
{
    QSignalSpy failed(&channel, &TcpClientChannel::Failed);
    SwitchOn(QStringLiteral("127.0.0.1"), FreePort(true));
    ASSERT_TRUE(WaitForLine(kConnectError));
    EXPECT_FALSE(channel.IsSwitchedOn());
    EXPECT_EQ(failed.size(), 1);
    // The ticks are driven by hand so that attempts can be counted.
    channel.tmrReconn.stop();

    channel.tmrReconnTimer();  // "自动重连" off: no attempt
    Settle(100);
    EXPECT_EQ(CountLines(kConnectError), 1);

    channel.SetAutoReconnect(true);
    for (int tick = 1; tick <= 3; ++tick) {
        channel.tmrReconnTimer();
        ASSERT_TRUE(WaitForLine(kConnectError, 1 + tick));
        Settle(30);
        EXPECT_EQ(CountLines(kConnectError), 1 + tick);
    }
    EXPECT_FALSE(channel.IsSwitchedOn());
    EXPECT_FALSE(sink.Texts().contains(kDisconnected));
}

TEST_F(TcpClientChannelTest, HostsThatCannotBeResolvedGiveTheTwoLines)
{
    const struct
    {
        const char* behaviour;
        const char* host;
        QStringList asked;
    } rows[] = {
        {"an empty host fails without any lookup", "  ", {}},
        {"a name the resolver does not know fails after its lookup", "nowhere.invalid", {"nowhere.invalid"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        resolver.asked.clear();
        const size_t mark = sink.lines.size();
        SwitchOn(QString::fromUtf8(row.host), 9);
        // Reported later, never inside the switch.
        EXPECT_TRUE(sink.Texts(mark).isEmpty());
        ASSERT_TRUE(WaitFor([&] { return sink.Texts(mark).size() >= 2; }));
        Settle(30);
        EXPECT_EQ(sink.Texts(mark), QStringList({kUnknown, kDisconnected}));
        EXPECT_EQ(resolver.asked, row.asked);
        EXPECT_FALSE(channel.IsSwitchedOn());
        channel.Switch(false);
    }
}

TEST_F(TcpClientChannelTest, HostNameIsResolvedAndTheLabelShowsTheAddress)
{
    PeerServer server;
    resolver.addresses[QStringLiteral("server.test")] = {QHostAddress(QStringLiteral("127.0.0.1"))};
    SwitchOn(QStringLiteral("server.test"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitForLine(kConnected));
    peer->write("x");
    ASSERT_TRUE(WaitFor([&] { return !sink.chunks.empty(); }));
    EXPECT_EQ(sink.chunks[0].label, QStringLiteral("TCP客户端[127.0.0.1:%1]").arg(server.Port()));
}

TEST_F(TcpClientChannelTest, ResetLeavesTheClientDeadUntilASendFails)
{
    FakeReceiveOptions options;
    ChannelCounters counters;
    SendDispatcher dispatcher(sink, options, counters, [] {});
    dispatcher.SetTarget(TCPC, &channel);
    PeerServer server;
    channel.SetAutoReconnect(true);
    SwitchOn(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
    channel.tmrReconn.stop();
    QSignalSpy failed(&channel, &TcpClientChannel::Failed);

    const linger abortive{1, 0};
    setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    peer->abort();
    ASSERT_TRUE(WaitForLine(kUnknown));
    EXPECT_FALSE(channel.IsSwitchedOn());
    EXPECT_EQ(failed.size(), 1);
    // Still counted as connected, so the timer does not reconnect.
    EXPECT_TRUE(channel.IsOpen());
    channel.tmrReconnTimer();
    EXPECT_EQ(server.Accept(200), nullptr);

    const size_t mark = sink.lines.size();
    dispatcher.SendToChannel("01 02", TCPC, true);
    EXPECT_EQ(sink.Texts(mark), QStringList({kSendError, kDisconnected, QStringLiteral("TCP Client发送HEX数据0字节："),
                                             QStringLiteral("01 02 ")}));
    EXPECT_EQ(counters[TCPC].txBytes, 0);
    EXPECT_FALSE(channel.IsOpen());
    channel.tmrReconnTimer();
    EXPECT_NE(server.Accept(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
}

TEST_F(TcpClientChannelTest, ServerFieldsTakeEffectOnlyWhenSwitchedOnAgain)
{
    PeerServer first;
    PeerServer second;
    channel.SetAutoReconnect(true);
    SwitchOn(QStringLiteral("127.0.0.1"), first.Port());
    QTcpSocket* peer = first.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));

    channel.SetServerFields(QStringLiteral("127.0.0.1"), QString::number(second.Port()));
    peer->disconnectFromHost();
    EXPECT_NE(first.Accept(), nullptr);
    EXPECT_FALSE(second.server.hasPendingConnections());

    channel.Switch(false);
    channel.Switch(true);
    EXPECT_NE(second.Accept(), nullptr);
}

TEST_F(TcpClientChannelTest, SwitchingOffWhileConnectedDisconnectsAndStopsTheTimer)
{
    PeerServer server;
    SwitchOn(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
    const size_t mark = sink.lines.size();
    channel.Switch(false);
    EXPECT_EQ(sink.Texts(mark), QStringList{kDisconnected});
    EXPECT_FALSE(channel.tmrReconn.isActive());
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.IsSwitchedOn());
    EXPECT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(TcpClientChannelTest, TheDispatcherSwitchesAClosedClientOnOnce)
{
    PeerServer server;
    channel.SetServerFields(QStringLiteral("127.0.0.1"), QString::number(server.Port()));
    QSignalSpy switched(&channel, &TcpClientChannel::SwitchChanged);
    channel.StartOpening();
    EXPECT_TRUE(channel.IsSwitchedOn());
    ASSERT_EQ(switched.size(), 1);
    EXPECT_TRUE(switched[0][0].toBool());
    // Already on: the dispatcher only watches the attempt under way.
    TcpConnection* attempt = channel.Connection();
    channel.StartOpening();
    EXPECT_EQ(channel.Connection(), attempt);
    EXPECT_NE(server.Accept(), nullptr);
}

TEST_F(TcpClientChannelTest, NonNumericPortIsReportedAndNothingStarts)
{
    channel.SetServerFields(QStringLiteral("127.0.0.1"), QStringLiteral("x1"));
    channel.Switch(true);
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("'x1' is not a valid integer value")});
    EXPECT_FALSE(channel.tmrReconn.isActive());
    EXPECT_EQ(channel.Connection(), nullptr);
}

TEST_F(TcpClientChannelTest, WritesTheNetworkCannotTakeAtOnceArriveWholeAndInOrder)
{
    PeerServer server;
    EXPECT_EQ(channel.Write("x").count, 0);  // not connected: nothing sent
    SwitchOn(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));

    constexpr qsizetype kTotal = 16 * 1024 * 1024;
    const QByteArray payload = Pattern(kTotal, 7);
    EXPECT_EQ(channel.Write(payload.left(kTotal / 2)).count, kTotal / 2);
    EXPECT_EQ(channel.Write(payload.mid(kTotal / 2)).count, kTotal / 2);
    EXPECT_GT(channel.Connection()->QueuedBytes(), 0);

    QByteArray received;
    ASSERT_TRUE(WaitFor(
        [&] {
            received += peer->readAll();
            return received.size() >= kTotal;
        },
        20000));
    EXPECT_TRUE(received == payload);
}

}  // namespace
