#include "net/tcp_client_channel.h"

#include "core/message_box.h"
#include "net/name_resolver.h"
#include "net/port_text.h"
#include "net/socket_error_text.h"

#include <cerrno>
#include <netdb.h>

TcpClientChannel::TcpClientChannel(ReceiveSink& sink, QObject* parent)
    : Channel(TCPC, sink, parent), resolver_(&NameResolver::System())
{
    tmrReconn.setParent(this);
    tmrReconn.setObjectName(QStringLiteral("tmrReconn"));
    tmrReconn.setInterval(kReconnectMs);
    connect(&tmrReconn, &QTimer::timeout, this, &TcpClientChannel::tmrReconnTimer);
}

void TcpClientChannel::SetServerFields(const QString& hostText, const QString& portText)
{
    hostText_ = hostText;
    portText_ = portText;
}

void TcpClientChannel::SetSwitchedOn(bool on)
{
    switchedOn_ = on;
    emit SwitchChanged(on);
}

void TcpClientChannel::Switch(bool on)
{
    SetSwitchedOn(on);
    if (!on) {
        tmrReconn.stop();
        if (connected_)
            CloseConnection();
        else
            DropSocket();
        return;
    }
    const QString host = hostText_.trimmed();
    const QString portText = portText_.trimmed();
    if (connected_)
        CloseConnection();
    host_ = host;
    const PortReading port = ReadPort(portText);
    if (!port.Ok()) {
        // A refused start leaves the client off: no attempt, no timer.
        MessageBox::Show(port.refusal);
        tmrReconn.stop();
        DropSocket();
        SetSwitchedOn(false);
        return;
    }
    port_ = port.port;
    StartAttempt();
    tmrReconn.start();
}

void TcpClientChannel::StartOpening()
{
    // Already on: an attempt is under way or the timer will make one; the
    // dispatcher only watches.
    if (switchedOn_)
        return;
    Switch(true);
}

void TcpClientChannel::StartAttempt()
{
    DropSocket();
    serverAddress_ = QHostAddress();
    auto* socket = new TcpConnection(this);
    socket_ = socket;
    socket->SetReadPaused(receivePaused_);
    connect(socket, &TcpConnection::Connected, this, &TcpClientChannel::ClientSocket1Connect);
    connect(socket, &TcpConnection::ReadyRead, this, &TcpClientChannel::ClientSocket1Read);
    connect(socket, &TcpConnection::BytesWritten, this, &TcpClientChannel::UpdateCongestion);
    connect(socket, &TcpConnection::Disconnected, this, [this] {
        ClientSocket1Disconnect();
        DropSocket();
    });
    connect(socket, &TcpConnection::ErrorOccurred, this, [this](int event, int code) {
        ClientSocket1Error(event, code);
        // A reset drops what was queued.
        UpdateCongestion();
        // A failed attempt is over; a reset leaves the connection open (and
        // the connected flag set) until a write fails on it; failed calls
        // close the connection, which reports the disconnect itself.
        if (event == TcpConnection::kConnect)
            DropSocket();
    });

    if (host_.isEmpty()) {
        // Nothing to look up: fail the way an unknown name does, later.
        QMetaObject::invokeMethod(
            socket,
            [this, socket] {
                if (socket == socket_)
                    HostNotFound();
            },
            Qt::QueuedConnection);
        return;
    }
    const QHostAddress literal = LiteralAddress(host_);
    if (!literal.isNull()) {
        serverAddress_ = literal;
        socket->ConnectTo(literal, port_);
        return;
    }
    resolver_->LookupAddresses(host_, socket, [this, socket](const QList<QHostAddress>& addresses) {
        // An abandoned attempt waits for its deletion: its answer is not wanted.
        if (socket != socket_)
            return;
        if (addresses.isEmpty()) {
            HostNotFound();
            return;
        }
        serverAddress_ = PreferredAddress(addresses);
        socket->ConnectTo(serverAddress_, port_);
    });
}

