#pragma once

#include <QByteArrayView>
#include <QString>

class QHostAddress;
class QUdpSocket;

// Sends `data` as one datagram from `socket` to `host` at `port`. Returns 0
// when the system took it, otherwise the error number, so that a datagram
// the system refuses (port 0, an address of another family) is reported with
// the system's reason instead of being counted as sent.
int SendDatagram(const QUdpSocket& socket, QByteArrayView data, const QHostAddress& host, quint16 port);

// Binds `socket` to all local IPv4 addresses at `port`, not shared, so that a
// port another program holds makes the bind fail. Returns the message the
// user sees when it fails, empty when it is bound.
QString BindDatagramSocket(QUdpSocket& socket, quint16 port);
