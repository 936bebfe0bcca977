#pragma once

#include "send/channel_page.h"
#include "send/send_target.h"

#include <QHostAddress>
#include <QPointer>
#include <QTimer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class IndicatorShape;
class NameResolver;
class ReceivePipeline;
class TcpConnection;

// The "TCP客户端" page: one connection to a TCP server, with automatic
// reconnection every 1500 ms while "自动重连" is checked.
class TcpClientPage : public ChannelPage, public SendTarget
{
    Q_OBJECT

public:
    static constexpr int kReconnectMs = 1500;

    TcpClientPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    // The dispatcher connects a closed client by checking "启用".
    bool OpensAutomatically() const override { return true; }
    bool IsOpen() const override { return connected_; }
    void StartOpening() override;
    // The bytes accepted for sending; 0 when not connected or when the send
    // failed (the error and disconnect lines tell the user).
    WriteResult Write(const QByteArray& payload) override;
    void Shutdown() override;

    // Replaces the system's name lookup of the server host.
    void SetNameResolver(NameResolver* resolver) { resolver_ = resolver; }

    // Click action of "启用" (user clicks only; handlers change the box quietly).
    void chkTCPClientClick();
    void ClientSocket1Connect();
    void ClientSocket1Read();
    void ClientSocket1Disconnect();
    void ClientSocket1Error(int errorEvent, int& errorCode);
    void tmrReconnTimer();

    // The connection or attempt under way; null when there is none.
    TcpConnection* Connection() const { return socket_; }

    QGroupBox* GroupBox5;
    QLabel* Label8;
    QLineEdit* edtTCPClientHost;
    QLabel* Label2;
    QLineEdit* edtTCPClientPort;
    QLabel* lblTcpClientPort;
    QCheckBox* chkTCPClient;
    IndicatorShape* ShapeTCPClient;
    QCheckBox* chkReconn;
    SendPanel* sendPanel;
    QTimer tmrReconn;

private:
    // Starts an attempt with the stored host and port, abandoning any other.
    void StartAttempt();
    void HostNotFound();
    // Closes the established connection through the disconnect path.
    void CloseConnection();
    // Drops the connection or attempt without any notification.
    void DropSocket();
    void SetChecked(bool checked);

    ReceivePipeline& pipeline_;
    NameResolver* resolver_;
    QPointer<TcpConnection> socket_;
    bool connected_ = false;
    QString host_;
    quint16 port_ = 0;
    QHostAddress serverAddress_;
};
