#pragma once

#include <QHostAddress>

#include <sys/socket.h>

// An IPv4 or IPv6 address and port in the form the socket calls take.
class SocketAddress
{
public:
    SocketAddress() = default;
    SocketAddress(const QHostAddress& host, quint16 port);

    // The local or peer address of a socket; empty when the call fails.
    static SocketAddress LocalOf(int descriptor);
    static SocketAddress PeerOf(int descriptor);

    int Family() const { return storage_.ss_family; }
    const sockaddr* Data() const { return reinterpret_cast<const sockaddr*>(&storage_); }
    socklen_t Size() const { return size_; }

    QHostAddress Host() const;
    quint16 Port() const;

private:
    sockaddr_storage storage_{};
    socklen_t size_ = 0;
};
