#include "net/socket_address.h"

#include <cstring>
#include <netinet/in.h>

SocketAddress::SocketAddress(const QHostAddress& host, quint16 port)
{
    if (host.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage_);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = host.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        in6->sin6_scope_id = host.scopeId().toUInt();
        size_ = sizeof(sockaddr_in6);
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage_);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(host.toIPv4Address());
        size_ = sizeof(sockaddr_in);
    }
}

SocketAddress SocketAddress::LocalOf(int descriptor)
{
    SocketAddress address;
    address.size_ = sizeof address.storage_;
    if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&address.storage_), &address.size_) != 0)
        return SocketAddress();
    return address;
}

SocketAddress SocketAddress::PeerOf(int descriptor)
{
    SocketAddress address;
    address.size_ = sizeof address.storage_;
    if (getpeername(descriptor, reinterpret_cast<sockaddr*>(&address.storage_), &address.size_) != 0)
        return SocketAddress();
    return address;
}

QHostAddress SocketAddress::Host() const
{
    if (size_ == 0)
        return QHostAddress();
    return QHostAddress(Data());
}

quint16 SocketAddress::Port() const
{
    if (storage_.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_port);
    if (storage_.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&storage_)->sin_port);
    return 0;
}
