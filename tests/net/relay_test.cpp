#include "net/tcp_client_channel.h"
#include "net/tcp_client_page.h"
#include "net/tcp_server_page.h"
#include "net/udp_client_channel.h"
#include "net/udp_server_page.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

namespace {

// Relays between the TCP client, connected to a TCP peer, and the UDP server,
// answering a UDP peer.
class RelayTest : public NetFormTest
{
protected:
    RelayTest()
    {
        tcpPeerServer.listen(QHostAddress::LocalHost, 0);
        form.tcpClient->edtTCPClientHost->setText(QStringLiteral("127.0.0.1"));
        form.tcpClient->edtTCPClientPort->setText(QString::number(tcpPeerServer.serverPort()));
        form.tcpClient->chkTCPClient->click();
        WaitFor([&] { return tcpPeerServer.hasPendingConnections() && form.TcpClient().IsOpen(); });
        tcpPeer = tcpPeerServer.nextPendingConnection();

        udpPeer.bind(QHostAddress::LocalHost, 0);
        udpServerPort = FreePort(false);
        form.udpServer->edtLocalPort->setText(QString::number(udpServerPort));
        form.udpServer->edtUDPRemotePort->setText(QString::number(udpPeer.localPort()));
        form.udpServer->chkUDPSrv->setChecked(true);

        form.cbbConnA->setCurrentIndex(TCPC);
        form.cbbConnB->setCurrentIndex(UDPS);
        form.chkRelay->setChecked(true);
    }

    // What the UDP peer receives until `size` bytes are in, datagrams joined.
    QByteArray UdpPeerReceives(qsizetype size, int* datagrams = nullptr)
    {
        QByteArray received;
        int count = 0;
        WaitFor([&] {
            while (udpPeer.hasPendingDatagrams()) {
                received += udpPeer.receiveDatagram().data();
                ++count;
            }
            return received.size() >= size;
        });
        if (datagrams)
            *datagrams = count;
        return received;
    }

    QByteArray TcpPeerReceives(qsizetype size)
    {
        QByteArray received;
        WaitFor([&] {
            received += tcpPeer->readAll();
            return received.size() >= size;
        });
        return received;
    }

    QTcpServer tcpPeerServer;
    QTcpSocket* tcpPeer = nullptr;
    QUdpSocket udpPeer;
    quint16 udpServerPort = 0;
};

TEST_F(RelayTest, ChunksAreForwardedUnchangedBothWays)
{
    ASSERT_NE(tcpPeer, nullptr);
    const struct
    {
        const char* behaviour;
        QByteArray chunk;
    } rows[] = {
        {"zero, high and carriage-return bytes", QByteArray("\x00\xFF\x0D", 3)},
        {"a chunk of 10000 bytes", Pattern(10000)},
        {"the largest datagram", Pattern(65507)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        udpPeer.writeDatagram(row.chunk, QHostAddress::LocalHost, udpServerPort);
        EXPECT_TRUE(TcpPeerReceives(row.chunk.size()) == row.chunk);

        tcpPeer->write(row.chunk);
        EXPECT_TRUE(UdpPeerReceives(row.chunk.size()) == row.chunk);
    }
    Settle(50);
    EXPECT_EQ(tcpPeer->bytesAvailable(), 0);
    EXPECT_FALSE(udpPeer.hasPendingDatagrams());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(RelayTest, ABurstFromTheTcpPeerReachesTheUdpPeerInDatagramsThatEachFit)
{
    ASSERT_NE(tcpPeer, nullptr);
    const QByteArray burst = Pattern(200000, 3);
    tcpPeer->write(burst);
    int datagrams = 0;
    EXPECT_TRUE(UdpPeerReceives(burst.size(), &datagrams) == burst);
    EXPECT_GE(datagrams, 4);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(RelayTest, EchoComesBeforeTheRelay)
{
    ASSERT_NE(tcpPeer, nullptr);
    form.tcpClient->sendPanel->echo->setChecked(true);
    const qsizetype mark = LineCount();
    tcpPeer->write("ab");
    EXPECT_EQ(UdpPeerReceives(2), QByteArray("ab"));
    EXPECT_EQ(TcpPeerReceives(2), QByteArray("ab"));
    const QStringList texts = TextsSince(mark);
    const qsizetype echo = texts.indexOf(QStringLiteral("TCP Client发送文本数据2字节："));
    const qsizetype relay = texts.indexOf(QStringLiteral("UDP Server发送HEX数据2字节："));
    ASSERT_GE(echo, 0);
    ASSERT_GE(relay, 0);
    EXPECT_LT(echo, relay);
}

TEST_F(RelayTest, ToATcpServerWithoutASelectedClientNothingIsForwarded)
{
    form.chkRelay->setChecked(false);
    form.cbbConnA->setCurrentIndex(UDPC);
    form.cbbConnB->setCurrentIndex(TCPS);
    form.chkRelay->setChecked(true);
    form.tcpServer->edtTCPPort->setText(QString::number(FreePort(true)));
    form.tcpServer->chkTCPSrv->setChecked(true);

    const qsizetype mark = LineCount();
    udpPeer.writeDatagram("drop", QHostAddress::LocalHost, form.UdpClient().NMUDP2.localPort());
    ASSERT_TRUE(WaitFor([&] { return TextsSince(mark).contains(QStringLiteral("drop")); }));
    Settle(50);
    EXPECT_EQ(TextsSince(mark).size(), 2);  // header and data, nothing for the drop
    EXPECT_EQ(form.Counters()[TCPS].txFrames, 0);
}

TEST_F(RelayTest, EqualEndpointsAreRefused)
{
    form.chkRelay->setChecked(false);
    form.cbbConnB->setCurrentIndex(TCPC);
    form.chkRelay->click();
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("转发双方不能相同")});
    EXPECT_FALSE(form.chkRelay->isChecked());
}

}  // namespace
