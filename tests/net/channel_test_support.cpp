#include "tests/net/channel_test_support.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>

#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

void Settle(int ms)
{
    QTest::qWait(ms);
}

quint16 FreePort(bool tcp)
{
    if (tcp) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

QByteArray Pattern(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

QString WithoutTimeStamp(const QString& line)
{
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 {4}"));
    return QString(line).remove(stamp);
}

namespace {

void SetSmallBuffers(int descriptor)
{
    const int size = RawTcpPeer::kBufferBytes;
    setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    setsockopt(descriptor, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

sockaddr_in Loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

}  // namespace

RawTcpPeer::~RawTcpPeer()
{
    Close();
    if (listening_ >= 0)
        ::close(listening_);
}

quint16 RawTcpPeer::Listen()
{
    listening_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // Set before listening, so that accepted connections start with them.
    SetSmallBuffers(listening_);
    sockaddr_in address = Loopback(0);
    bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listening_, 1);
    socklen_t size = sizeof address;
    getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

bool RawTcpPeer::Accept(int timeoutMs)
{
    return WaitFor(
        [&] {
            connection_ = accept4(listening_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            return connection_ >= 0;
        },
        timeoutMs);
}

bool RawTcpPeer::Connect(quint16 port, int timeoutMs)
{
    connection_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    SetSmallBuffers(connection_);
    const sockaddr_in address = Loopback(port);
    if (::connect(connection_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS)
        return false;
    return WaitFor(
        [&] {
            pollfd ready{connection_, POLLOUT, 0};
            return poll(&ready, 1, 0) == 1 && (ready.revents & POLLOUT);
        },
        timeoutMs);
}

quint16 RawTcpPeer::LocalPort() const
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(connection_, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

qint64 RawTcpPeer::SendSome(const QByteArray& data, qint64 offset)
{
    const ssize_t sent = send(connection_, data.constData() + offset, static_cast<size_t>(data.size() - offset),
                              MSG_NOSIGNAL | MSG_DONTWAIT);
    return sent < 0 ? 0 : sent;
}

QByteArray RawTcpPeer::ReadWaiting()
{
    QByteArray all;
    char buffer[65536];
    for (;;) {
        const ssize_t received = recv(connection_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received <= 0)
            return all;
        all.append(buffer, received);
    }
}

QByteArray RawTcpPeer::ReadUntil(qsizetype size, int timeoutMs)
{
    QByteArray all;
    WaitFor(
        [&] {
            all += ReadWaiting();
            return all.size() >= size;
        },
        timeoutMs);
    return all;
}

void RawTcpPeer::Close()
{
    if (connection_ >= 0)
        ::close(connection_);
    connection_ = -1;
}
