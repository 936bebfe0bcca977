#pragma once

#include "send/channel_page.h"
#include "send/send_target.h"

#include <QUdpSocket>

#include <optional>

class QCheckBox;
class QGroupBox;
class QHostAddress;
class QLabel;
class QLineEdit;
class IndicatorShape;
class NameResolver;
class ReceivePipeline;

// The "UDP服务器" page: listens on a local port, shows every datagram and
// answers the last sender; a blank or 255.255.255.255 host broadcasts.
class UdpServerPage : public ChannelPage, public SendTarget
{
    Q_OBJECT

public:
    UdpServerPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    // Sends one datagram to the remote fields' endpoint, or broadcasts it.
    // Opens a closed server first; throws with the user's message when it
    // cannot send.
    WriteResult Write(const QByteArray& payload) override;
    void Shutdown() override;

    // Replaces the system's name lookup of the remote host.
    void SetNameResolver(NameResolver* resolver) { resolver_ = resolver; }

    // Check-box action: starts or stops the server (also on changes by code).
    void chkUDPSrvClick();
    // One datagram from `sender` at `senderPort`.
    void IdUDPServer1UDPRead(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);

    bool IsListening() const { return IdUDPServer1.state() == QAbstractSocket::BoundState; }

    QGroupBox* GroupBox2;
    QLabel* lblUDPIP;
    QLineEdit* edtUDPRemoteHost;
    QLabel* Label5;
    QLineEdit* edtUDPRemotePort;
    QLabel* Label6;
    QLineEdit* edtLocalPort;
    QCheckBox* chkUDPSrv;
    IndicatorShape* ShapeUDP;
    SendPanel* sendPanel;
    QUdpSocket IdUDPServer1;

private:
    // Binds the socket unless it is bound. `enablePort` is the port of an
    // enable; a send passes none and reuses the port of the last enable.
    void OpenServer(std::optional<quint16> enablePort);
    void ReadDatagrams();
    QHostAddress ResolveTarget(const QString& host);

    ReceivePipeline& pipeline_;
    NameResolver* resolver_;
    std::optional<quint16> bindingPort_;  // none until the first enable
};
