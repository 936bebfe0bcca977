#include "net/udp_server_channel.h"

#include "core/message_box.h"
#include "net/datagram_reader.h"
#include "net/datagram_socket.h"
#include "net/name_resolver.h"
#include "net/port_text.h"
#include "net/socket_error_text.h"

#include <QNetworkDatagram>

#include <netdb.h>

namespace {

const QString kNoBindings = QStringLiteral("No bindings specified.");

}  // namespace

UdpServerChannel::UdpServerChannel(ReceiveSink& sink, QObject* parent)
    : Channel(UDPS, sink, parent), resolver_(&NameResolver::System())
{
    IdUDPServer1.setObjectName(QStringLiteral("IdUDPServer1"));
    connect(&IdUDPServer1, &QUdpSocket::readyRead, this, &UdpServerChannel::ReadDatagrams);
}

void UdpServerChannel::SetRemoteFields(const QString& hostText, const QString& portText)
{
    remoteHostText_ = hostText;
    remotePortText_ = portText;
}

void UdpServerChannel::SetSwitchedOn(bool on)
{
    switchedOn_ = on;
    emit SwitchChanged(on);
}

void UdpServerChannel::Switch(bool on, const QString& localPortText)
{
    const QString localText = localPortText.trimmed();
    if (localText.isEmpty() || remotePortText_.trimmed().isEmpty()) {
        // The server stays as it is, open or closed.
        SetSwitchedOn(false);
        return;
    }
    if (!on) {
        IdUDPServer1.close();
        SetSwitchedOn(false);
        return;
    }
    const PortReading port = ReadPort(localText);
    QString refusal = port.refusal;
    if (port.Ok())
        refusal = OpenServer(port.port);
    if (!refusal.isEmpty()) {
        // Nothing listens: the box and the lamp say so.
        MessageBox::Show(refusal);
        SetSwitchedOn(false);
        return;
    }
    SetSwitchedOn(true);
}

QString UdpServerChannel::OpenServer(std::optional<quint16> enablePort)
{
    if (IsListening())
        return QString();
    if (enablePort) {
        const bool first = !bindingPort_.has_value();
        bindingPort_ = enablePort;
        // The very first enable on port 0 finds no binding to open; later
        // ones bind a port of the system's choosing.
        if (first && *enablePort == 0)
            return kNoBindings;
    }
    if (!bindingPort_)
        return kNoBindings;
    IdUDPServer1.close();
    return BindDatagramSocket(IdUDPServer1, *bindingPort_);
}

void UdpServerChannel::SetReceivePaused(bool paused)
{
    receivePaused_ = paused;
    if (paused)
        return;
    // The socket announces datagrams again only once one is read: read what
    // waited meanwhile, from the event loop rather than inside the caller.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!receivePaused_ && IsListening() && IdUDPServer1.hasPendingDatagrams())
                ReadDatagrams();
        },
        Qt::QueuedConnection);
}

void UdpServerChannel::ReadDatagrams()
{
    if (receivePaused_)
        return;
    ReadPendingDatagrams(IdUDPServer1, [this](const QNetworkDatagram& datagram) {
        IdUDPServer1UDPRead(datagram.data(), datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
        return IsListening() && !receivePaused_;
    });
}

void UdpServerChannel::IdUDPServer1UDPRead(const QByteArray& data, const QHostAddress& sender, quint16 senderPort)
{
    if (data.isEmpty())
        return;
    const QString address = sender.toString();
    SetRemoteFields(address, QString::number(senderPort));
    emit RemoteChanged(remoteHostText_, remotePortText_);
    Sink().ProcessReceived(data, QStringLiteral("UDP服务器[%1:%2]").arg(address).arg(senderPort), UDPS);
}

QHostAddress UdpServerChannel::ResolveTarget(const QString& host)
{
    if (host.compare(QLatin1String("LOCALHOST"), Qt::CaseInsensitive) == 0)
        return QHostAddress(QHostAddress::LocalHost);
    const QHostAddress literal = LiteralAddress(host);
    if (!literal.isNull())
        return literal;
    return PreferredAddress(resolver_->LookupAddressesWaiting(host));
}

SendTarget::WriteResult UdpServerChannel::Write(const QByteArray& payload)
{
    const QString host = remoteHostText_.trimmed();
    const PortReading port = ReadPort(remotePortText_);
    if (!port.Ok())
        return WriteResult::Refused(port.refusal);
    const QString closed = OpenServer(std::nullopt);
    if (!closed.isEmpty())
        return WriteResult::Refused(closed);
    if (payload.size() > kMaxUdpPayload)
        return WriteResult::Refused(QStringLiteral("Package Size Too Big."));

    const bool broadcast = host.isEmpty() || host == QLatin1String("255.255.255.255");
    const QHostAddress target = broadcast ? QHostAddress(QHostAddress::Broadcast) : ResolveTarget(host);
    if (target.isNull()) {
        return WriteResult::Refused(
            QStringLiteral("Socket Error # %1\n%2").arg(HOST_NOT_FOUND).arg(HostErrorText(HOST_NOT_FOUND)));
    }
    const int error = SendDatagram(IdUDPServer1, payload, target, port.port);
    if (error != 0) {
        return WriteResult::Failed(
            FailureLine(QStringLiteral("UDP Server发送出错"), target.toString(), port.port, SocketErrorText(error)));
    }
    WriteResult sent;
    sent.count = payload.size();
    sent.broadcast = broadcast;
    return sent;
}

void UdpServerChannel::Shutdown()
{
    IdUDPServer1.close();
}
