#pragma once

#include "core/queue_water_marks.h"
#include "net/tcp_client_record.h"
#include "net/tcp_listener.h"
#include "send/channel.h"

#include <vector>

class NameResolver;
class TcpConnection;

// The TCP server (TCPS): listens on one port, accepts any number of clients,
// keeps one record per client in the order they came, and sends to the
// selected one. Its lines and chunks go to the receive sink; its page follows
// its signals.
class TcpServerChannel : public Channel
{
    Q_OBJECT

public:
    static constexpr int kRestartWaitMs = 100;

    explicit TcpServerChannel(ReceiveSink& sink, QObject* parent = nullptr);

    // "启用" set to `enable`, the port field holding `portText`. Every call
    // passes through stopped first, so enabling again drops all clients.
    // Refusals show a message box and switch the channel off.
    void Switch(bool enable, const QString& portText);
    // The client sends go to: an index into Clients(), -1 for none.
    void SelectClient(int index);
    int SelectedClient() const { return selected_; }
    // "换行符\r\n": text-mode sends end with CR LF.
    void SetLineEnd(bool on) { lineEnd_ = on; }

    // Replaces the system's reverse lookup of client addresses.
    void SetNameResolver(NameResolver* resolver) { resolver_ = resolver; }

    void ServerSocket1Listen();
    void ServerSocket1ClientConnect(TcpConnection* socket);
    void ServerSocket1ClientRead(TcpConnection* socket);
    void ServerSocket1ClientDisconnect(TcpConnection* socket);
    void ServerSocket1ClientError(TcpConnection* socket, int errorEvent, int& errorCode);

    const std::vector<TcpClientRecord>& Clients() const { return clients_; }
    bool IsListening() const { return ServerSocket1.IsListening(); }
    // A client's drop-down text: its host name, port and identifier.
    static QString ItemText(const TcpClientRecord& record);

    // A send needs a selected, still connected client; otherwise it is
    // dropped without a trace.
    bool ReadyToSend() const override;
    QByteArray TextLineEnd() const override;
    // Sends or queues the whole payload to the selected client. A send that
    // fails is Failed with the error line naming the client and the reason;
    // the client's record goes at once, its disconnect line follows.
    WriteResult Write(const QByteArray& payload) override;
    void Shutdown() override;

    // Congested while more than a few MiB wait to go out to the selected
    // client, the one every send goes to.
    bool Congested() const override { return marks_.Congested(); }
    // Stops reading from every client, those accepted meanwhile included.
    void SetReceivePaused(bool paused) override;

    TcpListener ServerSocket1;

signals:
    void ListeningChanged(bool listening);
    // The state "启用" must show; sent when the channel switches itself off.
    void SwitchChanged(bool on);
    // Clients came, went or were discarded; the newest one is selected.
    void ClientListChanged();
    // The host name of client `index` arrived.
    void ClientRenamed(int index);

private:
    // Closes the listening socket and every client connection without any
    // line; the client records stay listed.
    void StopServer();
    void StartListening();
    // Selects the newest client and tells the page.
    void RefreshClientList();
    void RemoveClient(const TcpConnection* socket);
    TcpClientRecord* FindClient(const TcpConnection* socket);
    static QString PeerText(const TcpConnection* socket);
    // "SOCKET出错!" followed by the client and the system's reason.
    static QString ErrorLine(const QHostAddress& address, quint16 port, int errorCode);
    const TcpClientRecord* SelectedRecord() const;
    // Follows the selected client's queue; tells the listeners when it drained.
    void UpdateCongestion();

    NameResolver* resolver_;
    QueueWaterMarks marks_{QueueWaterMarks::kSocketHigh, QueueWaterMarks::kSocketLow};
    bool receivePaused_ = false;
    std::vector<TcpClientRecord> clients_;
    int selected_ = -1;
    bool lineEnd_ = false;
    quint64 nextSerial_ = 1;
    quint16 port_ = 0;
};
