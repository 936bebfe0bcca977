// Every way a start of a network page can be refused, through the real
// window on 127.0.0.1: one message box, no line, "启用" unchecked and the
// lamp white, since nothing listens, connects or binds.
#include "core/indicator_shape.h"
#include "net/tcp_client_channel.h"
#include "net/tcp_client_page.h"
#include "net/tcp_server_channel.h"
#include "net/tcp_server_page.h"
#include "net/udp_client_channel.h"
#include "net/udp_client_page.h"
#include "net/udp_server_channel.h"
#include "net/udp_server_page.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTcpServer>
#include <QUdpSocket>

#include <functional>

namespace {

class RefusedStartsTest : public NetFormTest
{
protected:
    RefusedStartsTest()
    {
        tcpHolder.listen(QHostAddress(QStringLiteral("127.0.0.2")), 0);
        udpHolder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
    }

    // Fills the page's fields and checks its box the way the user does.
    void StartTcpServer(const QString& port)
    {
        form.tcpServer->edtTCPPort->setText(port);
        form.tcpServer->chkTCPSrv->setChecked(true);
    }
    void StartTcpClient(const QString& port)
    {
        form.tcpClient->edtTCPClientHost->setText(QStringLiteral("127.0.0.1"));
        form.tcpClient->edtTCPClientPort->setText(port);
        form.tcpClient->chkTCPClient->click();
    }
    void StartUdpServer(const QString& localPort)
    {
        form.udpServer->edtLocalPort->setText(localPort);
        form.udpServer->chkUDPSrv->setChecked(true);
    }
    void StartUdpClient(const QString& localPort, const QString& remotePort)
    {
        form.udpClient->edtUDPClientLocalPort->setText(localPort);
        form.udpClient->edtUDPClientRemoteHost->setText(QStringLiteral("127.0.0.1"));
        form.udpClient->edtUDPClientRemotePort->setText(remotePort);
        form.udpClient->chkUDPClient->setChecked(true);
    }

