#include "net/tcp_client_page.h"
#include "core/indicator_shape.h"
#include "net/tcp_connection.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>

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

class TcpClientPageTest : public NetFormTest
{
protected:
    TcpClientPageTest() : page(*form.tcpClient)
    {
        // Reconnection ticks come quicker in tests; the interval itself is
        // checked on its own.
        page.tmrReconn.setInterval(50);
    }

    void Check(const QString& host, quint16 port)
    {
        page.edtTCPClientHost->setText(host);
        page.edtTCPClientPort->setText(QString::number(port));
        page.chkTCPClient->click();
    }

    TcpClientPage& page;
};

TEST_F(TcpClientPageTest, ConnectsShowsTheLocalPortAndLabelsWhatTheServerSends)
{
    PeerServer server;
    Check(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitForLine(kConnected));
    EXPECT_TRUE(page.IsOpen());
    EXPECT_TRUE(page.chkTCPClient->isChecked());
    EXPECT_EQ(page.ShapeTCPClient->BrushColor(), IndicatorShape::kOpen);
    EXPECT_EQ(page.lblTcpClientPort->text(), QStringLiteral("本地端口%1").arg(peer->peerPort()));
    EXPECT_TRUE(page.tmrReconn.isActive());

    peer->write("hello");
    const QString header = QStringLiteral("TCP客户端[127.0.0.1:%1]接收5字节: ").arg(server.Port());
    ASSERT_TRUE(WaitForLine(header));
    EXPECT_EQ(Texts().last(), QStringLiteral("hello"));
    EXPECT_TRUE(resolver.asked.isEmpty());
}

TEST_F(TcpClientPageTest, ServerClosingDisconnectsAndReconnectsOnlyWithAutoReconnect)
{
    const struct
    {
        const char* behaviour;
        bool reconnect;
    } rows[] = {{"without auto-reconnect the client stays down", false},
                {"with auto-reconnect a new attempt connects and checks the box", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        PeerServer server;
        page.chkReconn->setChecked(row.reconnect);
        const qsizetype mark = LineCount();
        Check(QStringLiteral("127.0.0.1"), server.Port());
        QTcpSocket* peer = server.Accept();
        ASSERT_NE(peer, nullptr);
        ASSERT_TRUE(WaitFor([&] { return page.IsOpen(); }));

        peer->disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return TextsSince(mark).contains(kDisconnected); }));
        EXPECT_EQ(page.lblTcpClientPort->text(), QString());
        EXPECT_EQ(page.ShapeTCPClient->BrushColor(), page.palette().color(QPalette::Base));

        QTcpSocket* again = server.Accept(row.reconnect ? 5000 : 300);
        EXPECT_EQ(again != nullptr, row.reconnect);
        if (row.reconnect) {
            ASSERT_TRUE(WaitFor([&] { return page.IsOpen(); }));
            EXPECT_TRUE(page.chkTCPClient->isChecked());
            EXPECT_EQ(TextsSince(mark), QStringList({kConnected, kDisconnected, kConnected}));
        } else {
            EXPECT_FALSE(page.chkTCPClient->isChecked());
            EXPECT_EQ(TextsSince(mark), QStringList({kConnected, kDisconnected}));
        }
        page.chkTCPClient->setChecked(true);
        page.chkTCPClient->click();  // unchecks: stops the timer and any connection
        EXPECT_FALSE(page.tmrReconn.isActive());
    }
}

TEST_F(TcpClientPageTest, RefusedPortGivesOneConnectErrorPerAttempt)
{
    const quint16 closed = FreePort(true);
    Check(QStringLiteral("127.0.0.1"), closed);
    ASSERT_TRUE(WaitForLine(kConnectError));
    EXPECT_FALSE(page.chkTCPClient->isChecked());
    EXPECT_EQ(page.ShapeTCPClient->BrushColor(), IndicatorShape::kClosed);
    // The ticks are driven by hand so that attempts can be counted.
    page.tmrReconn.stop();

    page.tmrReconnTimer();  // "自动重连" unchecked: no attempt
    Settle(100);
    EXPECT_EQ(CountLines(kConnectError), 1);

    page.chkReconn->setChecked(true);
    for (int tick = 1; tick <= 3; ++tick) {
        page.tmrReconnTimer();
        ASSERT_TRUE(WaitForLine(kConnectError, 1 + tick));
        Settle(30);
        EXPECT_EQ(CountLines(kConnectError), 1 + tick);
    }
    EXPECT_FALSE(page.chkTCPClient->isChecked());
    EXPECT_FALSE(HasLine(kDisconnected));
}

