#include "tests/streams/loopback_listener.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in Loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A TCP socket bound to 127.0.0.1 at a port the system picks, and that port.
int BindAnyPort(quint16& port, int flags)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | flags, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        port = 0;
        return fd;
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

LoopbackListener::LoopbackListener() : fd_(BindAnyPort(port_, SOCK_NONBLOCK))
{
    ::listen(fd_, 4);
}

LoopbackListener::~LoopbackListener()
{
    ::close(fd_);
}

int LoopbackListener::TakeConnection()
{
    return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

int LoopbackListener::Connect(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

quint16 LoopbackListener::FreePort()
{
    quint16 port;
    ::close(BindAnyPort(port, 0));
    return port;
}
