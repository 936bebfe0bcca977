#include "net/tcp_server_channel.h"
#include "core/queue_water_marks.h"
#include "net/tcp_connection.h"
#include "tests/net/channel_test_support.h"
#include "tests/net/fake_name_resolver.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

class TcpServerChannelTest : public ::testing::Test
{
protected:
    TcpServerChannelTest() { channel.SetNameResolver(&resolver); }
    ~TcpServerChannelTest() override { channel.Shutdown(); }

    // Enables the server on a free port and returns that port.
    quint16 Enable()
    {
        const quint16 port = FreePort(true);
        channel.Switch(true, QString::number(port));
        EXPECT_TRUE(channel.IsListening());
        return port;
    }

    // A client connected to the server and seen by it.
    QTcpSocket* Connect(quint16 port)
    {
        clients.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket* client = clients.back().get();
        const size_t before = channel.Clients().size();
        client->connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(WaitFor([&] { return channel.Clients().size() == before + 1; }));
        return client;
    }

    static QString Peer(const QTcpSocket* client)
    {
        return QStringLiteral("127.0.0.1:%1").arg(client->localPort());
    }

    MessageRecorder messages;
    FakeNameResolver resolver;
    RecordingReceiveSink sink;
    TcpServerChannel channel{sink};
    std::vector<std::unique_ptr<QTcpSocket>> clients;
};

TEST_F(TcpServerChannelTest, EnablingListensAndStartsWithAnEmptyList)
{
    QSignalSpy listening(&channel, &TcpServerChannel::ListeningChanged);
    EXPECT_EQ(channel.Id(), TCPS);
    const quint16 port = Enable();
    ASSERT_EQ(sink.lines.size(), 1u);
    EXPECT_EQ(sink.lines[0].text, QStringLiteral("TCP Server 正在监听%1端口").arg(port));
    EXPECT_EQ(sink.lines[0].color, kWindowText);
    EXPECT_TRUE(channel.Clients().empty());
    EXPECT_EQ(channel.SelectedClient(), -1);
    EXPECT_FALSE(channel.ReadyToSend());
    EXPECT_TRUE(messages.messages.isEmpty());

    channel.Switch(false, QString::number(port));
    EXPECT_FALSE(channel.IsListening());
    ASSERT_EQ(listening.size(), 2);
    EXPECT_TRUE(listening[0][0].toBool());
    EXPECT_FALSE(listening[1][0].toBool());
}

