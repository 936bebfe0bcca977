#pragma once

#include <QtGlobal>

#include <functional>

class QNetworkDatagram;
class QUdpSocket;

// The largest payload of one UDP datagram over IPv4.
constexpr qint64 kMaxUdpPayload = 65507;

// Reads what a readable notification of `socket` announced, one whole
// datagram at a time in arrival order, handing each to `handle` (which
// returns false to stop, for example when it closed the socket).
//
// A receive that fails (such as the report of an earlier send to a closed
// port that some systems deliver) drops that report and keeps the socket
// listening: every notification re-arms the socket, and pending error
// reports are discarded so they cannot raise notifications without end.
void ReadPendingDatagrams(QUdpSocket& socket, const std::function<bool(const QNetworkDatagram&)>& handle);
