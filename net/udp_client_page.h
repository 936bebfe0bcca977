#pragma once

#include "send/channel_page.h"
#include "send/send_target.h"

#include <QUdpSocket>

class QCheckBox;
class QGroupBox;
class QHostAddress;
class QLabel;
class QLineEdit;
class IndicatorShape;
class NameResolver;
class ReceivePipeline;

// The "UDP客户端" page: sends datagrams to one remote endpoint from a chosen
// local port and shows what arrives on that port while enabled.
class UdpClientPage : public ChannelPage, public SendTarget
{
    Q_OBJECT

public:
    UdpClientPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    // Binds a port of the system's choosing, delivering what arrives.
    void Start() override;
    // One datagram to the remote endpoint of the last enable; throws with the
    // user's message when it cannot be sent.
    WriteResult Write(const QByteArray& payload) override;
    void Shutdown() override;

    // Replaces the system's name lookup of the remote host.
    void SetNameResolver(NameResolver* resolver) { resolver_ = resolver; }

    // Check-box action (also on changes by code).
    void chkUDPClientClick();
    // One datagram from `fromIp` at `port`.
    void NMUDP2DataReceived(const QByteArray& data, quint16 port, const QString& fromIp);

    QString RemoteHost() const { return remoteHost_; }
    quint16 RemotePort() const { return remotePort_; }
    bool Delivering() const { return delivery_; }

    QGroupBox* GroupBox6;
    QLabel* Label3;
    QLineEdit* edtUDPClientRemoteHost;
    QLabel* Label7;
    QLineEdit* edtUDPClientRemotePort;
    QLabel* Label4;
    QLineEdit* edtUDPClientLocalPort;
    QCheckBox* chkUDPClient;
    IndicatorShape* ShapeUDPClient;
    SendPanel* sendPanel;
    QUdpSocket NMUDP2;

private:
    void ReadDatagrams();
    QHostAddress ResolveRemote();

    ReceivePipeline& pipeline_;
    NameResolver* resolver_;
    QString remoteHost_ = QStringLiteral("127.0.0.1");
    quint16 remotePort_ = 0;
    bool delivery_ = true;
};