TEST_F(TcpServerChannelTest, PortsThatCannotBeListenedOn)
{
    enum Holder { kNone, kLoopback, kOtherAddress };
    const struct
    {
        const char* behaviour;
        Holder holder;
        const char* portText;  // nullptr: the held port
        const char* message;   // %1: the port
        bool switchedOff;      // the channel turns "启用" off
    } rows[] = {
        {"port held on 127.0.0.1 is reported in use and switches off", kLoopback, nullptr, "端口%1已占用", true},
        {"port held on another address fails the bind and switches off", kOtherAddress, nullptr,
         "Windows socket error: Address already in use (98), on API 'bind'", true},
        {"letters are no port", kNone, "12ab", "'12ab' is not a valid integer value", true},
        {"an empty text is no port", kNone, "", "'' is not a valid integer value", true},
        {"a port above 65535 is not wrapped", kNone, "70000", "'70000' is not a valid port (0 to 65535)", true},
        {"a negative port is not wrapped", kNone, "-1", "'-1' is not a valid port (0 to 65535)", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        QTcpServer holder;
        if (row.holder == kLoopback) {
            ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
        } else if (row.holder == kOtherAddress) {
            ASSERT_TRUE(holder.listen(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        }
        const QString port = QString::number(holder.serverPort());
        messages.messages.clear();
        sink.lines.clear();
        QSignalSpy switched(&channel, &TcpServerChannel::SwitchChanged);
        QSignalSpy listening(&channel, &TcpServerChannel::ListeningChanged);

        channel.Switch(true, row.portText ? QString::fromUtf8(row.portText) : port);

        EXPECT_EQ(messages.messages, QStringList{QString::fromUtf8(row.message).arg(port)});
        ASSERT_EQ(switched.size(), row.switchedOff ? 1 : 0);
        if (row.switchedOff) {
            EXPECT_FALSE(switched[0][0].toBool());
        }
        EXPECT_FALSE(channel.IsListening());
        EXPECT_TRUE(listening.isEmpty());
        EXPECT_TRUE(sink.lines.empty());
    }
}

TEST_F(TcpServerChannelTest, ClientsAreKeptInOrderTheNewestSelectedAndWritesReachOnlyIt)
{
    resolver.names[QStringLiteral("127.0.0.1")] = QStringLiteral("localhost");
    QSignalSpy listChanged(&channel, &TcpServerChannel::ClientListChanged);
    QSignalSpy renamed(&channel, &TcpServerChannel::ClientRenamed);
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    QTcpSocket* b = Connect(port);
    EXPECT_EQ(sink.Texts(1), QStringList({Peer(a) + QStringLiteral("  已连接"), Peer(b) + QStringLiteral("  已连接")}));
    EXPECT_EQ(sink.lines[1].color, kWindowText);
    EXPECT_EQ(listChanged.size(), 3);  // the start, then each client

    const auto& records = channel.Clients();
    EXPECT_EQ(records[0].port, a->localPort());
    EXPECT_EQ(records[1].port, b->localPort());
    EXPECT_NE(records[0].identifier, records[1].identifier);
    EXPECT_GT(records[0].info.connectTime, 0);
    EXPECT_EQ(channel.SelectedClient(), 1);
    ASSERT_TRUE(WaitFor([&] { return renamed.size() == 2; }));
    EXPECT_EQ(records[0].hostName, QStringLiteral("localhost"));
    EXPECT_EQ(TcpServerChannel::ItemText(records[1]),
              QStringLiteral("localhost:%1  %2 ").arg(b->localPort()).arg(records[1].identifier));

    ASSERT_TRUE(channel.ReadyToSend());
    EXPECT_EQ(channel.Write("to B").count, 4);
    ASSERT_TRUE(WaitFor([&] { return b->bytesAvailable() >= 4; }));
    EXPECT_EQ(b->readAll(), QByteArray("to B"));
    Settle(50);
    EXPECT_EQ(a->bytesAvailable(), 0);

    const QString bPeer = Peer(b);
    b->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return channel.Clients().size() == 1; }));
    EXPECT_EQ(sink.Texts().last(), bPeer + QStringLiteral("  已断开"));
    EXPECT_EQ(channel.SelectedClient(), 0);
    EXPECT_EQ(channel.Clients()[0].port, a->localPort());
}

TEST_F(TcpServerChannelTest, OneSegmentIsOneDeliveryWithThePeerInItsLabel)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    a->write(QByteArray(100, 'x'));
    ASSERT_TRUE(WaitFor([&] { return !sink.chunks.empty(); }));
    Settle(50);
    ASSERT_EQ(sink.chunks.size(), 1u);
    EXPECT_EQ(sink.chunks[0].data, QByteArray(100, 'x'));
    EXPECT_EQ(sink.chunks[0].label, QStringLiteral("TCP服务器[%1]").arg(Peer(a)));
    EXPECT_EQ(sink.chunks[0].channel, TCPS);
    EXPECT_EQ(channel.Clients()[0].info.rxBytes, 100);
    EXPECT_EQ(channel.Clients()[0].info.rxFrames, 1);
}

