#include "net/is_port_in_use.h"

#include "net/socket_address.h"

#include <QHostAddress>

#include <sys/socket.h>
#include <unistd.h>

int IsPortInUse(int port, bool tcp)
{
    const int descriptor = socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return 1;
    if (tcp) {
        // Only a live socket counts: closed connections lingering in TIME_WAIT
        // do not hold the port, while a listener on it still makes bind fail.
        const int on = 1;
        setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    const SocketAddress loopback(QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(port));
    const bool bound = bind(descriptor, loopback.Data(), loopback.Size()) == 0;
    ::close(descriptor);
    return bound ? 0 : 1;
}
