#include "net/udp_client_channel.h"

#include "net/datagram_reader.h"
#include "net/name_resolver.h"

#include <QNetworkDatagram>

#include <stdexcept>

UdpClientChannel::UdpClientChannel(ReceiveSink& sink, QObject* parent)
    : Channel(UDPC, sink, parent), resolver_(&NameResolver::System())
{
    NMUDP2.setObjectName(QStringLiteral("NMUDP2"));
    connect(&NMUDP2, &QUdpSocket::readyRead, this, &UdpClientChannel::ReadDatagrams);
}

void UdpClientChannel::Start()
{
    NMUDP2.bind(QHostAddress(QHostAddress::AnyIPv4), 0, QAbstractSocket::DontShareAddress);
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
    if (localText.isEmpty() || host.isEmpty() || remoteText.isEmpty()) {
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
    delivery_ = true;
    remoteHost_ = host;
    remotePort_ = static_cast<quint16>(remoteText.toInt());
    NMUDP2.close();
    // The bind is not checked: on a taken port the socket gets a port of the
    // system's choosing with its first send.
    NMUDP2.bind(QHostAddress(QHostAddress::AnyIPv4), static_cast<quint16>(localText.toInt()),
                QAbstractSocket::DontShareAddress);
    SetSwitchedOn(true);
}

void UdpClientChannel::ReadDatagrams()
{
    // While delivery is off, datagrams are still read, and thrown away.
    ReadPendingDatagrams(NMUDP2, [this](const QNetworkDatagram& datagram) {
        if (delivery_ && !datagram.data().isEmpty())
            NMUDP2DataReceived(datagram.data(), static_cast<quint16>(datagram.senderPort()),
                               datagram.senderAddress().toString());
        return true;
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
    throw std::runtime_error("Host Lookup Canceled");
}

SendTarget::WriteResult UdpClientChannel::Write(const QByteArray& payload)
{
    if (payload.isEmpty())
        throw std::runtime_error("Invalid buffer");
    // Such a datagram can never be sent; counting it as sent would hide that.
    if (payload.size() > kMaxUdpPayload)
        throw std::runtime_error("Package Size Too Big.");
    const QHostAddress target = ResolveRemote();
    NMUDP2.writeDatagram(payload, target, remotePort_);
    return {payload.size()};
}

void UdpClientChannel::Shutdown()
{
    NMUDP2.close();
}
