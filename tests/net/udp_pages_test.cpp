#include "net/datagram_reader.h"
#include "core/indicator_shape.h"
#include "net/is_port_in_use.h"
#include "net/udp_client_page.h"
#include "net/udp_server_page.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QUdpSocket>

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

class UdpPagesTest : public NetFormTest
{
protected:
    UdpPagesTest() : server(*form.udpServer), client(*form.udpClient) {}

    quint16 EnableServer(quint16 port = 0)
    {
        if (port == 0)
            port = FreePort(false);
        server.edtLocalPort->setText(QString::number(port));
        server.chkUDPSrv->setChecked(true);
        EXPECT_TRUE(server.IsListening());
        return port;
    }

    void EnableClient(quint16 localPort, quint16 remotePort)
    {
        client.edtUDPClientLocalPort->setText(QString::number(localPort));
        client.edtUDPClientRemoteHost->setText(QStringLiteral("127.0.0.1"));
        client.edtUDPClientRemotePort->setText(QString::number(remotePort));
        client.chkUDPClient->setChecked(true);
    }

    UdpServerPage& server;
    UdpClientPage& client;
};

TEST_F(UdpPagesTest, ThePairTalksOutOfTheBoxWithTheSettingsFileDefaults)
{
    if (IsPortInUse(8000, false) || IsPortInUse(7000, false))
        GTEST_SKIP() << "UDP port 8000 or 7000 is taken by another program on this machine";
    const QStringList fields = {server.edtLocalPort->text(), server.edtUDPRemotePort->text(),
                                client.edtUDPClientLocalPort->text(), client.edtUDPClientRemotePort->text()};
    ASSERT_EQ(fields, QStringList({"8000", "7000", "7000", "8000"}));
    server.chkUDPSrv->setChecked(true);
    client.chkUDPClient->setChecked(true);
    EXPECT_EQ(server.ShapeUDP->BrushColor(), IndicatorShape::kOpen);
    EXPECT_EQ(client.ShapeUDPClient->BrushColor(), IndicatorShape::kOpen);

    form.SendToChannel("hello", UDPC, false);
    ASSERT_TRUE(WaitForLine(QStringLiteral("UDP服务器[127.0.0.1:7000]接收5字节: ")));
    EXPECT_EQ(Texts().last(), QStringLiteral("hello"));
    EXPECT_EQ(server.edtUDPRemoteHost->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(server.edtUDPRemotePort->text(), QStringLiteral("7000"));

    form.SendToChannel("back", UDPS, false);
    EXPECT_TRUE(HasLine(QStringLiteral("UDP Server发送文本数据4字节：")));
    ASSERT_TRUE(WaitForLine(QStringLiteral("UDP[127.0.0.1:8000]接收4字节: ")));
    EXPECT_EQ(Texts().last(), QStringLiteral("back"));
}

TEST_F(UdpPagesTest, ServerAnswersTheLastSender)
{
    const quint16 port = EnableServer();
    Peer first;
    Peer second;
    first.SendTo(port, "1");
    ASSERT_TRUE(WaitFor([&] { return server.edtUDPRemotePort->text() == QString::number(first.Port()); }));
    second.SendTo(port, "2");
    ASSERT_TRUE(WaitFor([&] { return server.edtUDPRemotePort->text() == QString::number(second.Port()); }));
    EXPECT_EQ(server.edtUDPRemoteHost->text(), QStringLiteral("127.0.0.1"));

    form.SendToChannel("41", UDPS, true);
    const QNetworkDatagram answer = second.Receive();
    EXPECT_EQ(answer.data(), QByteArray("A"));
    EXPECT_EQ(answer.senderPort(), port);
    EXPECT_FALSE(first.Receive(100).isValid());
    EXPECT_TRUE(HasLine(QStringLiteral("UDP Server发送HEX数据1字节：")));
}

TEST_F(UdpPagesTest, ServerSendBeforeTheFirstEnableIsRefused)
{
    server.sendPanel->memo->setPlainText(QStringLiteral("11"));
    const qsizetype mark = LineCount();
    RunAsEvent([&] { form.SendButtonClick(UDPS); });
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("No bindings specified.")});
    EXPECT_TRUE(TextsSince(mark).isEmpty());
    EXPECT_EQ(form.Counters()[UDPS].txFrames, 0);
}

TEST_F(UdpPagesTest, ServerSendAfterADisableReopensOnTheLastPortWithoutTheBox)
{
    const quint16 port = EnableServer();
    server.chkUDPSrv->setChecked(false);
    EXPECT_FALSE(server.IsListening());
    Peer peer;
    server.edtUDPRemotePort->setText(QString::number(peer.Port()));
    form.SendToChannel("31", UDPS, true);
    EXPECT_TRUE(server.IsListening());
    EXPECT_EQ(server.IdUDPServer1.localPort(), port);
    EXPECT_FALSE(server.chkUDPSrv->isChecked());
    EXPECT_EQ(server.ShapeUDP->BrushColor(), IndicatorShape::kClosed);
    EXPECT_EQ(peer.Receive().data(), QByteArray("1"));
}

