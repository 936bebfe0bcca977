#include "net/tcp_connection.h"
#include "net/tcp_listener.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <cerrno>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

QByteArray Pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// A free port on 127.0.0.1 at the time of asking.
quint16 FreePort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(probe);
    return ntohs(address.sin_port);
}

// A connected pair made of this layer's own parts: a listener and a
// connection to it over 127.0.0.1.
class TcpConnectionTest : public ::testing::Test
{
protected:
    TcpConnectionTest()
    {
        QObject::connect(&listener, &TcpListener::NewConnection, [this](TcpConnection* connection) {
            connection->setParent(nullptr);
            accepted.reset(connection);
        });
    }

    void ConnectPair()
    {
        listener.Close();
        accepted.reset();
        ASSERT_EQ(listener.Listen(port, [] {}), QString());
        client = std::make_unique<TcpConnection>();
        QSignalSpy connected(client.get(), &TcpConnection::Connected);
        client->ConnectTo(QHostAddress::LocalHost, port);
        EXPECT_EQ(connected.count(), 0);  // reported later, never inside the call
        ASSERT_TRUE(WaitFor([&] { return connected.count() == 1 && accepted; }));
        EXPECT_TRUE(client->IsConnected());
        EXPECT_EQ(client->PeerPort(), port);
        EXPECT_EQ(accepted->PeerPort(), client->LocalPort());
        EXPECT_EQ(accepted->PeerAddress(), QHostAddress(QHostAddress::LocalHost));
    }

    // Reads everything `connection` receives until `size` bytes are in.
    static QByteArray ReadAll(TcpConnection& connection, qsizetype size, int timeoutMs = 20000)
    {
        QByteArray received;
        auto reader = QObject::connect(&connection, &TcpConnection::ReadyRead, [&] {
            const QByteArray chunk = connection.Read(connection.BytesAvailable());
            EXPECT_LE(chunk.size(), TcpConnection::kMaxChunk);
            received += chunk;
        });
        WaitFor([&] { return received.size() >= size; }, timeoutMs);
        QObject::disconnect(reader);
        return received;
    }

    quint16 port = FreePort();
    TcpListener listener;
    std::unique_ptr<TcpConnection> accepted;
    std::unique_ptr<TcpConnection> client;
};

TEST_F(TcpConnectionTest, WritesBeyondWhatTheNetworkTakesAreQueuedAndDrainedInOrder)
{
    ConnectPair();

    constexpr qsizetype kTotal = 24 * 1024 * 1024;
    const QByteArray payload = Pattern(kTotal);
    // Three writes while the peer reads nothing: each is taken whole.
    for (int part = 0; part < 3; ++part)
        EXPECT_EQ(client->Write(QByteArrayView(payload).sliced(part * kTotal / 3, kTotal / 3)), kTotal / 3);
    EXPECT_GT(client->QueuedBytes(), 0);

    const QByteArray received = ReadAll(*accepted, kTotal);
    EXPECT_EQ(received.size(), kTotal);
    EXPECT_TRUE(received == payload);
    EXPECT_TRUE(WaitFor([&] { return client->QueuedBytes() == 0; }));
}

TEST_F(TcpConnectionTest, OrderlyCloseAndResetAreToldApart)
{
    const struct
    {
        const char* behaviour;
        bool reset;
    } rows[] = {{"an orderly close is a disconnect without error", false},
                {"a reset is an error that leaves the connection broken until a write fails", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        ConnectPair();

        QSignalSpy errors(client.get(), &TcpConnection::ErrorOccurred);
        QSignalSpy disconnects(client.get(), &TcpConnection::Disconnected);
        if (row.reset) {
            const linger abortive{1, 0};
            setsockopt(accepted->Descriptor(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        }
        accepted->Abort();

        if (!row.reset) {
            ASSERT_TRUE(WaitFor([&] { return disconnects.count() == 1; }));
            EXPECT_EQ(errors.count(), 0);
            EXPECT_EQ(client->Write("x"), -1);
            EXPECT_EQ(client->WriteError(), ENOTCONN);
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return errors.count() == 1; }));
        EXPECT_EQ(errors[0][0].toInt(), TcpConnection::kDisconnect);
        EXPECT_EQ(errors[0][1].toInt(), ECONNRESET);
        EXPECT_TRUE(client->IsBroken());
        QTest::qWait(50);
        EXPECT_EQ(disconnects.count(), 0);

        // The failed write tells its caller why; the close follows from the
        // event loop, after the caller has reported the failure.
        EXPECT_EQ(client->Write("x"), -1);
        EXPECT_EQ(client->WriteError(), EPIPE);
        EXPECT_EQ(errors.count(), 1);
        EXPECT_EQ(disconnects.count(), 0);
        EXPECT_FALSE(client->IsBroken());
        EXPECT_EQ(client->Write("y"), -1);
        EXPECT_EQ(client->WriteError(), EPIPE);
        ASSERT_TRUE(WaitFor([&] { return disconnects.count() == 1; }));
        EXPECT_EQ(errors.count(), 1);
    }
}

TEST_F(TcpConnectionTest, RefusedConnectIsReportedLaterAsAConnectError)
{
    client = std::make_unique<TcpConnection>();
    QSignalSpy errors(client.get(), &TcpConnection::ErrorOccurred);
    QSignalSpy connected(client.get(), &TcpConnection::Connected);
    client->ConnectTo(QHostAddress::LocalHost, port);
    EXPECT_EQ(errors.count(), 0);
    ASSERT_TRUE(WaitFor([&] { return errors.count() == 1; }));
    EXPECT_EQ(errors[0][0].toInt(), TcpConnection::kConnect);
    EXPECT_EQ(errors[0][1].toInt(), ECONNREFUSED);
    EXPECT_EQ(connected.count(), 0);
    EXPECT_FALSE(client->IsConnected());
}

TEST_F(TcpConnectionTest, ReadyReadIsNotReenteredWhileItsHandlerRuns)
{
    ConnectPair();

    int depth = 0;
    int deepest = 0;
    QByteArray received;
    QObject::connect(accepted.get(), &TcpConnection::ReadyRead, [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        received += accepted->Read(accepted->BytesAvailable());
        // A handler that handles events, as the dispatcher's open wait does,
        // while more bytes arrive.
        if (received.size() == 1) {
            client->Write("bc");
            QTest::qWait(50);
        }
        --depth;
    });
    client->Write("a");
    ASSERT_TRUE(WaitFor([&] { return received.size() == 3; }));
    EXPECT_EQ(received, QByteArray("abc"));
    EXPECT_EQ(deepest, 1);
}

TEST(TcpListenerTest, ListenFailureNamesTheCallAndTheSystemError)
{
    TcpListener holder;
    EXPECT_EQ(holder.Listen(0, [] {}), QString());
    ASSERT_TRUE(holder.IsListening());
    // A second listener on a port that a first one holds on all addresses.
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    ASSERT_EQ(listen(probe, 1), 0);
    const quint16 held = ntohs(address.sin_port);

    TcpListener second;
    bool bound = false;
    EXPECT_EQ(second.Listen(held, [&] { bound = true; }),
              QStringLiteral("Windows socket error: Address already in use (98), on API 'bind'"));
    EXPECT_FALSE(bound);
    EXPECT_FALSE(second.IsListening());
    ::close(probe);
}

}  // namespace
