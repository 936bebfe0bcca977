#include "net/tcp_server_channel.h"

#include "core/message_box.h"
#include "net/is_port_in_use.h"
#include "net/name_resolver.h"
#include "net/port_text.h"
#include "net/socket_error_text.h"
#include "net/tcp_connection.h"

#include <QPointer>
#include <QThread>

#include <algorithm>
#include <cerrno>

TcpServerChannel::TcpServerChannel(ReceiveSink& sink, QObject* parent)
    : Channel(TCPS, sink, parent), resolver_(&NameResolver::System())
{
    ServerSocket1.setObjectName(QStringLiteral("ServerSocket1"));
    connect(&ServerSocket1, &TcpListener::NewConnection, this, [this](TcpConnection* socket) {
        socket->setParent(this);
        socket->SetReadPaused(receivePaused_);
        connect(socket, &TcpConnection::BytesWritten, this, &TcpServerChannel::UpdateCongestion);
        connect(socket, &TcpConnection::ReadyRead, this, [this, socket] { ServerSocket1ClientRead(socket); });
        connect(socket, &TcpConnection::Disconnected, this,
                [this, socket] { ServerSocket1ClientDisconnect(socket); });
        connect(socket, &TcpConnection::ErrorOccurred, this, [this, socket](int event, int code) {
            ServerSocket1ClientError(socket, event, code);
        });
        ServerSocket1ClientConnect(socket);
    });
}

void TcpServerChannel::Switch(bool enable, const QString& portText)
{
    StopServer();
    QThread::msleep(kRestartWaitMs);

    const PortReading port = ReadPort(portText);
    if (!port.Ok()) {
        // Nothing listens, so "启用" must not stay checked.
        MessageBox::Show(port.refusal);
        emit SwitchChanged(false);
        return;
    }
    port_ = port.port;
    if (!enable)
        return;
    if (IsPortInUse(port_, true) == 0) {
        StartListening();
        return;
    }
    MessageBox::Show(QStringLiteral("端口%1已占用").arg(port_));
    // Switching off runs the whole path once more, as unchecking the box does.
    emit SwitchChanged(false);
    Switch(false, portText);
}

void TcpServerChannel::StartListening()
{
    const QString failure = ServerSocket1.Listen(port_, [this] { ServerSocket1Listen(); });
    if (!failure.isEmpty()) {
        // The lamp stays white, and the box follows it.
        MessageBox::Show(failure);
        emit SwitchChanged(false);
        return;
    }
    emit ListeningChanged(true);
    clients_.clear();
    RefreshClientList();
}

void TcpServerChannel::StopServer()
{
    const bool wasListening = ServerSocket1.IsListening();
    ServerSocket1.Close();
    for (TcpConnection* socket : findChildren<TcpConnection*>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect(this);
        socket->Abort();
        socket->deleteLater();
    }
    UpdateCongestion();
    if (wasListening)
        emit ListeningChanged(false);
}

void TcpServerChannel::Shutdown()
{
    StopServer();
}

void TcpServerChannel::ServerSocket1Listen()
{
    Sink().ShowInfo(QStringLiteral("TCP Server 正在监听%1端口").arg(port_), kWindowText);
}

QString TcpServerChannel::PeerText(const TcpConnection* socket)
{
    return socket->PeerAddress().toString() + QLatin1Char(':') + QString::number(socket->PeerPort());
}

void TcpServerChannel::ServerSocket1ClientConnect(TcpConnection* socket)
{
    Sink().ShowInfo(PeerText(socket) + QStringLiteral("  已连接"), kWindowText);
    TcpClientRecord record;
    record.info.socket = socket;
    record.info.connectTime = NowAsDays();
    record.connection = socket;
    record.serial = nextSerial_++;
    record.address = socket->PeerAddress();
    record.port = socket->PeerPort();
    record.identifier = socket->Descriptor();
    clients_.push_back(record);

    // The name arrives later; the item shows an empty name until then, so a
    // slow name service never holds up the window.
    const quint64 serial = record.serial;
    resolver_->LookupName(record.address, this, [this, serial](const QString& name) {
        for (size_t i = 0; i < clients_.size(); ++i) {
            if (clients_[i].serial != serial)
                continue;
            clients_[i].hostName = name;
            emit ClientRenamed(static_cast<int>(i));
            return;
        }
    });
    RefreshClientList();
}

void TcpServerChannel::ServerSocket1ClientRead(TcpConnection* socket)
{
    const qint64 waiting = socket->BytesAvailable();
    const QByteArray data = socket->Read(waiting);
    if (data.isEmpty())
        return;
    const QString label = QStringLiteral("TCP服务器[%1]").arg(PeerText(socket));
    const QPointer<TcpConnection> guard(socket);
    Sink().ProcessReceived(data, label, TCPS);
    // The pipeline may handle events (echo, relay): look the client up again.
    if (TcpClientRecord* record = guard ? FindClient(socket) : nullptr)
        record->info.AddReceived(data.size());
}