TEST_F(UdpPagesTest, ServerRefusalsShowTheirMessages)
{
    const struct
    {
        const char* behaviour;
        const char* host;
        const char* port;
        QByteArray hexPayload;
        const char* message;
    } rows[] = {
        {"a name that cannot be resolved", "nowhere.invalid", "9", "11", "Socket Error # 1\nUnknown host"},
        {"a datagram over the UDP maximum", "127.0.0.1", "9", QByteArray(65508, 'A').toHex(' '),
         "Package Size Too Big."},
        {"an empty remote port", "127.0.0.1", "", "11", "'' is not a valid integer value"},
    };
    EnableServer();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        messages.messages.clear();
        server.edtUDPRemoteHost->setText(QString::fromUtf8(row.host));
        server.edtUDPRemotePort->setText(QString::fromUtf8(row.port));
        const qsizetype mark = LineCount();
        RunAsEvent([&] { form.SendToChannel(row.hexPayload, UDPS, true); });
        EXPECT_EQ(messages.messages, QStringList{QString::fromUtf8(row.message)});
        EXPECT_TRUE(TextsSince(mark).isEmpty());
    }
    EXPECT_EQ(form.Counters()[UDPS].txFrames, 0);
}

TEST_F(UdpPagesTest, ServerPortTakenByAnotherProgram)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    server.edtLocalPort->setText(QString::number(holder.localPort()));
    server.chkUDPSrv->setChecked(true);
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("Could not bind socket. Address and port are already in use.")});
    EXPECT_TRUE(server.chkUDPSrv->isChecked());
    EXPECT_EQ(server.ShapeUDP->BrushColor(), IndicatorShape::kOpen);
    EXPECT_FALSE(server.IsListening());
}

TEST_F(UdpPagesTest, EveryEnableUsesThePortThenInTheField)
{
    const quint16 first = EnableServer();
    EXPECT_EQ(server.IdUDPServer1.localPort(), first);
    server.chkUDPSrv->setChecked(false);
    const quint16 second = EnableServer();
    EXPECT_EQ(server.IdUDPServer1.localPort(), second);
}

TEST_F(UdpPagesTest, PortZeroFailsOnTheFirstEnableOnly)
{
    server.edtLocalPort->setText(QStringLiteral("0"));
    server.chkUDPSrv->setChecked(true);
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("No bindings specified.")});
    EXPECT_EQ(server.ShapeUDP->BrushColor(), IndicatorShape::kOpen);
    server.chkUDPSrv->setChecked(false);
    server.chkUDPSrv->setChecked(true);
    EXPECT_TRUE(server.IsListening());
    EXPECT_NE(server.IdUDPServer1.localPort(), 0);
}

TEST_F(UdpPagesTest, EmptyFieldsUncheckTheBox)
{
    const struct
    {
        const char* behaviour;
        QLineEdit* edit;
        QCheckBox* box;
        IndicatorShape* shape;
    } rows[] = {
        {"server local port", server.edtLocalPort, server.chkUDPSrv, server.ShapeUDP},
        {"server remote port", server.edtUDPRemotePort, server.chkUDPSrv, server.ShapeUDP},
        {"client local port", client.edtUDPClientLocalPort, client.chkUDPClient, client.ShapeUDPClient},
        {"client remote host", client.edtUDPClientRemoteHost, client.chkUDPClient, client.ShapeUDPClient},
        {"client remote port", client.edtUDPClientRemotePort, client.chkUDPClient, client.ShapeUDPClient},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        const QString kept = row.edit->text();
        row.edit->setText(QStringLiteral("  "));
        row.box->setChecked(true);
        EXPECT_FALSE(row.box->isChecked());
        EXPECT_EQ(row.shape->BrushColor(), IndicatorShape::kClosed);
        row.edit->setText(kept);
    }
    EXPECT_FALSE(server.IsListening());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(UdpPagesTest, ServerKeepsListeningAfterAFailedOrEmptyReceive)
{
    const quint16 port = EnableServer();
    // Have the system report a send to a closed port to the next receive, as
    // some platforms always do.
    const int on = 1;
    ASSERT_EQ(setsockopt(static_cast<int>(server.IdUDPServer1.socketDescriptor()), IPPROTO_IP, IP_RECVERR, &on,
                         sizeof on),
              0);
    Peer peer;
    server.edtUDPRemotePort->setText(QString::number(FreePort(false)));
    form.SendToChannel("11", UDPS, true);
    Settle(50);
    peer.SendTo(port, QByteArray());  // an empty datagram shows nothing
    Settle(50);
    const qsizetype mark = LineCount();
    peer.SendTo(port, "still here");
    ASSERT_TRUE(WaitFor([&] { return TextsSince(mark).contains(QStringLiteral("still here")); }));
    EXPECT_EQ(TextsSince(mark).first(), QStringLiteral("UDP服务器[127.0.0.1:%1]接收10字节: ").arg(peer.Port()));
    EXPECT_TRUE(server.IsListening());
}

TEST_F(UdpPagesTest, LargeDatagramsArriveWholeOnBothChannels)
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
        const qint32 framesBefore = form.Counters()[row.channel].rxFrames;
        const qint32 bytesBefore = form.Counters()[row.channel].rxBytes;
        peer.SendTo(row.port, Pattern(row.size));
        const QString header =
            QStringLiteral("%1[127.0.0.1:%2]接收%3字节: ").arg(QString::fromUtf8(row.label)).arg(peer.Port()).arg(row.size);
        ASSERT_TRUE(WaitForLine(header));
        EXPECT_EQ(form.Counters()[row.channel].rxFrames, framesBefore + 1);
        EXPECT_EQ(form.Counters()[row.channel].rxBytes, bytesBefore + row.size);
    }
}

