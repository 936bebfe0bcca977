#include "net/tcp_server_channel.h"

#include "core/message_box.h"
#include "net/is_port_in_use.h"
#include "net/name_resolver.h"
#include "net/port_text.h"
#include "net/tcp_connection.h"

#include <QPointer>
#include <QThread>

#include <algorithm>
#include <exception>

TcpServerChannel::TcpServerChannel(ReceiveSink& sink, QObject* parent)
    : Channel(TCPS, sink, parent), resolver_(&NameResolver::System())
{
    ServerSocket1.setObjectName(QStringLiteral("ServerSocket1"));
    connect(&ServerSocket1, &TcpListener::NewConnection, this, [this](TcpConnection* socket) {
        socket->setParent(this);
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

    bool ok = false;
    const int port = portText.toInt(&ok);
    if (!ok) {
        MessageBox::Show(NotAnIntegerText(portText));
        return;
    }
    // The socket layer takes the port modulo 65536, as it always did.
    port_ = static_cast<quint16>(port);
    if (!enable)
        return;
    if (IsPortInUse(port, true) == 0) {
        StartListening();
        return;
    }
    MessageBox::Show(QStringLiteral("端口%1已占用").arg(port));
    // Switching off runs the whole path once more, as unchecking the box does.
    emit SwitchChanged(false);
    Switch(false, portText);
}

void TcpServerChannel::StartListening()
{
    try {
        ServerSocket1.Listen(port_, [this] { ServerSocket1Listen(); });
    } catch (const std::exception& error) {
        // The lamp stays white and the box stays checked.
        MessageBox::Show(QString::fromUtf8(error.what()));
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
    Sink().ShowInfo(QStringLiteral("SOCKET出错!"), kWindowText);
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

void TcpServerChannel::RefreshClientList()
{
    selected_ = static_cast<int>(clients_.size()) - 1;
    emit ClientListChanged();
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
    if (selected_ < 0 || selected_ >= static_cast<int>(clients_.size()))
        return false;
    // Entries of clients cut off by stopping the server stay listed until the
    // next start; a send to one of them reaches no one and is dropped.
    const TcpConnection* socket = clients_[selected_].connection;
    return socket && socket->IsConnected();
}

QByteArray TcpServerChannel::TextLineEnd() const
{
    return lineEnd_ ? QByteArray("\r\n") : QByteArray();
}

SendTarget::WriteResult TcpServerChannel::Write(const QByteArray& payload)
{
    TcpConnection* socket =
        selected_ >= 0 && selected_ < static_cast<int>(clients_.size()) ? clients_[selected_].connection : nullptr;
    if (!socket)
        return {};
    const qint64 accepted = socket->Write(payload);
    return {std::max<qint64>(accepted, 0)};
}
