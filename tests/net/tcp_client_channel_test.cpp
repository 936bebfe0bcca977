#include "net/tcp_client_channel.h"
#include "core/queue_water_marks.h"
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
    const quint16 port = FreePort(true);
    // The line names the address tried and the system's reason.
    const QString refused = kConnectError + QStringLiteral(" 127.0.0.1:%1: Connection refused").arg(port);
    SwitchOn(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(WaitForLine(refused));
    EXPECT_EQ(sink.Texts(), QStringList{refused});
    EXPECT_FALSE(channel.IsSwitchedOn());
    EXPECT_EQ(failed.size(), 1);
    // The ticks are driven by hand so that attempts can be counted.
    channel.tmrReconn.stop();

    channel.tmrReconnTimer();  // "自动重连" off: no attempt
    Settle(100);
    EXPECT_EQ(CountLines(refused), 1);

    channel.SetAutoReconnect(true);
    for (int tick = 1; tick <= 3; ++tick) {
        channel.tmrReconnTimer();
        ASSERT_TRUE(WaitForLine(refused, 1 + tick));
        Settle(30);
        EXPECT_EQ(CountLines(refused), 1 + tick);
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
        const char* line;  // the first line: the design's text, the host typed and the reason
    } rows[] = {
        {"an empty host fails without any lookup", "  ", {}, "TCP Client异常，原因未知 :9: Unknown host"},
        {"a name the resolver does not know fails after its lookup", "nowhere.invalid", {"nowhere.invalid"},
         "TCP Client异常，原因未知 nowhere.invalid:9: Unknown host"},
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
        EXPECT_EQ(sink.Texts(mark), QStringList({QString::fromUtf8(row.line), kDisconnected}));
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
    PeerServer server;
    channel.SetAutoReconnect(true);
    SwitchOn(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
    channel.tmrReconn.stop();
    QSignalSpy failed(&channel, &TcpClientChannel::Failed);
    const QString where = QStringLiteral(" 127.0.0.1:%1: ").arg(server.Port());

    const linger abortive{1, 0};
    setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    peer->abort();
    ASSERT_TRUE(WaitForLine(kUnknown + where + QStringLiteral("Connection reset by peer")));
    EXPECT_FALSE(channel.IsSwitchedOn());
    EXPECT_EQ(failed.size(), 1);
    // Still counted as connected, so the timer does not reconnect.
    EXPECT_TRUE(channel.IsOpen());
    channel.tmrReconnTimer();
    EXPECT_EQ(server.Accept(200), nullptr);

    // The failed send shows its reason in place of the send lines and is not
    // counted; the disconnect line follows from the event loop.
    FakeReceiveOptions options;
    ChannelCounters counters;
    SendDispatcher dispatcher{sink, options, counters, [] {}};
    dispatcher.SetTarget(TCPC, &channel);
    const size_t mark = sink.lines.size();
    dispatcher.SendToChannel("01 02", TCPC, true);
    const QString failure = kSendError + where + QStringLiteral("Broken pipe");
    EXPECT_EQ(sink.Texts(mark), QStringList{failure});
    EXPECT_EQ(counters[TCPC].txBytes, 0);
    EXPECT_EQ(counters[TCPC].txFrames, 0);
    EXPECT_EQ(failed.size(), 2);
    ASSERT_TRUE(WaitForLine(kDisconnected));
    EXPECT_EQ(sink.Texts(mark), (QStringList{failure, kDisconnected}));
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

TEST_F(TcpClientChannelTest, PortTextsThatAreNoPortAreRefusedAndLeaveTheClientOff)
{
    const struct
    {
        const char* behaviour;
        const char* port;
        const char* message;
    } rows[] = {
        {"letters", "x1", "'x1' is not a valid integer value"},
        {"an empty text", "  ", "'' is not a valid integer value"},
        {"a port above 65535 is not wrapped", "70000", "'70000' is not a valid port (0 to 65535)"},
        {"a negative port is not wrapped", "-1", "'-1' is not a valid port (0 to 65535)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        messages.messages.clear();
        QSignalSpy switched(&channel, &TcpClientChannel::SwitchChanged);
        channel.SetServerFields(QStringLiteral("127.0.0.1"), QString::fromUtf8(row.port));
        channel.Switch(true);
        EXPECT_EQ(messages.messages, QStringList{QString::fromUtf8(row.message)});
        ASSERT_FALSE(switched.isEmpty());
        EXPECT_FALSE(switched.last()[0].toBool());
        EXPECT_FALSE(channel.IsSwitchedOn());
        EXPECT_FALSE(channel.tmrReconn.isActive());
        EXPECT_EQ(channel.Connection(), nullptr);
    }
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(TcpClientChannelTest, WriteWhileNotConnectedIsAFailureNamingTheReason)
{
    channel.SetServerFields(QStringLiteral("127.0.0.1"), QStringLiteral("9"));
    const SendTarget::WriteResult result = channel.Write("x");
    EXPECT_EQ(result.count, 0);
    EXPECT_FALSE(result.refused);
    EXPECT_EQ(result.failure, kSendError + QStringLiteral(" :0: Transport endpoint is not connected"));
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(TcpClientChannelTest, WritesTheNetworkCannotTakeAtOnceArriveWholeAndInOrder)
{
    PeerServer server;
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

TEST_F(TcpClientChannelTest, WritingIntoAPeerThatDoesNotReadCongestsAboveTheMarkAndDrainsWhenItReads)
{
    constexpr qsizetype kPiece = 512 * 1024;
    constexpr qsizetype kMost = 32 * 1024 * 1024;
    const QByteArray payload = Pattern(kMost, 3);
    const struct
    {
        const char* behaviour;
        bool peerReads;  // otherwise the peer resets the connection
    } rows[] = {
        {"the peer reads everything: drained below the low mark, every byte in order", true},
        {"the connection breaks: its queue is gone, so it drains too", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        RawTcpPeer peer;
        SwitchOn(QStringLiteral("127.0.0.1"), peer.Listen());
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
        QSignalSpy drained(&channel, &Channel::Drained);

        // Pieces until congested; each is taken whole, and the channel is not
        // congested before its queue passes the high mark.
        qsizetype written = 0;
        while (!channel.Congested() && written < kMost) {
            EXPECT_LE(channel.Connection()->QueuedBytes(), QueueWaterMarks::kSocketHigh);
            EXPECT_EQ(channel.Write(payload.mid(written, kPiece)).count, kPiece);
            written += kPiece;
        }
        ASSERT_TRUE(channel.Congested());
        EXPECT_GT(channel.Connection()->QueuedBytes(), QueueWaterMarks::kSocketHigh);
        // A send while congested is still queued whole, never dropped.
        EXPECT_EQ(channel.Write(payload.mid(written, kPiece)).count, kPiece);
        written += kPiece;
        Settle(100);
        EXPECT_TRUE(channel.Congested());
        EXPECT_EQ(drained.size(), 0);

        if (row.peerReads) {
            const QByteArray received = peer.ReadUntil(written);
            EXPECT_TRUE(received == payload.left(written));
            ASSERT_TRUE(WaitFor([&] { return drained.size() == 1; }));
            EXPECT_LT(channel.Connection()->QueuedBytes(), QueueWaterMarks::kSocketLow);
        } else {
            // Closing with unread bytes resets the connection.
            peer.Close();
            ASSERT_TRUE(WaitFor([&] { return drained.size() == 1; }));
        }
        EXPECT_FALSE(channel.Congested());
        Settle(50);
        EXPECT_EQ(drained.size(), 1);
        channel.Switch(false);
    }
}

TEST_F(TcpClientChannelTest, APausedClientReadsNothingUntilResumedAndStaysPausedAcrossAttempts)
{
    PeerServer server;
    channel.SetReceivePaused(true);  // before the attempt: the new connection starts paused
    SwitchOn(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
    EXPECT_TRUE(channel.Connection()->ReadPaused());
    peer->write("one ");
    peer->write("two");
    peer->flush();
    Settle(100);
    EXPECT_TRUE(sink.chunks.empty());

    channel.SetReceivePaused(false);
    ASSERT_TRUE(WaitFor([&] { return sink.Received() == QByteArray("one two"); }));
    peer->write(" three");
    ASSERT_TRUE(WaitFor([&] { return sink.Received() == QByteArray("one two three"); }));
}

}  // namespace
