#include "app/application.h"
#include "net/udp_server_channel.h"
#include "net/udp_server_page.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <string>

namespace {

// Why broadcasts cannot be tried here; empty when they can.
std::string g_noPrivateNetwork;

// Moves this process into a network namespace of its own, with a loopback
// and a pair of virtual interfaces that lead nowhere, so a broadcast stays
// inside the test. Runs before any thread starts.
std::string EnterPrivateNetwork()
{
    if (unshare(CLONE_NEWNET) != 0)
        return std::string("cannot make a network namespace: ") + std::strerror(errno);
    const char* const commands[] = {
        "ip link set lo up",
        "ip link add snbc0 type veth peer name snbc1",
        "ip addr add 192.0.2.1/24 dev snbc0",
        "ip link set snbc0 up",
        "ip link set snbc1 up",
        "ip route add default dev snbc0",
    };
    for (const char* command : commands) {
        const std::string line = std::string("PATH=\"$PATH:/usr/sbin:/sbin\" ") + command + " 2>/dev/null";
        if (std::system(line.c_str()) != 0)
            return std::string("cannot set up the private network: '") + command + "' failed";
    }
    return std::string();
}

class UdpBroadcastTest : public NetFormTest
{
protected:
    void SetUp() override
    {
        if (!g_noPrivateNetwork.empty())
            GTEST_SKIP() << "broadcast check skipped: " << g_noPrivateNetwork;
    }
};

TEST_F(UdpBroadcastTest, BlankOrAllOnesHostBroadcastsToTheRemotePort)
{
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::AnyIPv4, 0));
    UdpServerPage& server = *form.udpServer;
    server.edtLocalPort->setText(QString::number(FreePort(false)));
    server.chkUDPSrv->setChecked(true);
    ASSERT_TRUE(form.UdpServer().IsListening());

    const struct
    {
        const char* behaviour;
        const char* host;
        bool hex;
        QByteArray payload;
        QByteArray expected;
        const char* infoLine;
    } rows[] = {
        {"blank host, hex", "   ", true, "11 22 33", "\x11\x22\x33", "UDP Server广播HEX数据3字节："},
        {"all-ones host, hex", "255.255.255.255", true, "41", "A", "UDP Server广播HEX数据1字节："},
        {"empty host, text", "", false, "hi", "hi", "UDP Server广播文本数据2字节："},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        server.edtUDPRemoteHost->setText(QString::fromUtf8(row.host));
        server.edtUDPRemotePort->setText(QString::number(listener.localPort()));
        const qsizetype mark = LineCount();
        form.SendToChannel(row.payload, UDPS, row.hex);

        ASSERT_TRUE(WaitFor([&] { return listener.hasPendingDatagrams(); }));
        EXPECT_EQ(listener.receiveDatagram().data(), row.expected);
        const QStringList texts = TextsSince(mark);
        ASSERT_FALSE(texts.isEmpty());
        EXPECT_EQ(texts.first(), QString::fromUtf8(row.infoLine));
        EXPECT_EQ(form.DisplayLines().At(mark).color, kBlack);
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

}  // namespace

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    if (!listing)
        g_noPrivateNetwork = EnterPrivateNetwork();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
