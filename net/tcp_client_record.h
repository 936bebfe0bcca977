#pragma once

#include "core/channel_counters.h"
#include "net/tcp_connection.h"

#include <QHostAddress>
#include <QPointer>
#include <QString>

// One client accepted by the TCP server, as listed in its drop-down.
struct TcpClientRecord
{
    CONN_INFO info;                      // connect time and the client's receive traffic
    QPointer<TcpConnection> connection;  // null once the server stopped and released it
    quint64 serial = 0;                  // tells records apart for late lookup answers
    QHostAddress address;
    quint16 port = 0;
    int identifier = 0;  // connection identifier shown in the drop-down
    QString hostName;    // reverse lookup answer, empty until (or unless) it names the host
};