void TcpClientChannel::HostNotFound()
{
    int errorCode = HOST_NOT_FOUND;
    ClientSocket1Error(TcpConnection::kLookup, errorCode);
    ClientSocket1Disconnect();
    DropSocket();
}

void TcpClientChannel::DropSocket()
{
    if (!socket_)
        return;
    TcpConnection* socket = socket_;
    socket_ = nullptr;
    socket->disconnect(this);
    socket->Abort();
    socket->deleteLater();
    UpdateCongestion();
}

void TcpClientChannel::CloseConnection()
{
    ClientSocket1Disconnect();
    DropSocket();
}

void TcpClientChannel::ClientSocket1Connect()
{
    connected_ = true;
    Sink().ShowInfo(QStringLiteral("TCP Client已连接服务端"), kWindowText);
    emit Connected(socket_ ? socket_->LocalPort() : 0);
    SetSwitchedOn(true);
}

void TcpClientChannel::ClientSocket1Read()
{
    if (!socket_)
        return;
    const QByteArray data = socket_->Read(socket_->BytesAvailable());
    if (data.isEmpty())
        return;
    Sink().ProcessReceived(data, QStringLiteral("TCP客户端[%1:%2]").arg(serverAddress_.toString()).arg(port_), TCPC);
}

void TcpClientChannel::ClientSocket1Disconnect()
{
    connected_ = false;
    Sink().ShowInfo(QStringLiteral("TCP Client已断开"), kWindowText);
    emit Disconnected();
    SetSwitchedOn(false);
}

void TcpClientChannel::ClientSocket1Error(int errorEvent, int& errorCode)
{
    SetSwitchedOn(false);
    emit Failed();
    Sink().ShowInfo(ErrorLine(errorEvent, errorCode), kWindowText);
    errorCode = 0;
}

QString TcpClientChannel::ErrorLine(int errorEvent, int errorCode) const
{
    QString line;
    switch (errorEvent) {
    case TcpConnection::kConnect:
        line = QStringLiteral("TCP Client连接出错");
        break;
    case TcpConnection::kSend:
        line = QStringLiteral("TCP Client发送出错");
        break;
    case TcpConnection::kReceive:
        line = QStringLiteral("TCP Client接收出错");
        break;
    default:
        line = QStringLiteral("TCP Client异常，原因未知");
        break;
    }
    const QString reason =
        errorEvent == TcpConnection::kLookup ? HostErrorText(errorCode) : SocketErrorText(errorCode);
    return FailureLine(line, ServerText(), port_, reason);
}

QString TcpClientChannel::ServerText() const
{
    return serverAddress_.isNull() ? host_ : serverAddress_.toString();
}

void TcpClientChannel::tmrReconnTimer()
{
    if (autoReconnect_ && !connected_)
        StartAttempt();
}

SendTarget::WriteResult TcpClientChannel::Write(const QByteArray& payload)
{
    if (!connected_ || !socket_)
        return WriteResult::Failed(ErrorLine(TcpConnection::kSend, ENOTCONN));
    const qint64 accepted = socket_->Write(payload);
    if (accepted < 0) {
        // The error path of a failed send, its line handed to the dispatcher
        // so that it shows in place of the send; the disconnect follows.
        const QString line = ErrorLine(TcpConnection::kSend, socket_->WriteError());
        SetSwitchedOn(false);
        emit Failed();
        UpdateCongestion();
        return WriteResult::Failed(line);
    }
    UpdateCongestion();
    WriteResult sent;
    sent.count = accepted;
    return sent;
}

void TcpClientChannel::SetReceivePaused(bool paused)
{
    receivePaused_ = paused;
    if (socket_)
        socket_->SetReadPaused(paused);
}

void TcpClientChannel::UpdateCongestion()
{
    if (marks_.Update(socket_ ? socket_->QueuedBytes() : 0))
        emit Drained();
}

void TcpClientChannel::Shutdown()
{
    tmrReconn.stop();
    DropSocket();
    connected_ = false;
}
