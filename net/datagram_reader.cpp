#include "net/datagram_reader.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <sys/socket.h>

namespace {

// Empties the socket's pending error and its queue of error reports.
void DiscardPendingErrors(int descriptor)
{
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &size);
    char buffer[512];
    for (int report = 0; report < 64; ++report) {
        msghdr message{};
        iovec part{buffer, sizeof buffer};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        char control[512];
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (recvmsg(descriptor, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
            return;
    }
}

}  // namespace

void ReadPendingDatagrams(QUdpSocket& socket, const std::function<bool(const QNetworkDatagram&)>& handle)
{
    // At least one receive per notification, even when no datagram seems to
    // wait, and always with an explicit size: only such a receive re-arms the
    // socket's notification, also when it fails.
    do {
        const QNetworkDatagram datagram = socket.receiveDatagram(kMaxUdpPayload);
        if (!datagram.isValid()) {
            DiscardPendingErrors(static_cast<int>(socket.socketDescriptor()));
            return;
        }
        if (!handle(datagram))
            return;
    } while (socket.state() == QAbstractSocket::BoundState && socket.hasPendingDatagrams());
}
