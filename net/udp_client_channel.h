#pragma once

#include "send/channel.h"

#include <QUdpSocket>

class QHostAddress;
class NameResolver;

// The UDP client (UDPC): sends datagrams to one remote endpoint from a chosen
// local port and delivers what arrives on that port while switched on. Its
// page follows its signals.
class UdpClientChannel : public Channel
{
    Q_OBJECT

public:
    explicit UdpClientChannel(ReceiveSink& sink, QObject* parent = nullptr);

    // Binds a port of the system's choosing, delivering what arrives.
    void Start() override;

    // "启用" set to `on`, with the texts of the local port, remote host and
    // remote port fields. On takes the remote endpoint and rebinds; a port
    // text that is no port, or a local port another program holds, is
    // refused with a message box and leaves the channel as it was, off.
    void Switch(bool on, const QString& localPortText, const QString& remoteHostText,
                const QString& remotePortText);
    bool IsSwitchedOn() const { return switchedOn_; }
    // One datagram from `fromIp` at `port`.
    void NMUDP2DataReceived(const QByteArray& data, quint16 port, const QString& fromIp);

    QString RemoteHost() const { return remoteHost_; }
    quint16 RemotePort() const { return remotePort_; }
    bool Delivering() const { return delivery_; }

    // Replaces the system's name lookup of the remote host.
    void SetNameResolver(NameResolver* resolver) { resolver_ = resolver; }

    // One datagram to the remote endpoint of the last enable. A user's
    // mistake (no bytes, an oversized datagram, an unknown host) is Refused
    // with its message; a datagram the system refuses (such as one to port 0
    // before the first enable) is Failed with a line naming the reason.
    WriteResult Write(const QByteArray& payload) override;
    void Shutdown() override;

    // Stops and resumes reading datagrams. Those the kernel cannot hold
    // meanwhile are dropped, as the network may drop any datagram.
    void SetReceivePaused(bool paused) override;

    QUdpSocket NMUDP2;

signals:
    // The state "启用" and the lamp must show.
    void SwitchChanged(bool on);

private:
    void ReadDatagrams();
    void SetSwitchedOn(bool on);
    // Binds a new socket at `port`; on failure the old binding is restored
    // and the user's message returned.
    QString Rebind(quint16 port);
    QHostAddress ResolveRemote();

    NameResolver* resolver_;
    QString remoteHost_ = QStringLiteral("127.0.0.1");
    quint16 remotePort_ = 0;
    bool delivery_ = true;
    bool switchedOn_ = false;
    bool receivePaused_ = false;
};
