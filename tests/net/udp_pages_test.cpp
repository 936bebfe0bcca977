#include "core/indicator_shape.h"
#include "net/is_port_in_use.h"
#include "net/udp_client_channel.h"
#include "net/udp_client_page.h"
#include "net/udp_server_channel.h"
#include "net/udp_server_page.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QUdpSocket>

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
    UdpPagesTest()
        : server(*form.udpServer), client(*form.udpClient), serverChannel(form.UdpServer()),
          clientChannel(form.UdpClient())
    {
    }

    quint16 EnableServer(quint16 port = 0)
    {
        if (port == 0)
            port = FreePort(false);
        server.edtLocalPort->setText(QString::number(port));
        server.chkUDPSrv->setChecked(true);
        EXPECT_TRUE(serverChannel.IsListening());
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
    UdpServerChannel& serverChannel;
    UdpClientChannel& clientChannel;
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
    // A refusal in a message box: no line, nothing counted, nothing opened.
    const qsizetype mark = LineCount();
    form.SendToChannel("11", UDPS, true);
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("No bindings specified.")});
    EXPECT_TRUE(TextsSince(mark).isEmpty());
    EXPECT_EQ(form.Counters()[UDPS].txBytes, 0);
    EXPECT_EQ(form.Counters()[UDPS].txFrames, 0);
    EXPECT_FALSE(serverChannel.IsListening());
    EXPECT_FALSE(server.chkUDPSrv->isChecked());
    EXPECT_EQ(server.ShapeUDP->BrushColor(), IndicatorShape::kClosed);
}

TEST_F(UdpPagesTest, ServerSendAfterADisableReopensOnTheLastPortWithoutTheBox)
{
    const quint16 port = EnableServer();
    server.chkUDPSrv->setChecked(false);
    EXPECT_FALSE(serverChannel.IsListening());
    Peer peer;
    server.edtUDPRemotePort->setText(QString::number(peer.Port()));
    form.SendToChannel("31", UDPS, true);
    EXPECT_TRUE(serverChannel.IsListening());
    EXPECT_EQ(serverChannel.IdUDPServer1.localPort(), port);
    EXPECT_FALSE(server.chkUDPSrv->isChecked());
    EXPECT_EQ(server.ShapeUDP->BrushColor(), IndicatorShape::kClosed);
    EXPECT_EQ(peer.Receive().data(), QByteArray("1"));
}

TEST_F(UdpPagesTest, ServerPortTakenByAnotherProgramIsRefusedAndUnchecks)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    server.edtLocalPort->setText(QString::number(holder.localPort()));
    server.chkUDPSrv->setChecked(true);
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("Could not bind socket. Address and port are already in use.")});
    EXPECT_FALSE(server.chkUDPSrv->isChecked());
    EXPECT_EQ(server.ShapeUDP->BrushColor(), IndicatorShape::kClosed);
    EXPECT_FALSE(serverChannel.IsListening());
}

TEST_F(UdpPagesTest, LampsFollowTheBoxes)
{
    const quint16 serverPort = FreePort(false);
    server.edtLocalPort->setText(QString::number(serverPort));
    EnableClient(FreePort(false), serverPort);
    const struct
    {
        const char* behaviour;
        QCheckBox* box;
        IndicatorShape* shape;
    } rows[] = {
        {"server", server.chkUDPSrv, server.ShapeUDP},
        {"client", client.chkUDPClient, client.ShapeUDPClient},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        row.box->setChecked(true);
        EXPECT_EQ(row.shape->BrushColor(), IndicatorShape::kOpen);
        row.box->setChecked(false);
        EXPECT_EQ(row.shape->BrushColor(), IndicatorShape::kClosed);
    }
    EXPECT_FALSE(clientChannel.Delivering());
    EXPECT_FALSE(serverChannel.IsListening());
    EXPECT_TRUE(messages.messages.isEmpty());
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
    EXPECT_FALSE(serverChannel.IsListening());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(UdpPagesTest, TheWindowStartsTheClientOnAPortOfTheSystemsChoosing)
{
    EXPECT_EQ(clientChannel.NMUDP2.state(), QAbstractSocket::BoundState);
    EXPECT_NE(clientChannel.NMUDP2.localPort(), 0);
    EXPECT_EQ(clientChannel.RemoteHost(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(clientChannel.RemotePort(), 0);
    Peer peer;
    peer.SendTo(clientChannel.NMUDP2.localPort(), "early");
    ASSERT_TRUE(WaitForLine(QStringLiteral("UDP[127.0.0.1:%1]接收5字节: ").arg(peer.Port())));
}

}  // namespace