    QTcpServer tcpHolder;  // another program's listener on 127.0.0.2
    QUdpSocket udpHolder;  // another program's socket on all addresses
};

TEST_F(RefusedStartsTest, EveryRefusedStartShowsItsMessageAndLeavesTheBoxUncheckedAndTheLampWhite)
{
    ASSERT_TRUE(tcpHolder.isListening());
    ASSERT_EQ(udpHolder.state(), QAbstractSocket::BoundState);
    const QString tcpHeld = QString::number(tcpHolder.serverPort());
    const QString udpHeld = QString::number(udpHolder.localPort());
    const QString udpFree = QString::number(FreePort(false));
    const QString inUse = QStringLiteral("Could not bind socket. Address and port are already in use.");
    const struct
    {
        const char* behaviour;
        std::function<void()> start;
        QCheckBox* box;
        IndicatorShape* lamp;
        QString message;
    } rows[] = {
        {"TCP server, port above 65535", [&] { StartTcpServer(QStringLiteral("70000")); }, form.tcpServer->chkTCPSrv,
         form.tcpServer->ShapeTCP, QStringLiteral("'70000' is not a valid port (0 to 65535)")},
        {"TCP server, negative port", [&] { StartTcpServer(QStringLiteral("-1")); }, form.tcpServer->chkTCPSrv,
         form.tcpServer->ShapeTCP, QStringLiteral("'-1' is not a valid port (0 to 65535)")},
        {"TCP server, letters", [&] { StartTcpServer(QStringLiteral("abc")); }, form.tcpServer->chkTCPSrv,
         form.tcpServer->ShapeTCP, QStringLiteral("'abc' is not a valid integer value")},
        {"TCP server, bind refused", [&] { StartTcpServer(tcpHeld); }, form.tcpServer->chkTCPSrv,
         form.tcpServer->ShapeTCP, QStringLiteral("Windows socket error: Address already in use (98), on API 'bind'")},
        {"TCP client, port above 65535", [&] { StartTcpClient(QStringLiteral("70000")); },
         form.tcpClient->chkTCPClient, form.tcpClient->ShapeTCPClient,
         QStringLiteral("'70000' is not a valid port (0 to 65535)")},
        {"TCP client, negative port", [&] { StartTcpClient(QStringLiteral("-1")); }, form.tcpClient->chkTCPClient,
         form.tcpClient->ShapeTCPClient, QStringLiteral("'-1' is not a valid port (0 to 65535)")},
        {"TCP client, empty port", [&] { StartTcpClient(QString()); }, form.tcpClient->chkTCPClient,
         form.tcpClient->ShapeTCPClient, QStringLiteral("'' is not a valid integer value")},
        {"UDP server, port above 65535", [&] { StartUdpServer(QStringLiteral("70000")); }, form.udpServer->chkUDPSrv,
         form.udpServer->ShapeUDP, QStringLiteral("'70000' is not a valid port (0 to 65535)")},
        {"UDP server, negative port", [&] { StartUdpServer(QStringLiteral("-1")); }, form.udpServer->chkUDPSrv,
         form.udpServer->ShapeUDP, QStringLiteral("'-1' is not a valid port (0 to 65535)")},
        {"UDP server, port another program holds", [&] { StartUdpServer(udpHeld); }, form.udpServer->chkUDPSrv,
         form.udpServer->ShapeUDP, inUse},
        {"UDP client, local port another program holds", [&] { StartUdpClient(udpHeld, udpFree); },
         form.udpClient->chkUDPClient, form.udpClient->ShapeUDPClient, inUse},
        {"UDP client, local port above 65535", [&] { StartUdpClient(QStringLiteral("70000"), udpFree); },
         form.udpClient->chkUDPClient, form.udpClient->ShapeUDPClient,
         QStringLiteral("'70000' is not a valid port (0 to 65535)")},
        {"UDP client, remote port of letters", [&] { StartUdpClient(udpFree, QStringLiteral("abc")); },
         form.udpClient->chkUDPClient, form.udpClient->ShapeUDPClient,
         QStringLiteral("'abc' is not a valid integer value")},
        {"UDP client, empty remote port", [&] { StartUdpClient(udpFree, QString()); }, form.udpClient->chkUDPClient,
         form.udpClient->ShapeUDPClient, QStringLiteral("'' is not a valid integer value")},
        {"UDP client, negative remote port", [&] { StartUdpClient(udpFree, QStringLiteral("-1")); },
         form.udpClient->chkUDPClient, form.udpClient->ShapeUDPClient,
         QStringLiteral("'-1' is not a valid port (0 to 65535)")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        messages.messages.clear();
        const qsizetype mark = LineCount();
        row.start();
        EXPECT_EQ(messages.messages, QStringList{row.message});
        EXPECT_FALSE(row.box->isChecked());
        EXPECT_EQ(row.lamp->BrushColor(), IndicatorShape::kClosed);
        Settle(20);
        EXPECT_TRUE(TextsSince(mark).isEmpty());
    }
    EXPECT_FALSE(form.TcpServer().IsListening());
    EXPECT_EQ(form.TcpClient().Connection(), nullptr);
    EXPECT_FALSE(form.TcpClient().tmrReconn.isActive());
    EXPECT_FALSE(form.UdpServer().IsListening());
    EXPECT_NE(form.UdpClient().NMUDP2.localPort(), udpHolder.localPort());
}

TEST_F(RefusedStartsTest, AFirstUdpServerEnableOnPortZeroIsRefusedAndALaterOneBinds)
{
    StartUdpServer(QStringLiteral("0"));
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("No bindings specified.")});
    EXPECT_FALSE(form.udpServer->chkUDPSrv->isChecked());
    EXPECT_EQ(form.udpServer->ShapeUDP->BrushColor(), IndicatorShape::kClosed);
    form.udpServer->chkUDPSrv->setChecked(true);
    EXPECT_TRUE(form.udpServer->chkUDPSrv->isChecked());
    EXPECT_EQ(form.udpServer->ShapeUDP->BrushColor(), IndicatorShape::kOpen);
    EXPECT_TRUE(form.UdpServer().IsListening());
    EXPECT_EQ(messages.messages.size(), 1);
}

}  // namespace