TEST_F(TcpServerChannelTest, SendsNeedASelectedConnectedClientAndTheLineEndIsAnOption)
{
    EXPECT_FALSE(channel.ReadyToSend());  // no client at all
    const quint16 port = Enable();
    Connect(port);
    const struct
    {
        const char* behaviour;
        int selected;
        bool ready;
    } rows[] = {
        {"the listed client", 0, true},
        {"no item selected", -1, false},
        {"an index past the list", 1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        channel.SelectClient(row.selected);
        EXPECT_EQ(channel.ReadyToSend(), row.ready);
    }
    EXPECT_EQ(channel.TextLineEnd(), QByteArray());
    channel.SetLineEnd(true);
    EXPECT_EQ(channel.TextLineEnd(), QByteArray("\r\n"));
}

TEST_F(TcpServerChannelTest, StoppingKeepsClientsSilentlyAndRestartingDiscardsThem)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    QTcpSocket* b = Connect(port);
    const size_t mark = sink.lines.size();
    const QString bPeer = Peer(b);

    channel.Switch(false, QString::number(port));
    EXPECT_EQ(channel.Clients().size(), 2u);
    ASSERT_TRUE(WaitFor([&] { return a->state() == QAbstractSocket::UnconnectedState; }));
    ASSERT_TRUE(WaitFor([&] { return b->state() == QAbstractSocket::UnconnectedState; }));
    // A send to a cut-off client reaches no one and changes nothing.
    EXPECT_FALSE(channel.ReadyToSend());
    const SendTarget::WriteResult cutOff = channel.Write("\x11\x22");
    EXPECT_EQ(cutOff.count, 0);
    EXPECT_EQ(cutOff.failure, QStringLiteral("SOCKET出错! %1: Transport endpoint is not connected").arg(bPeer));
    EXPECT_EQ(channel.Clients().size(), 2u);
    Settle(50);
    EXPECT_TRUE(sink.Texts(mark).isEmpty());

    channel.Switch(true, QString::number(port));
    EXPECT_TRUE(channel.IsListening());
    EXPECT_TRUE(channel.Clients().empty());
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(sink.Texts(mark), QStringList{QStringLiteral("TCP Server 正在监听%1端口").arg(port)});
}

TEST_F(TcpServerChannelTest, ResetByAClientIsAnErrorWithoutDisconnectLine)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    const QString peer = Peer(a);
    QSignalSpy listChanged(&channel, &TcpServerChannel::ClientListChanged);
    const linger abortive{1, 0};
    setsockopt(static_cast<int>(a->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    a->abort();
    const QString error = QStringLiteral("SOCKET出错! %1: Connection reset by peer").arg(peer);
    ASSERT_TRUE(WaitFor([&] { return sink.Texts().contains(error); }));
    Settle(50);
    EXPECT_EQ(sink.lines.back().color, kWindowText);
    EXPECT_FALSE(sink.Texts().contains(peer + QStringLiteral("  已断开")));
    EXPECT_TRUE(channel.Clients().empty());
    EXPECT_EQ(listChanged.size(), 1);
    EXPECT_EQ(channel.SelectedClient(), -1);
}

TEST_F(TcpServerChannelTest, WritesTheNetworkCannotTakeAtOnceArriveWholeAndInOrder)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    // Far more than the socket buffers hold while the client does not read.
    constexpr qsizetype kTotal = 16 * 1024 * 1024;
    const QByteArray payload = Pattern(kTotal);
    // The count is what was accepted for sending: all of it.
    EXPECT_EQ(channel.Write(payload.left(kTotal / 2)).count, kTotal / 2);
    EXPECT_EQ(channel.Write(payload.mid(kTotal / 2)).count, kTotal / 2);
    EXPECT_GT(channel.Clients()[0].connection->QueuedBytes(), 0);

    QByteArray received;
    ASSERT_TRUE(WaitFor(
        [&] {
            received += a->readAll();
            return received.size() >= kTotal;
        },
        20000));
    EXPECT_TRUE(received == payload);
}

