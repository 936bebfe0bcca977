#pragma once

#include "net/tcp_client_record.h"
#include "net/tcp_listener.h"
#include "send/channel_page.h"
#include "send/send_target.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class IndicatorShape;
class NameResolver;
class ReceivePipeline;
class TcpConnection;

// The "TCP服务器" page: listens on one port, accepts any number of clients,
// lists them in a drop-down and sends to the one selected there.
class TcpServerPage : public ChannelPage, public SendTarget
{
    Q_OBJECT

public:
    static constexpr int kRestartWaitMs = 100;

    TcpServerPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    // A send needs a selected, still connected client; otherwise it is
    // dropped without a trace.
    bool ReadyToSend() const override;
    QByteArray TextLineEnd() const override;
    WriteResult Write(const QByteArray& payload) override;
    void Shutdown() override;

    // Replaces the system's reverse lookup of client addresses.
    void SetNameResolver(NameResolver* resolver) { resolver_ = resolver; }

    // Check-box action: starts or stops the server (also on changes by code).
    void chkTCPSrvClick();
    void ServerSocket1Listen();
    void ServerSocket1ClientConnect(TcpConnection* socket);
    void ServerSocket1ClientRead(TcpConnection* socket);
    void ServerSocket1ClientDisconnect(TcpConnection* socket);
    void ServerSocket1ClientError(TcpConnection* socket, int errorEvent, int& errorCode);
    void RefreshClientList();

    const std::vector<TcpClientRecord>& Clients() const { return clients_; }
    bool IsListening() const { return ServerSocket1.IsListening(); }

    QGroupBox* GroupBox4;
    QLabel* Label1;
    QLineEdit* edtTCPPort;
    QComboBox* cbListClient;
    QCheckBox* chkTCPSrv;
    IndicatorShape* ShapeTCP;
    SendPanel* sendPanel;
    TcpListener ServerSocket1;

private:
    // Closes the listening socket and every client connection without any
    // line; the client records stay listed.
    void StopServer();
    void StartListening();
    void RemoveClient(const TcpConnection* socket);
    TcpClientRecord* FindClient(const TcpConnection* socket);
    static QString ItemText(const TcpClientRecord& record);
    static QString PeerText(const TcpConnection* socket);

    ReceivePipeline& pipeline_;
    NameResolver* resolver_;
    std::vector<TcpClientRecord> clients_;
    quint64 nextSerial_ = 1;
    quint16 port_ = 0;
};
