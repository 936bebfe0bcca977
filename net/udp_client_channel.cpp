#include "net/udp_client_channel.h"

#include "core/message_box.h"
#include "net/datagram_reader.h"
#include "net/datagram_socket.h"
#include "net/name_resolver.h"
#include "net/port_text.h"
#include "net/socket_error_text.h"

#include <QNetworkDatagram>

UdpClientChannel::UdpClientChannel(ReceiveSink& sink, QObject* parent)
    : Channel(UDPC, sink, parent), resolver_(&NameResolver::System())
{
    NMUDP2.setObjectName(QStringLiteral("NMUDP2"));
    connect(&NMUDP2, &QUdpSocket::readyRead, this, &UdpClientChannel::ReadDatagrams);
}

void UdpClientChannel::Start()
{
    BindDatagramSocket(NMUDP2, 0);
}

void UdpClientChannel::SetSwitchedOn(bool on)
{
    switchedOn_ = on;
    emit SwitchChanged(on);
}

void UdpClientChannel::Switch(bool on, const QString& localPortText, const QString& remoteHostText,
                              const QString& remotePortText)
{
    const QString localText = localPortText.trimmed();
    const QString host = remoteHostText.trimmed();
    const QString remoteText = remotePortText.trimmed();
    // An empty remote port is refused like a port text that is no number, so
    // that the user learns why the box will not stay checked.
    if (localText.isEmpty() || host.isEmpty() || (!on && remoteText.isEmpty())) {
        // Delivery stays as it is.
        SetSwitchedOn(false);
        return;
    }
    if (!on) {
        // The socket stays bound and the channel can still send.
        delivery_ = false;
        SetSwitchedOn(false);
        return;
    }
    const PortReading local = ReadPort(localText);
    const PortReading remote = ReadPort(remoteText);
    QString refusal = local.Ok() ? remote.refusal : local.refusal;
    if (refusal.isEmpty())
        refusal = Rebind(local.port);
    if (!refusal.isEmpty()) {
        // A refused start changes nothing: same socket, same endpoint.
        MessageBox::Show(refusal);
        SetSwitchedOn(false);
        return;
    }
    delivery_ = true;
    remoteHost_ = host;
    remotePort_ = remote.port;
    SetSwitchedOn(true);
}

QString UdpClientChannel::Rebind(quint16 port)
{
    const bool wasBound = NMUDP2.state() == QAbstractSocket::BoundState;
    const quint16 previous = NMUDP2.localPort();
    NMUDP2.close();
    const QString refusal = BindDatagramSocket(NMUDP2, port);
    // Sending from a port of the system's choosing would hide the refusal:
    // the socket goes back to the port it had.
    if (!refusal.isEmpty() && wasBound)
        BindDatagramSocket(NMUDP2, previous);
    return refusal;
}

void UdpClientChannel::SetReceivePaused(bool paused)
{
    receivePaused_ = paused;
    if (paused)
        return;
    // The socket announces datagrams again only once one is read: read what
    // waited meanwhile, from the event loop rather than inside the caller.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!receivePaused_ && NMUDP2.state() == QAbstractSocket::BoundState && NMUDP2.hasPendingDatagrams())
                ReadDatagrams();
        },
        Qt::QueuedConnection);
}

void UdpClientChannel::ReadDatagrams()
{
    if (receivePaused_)
        return;
    // While delivery is off, datagrams are still read, and thrown away.
    ReadPendingDatagrams(NMUDP2, [this](const QNetworkDatagram& datagram) {
        if (delivery_ && !datagram.data().isEmpty())
            NMUDP2DataReceived(datagram.data(), static_cast<quint16>(datagram.senderPort()),
                               datagram.senderAddress().toString());
        return !receivePaused_;
    });
}

void UdpClientChannel::NMUDP2DataReceived(const QByteArray& data, quint16 port, const QString& fromIp)
{
    Sink().ProcessReceived(data, QStringLiteral("UDP[%1:%2]").arg(fromIp).arg(port), UDPC);
}

QHostAddress UdpClientChannel::ResolveRemote()
{
    const QHostAddress literal = LiteralAddress(remoteHost_);
    if (!literal.isNull())
        return literal;
    // A name gets a second chance before the send is given up.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QHostAddress found = PreferredAddress(resolver_->LookupAddressesWaiting(remoteHost_));
        if (!found.isNull())
            return found;
    }
    return QHostAddress();
}

SendTarget::WriteResult UdpClientChannel::Write(const QByteArray& payload)
{
    if (payload.isEmpty())
        return WriteResult::Refused(QStringLiteral("Invalid buffer"));
    // Such a datagram can never be sent; counting it as sent would hide that.
    if (payload.size() > kMaxUdpPayload)
        return WriteResult::Refused(QStringLiteral("Package Size Too Big."));
    const QHostAddress target = ResolveRemote();
    if (target.isNull())
        return WriteResult::Refused(QStringLiteral("Host Lookup Canceled"));
    const int error = SendDatagram(NMUDP2, payload, target, remotePort_);
    if (error != 0) {
        return WriteResult::Failed(
            FailureLine(QStringLiteral("UDP Client发送出错"), target.toString(), remotePort_, SocketErrorText(error)));
    }
    WriteResult sent;
    sent.count = payload.size();
    return sent;
}

void UdpClientChannel::Shutdown()
{
    NMUDP2.close();
}
