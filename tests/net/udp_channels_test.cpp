#include "net/datagram_reader.h"
#include "net/udp_client_channel.h"
#include "net/udp_server_channel.h"
#include "tests/net/channel_test_support.h"
#include "tests/net/fake_name_resolver.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>

#include <gtest/gtest.h>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// A UDP socket on 127.0.0.1 that collects what arrives.
class Peer
{
public:
    explicit Peer(quint16 port = 0) { socket.bind(QHostAddress::LocalHost, port); }

    quint16 Port() const { return socket.localPort(); }
    void SendTo(quint16 port, const QByteArray& data) { socket.writeDatagram(data, QHostAddress::LocalHost, port); }

    // The next datagram, or an invalid one when none arrives in time.
    QNetworkDatagram Receive(int timeoutMs = 5000)
    {
        if (!WaitFor([&] { return socket.hasPendingDatagrams(); }, timeoutMs))
            return QNetworkDatagram();
        return socket.receiveDatagram();
    }

    QUdpSocket socket;
};

// The message box text of a write that is refused; empty when it is not.
QString Refusal(SendTarget& target, const QByteArray& payload)
{
    const SendTarget::WriteResult result = target.Write(payload);
    EXPECT_EQ(result.count, 0);
    EXPECT_EQ(result.refused, !result.Sent());
    return result.refused ? result.failure : QString();
}

class UdpChannelsTest : public ::testing::Test
{
protected:
    UdpChannelsTest()
    {
        server.SetNameResolver(&resolver);
        client.SetNameResolver(&resolver);
        server.SetRemoteFields(QStringLiteral("127.0.0.1"), QStringLiteral("10009"));
        client.Start();
    }
    ~UdpChannelsTest() override
    {
        server.Shutdown();
        client.Shutdown();
    }

    quint16 EnableServer(quint16 port = 0)
    {
        if (port == 0)
            port = FreePort(false);
        server.Switch(true, QString::number(port));
        EXPECT_TRUE(server.IsListening());
        return port;
    }

    void EnableClient(quint16 localPort, quint16 remotePort, const QString& host = QStringLiteral("127.0.0.1"))
    {
        client.Switch(true, QString::number(localPort), host, QString::number(remotePort));
    }

    MessageRecorder messages;
    FakeNameResolver resolver;
    RecordingReceiveSink sink;
    UdpServerChannel server{sink};
    UdpClientChannel client{sink};
};

