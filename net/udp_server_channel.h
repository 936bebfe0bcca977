#pragma once

#include "send/channel.h"

#include <QUdpSocket>

#include <optional>

class QHostAddress;
class NameResolver;

// The UDP server (UDPS): listens on a local port, delivers every datagram to
// the receive sink and answers the last sender; a blank or 255.255.255.255
// remote host broadcasts. Its page follows its signals.
class UdpServerChannel : public Channel
{
    Q_OBJECT

public:
    explicit UdpServerChannel(ReceiveSink& sink, QObject* parent = nullptr);

    // The remote fields as the page shows them: where sends go. Read at the
    // moment of each send, and overwritten by the sender of each datagram.
    void SetRemoteFields(const QString& hostText, const QString& portText);
    QString RemoteHostText() const { return remoteHostText_; }
    QString RemotePortText() const { return remotePortText_; }

    // "启用" set to `on`, the local port field holding `localPortText`.
    // Refusals show a message box and leave the server switched off.
    void Switch(bool on, const QString& localPortText);
    bool IsSwitchedOn() const { return switchedOn_; }
    // One datagram from `sender` at `senderPort`.
    void IdUDPServer1UDPRead(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);

    bool IsListening() const { return IdUDPServer1.state() == QAbstractSocket::BoundState; }

    // Replaces the system's name lookup of the remote host.
    void SetNameResolver(NameResolver* resolver) { resolver_ = resolver; }

    // Sends one datagram to the remote fields' endpoint, or broadcasts it.
    // Opens a closed server first. A user's mistake (a remote port that is no
    // port, an oversized datagram, an unknown host, no binding to open) is
    // Refused with its message; a datagram the system refuses is Failed with
    // a line naming the target and the system's reason.
    WriteResult Write(const QByteArray& payload) override;
    void Shutdown() override;

    // Stops and resumes reading datagrams. Those the kernel cannot hold
    // meanwhile are dropped, as the network may drop any datagram.
    void SetReceivePaused(bool paused) override;

    QUdpSocket IdUDPServer1;

signals:
    // The state "启用" and the lamp must show.
    void SwitchChanged(bool on);
    // A datagram came from `host` at `port`: the remote fields now hold them.
    void RemoteChanged(const QString& host, const QString& port);

private:
    // Binds the socket unless it is bound. `enablePort` is the port of an
    // enable; a send passes none and reuses the port of the last enable.
    // Returns the user's message when it cannot, empty when listening.
    QString OpenServer(std::optional<quint16> enablePort);
    void ReadDatagrams();
    void SetSwitchedOn(bool on);
    QHostAddress ResolveTarget(const QString& host);

    NameResolver* resolver_;
    QString remoteHostText_;
    QString remotePortText_;
    bool switchedOn_ = false;
    bool receivePaused_ = false;
    std::optional<quint16> bindingPort_;  // none until the first enable
};