TEST_F(TcpClientPageTest, HostsThatCannotBeResolvedGiveTheTwoLines)
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
        const qsizetype mark = LineCount();
        Check(QString::fromUtf8(row.host), 9);
        // Reported later, never inside the click.
        EXPECT_TRUE(TextsSince(mark).isEmpty());
        ASSERT_TRUE(WaitFor([&] { return TextsSince(mark).size() >= 2; }));
        Settle(30);
        EXPECT_EQ(TextsSince(mark), QStringList({kUnknown, kDisconnected}));
        EXPECT_EQ(resolver.asked, row.asked);
        EXPECT_FALSE(page.chkTCPClient->isChecked());
        page.chkTCPClient->setChecked(true);
        page.chkTCPClient->click();
    }
}

TEST_F(TcpClientPageTest, HostNameIsResolvedAndTheLabelShowsTheAddress)
{
    PeerServer server;
    resolver.addresses[QStringLiteral("server.test")] = {QHostAddress(QStringLiteral("127.0.0.1"))};
    Check(QStringLiteral("server.test"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitForLine(kConnected));
    peer->write("x");
    ASSERT_TRUE(WaitForLine(QStringLiteral("TCP客户端[127.0.0.1:%1]接收1字节: ").arg(server.Port())));
}

TEST_F(TcpClientPageTest, ResetLeavesTheClientDeadUntilASendFails)
{
    PeerServer server;
    page.chkReconn->setChecked(true);
    Check(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return page.IsOpen(); }));
    page.tmrReconn.stop();

    const linger abortive{1, 0};
    setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    peer->abort();
    ASSERT_TRUE(WaitForLine(kUnknown));
    EXPECT_FALSE(page.chkTCPClient->isChecked());
    EXPECT_EQ(page.ShapeTCPClient->BrushColor(), IndicatorShape::kClosed);
    // Still counted as connected, so the timer does not reconnect.
    EXPECT_TRUE(page.IsOpen());
    page.tmrReconnTimer();
    EXPECT_EQ(server.Accept(200), nullptr);

    const qsizetype mark = LineCount();
    form.SendToChannel("01 02", TCPC, true);
    EXPECT_EQ(TextsSince(mark), QStringList({kSendError, kDisconnected, QStringLiteral("TCP Client发送HEX数据0字节："),
                                             QStringLiteral("01 02 ")}));
    EXPECT_FALSE(page.IsOpen());
    page.tmrReconnTimer();
    EXPECT_NE(server.Accept(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return page.IsOpen(); }));
}

TEST_F(TcpClientPageTest, HostAndPortEditsTakeEffectOnlyWhenTheBoxIsCheckedAgain)
{
    PeerServer first;
    PeerServer second;
    page.chkReconn->setChecked(true);
    Check(QStringLiteral("127.0.0.1"), first.Port());
    QTcpSocket* peer = first.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return page.IsOpen(); }));

    page.edtTCPClientPort->setText(QString::number(second.Port()));
    peer->disconnectFromHost();
    EXPECT_NE(first.Accept(), nullptr);
    EXPECT_FALSE(second.server.hasPendingConnections());

    page.chkTCPClient->setChecked(true);
    page.chkTCPClient->click();  // off
    page.chkTCPClient->click();  // on again: takes the new port
    EXPECT_NE(second.Accept(), nullptr);
}

TEST_F(TcpClientPageTest, UncheckingWhileConnectedDisconnectsAndStopsTheTimer)
{
    PeerServer server;
    Check(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return page.IsOpen(); }));
    const qsizetype mark = LineCount();
    page.chkTCPClient->click();
    EXPECT_EQ(TextsSince(mark), QStringList{kDisconnected});
    EXPECT_FALSE(page.tmrReconn.isActive());
    EXPECT_FALSE(page.IsOpen());
    EXPECT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(TcpClientPageTest, SendToAClosedClientConnectsItFirst)
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

TEST_F(TcpClientPageTest, NonNumericPortIsReportedAndNothingStarts)
{
    page.edtTCPClientHost->setText(QStringLiteral("127.0.0.1"));
    page.edtTCPClientPort->setText(QStringLiteral("x1"));
    page.chkTCPClient->click();
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("'x1' is not a valid integer value")});
    EXPECT_FALSE(page.tmrReconn.isActive());
    EXPECT_EQ(page.Connection(), nullptr);
}

TEST_F(TcpClientPageTest, WritesTheNetworkCannotTakeAtOnceArriveWholeAndInOrder)
{
    PeerServer server;
    Check(QStringLiteral("127.0.0.1"), server.Port());
    QTcpSocket* peer = server.Accept();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitFor([&] { return page.IsOpen(); }));

    constexpr qsizetype kTotal = 16 * 1024 * 1024;
    const QByteArray payload = Pattern(kTotal, 7);
    EXPECT_EQ(page.Write(payload.left(kTotal / 2)).count, kTotal / 2);
    EXPECT_EQ(page.Write(payload.mid(kTotal / 2)).count, kTotal / 2);
    EXPECT_GT(page.Connection()->QueuedBytes(), 0);

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