void TcpServerChannel::ServerSocket1ClientDisconnect(TcpConnection* socket)
{
    Sink().ShowInfo(PeerText(socket) + QStringLiteral("  已断开"), kWindowText);
    RemoveClient(socket);
    RefreshClientList();
    socket->deleteLater();
}

void TcpServerChannel::ServerSocket1ClientError(TcpConnection* socket, int errorEvent, int& errorCode)
{
    Q_UNUSED(errorEvent);
    Sink().ShowInfo(ErrorLine(socket->PeerAddress(), socket->PeerPort(), errorCode), kWindowText);
    errorCode = 0;
    RemoveClient(socket);
    RefreshClientList();
    // A reset leaves a connection of no further use: release it now. After a
    // failed call the connection closes itself and the disconnect follows.
    if (socket->IsBroken()) {
        socket->Abort();
        socket->deleteLater();
    }
}

QString TcpServerChannel::ErrorLine(const QHostAddress& address, quint16 port, int errorCode)
{
    return FailureLine(QStringLiteral("SOCKET出错!"), address.toString(), port, SocketErrorText(errorCode));
}

void TcpServerChannel::RefreshClientList()
{
    selected_ = static_cast<int>(clients_.size()) - 1;
    UpdateCongestion();
    emit ClientListChanged();
}

void TcpServerChannel::SelectClient(int index)
{
    selected_ = index;
    UpdateCongestion();
}

QString TcpServerChannel::ItemText(const TcpClientRecord& record)
{
    return QStringLiteral("%1:%2  %3 ").arg(record.hostName).arg(record.port).arg(record.identifier);
}

TcpClientRecord* TcpServerChannel::FindClient(const TcpConnection* socket)
{
    auto found = std::find_if(clients_.begin(), clients_.end(),
                              [socket](const TcpClientRecord& record) { return record.connection == socket; });
    return found == clients_.end() ? nullptr : &*found;
}

void TcpServerChannel::RemoveClient(const TcpConnection* socket)
{
    std::erase_if(clients_, [socket](const TcpClientRecord& record) { return record.connection == socket; });
}

bool TcpServerChannel::ReadyToSend() const
{
    // Entries of clients cut off by stopping the server stay listed until the
    // next start; a send to one of them reaches no one and is dropped.
    const TcpClientRecord* record = SelectedRecord();
    return record && record->connection && record->connection->IsConnected();
}

QByteArray TcpServerChannel::TextLineEnd() const
{
    return lineEnd_ ? QByteArray("\r\n") : QByteArray();
}

const TcpClientRecord* TcpServerChannel::SelectedRecord() const
{
    return selected_ >= 0 && selected_ < static_cast<int>(clients_.size()) ? &clients_[selected_] : nullptr;
}

SendTarget::WriteResult TcpServerChannel::Write(const QByteArray& payload)
{
    const TcpClientRecord* record = SelectedRecord();
    TcpConnection* socket = record ? record->connection.data() : nullptr;
    if (!socket || !socket->IsConnected()) {
        // ReadyToSend keeps the dispatcher from getting here; a direct write
        // to a client cut off by stopping the server changes nothing.
        return WriteResult::Failed(record ? ErrorLine(record->address, record->port, ENOTCONN)
                                          : ErrorLine(QHostAddress(), 0, ENOTCONN));
    }
    const qint64 accepted = socket->Write(payload);
    if (accepted < 0) {
        // The error path of a failed send: the line goes to the dispatcher in
        // place of the send, the record goes now and the disconnect follows.
        const QString line = ErrorLine(socket->PeerAddress(), socket->PeerPort(), socket->WriteError());
        RemoveClient(socket);
        RefreshClientList();
        return WriteResult::Failed(line);
    }
    UpdateCongestion();
    WriteResult sent;
    sent.count = accepted;
    return sent;
}

void TcpServerChannel::SetReceivePaused(bool paused)
{
    receivePaused_ = paused;
    for (TcpConnection* socket : findChildren<TcpConnection*>(Qt::FindDirectChildrenOnly))
        socket->SetReadPaused(paused);
}

void TcpServerChannel::UpdateCongestion()
{
    const TcpClientRecord* record = SelectedRecord();
    const TcpConnection* socket = record ? record->connection.data() : nullptr;
    if (marks_.Update(socket ? socket->QueuedBytes() : 0))
        emit Drained();
}