TEST_F(UdpPagesTest, DisabledClientStillSendsButShowsNothing)
{
    Peer remote;
    const quint16 clientPort = FreePort(false);
    EnableClient(clientPort, remote.Port());
    client.chkUDPClient->setChecked(false);
    EXPECT_EQ(client.ShapeUDPClient->BrushColor(), IndicatorShape::kClosed);
    client.edtUDPClientRemotePort->setText(QStringLiteral("9"));  // not used before the next enable

    form.SendToChannel("out", UDPC, false);
    const QNetworkDatagram sent = remote.Receive();
    EXPECT_EQ(sent.data(), QByteArray("out"));
    EXPECT_EQ(sent.senderPort(), clientPort);
    EXPECT_TRUE(HasLine(QStringLiteral("UDP Client发送文本数据3字节：")));

    const qsizetype mark = LineCount();
    remote.SendTo(clientPort, "in");
    Settle(100);
    EXPECT_TRUE(TextsSince(mark).isEmpty());
    EXPECT_EQ(form.Counters()[UDPC].rxFrames, 0);
}

TEST_F(UdpPagesTest, ClientDeliversFromStartUpOnAPortOfTheSystemsChoosing)
{
    EXPECT_EQ(client.NMUDP2.state(), QAbstractSocket::BoundState);
    EXPECT_NE(client.NMUDP2.localPort(), 0);
    EXPECT_EQ(client.RemoteHost(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(client.RemotePort(), 0);
    Peer peer;
    peer.SendTo(client.NMUDP2.localPort(), "early");
    ASSERT_TRUE(WaitForLine(QStringLiteral("UDP[127.0.0.1:%1]接收5字节: ").arg(peer.Port())));
}

TEST_F(UdpPagesTest, ClientRefusalsShowTheirMessages)
{
    const struct
    {
        const char* behaviour;
        const char* host;
        const char* hexPayload;  // nullptr: 65508 bytes
        const char* message;
        int lookups;
    } rows[] = {
        {"fewer than two hex digits give no bytes", "127.0.0.1", "1", "Invalid buffer", 0},
        {"a name that cannot be resolved is looked up twice", "nowhere.invalid", "11", "Host Lookup Canceled", 2},
        {"a datagram over the UDP maximum", "127.0.0.1", nullptr, "Package Size Too Big.", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        messages.messages.clear();
        resolver.asked.clear();
        EnableClient(FreePort(false), 9);
        client.edtUDPClientRemoteHost->setText(QString::fromUtf8(row.host));
        client.chkUDPClient->setChecked(false);
        client.chkUDPClient->setChecked(true);
        const qsizetype mark = LineCount();
        const QByteArray payload = row.hexPayload ? QByteArray(row.hexPayload) : QByteArray(65508, 'A').toHex(' ');
        RunAsEvent([&] { form.SendToChannel(payload, UDPC, true); });
        EXPECT_EQ(messages.messages, QStringList{QString::fromUtf8(row.message)});
        EXPECT_EQ(resolver.asked.size(), row.lookups);
        EXPECT_TRUE(TextsSince(mark).isEmpty());
    }
}

TEST_F(UdpPagesTest, ClientOnAPortTheServerHoldsSendsFromAnotherPortSilently)
{
    const quint16 serverPort = EnableServer();
    Peer remote;
    EnableClient(serverPort, remote.Port());
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(client.ShapeUDPClient->BrushColor(), IndicatorShape::kOpen);
    form.SendToChannel("x", UDPC, false);
    const QNetworkDatagram sent = remote.Receive();
    EXPECT_EQ(sent.data(), QByteArray("x"));
    EXPECT_NE(sent.senderPort(), serverPort);
}

}  // namespace
