#pragma once

#include "core/queue_water_marks.h"
#include "net/tcp_connection.h"
#include "send/channel.h"

#include <QHostAddress>
#include <QPointer>
#include <QTimer>

class NameResolver;

// The TCP client (TCPC): one connection to a TCP server, with automatic
// reconnection every 1500 ms while "自动重连" is on. Its lines and chunks go
// to the receive sink; its page follows its signals.
class TcpClientChannel : public Channel
{
    Q_OBJECT

public:
    static constexpr int kReconnectMs = 1500;

    explicit TcpClientChannel(ReceiveSink& sink, QObject* parent = nullptr);

    // The server fields as the page shows them. They are taken only when the
    // client is switched on; later edits wait for the next time.
    void SetServerFields(const QString& hostText, const QString& portText);
    // "自动重连": lets the reconnect timer act.
    void SetAutoReconnect(bool on) { autoReconnect_ = on; }
    // "启用" set by the user (or on by the dispatcher): on connects to the
    // fields' server and starts the reconnect timer; off stops the timer and
    // closes the connection or drops the attempt.
    void Switch(bool on);
    bool IsSwitchedOn() const { return switchedOn_; }

    // Replaces the system's name lookup of the server host.
    void SetNameResolver(NameResolver* resolver) { resolver_ = resolver; }

    void ClientSocket1Connect();
    void ClientSocket1Read();
    void ClientSocket1Disconnect();
    void ClientSocket1Error(int errorEvent, int& errorCode);
    void tmrReconnTimer();

    // The connection or attempt under way; null when there is none.
    TcpConnection* Connection() const { return socket_; }

    // The dispatcher connects a closed client by switching it on.
    bool OpensAutomatically() const override { return true; }
    bool IsOpen() const override { return connected_; }
    void StartOpening() override;
    // Sends or queues the whole payload. A payload that cannot go out (not
    // connected, or the send failed) is Failed with the line naming the
    // server and the system's reason; after a failed send the disconnect
    // follows from the event loop.
    WriteResult Write(const QByteArray& payload) override;
    void Shutdown() override;

    // Congested while more than a few MiB wait to go out to the server.
    bool Congested() const override { return marks_.Congested(); }
    // Stops reading from the server; kept across reconnections.
    void SetReceivePaused(bool paused) override;

    QTimer tmrReconn;

signals:
    // The connection is up, from local port `localPort`.
    void Connected(quint16 localPort);
    // The connection went down: closed by either side or after a failed call.
    void Disconnected();
    // An error was reported; after a reset the dead connection is still held.
    void Failed();
    // The state "启用" must show: on when switched on and on connect, off on
    // disconnect and on error.
    void SwitchChanged(bool on);

private:
    // Starts an attempt with the stored host and port, abandoning any other.
    void StartAttempt();
    void HostNotFound();
    // Closes the established connection through the disconnect path.
    void CloseConnection();
    // Drops the connection or attempt without any notification.
    void DropSocket();
    void SetSwitchedOn(bool on);
    // The error line of `errorEvent`, followed by where and why.
    QString ErrorLine(int errorEvent, int errorCode) const;
    // The server as the lines name it: its address once known, else the host text.
    QString ServerText() const;
    // Follows the connection's queue; tells the listeners when it drained.
    void UpdateCongestion();

    NameResolver* resolver_;
    QueueWaterMarks marks_{QueueWaterMarks::kSocketHigh, QueueWaterMarks::kSocketLow};
    bool receivePaused_ = false;
    QPointer<TcpConnection> socket_;
    bool connected_ = false;
    bool switchedOn_ = false;
    bool autoReconnect_ = false;
    QString hostText_;
    QString portText_;
    QString host_;
    quint16 port_ = 0;
    QHostAddress serverAddress_;
};
