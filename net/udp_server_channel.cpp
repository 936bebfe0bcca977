#include "net/udp_server_channel.h"

#include "core/message_box.h"
#include "net/datagram_reader.h"
#include "net/name_resolver.h"
#include "net/port_text.h"

#include <QNetworkDatagram>

#include <exception>
#include <netdb.h>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

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
    SetSwitchedOn(true);
    try {
        OpenServer(static_cast<quint16>(localText.toInt()));
    } catch (const std::exception& error) {
        // The box stays checked and the lamp green, as the user set them.
        MessageBox::Show(QString::fromUtf8(error.what()));
    }
}

void UdpServerChannel::OpenServer(std::optional<quint16> enablePort)
{
    if (IsListening())
        return;
    if (enablePort) {
        const bool first = !bindingPort_.has_value();
        bindingPort_ = enablePort;
        // The very first enable on port 0 finds no binding to open; later
        // ones bind a port of the system's choosing.
        if (first && *enablePort == 0)
            Fail(kNoBindings);
    }
    if (!bindingPort_)
        Fail(kNoBindings);
    IdUDPServer1.close();
    // Not shared: a port another program holds must make this bind fail.
    if (IdUDPServer1.bind(QHostAddress(QHostAddress::AnyIPv4), *bindingPort_, QAbstractSocket::DontShareAddress))
        return;
    if (IdUDPServer1.error() == QAbstractSocket::AddressInUseError)
        Fail(QStringLiteral("Could not bind socket. Address and port are already in use."));
    Fail(IdUDPServer1.errorString());
}

void UdpServerChannel::ReadDatagrams()
{
    ReadPendingDatagrams(IdUDPServer1, [this](const QNetworkDatagram& datagram) {
        IdUDPServer1UDPRead(datagram.data(), datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
        return IsListening();
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
    const QHostAddress found = PreferredAddress(resolver_->LookupAddressesWaiting(host));
    if (found.isNull())
        Fail(QStringLiteral("Socket Error # %1\n%2").arg(HOST_NOT_FOUND).arg(QString::fromLocal8Bit(hstrerror(HOST_NOT_FOUND))));
    return found;
}

SendTarget::WriteResult UdpServerChannel::Write(const QByteArray& payload)
{
    const QString host = remoteHostText_.trimmed();
    bool ok = false;
    const int port = remotePortText_.toInt(&ok);
    if (!ok)
        Fail(NotAnIntegerText(remotePortText_));
    OpenServer(std::nullopt);
    if (payload.size() > kMaxUdpPayload)
        Fail(QStringLiteral("Package Size Too Big."));

    const bool broadcast = host.isEmpty() || host == QLatin1String("255.255.255.255");
    const QHostAddress target = broadcast ? QHostAddress(QHostAddress::Broadcast) : ResolveTarget(host);
    const qint64 sent = IdUDPServer1.writeDatagram(payload, target, static_cast<quint16>(port));
    if (sent < 0)
        Fail(IdUDPServer1.errorString());
    if (sent != payload.size())
        Fail(QStringLiteral("Not all bytes sent."));
    return {payload.size(), broadcast};
}

void UdpServerChannel::Shutdown()
{
    IdUDPServer1.close();
}