TEST_F(TcpServerChannelTest, AFailedWriteIsReportedToTheCallerAndTheDisconnectFollows)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    const QString peer = Peer(a);
    const linger abortive{1, 0};
    setsockopt(static_cast<int>(a->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    a->abort();
    // The reset reaches the kernel at once; no event is handled, so the
    // channel has not seen it yet when it writes.
    usleep(50 * 1000);
    const size_t mark = sink.lines.size();

    const SendTarget::WriteResult result = channel.Write("x");
    EXPECT_EQ(result.count, 0);
    EXPECT_FALSE(result.refused);
    EXPECT_TRUE(result.failure.startsWith(QStringLiteral("SOCKET出错! %1: ").arg(peer))) << result.failure.toStdString();
    EXPECT_TRUE(channel.Clients().empty());
    EXPECT_TRUE(sink.Texts(mark).isEmpty());
    ASSERT_TRUE(WaitFor([&] { return !sink.Texts(mark).isEmpty(); }));
    Settle(50);
    EXPECT_EQ(sink.Texts(mark), QStringList{peer + QStringLiteral("  已断开")});
}

TEST_F(TcpServerChannelTest, APausedServerReadsNothingSlowsItsPeerAndDeliversEverythingInOrderOnResume)
{
    constexpr qsizetype kMost = 64 * 1024 * 1024;
    const QByteArray payload = Pattern(kMost, 5);
    const struct
    {
        const char* behaviour;
        bool pauseBeforeConnect;
    } rows[] = {
        {"paused before the client came: it is accepted paused", true},
        {"paused while the client is connected", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        const quint16 port = Enable();
        sink.chunks.clear();
        if (row.pauseBeforeConnect)
            channel.SetReceivePaused(true);
        RawTcpPeer peer;
        ASSERT_TRUE(peer.Connect(port));
        ASSERT_TRUE(WaitFor([&] { return channel.Clients().size() == 1; }));
        if (!row.pauseBeforeConnect)
            channel.SetReceivePaused(true);
        const QString disconnectLine = QStringLiteral("127.0.0.1:%1  已断开").arg(peer.LocalPort());
        // What had arrived when the client's disconnect was handled.
        qsizetype deliveredAtDisconnect = -1;
        const auto watch = QObject::connect(&channel, &TcpServerChannel::ClientListChanged, &channel, [&] {
            if (channel.Clients().empty())
                deliveredAtDisconnect = sink.Received().size();
        });

        // The peer sends as fast as the kernel takes it, events handled in
        // between, until its sends would block: the paused server slowed it.
        qint64 sent = 0;
        int blockedRounds = 0;
        QElapsedTimer clock;
        clock.start();
        while (blockedRounds < 5 && sent < kMost && clock.elapsed() < 10000) {
            const qint64 taken = peer.SendSome(payload, sent);
            sent += taken;
            blockedRounds = taken > 0 ? 0 : blockedRounds + 1;
            if (taken == 0)
                Settle(20);
        }
        EXPECT_EQ(blockedRounds, 5) << "the peer's sends never blocked";
        EXPECT_LT(sent, kMost);
        EXPECT_GT(sent, 0);
        EXPECT_TRUE(sink.chunks.empty());

        // Closing while paused is noticed only once resumed, after the bytes.
        peer.Close();
        Settle(100);
        EXPECT_TRUE(sink.chunks.empty());
        EXPECT_FALSE(sink.Texts().contains(disconnectLine));

        channel.SetReceivePaused(false);
        ASSERT_TRUE(WaitFor([&] { return sink.Texts().contains(disconnectLine); }, 20000));
        EXPECT_EQ(deliveredAtDisconnect, sent);
        EXPECT_TRUE(sink.Received() == payload.left(sent));
        for (const auto& chunk : sink.chunks)
            EXPECT_LE(chunk.data.size(), TcpConnection::kMaxChunk);
        QObject::disconnect(watch);
        channel.Switch(false, QString::number(port));
    }
}

TEST_F(TcpServerChannelTest, CongestionFollowsTheSelectedClient)
{
    const quint16 port = Enable();
    RawTcpPeer stalled;
    ASSERT_TRUE(stalled.Connect(port));
    ASSERT_TRUE(WaitFor([&] { return channel.Clients().size() == 1; }));
    RawTcpPeer reading;
    ASSERT_TRUE(reading.Connect(port));
    ASSERT_TRUE(WaitFor([&] { return channel.Clients().size() == 2; }));
    QSignalSpy drained(&channel, &Channel::Drained);

    channel.SelectClient(0);
    // Far more than the kernel holds for a peer that does not read.
    const QByteArray piece = Pattern(3 * QueueWaterMarks::kSocketHigh, 9);
    EXPECT_EQ(channel.Write(piece).count, piece.size());
    EXPECT_TRUE(channel.Congested());
    // Sends now go to a client with nothing queued: the relay may go on.
    channel.SelectClient(1);
    EXPECT_FALSE(channel.Congested());
    EXPECT_EQ(drained.size(), 1);
    channel.SelectClient(0);
    EXPECT_TRUE(channel.Congested());
    EXPECT_EQ(drained.size(), 1);
}

}  // namespace
