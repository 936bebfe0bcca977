#include "net/is_port_in_use.h"
#include "net/name_resolver.h"
#include "net/port_text.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace {

TEST(ReadPortTest, OnlyTextsNamingAPortAreRead)
{
    const struct
    {
        const char* behaviour;
        const char* text;
        int port;             // -1: refused
        const char* refusal;  // empty when read
    } rows[] = {
        {"the lowest port", "0", 0, ""},
        {"a usual port", "10008", 10008, ""},
        {"the highest port", "65535", 65535, ""},
        {"leading zeros", "00080", 80, ""},
        {"one past the highest port is not wrapped", "65536", -1, "'65536' is not a valid port (0 to 65535)"},
        {"a five-digit port above the range", "70000", -1, "'70000' is not a valid port (0 to 65535)"},
        {"a negative number", "-1", -1, "'-1' is not a valid port (0 to 65535)"},
        {"a number too large for any integer", "99999999999999999999", -1,
         "'99999999999999999999' is not a valid integer value"},
        {"letters", "abc", -1, "'abc' is not a valid integer value"},
        {"letters after digits", "12ab", -1, "'12ab' is not a valid integer value"},
        {"an empty text", "", -1, "'' is not a valid integer value"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        const PortReading reading = ReadPort(QString::fromUtf8(row.text));
        EXPECT_EQ(reading.Ok(), row.port >= 0);
        EXPECT_EQ(reading.refusal, QString::fromUtf8(row.refusal));
        if (row.port >= 0) {
            EXPECT_EQ(reading.port, row.port);
        }
    }
}

TEST(IsPortInUseTest, OnlyLiveSocketsHoldAPort)
{
    QTcpServer tcpLoopback;
    ASSERT_TRUE(tcpLoopback.listen(QHostAddress::LocalHost, 0));
    QTcpServer tcpAnyAddress;
    ASSERT_TRUE(tcpAnyAddress.listen(QHostAddress::AnyIPv4, 0));
    QUdpSocket udpBound;
    ASSERT_TRUE(udpBound.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));

    // A port whose only trace is a closed connection lingering in TIME_WAIT.
    QTcpServer closing;
    ASSERT_TRUE(closing.listen(QHostAddress::LocalHost, 0));
    const quint16 lingering = closing.serverPort();
    {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, lingering);
        ASSERT_TRUE(QTest::qWaitFor([&] { return closing.hasPendingConnections(); }, 5000));
        QTcpSocket* served = closing.nextPendingConnection();
        served->disconnectFromHost();  // the server side closes first: its end lingers
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5000));
        delete served;
    }
    closing.close();

    const struct
    {
        const char* behaviour;
        int port;
        bool tcp;
        int expected;
    } rows[] = {
        {"a TCP listener on 127.0.0.1 holds its port", tcpLoopback.serverPort(), true, 1},
        {"a TCP listener on all addresses holds its port", tcpAnyAddress.serverPort(), true, 1},
        {"ports count modulo 65536", tcpLoopback.serverPort() + 65536, true, 1},
        {"a TIME_WAIT leftover does not hold a port", lingering, true, 0},
        {"a bound UDP socket holds its UDP port", udpBound.localPort(), false, 1},
        {"a TCP listener does not hold the UDP port", tcpAnyAddress.serverPort(), false, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsPortInUse(row.port, row.tcp), row.expected) << row.behaviour;
}

TEST(NameResolverTest, LiteralAddressesNeedNoLookup)
{
    const struct
    {
        const char* host;
        const char* expected;  // empty: a name to look up
    } rows[] = {
        {"127.0.0.1", "127.0.0.1"}, {"::1", "::1"}, {"192.0.2.10", "192.0.2.10"},
        {"localhost", ""},          {"", ""},       {"server.test", ""},
    };
    for (const auto& row : rows) {
        const QHostAddress address = LiteralAddress(QString::fromUtf8(row.host));
        EXPECT_EQ(address.isNull() ? QString() : address.toString(), QString::fromUtf8(row.expected)) << row.host;
    }
    EXPECT_EQ(PreferredAddress({QHostAddress(QStringLiteral("::1")), QHostAddress(QStringLiteral("127.0.0.1"))}),
              QHostAddress(QStringLiteral("127.0.0.1")));
    EXPECT_EQ(PreferredAddress({QHostAddress(QStringLiteral("::1"))}), QHostAddress(QStringLiteral("::1")));
    EXPECT_TRUE(PreferredAddress({}).isNull());
}

// The system's reverse lookup of 127.0.0.1, answered from the hosts file.
// Skipped where that file does not name the address, since the question
// would then go out to a name server.
TEST(NameResolverTest, SystemReverseLookupAnswersLaterWithTheHostsFileName)
{
    QFile hosts(QStringLiteral("/etc/hosts"));
    QFile nsswitch(QStringLiteral("/etc/nsswitch.conf"));
    if (!hosts.open(QIODevice::ReadOnly) || !nsswitch.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no /etc/hosts or /etc/nsswitch.conf to answer from";
    QString name;
    for (const QByteArray& line : hosts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[0] == "127.0.0.1") {
            name = QString::fromLatin1(fields[1]);
            break;
        }
    }
    bool filesFirst = false;
    for (const QByteArray& line : nsswitch.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[0] == "hosts:")
            filesFirst = fields[1] == "files";
    }
    if (name.isEmpty() || !filesFirst)
        GTEST_SKIP() << "the hosts file does not answer for 127.0.0.1 before any name server";

    QObject context;
    bool answered = false;
    QString answer;
    NameResolver::System().LookupName(QHostAddress(QHostAddress::LocalHost), &context, [&](const QString& found) {
        answered = true;
        answer = found;
    });
    EXPECT_FALSE(answered);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 10000));
    EXPECT_EQ(answer, name);
}

}  // namespace
