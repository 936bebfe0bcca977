// The TCP server and TCP client channels relaying to each other through the
// real receive pipeline, send dispatcher and relay, with no window at all:
// a peer connected to the server on one side, a peer server the client
// connects to on the other, all on 127.0.0.1.
#include "core/channel_counters.h"
#include "data/display_line_store.h"
#include "data/receive_pipeline.h"
#include "net/tcp_client_channel.h"
#include "net/tcp_server_channel.h"
#include "send/relay.h"
#include "send/send_dispatcher.h"
#include "tests/net/channel_test_support.h"
#include "tests/net/fake_name_resolver.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

struct FixedRelaySettings : RelaySettings
{
    bool on = true;
    int a = TCPS;
    int b = TCPC;

    bool RelayOn() const override { return on; }
    int EndpointA() const override { return a; }
    int EndpointB() const override { return b; }
};

class TcpChannelsRelayTest : public ::testing::Test
{
protected:
    TcpChannelsRelayTest()
    {
        pipeline.SetEcho(&dispatcher);
        pipeline.SetRelay(&relay);
        dispatcher.SetTarget(TCPS, &server);
        dispatcher.SetTarget(TCPC, &client);
        server.SetNameResolver(&resolver);
        client.SetNameResolver(&resolver);

        serverPort = FreePort(true);
        server.Switch(true, QString::number(serverPort));
        serverPeer.connectToHost(QHostAddress::LocalHost, serverPort);
        WaitFor([&] { return server.Clients().size() == 1; });

        clientPeerServer.listen(QHostAddress::LocalHost, 0);
        client.SetServerFields(QStringLiteral("127.0.0.1"), QString::number(clientPeerServer.serverPort()));
        client.Switch(true);
        WaitFor([&] { return clientPeerServer.hasPendingConnections() && client.IsOpen(); });
        clientPeer = clientPeerServer.nextPendingConnection();
    }
    ~TcpChannelsRelayTest() override
    {
        server.Shutdown();
        client.Shutdown();
    }

    struct Line
    {
        QString text;
        LineColor color;
        bool operator==(const Line&) const = default;
    };

    // The display's lines from `mark` on, without their time stamps.
    std::vector<Line> LinesSince(qsizetype mark) const
    {
        std::vector<Line> lines;
        for (qsizetype i = mark; i < display.LineCount(); ++i)
            lines.push_back({WithoutTimeStamp(display.At(i).text), display.At(i).color});
        return lines;
    }

    static QByteArray Receive(QTcpSocket* peer, qsizetype size)
    {
        QByteArray received;
        WaitFor([&] {
            received += peer->readAll();
            return received.size() >= size;
        });
        return received;
    }

    MessageRecorder messages;
    FakeNameResolver resolver;
    FakeReceiveOptions options;
    FixedRelaySettings relaySettings;
    ChannelCounters counters;
    DisplayLineStore display;
    ReceivePipeline pipeline{options, display, counters, {}};
    SendDispatcher dispatcher{pipeline, options, counters, [] {}};
    Relay relay{relaySettings, dispatcher};
    TcpServerChannel server{pipeline};
    TcpClientChannel client{pipeline};
    quint16 serverPort = 0;
    QTcpSocket serverPeer;
    QTcpServer clientPeerServer;
    QTcpSocket* clientPeer = nullptr;
};

TEST_F(TcpChannelsRelayTest, ChunksCrossBothWaysAndTheDisplayTellsTheirStory)
{
    ASSERT_NE(clientPeer, nullptr);
    const QString serverPeerText = QStringLiteral("127.0.0.1:%1").arg(serverPeer.localPort());
    EXPECT_EQ(LinesSince(0), (std::vector<Line>{
                                 {QStringLiteral("TCP Server 正在监听%1端口").arg(serverPort), kWindowText},
                                 {serverPeerText + QStringLiteral("  已连接"), kWindowText},
                                 {QStringLiteral("TCP Client已连接服务端"), kWindowText},
                             }));

    qsizetype mark = display.LineCount();
    serverPeer.write("ab");
    EXPECT_EQ(Receive(clientPeer, 2), QByteArray("ab"));
    EXPECT_EQ(LinesSince(mark), (std::vector<Line>{
                                    {QStringLiteral("TCP服务器[%1]接收2字节: ").arg(serverPeerText), kBlack},
                                    {QStringLiteral("ab"), kBlue},
                                    {QStringLiteral("TCP Client发送HEX数据2字节："), kBlack},
                                    {QStringLiteral("61 62 "), kBlue},
                                }));

    mark = display.LineCount();
    clientPeer->write(QByteArray("\x00\xFF", 2));
    EXPECT_EQ(Receive(&serverPeer, 2), QByteArray("\x00\xFF", 2));
    const std::vector<Line> back = LinesSince(mark);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[0], (Line{QStringLiteral("TCP客户端[127.0.0.1:%1]接收2字节: ").arg(clientPeerServer.serverPort()),
                             kBlack}));
    // Chunks alternate their colour so that neighbours stay apart.
    EXPECT_EQ(back[1].color, kBlueAlternate);
    EXPECT_EQ(back[2], (Line{QStringLiteral("TCP Server发送HEX数据2字节："), kBlack}));
    EXPECT_EQ(back[3], (Line{QStringLiteral("00 FF "), kBlue}));

    EXPECT_EQ(counters[TCPS].rxBytes, 2);
    EXPECT_EQ(counters[TCPS].txBytes, 2);
    EXPECT_EQ(counters[TCPC].rxBytes, 2);
    EXPECT_EQ(counters[TCPC].txBytes, 2);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(TcpChannelsRelayTest, ALargeStreamArrivesWholeAndInOrder)
{
    ASSERT_NE(clientPeer, nullptr);
    options.sendInfo = false;
    const QByteArray stream = Pattern(1024 * 1024, 5);
    serverPeer.write(stream);
    EXPECT_TRUE(Receive(clientPeer, stream.size()) == stream);
    EXPECT_EQ(counters[TCPS].rxBytes, stream.size());
    EXPECT_EQ(counters[TCPC].txBytes, stream.size());
    EXPECT_EQ(counters[TCPS].rxFrames, counters[TCPC].txFrames);
}

}  // namespace
