#include "net/datagram_socket.h"

#include "net/socket_address.h"
#include "net/socket_error_text.h"

#include <QUdpSocket>

#include <cerrno>
#include <sys/socket.h>

int SendDatagram(const QUdpSocket& socket, QByteArrayView data, const QHostAddress& host, quint16 port)
{
    const int descriptor = static_cast<int>(socket.socketDescriptor());
    if (descriptor < 0)
        return EBADF;
    const SocketAddress target(host, port);
    ssize_t sent;
    do {
        sent = sendto(descriptor, data.data(), static_cast<size_t>(data.size()), MSG_NOSIGNAL, target.Data(),
                      target.Size());
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? errno : 0;
}

QString BindDatagramSocket(QUdpSocket& socket, quint16 port)
{
    if (socket.bind(QHostAddress(QHostAddress::AnyIPv4), port, QAbstractSocket::DontShareAddress))
        return QString();
    if (socket.error() == QAbstractSocket::AddressInUseError)
        return QStringLiteral("Could not bind socket. Address and port are already in use.");
    return QStringLiteral("Could not bind socket. %1").arg(socket.errorString());
}
