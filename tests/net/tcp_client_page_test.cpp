#include "net/tcp_client_page.h"
#include "core/indicator_shape.h"
#include "net/tcp_client_channel.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/socket.h>

namespace {

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

class TcpClientPageTest : public NetFormTest
{
protected:
    TcpClientPageTest() : page(*form.tcpClient), channel(form.TcpClient())
    {
        // Reconnection ticks come quicker in tests; the interval itself is
        // checked on its own.
        channel.tmrReconn.setInterval(50);
    }

    void Check(const QString& host, quint16 port)
    {
        page.edtTCPClientHost->setText(host);
        page.edtTCPClientPort->setText(QString::number(port));
        page.chkTCPClient->click();
    }

    TcpClientPage& page;
    TcpClientChannel& channel;
};

TEST_F(TcpClientPageTest, ConnectingChecksTheBoxPaintsGreenAndShowsTheLocalPort)
{
    PeerServer server;
    Check(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitForLine(QStringLiteral("TCP Client已连接服务端")));
    EXPECT_TRUE(page.chkTCPClient->isChecked());
    EXPECT_EQ(page.ShapeTCPClient->BrushColor(), IndicatorShape::kOpen);
    EXPECT_EQ(page.lblTcpClientPort->text(), QStringLiteral("本地端口%1").arg(peer->peerPort()));

    peer->write("hello");
    const QString header = QStringLiteral("TCP客户端[127.0.0.1:%1]接收5字节: ").arg(server.Port());
    ASSERT_TRUE(WaitForLine(header));
    EXPECT_EQ(Texts().last(), QStringLiteral("hello"));
}

TEST_F(TcpClientPageTest, ServerClosingUnchecksAndReconnectingChecksTheBoxAgain)
{
    const struct
    {
        const char* behaviour;
        bool reconnect;
    } rows[] = {{"without auto-reconnect the box stays unchecked", false},
                {"with auto-reconnect the new connection checks the box", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        PeerServer server;
        page.chkReconn->setChecked(row.reconnect);
        Check(QStringLiteral("127.0.0.1"), server.Port());
        QTcpSocket* peer = server.Accept();
        ASSERT_NE(peer, nullptr);
        ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));

        peer->disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return !channel.IsOpen(); }));
        EXPECT_FALSE(page.chkTCPClient->isChecked());
        EXPECT_EQ(page.lblTcpClientPort->text(), QString());
        EXPECT_EQ(page.ShapeTCPClient->BrushColor(), page.palette().color(QPalette::Base));

        QTcpSocket* again = server.Accept(row.reconnect ? 5000 : 300);
        EXPECT_EQ(again != nullptr, row.reconnect);
        if (row.reconnect) {
            ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));
            EXPECT_TRUE(page.chkTCPClient->isChecked());
            EXPECT_EQ(page.ShapeTCPClient->BrushColor(), IndicatorShape::kOpen);
        }
        page.chkTCPClient->setChecked(true);
        page.chkTCPClient->click();  // unchecks: stops the timer and any connection
        EXPECT_FALSE(channel.tmrReconn.isActive());
    }
}

TEST_F(TcpClientPageTest, ErrorsUncheckTheBoxAndPaintTheLampWhite)
{
    // A refused attempt: the line names the address and the reason.
    const quint16 closed = FreePort(true);
    Check(QStringLiteral("127.0.0.1"), closed);
    ASSERT_TRUE(WaitForLine(QStringLiteral("TCP Client连接出错 127.0.0.1:%1: Connection refused").arg(closed)));
    EXPECT_FALSE(page.chkTCPClient->isChecked());
    EXPECT_EQ(page.ShapeTCPClient->BrushColor(), IndicatorShape::kClosed);

    // A reset of an established connection, which stays held.
    PeerServer server;
    page.chkTCPClient->setChecked(true);
    page.chkTCPClient->click();  // off
    Check(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return page.ShapeTCPClient->BrushColor() == IndicatorShape::kOpen; }));
    const linger abortive{1, 0};
    setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    peer->abort();
    ASSERT_TRUE(WaitForLine(
        QStringLiteral("TCP Client异常，原因未知 127.0.0.1:%1: Connection reset by peer").arg(server.Port())));
    EXPECT_FALSE(page.chkTCPClient->isChecked());
    EXPECT_EQ(page.ShapeTCPClient->BrushColor(), IndicatorShape::kClosed);
    EXPECT_TRUE(channel.IsOpen());
}

TEST_F(TcpClientPageTest, HostAndPortEditsTakeEffectOnlyWhenTheBoxIsCheckedAgain)
{
    PeerServer first;
    PeerServer second;
    page.chkReconn->setChecked(true);
    Check(QStringLiteral("127.0.0.1"), first.Port());
    QTcpSocket* peer = first.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return channel.IsOpen(); }));

    page.edtTCPClientPort->setText(QString::number(second.Port()));
    peer->disconnectFromHost();
    EXPECT_NE(first.Accept(), nullptr);
    EXPECT_FALSE(second.server.hasPendingConnections());

    page.chkTCPClient->setChecked(true);
    page.chkTCPClient->click();  // off
    page.chkTCPClient->click();  // on again: takes the new port
    EXPECT_NE(second.Accept(), nullptr);
}

TEST_F(TcpClientPageTest, SendToAClosedClientChecksTheBoxAndConnectsItFirst)
{
    PeerServer server;
    page.edtTCPClientHost->setText(QStringLiteral("127.0.0.1"));
    page.edtTCPClientPort->setText(QString::number(server.Port()));
    form.SendToChannel("11 22 33", TCPC, true);
    EXPECT_TRUE(page.chkTCPClient->isChecked());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() >= 3; }));
    EXPECT_EQ(peer->readAll(), QByteArray("\x11\x22\x33"));
    EXPECT_TRUE(HasLine(QStringLiteral("TCP Client发送HEX数据3字节：")));
}

TEST_F(TcpClientPageTest, NonNumericPortIsReportedAndTheBoxIsUnchecked)
{
    page.edtTCPClientHost->setText(QStringLiteral("127.0.0.1"));
    page.edtTCPClientPort->setText(QStringLiteral("x1"));
    page.chkTCPClient->click();
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("'x1' is not a valid integer value")});
    EXPECT_FALSE(page.chkTCPClient->isChecked());
    EXPECT_EQ(page.ShapeTCPClient->BrushColor(), IndicatorShape::kClosed);
    EXPECT_EQ(channel.Connection(), nullptr);
}

TEST_F(TcpClientPageTest, EmptyHostGivesTheDesignLineWithTheHostAndTheReason)
{
    page.edtTCPClientHost->setText(QString());
    page.edtTCPClientPort->setText(QStringLiteral("9"));
    page.chkTCPClient->click();
    ASSERT_TRUE(WaitForLine(QStringLiteral("TCP Client已断开")));
    EXPECT_EQ(Texts().mid(Texts().size() - 2),
              QStringList({QStringLiteral("TCP Client异常，原因未知 :9: Unknown host"), QStringLiteral("TCP Client已断开")}));
    EXPECT_FALSE(page.chkTCPClient->isChecked());
    EXPECT_TRUE(resolver.asked.isEmpty());
}

}  // namespace