TEST_F(UdpChannelsTest, ServerAnswersTheLastSender)
{
    EXPECT_EQ(server.Id(), UDPS);
    QSignalSpy remote(&server, &UdpServerChannel::RemoteChanged);
    const quint16 port = EnableServer();
    Peer first;
    Peer second;
    first.SendTo(port, "1");
    ASSERT_TRUE(WaitFor([&] { return server.RemotePortText() == QString::number(first.Port()); }));
    second.SendTo(port, "2");
    ASSERT_TRUE(WaitFor([&] { return server.RemotePortText() == QString::number(second.Port()); }));
    EXPECT_EQ(server.RemoteHostText(), QStringLiteral("127.0.0.1"));
    ASSERT_EQ(remote.size(), 2);
    EXPECT_EQ(remote[1][0].toString(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(remote[1][1].toString(), QString::number(second.Port()));
    ASSERT_EQ(sink.chunks.size(), 2u);
    EXPECT_EQ(sink.chunks[1].label, QStringLiteral("UDP服务器[127.0.0.1:%1]").arg(second.Port()));
    EXPECT_EQ(sink.chunks[1].channel, UDPS);

    const SendTarget::WriteResult result = server.Write("A");
    EXPECT_EQ(result.count, 1);
    EXPECT_FALSE(result.broadcast);
    const QNetworkDatagram answer = second.Receive();
    EXPECT_EQ(answer.data(), QByteArray("A"));
    EXPECT_EQ(answer.senderPort(), port);
    EXPECT_FALSE(first.Receive(100).isValid());
}

TEST_F(UdpChannelsTest, ServerRefusalsAreRefusedWithTheUsersMessage)
{
    // Before the first enable there is no binding to open.
    EXPECT_EQ(Refusal(server, "\x11"), QStringLiteral("No bindings specified."));
    EXPECT_FALSE(server.IsListening());

    const struct
    {
        const char* behaviour;
        const char* host;
        const char* port;
        QByteArray payload;
        const char* message;
    } rows[] = {
        {"a name that cannot be resolved", "nowhere.invalid", "9", "\x11", "Socket Error # 1\nUnknown host"},
        {"a datagram over the UDP maximum", "127.0.0.1", "9", QByteArray(65508, 'A'), "Package Size Too Big."},
        {"an empty remote port", "127.0.0.1", "", "\x11", "'' is not a valid integer value"},
        {"a remote port above 65535 is not wrapped", "127.0.0.1", "70000", "\x11",
         "'70000' is not a valid port (0 to 65535)"},
        {"a negative remote port is not wrapped", "127.0.0.1", "-1", "\x11", "'-1' is not a valid port (0 to 65535)"},
    };
    EnableServer();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        server.SetRemoteFields(QString::fromUtf8(row.host), QString::fromUtf8(row.port));
        EXPECT_EQ(Refusal(server, row.payload), QString::fromUtf8(row.message));
    }
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(UdpChannelsTest, ServerSendAfterADisableReopensOnTheLastPortWithoutSwitchingOn)
{
    const quint16 port = EnableServer();
    server.Switch(false, QString::number(port));
    EXPECT_FALSE(server.IsListening());
    Peer peer;
    server.SetRemoteFields(QStringLiteral("127.0.0.1"), QString::number(peer.Port()));
    QSignalSpy switched(&server, &UdpServerChannel::SwitchChanged);
    server.Write("1");
    EXPECT_TRUE(server.IsListening());
    EXPECT_EQ(server.IdUDPServer1.localPort(), port);
    EXPECT_TRUE(switched.isEmpty());
    EXPECT_FALSE(server.IsSwitchedOn());
    EXPECT_EQ(peer.Receive().data(), QByteArray("1"));
}

TEST_F(UdpChannelsTest, ServerEnableRefusalsSwitchOff)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    const struct
    {
        const char* behaviour;
        QString port;
        const char* message;
    } rows[] = {
        {"port 0 on the first enable", QStringLiteral("0"), "No bindings specified."},
        {"a port another program holds", QString::number(holder.localPort()),
         "Could not bind socket. Address and port are already in use."},
        {"letters are no port", QStringLiteral("8x"), "'8x' is not a valid integer value"},
        {"a port above 65535 is not wrapped", QStringLiteral("70000"), "'70000' is not a valid port (0 to 65535)"},
        {"a negative port is not wrapped", QStringLiteral("-1"), "'-1' is not a valid port (0 to 65535)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        messages.messages.clear();
        QSignalSpy switched(&server, &UdpServerChannel::SwitchChanged);
        server.Switch(true, row.port);
        EXPECT_EQ(messages.messages, QStringList{QString::fromUtf8(row.message)});
        ASSERT_EQ(switched.size(), 1);
        EXPECT_FALSE(switched[0][0].toBool());
        EXPECT_FALSE(server.IsSwitchedOn());
        EXPECT_FALSE(server.IsListening());
    }
    // Port 0 fails only the very first time: later it binds a port of the
    // system's choosing.
    server.Switch(true, QStringLiteral("0"));
    EXPECT_TRUE(server.IsListening());
    EXPECT_TRUE(server.IsSwitchedOn());
    EXPECT_NE(server.IdUDPServer1.localPort(), 0);
}

TEST_F(UdpChannelsTest, EveryEnableUsesThePortThenInTheField)
{
    const quint16 first = EnableServer();
    EXPECT_EQ(server.IdUDPServer1.localPort(), first);
    server.Switch(false, QString::number(first));
    const quint16 second = EnableServer();
    EXPECT_EQ(server.IdUDPServer1.localPort(), second);
}

TEST_F(UdpChannelsTest, EmptyFieldsSwitchOffButLeaveTheSocketsAsTheyAre)
{
    const quint16 serverPort = EnableServer();
    const quint16 clientPort = FreePort(false);
    EnableClient(clientPort, 9);
    QSignalSpy serverSwitched(&server, &UdpServerChannel::SwitchChanged);
    QSignalSpy clientSwitched(&client, &UdpClientChannel::SwitchChanged);

    server.Switch(false, QStringLiteral("  "));
    server.SetRemoteFields(QStringLiteral("127.0.0.1"), QStringLiteral(" "));
    server.Switch(true, QString::number(serverPort));
    const struct
    {
        const char* behaviour;
        const char* local;
        const char* host;
        const char* remote;
    } clientRows[] = {
        {"client local port", " ", "127.0.0.1", "9"},
        {"client remote host", "1", "  ", "9"},
    };
    for (const auto& row : clientRows) {
        SCOPED_TRACE(row.behaviour);
        client.Switch(true, QString::fromUtf8(row.local), QString::fromUtf8(row.host), QString::fromUtf8(row.remote));
    }
    // Switching off with an empty remote port takes the same path.
    client.Switch(false, QStringLiteral("1"), QStringLiteral("127.0.0.1"), QStringLiteral(" "));

    ASSERT_EQ(serverSwitched.size(), 2);
    EXPECT_FALSE(serverSwitched[0][0].toBool());
    EXPECT_FALSE(serverSwitched[1][0].toBool());
    ASSERT_EQ(clientSwitched.size(), 3);
    for (const QList<QVariant>& arguments : clientSwitched)
        EXPECT_FALSE(arguments[0].toBool());
    EXPECT_TRUE(server.IsListening());
    EXPECT_TRUE(client.Delivering());
    EXPECT_EQ(client.NMUDP2.localPort(), clientPort);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(UdpChannelsTest, ServerKeepsListeningAfterAFailedOrEmptyReceive)
{
    const quint16 port = EnableServer();
    // Have the system report a send to a closed port to the next receive, as
    // some platforms always do.
    const int on = 1;
    ASSERT_EQ(setsockopt(static_cast<int>(server.IdUDPServer1.socketDescriptor()), IPPROTO_IP, IP_RECVERR, &on,
                         sizeof on),
              0);
    Peer peer;
    server.SetRemoteFields(QStringLiteral("127.0.0.1"), QString::number(FreePort(false)));
    server.Write("\x11");
    Settle(50);
    peer.SendTo(port, QByteArray());  // an empty datagram delivers nothing
    Settle(50);
    EXPECT_TRUE(sink.chunks.empty());
    peer.SendTo(port, "still here");
    ASSERT_TRUE(WaitFor([&] { return !sink.chunks.empty(); }));
    EXPECT_EQ(sink.chunks[0].data, QByteArray("still here"));
    EXPECT_EQ(sink.chunks[0].label, QStringLiteral("UDP服务器[127.0.0.1:%1]").arg(peer.Port()));
    EXPECT_TRUE(server.IsListening());
}

TEST_F(UdpChannelsTest, LargeDatagramsArriveWholeOnBothChannels)
{
    const quint16 serverPort = EnableServer();
    const quint16 clientPort = FreePort(false);
    EnableClient(clientPort, FreePort(false));
    const struct
    {
        const char* behaviour;
        ChannelId channel;
        quint16 port;
        const char* label;
        qsizetype size;
    } rows[] = {
        {"3000 bytes to the server", UDPS, serverPort, "UDP服务器", 3000},
        {"60000 bytes to the server", UDPS, serverPort, "UDP服务器", 60000},
        {"3000 bytes to the client", UDPC, clientPort, "UDP", 3000},
        {"60000 bytes to the client", UDPC, clientPort, "UDP", 60000},
        {"the largest datagram to the client", UDPC, clientPort, "UDP", kMaxUdpPayload},
    };
    Peer peer;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        sink.chunks.clear();
        const QByteArray datagram = Pattern(row.size);
        peer.SendTo(row.port, datagram);
        ASSERT_TRUE(WaitFor([&] { return !sink.chunks.empty(); }));
        Settle(20);
        ASSERT_EQ(sink.chunks.size(), 1u);
        EXPECT_TRUE(sink.chunks[0].data == datagram);
        EXPECT_EQ(sink.chunks[0].channel, row.channel);
        EXPECT_EQ(sink.chunks[0].label, QStringLiteral("%1[127.0.0.1:%2]").arg(QString::fromUtf8(row.label)).arg(peer.Port()));
    }
}

TEST_F(UdpChannelsTest, SwitchedOffClientStillSendsButDeliversNothing)
{
    EXPECT_EQ(client.Id(), UDPC);
    Peer remote;
    const quint16 clientPort = FreePort(false);
    EnableClient(clientPort, remote.Port());
    EXPECT_TRUE(client.IsSwitchedOn());
    // The remote fields given with the switching off are not used.
    client.Switch(false, QString::number(clientPort), QStringLiteral("127.0.0.1"), QStringLiteral("9"));
    EXPECT_FALSE(client.IsSwitchedOn());
    EXPECT_FALSE(client.Delivering());

    EXPECT_EQ(client.Write("out").count, 3);
    const QNetworkDatagram sent = remote.Receive();
    EXPECT_EQ(sent.data(), QByteArray("out"));
    EXPECT_EQ(sent.senderPort(), clientPort);

    remote.SendTo(clientPort, "in");
    Settle(100);
    EXPECT_TRUE(sink.chunks.empty());
}

TEST_F(UdpChannelsTest, ClientDeliversFromStartUpOnAPortOfTheSystemsChoosing)
{
    EXPECT_EQ(client.NMUDP2.state(), QAbstractSocket::BoundState);
    EXPECT_NE(client.NMUDP2.localPort(), 0);
    EXPECT_EQ(client.RemoteHost(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(client.RemotePort(), 0);
    EXPECT_FALSE(client.IsSwitchedOn());
    Peer peer;
    peer.SendTo(client.NMUDP2.localPort(), "early");
    ASSERT_TRUE(WaitFor([&] { return !sink.chunks.empty(); }));
    EXPECT_EQ(sink.chunks[0].data, QByteArray("early"));
    EXPECT_EQ(sink.chunks[0].label, QStringLiteral("UDP[127.0.0.1:%1]").arg(peer.Port()));
}

TEST_F(UdpChannelsTest, ClientWriteRefusalsAreRefusedWithTheUsersMessage)
{
    const struct
    {
        const char* behaviour;
        const char* host;
        QByteArray payload;
        const char* message;
        int lookups;
    } rows[] = {
        {"no bytes", "127.0.0.1", QByteArray(), "Invalid buffer", 0},
        {"a name that cannot be resolved is looked up twice", "nowhere.invalid", "\x11", "Host Lookup Canceled", 2},
        {"a datagram over the UDP maximum", "127.0.0.1", QByteArray(65508, 'A'), "Package Size Too Big.", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        resolver.asked.clear();
        EnableClient(FreePort(false), 9, QString::fromUtf8(row.host));
        EXPECT_EQ(Refusal(client, row.payload), QString::fromUtf8(row.message));
        EXPECT_EQ(resolver.asked.size(), row.lookups);
    }
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(UdpChannelsTest, ClientEnableRefusalsLeaveTheClientAsItWas)
{
    Peer remote;
    const quint16 clientPort = FreePort(false);
    EnableClient(clientPort, remote.Port());
    client.Switch(false, QString::number(clientPort), QStringLiteral("127.0.0.1"), QString::number(remote.Port()));
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    const struct
    {
        const char* behaviour;
        QString local;
        QString remotePort;
        const char* message;
    } rows[] = {
        {"a local port another program holds", QString::number(holder.localPort()), QStringLiteral("9"),
         "Could not bind socket. Address and port are already in use."},
        {"a remote port of letters", QStringLiteral("1"), QStringLiteral("abc"), "'abc' is not a valid integer value"},
        {"an empty remote port", QStringLiteral("1"), QStringLiteral(" "), "'' is not a valid integer value"},
        {"a remote port above 65535", QStringLiteral("1"), QStringLiteral("70000"),
         "'70000' is not a valid port (0 to 65535)"},
        {"a negative local port", QStringLiteral("-1"), QStringLiteral("9"), "'-1' is not a valid port (0 to 65535)"},
        {"a local port above 65535", QStringLiteral("70000"), QStringLiteral("9"),
         "'70000' is not a valid port (0 to 65535)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        messages.messages.clear();
        QSignalSpy switched(&client, &UdpClientChannel::SwitchChanged);
        client.Switch(true, row.local, QStringLiteral("127.0.0.1"), row.remotePort);
        EXPECT_EQ(messages.messages, QStringList{QString::fromUtf8(row.message)});
        ASSERT_EQ(switched.size(), 1);
        EXPECT_FALSE(switched[0][0].toBool());
        // Same port, same endpoint, delivery as it was: no send from a port
        // of the system's choosing.
        EXPECT_EQ(client.NMUDP2.state(), QAbstractSocket::BoundState);
        EXPECT_EQ(client.NMUDP2.localPort(), clientPort);
        EXPECT_EQ(client.RemotePort(), remote.Port());
        EXPECT_FALSE(client.Delivering());
        EXPECT_EQ(client.Write("x").count, 1);
        const QNetworkDatagram sent = remote.Receive();
        EXPECT_EQ(sent.data(), QByteArray("x"));
        EXPECT_EQ(sent.senderPort(), clientPort);
    }
}

TEST_F(UdpChannelsTest, DatagramsTheSystemRefusesAreFailuresNamingTheReason)
{
    EnableServer();
    const struct
    {
        const char* behaviour;
        std::function<SendTarget::WriteResult()> write;
        const char* line;
    } rows[] = {
        {"the client before its first enable sends to port 0", [&] { return client.Write("x"); },
         "UDP Client发送出错 127.0.0.1:0: Invalid argument"},
        {"the server to port 0",
         [&] {
             server.SetRemoteFields(QStringLiteral("127.0.0.1"), QStringLiteral("0"));
             return server.Write("x");
         },
         "UDP Server发送出错 127.0.0.1:0: Invalid argument"},
        {"the server to an IPv6 address from its IPv4 socket",
         [&] {
             server.SetRemoteFields(QStringLiteral("::1"), QStringLiteral("9"));
             return server.Write("x");
         },
         "UDP Server发送出错 ::1:9: Address family not supported by protocol"},
        {"the client to an IPv6 address from its IPv4 socket",
         [&] {
             EnableClient(FreePort(false), 9, QStringLiteral("::1"));
             return client.Write("x");
         },
         "UDP Client发送出错 ::1:9: Address family not supported by protocol"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        const SendTarget::WriteResult result = row.write();
        EXPECT_EQ(result.count, 0);
        EXPECT_FALSE(result.refused);
        EXPECT_EQ(result.failure, QString::fromUtf8(row.line));
    }
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(UdpChannelsTest, APausedChannelReadsNothingAndDeliversWhatWaitedInOrderOnResume)
{
    const quint16 serverPort = EnableServer();
    const quint16 clientPort = FreePort(false);
    EnableClient(clientPort, 9);
    const struct
    {
        const char* behaviour;
        Channel& channel;
        quint16 port;
    } rows[] = {
        {"UDP server", server, serverPort},
        {"UDP client", client, clientPort},
    };
    Peer peer;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        sink.chunks.clear();
        row.channel.SetReceivePaused(true);
        QByteArray expected;
        for (int i = 0; i < 5; ++i) {
            const QByteArray datagram = QByteArray::number(i) + Pattern(100 + i, i);
            peer.SendTo(row.port, datagram);
            expected += datagram;
            Settle(10);
        }
        Settle(100);
        EXPECT_TRUE(sink.chunks.empty());

        row.channel.SetReceivePaused(false);
        ASSERT_TRUE(WaitFor([&] { return sink.chunks.size() == 5; }));
        EXPECT_EQ(sink.Received(row.channel.Id()), expected);
        // Reading goes on as before.
        peer.SendTo(row.port, "after");
        ASSERT_TRUE(WaitFor([&] { return sink.chunks.size() == 6; }));
        EXPECT_EQ(sink.chunks.back().data, QByteArray("after"));
        EXPECT_FALSE(row.channel.Congested());
    }
}

}  // namespace
