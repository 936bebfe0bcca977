#include "net/tcp_server_page.h"

#include "core/combo_index.h"
#include "core/indicator_shape.h"
#include "core/message_box.h"
#include "data/receive_pipeline.h"
#include "net/is_port_in_use.h"
#include "net/name_resolver.h"
#include "net/page_controls.h"
#include "net/tcp_connection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

using namespace PageControls;

TcpServerPage::TcpServerPage(ReceivePipeline& pipeline, QWidget* parent)
    : ChannelPage(parent), pipeline_(pipeline), resolver_(&NameResolver::System())
{
    setObjectName(QStringLiteral("tsTCPS"));
    GroupBox4 = new QGroupBox(QStringLiteral("TCP服务器"), this);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    Label1 = NewLabel("Label1", QStringLiteral("监听端口:  "), GroupBox4);
    edtTCPPort = NewPortEdit("edtTCPPort", QStringLiteral("10008"), GroupBox4);
    cbListClient = new QComboBox(GroupBox4);
    cbListClient->setObjectName(QStringLiteral("cbListClient"));
    cbListClient->setEditable(true);
    cbListClient->setInsertPolicy(QComboBox::NoInsert);
    cbListClient->setEditText(QStringLiteral("客户端列表"));
    chkTCPSrv = NewCheckBox("chkTCPSrv", QStringLiteral("启用"), GroupBox4);
    ShapeTCP = new IndicatorShape(QStringLiteral("ShapeTCP"), GroupBox4);
    sendPanel = new SendPanel({"mmoTCP", "chkHexTCP", "chknewlinetcpsrv", "chkEchoTCPS", "btnSendTCP"},
                              QString::fromUtf8(SendPanel::kDesignMemoText), this);
    ServerSocket1.setObjectName(QStringLiteral("ServerSocket1"));

    auto* grid = new QGridLayout(GroupBox4);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(edtTCPPort, 0, 1);
    grid->addWidget(chkTCPSrv, 0, 2);
    grid->addWidget(ShapeTCP, 0, 3);
    grid->addWidget(cbListClient, 1, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox4);
    layout->addWidget(sendPanel, 1);

    connect(chkTCPSrv, &QCheckBox::toggled, this, &TcpServerPage::chkTCPSrvClick);
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

void TcpServerPage::chkTCPSrvClick()
{
    const bool enable = chkTCPSrv->isChecked();
    StopServer();
    QThread::msleep(kRestartWaitMs);

    const QString portText = edtTCPPort->text();
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (!ok) {
        MessageBox::Show(NotAnIntegerText(portText));
        return;
    }
    // The socket layer takes the port modulo 65536, as it always did.
    port_ = static_cast<quint16>(port);

    if (!enable) {
        ShapeTCP->SetBrushColor(IndicatorShape::kClosed);
        return;
    }
    if (IsPortInUse(port, true) == 0) {
        StartListening();
        return;
    }
    MessageBox::Show(QStringLiteral("端口%1已占用").arg(port));
    chkTCPSrv->setChecked(false);
    ShapeTCP->SetBrushColor(IndicatorShape::kClosed);
}

void TcpServerPage::StartListening()
{
    try {
        ServerSocket1.Listen(port_, [this] { ServerSocket1Listen(); });
    } catch (const std::exception& error) {
        // The indicator stays white and the box stays checked.
        MessageBox::Show(QString::fromUtf8(error.what()));
        return;
    }
    ShapeTCP->SetBrushColor(IndicatorShape::kOpen);
    clients_.clear();
    RefreshClientList();
}

void TcpServerPage::StopServer()
{
    ServerSocket1.Close();
    for (TcpConnection* socket : findChildren<TcpConnection*>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect(this);
        socket->Abort();
        socket->deleteLater();
    }
}

void TcpServerPage::Shutdown()
{
    StopServer();
}

void TcpServerPage::ServerSocket1Listen()
{
    pipeline_.ShowInfo(QStringLiteral("TCP Server 正在监听%1端口").arg(port_), kWindowText);
}

QString TcpServerPage::PeerText(const TcpConnection* socket)
{
    return socket->PeerAddress().toString() + QLatin1Char(':') + QString::number(socket->PeerPort());
}

void TcpServerPage::ServerSocket1ClientConnect(TcpConnection* socket)
{
    pipeline_.ShowInfo(PeerText(socket) + QStringLiteral("  已连接"), kWindowText);
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
            if (static_cast<int>(i) < cbListClient->count())
                cbListClient->setItemText(static_cast<int>(i), ItemText(clients_[i]));
            return;
        }
    });
    RefreshClientList();
}

void TcpServerPage::ServerSocket1ClientRead(TcpConnection* socket)
{
    const qint64 waiting = socket->BytesAvailable();
    const QByteArray data = socket->Read(waiting);
    if (data.isEmpty())
        return;
    const QString label = QStringLiteral("TCP服务器[%1]").arg(PeerText(socket));
    const QPointer<TcpConnection> guard(socket);
    pipeline_.ProcessReceived(data, label, TCPS);
    // The pipeline may handle events (echo, relay): look the client up again.
    if (TcpClientRecord* record = guard ? FindClient(socket) : nullptr)
        record->info.AddReceived(data.size());
}

void TcpServerPage::ServerSocket1ClientDisconnect(TcpConnection* socket)
{
    pipeline_.ShowInfo(PeerText(socket) + QStringLiteral("  已断开"), kWindowText);
    RemoveClient(socket);
    RefreshClientList();
    socket->deleteLater();
}

void TcpServerPage::ServerSocket1ClientError(TcpConnection* socket, int errorEvent, int& errorCode)
{
    Q_UNUSED(errorEvent);
    pipeline_.ShowInfo(QStringLiteral("SOCKET出错!"), kWindowText);
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

void TcpServerPage::RefreshClientList()
{
    cbListClient->clear();
    for (const TcpClientRecord& record : clients_)
        cbListClient->addItem(ItemText(record));
    cbListClient->setCurrentIndex(static_cast<int>(clients_.size()) - 1);
}

QString TcpServerPage::ItemText(const TcpClientRecord& record)
{
    return QStringLiteral("%1:%2  %3 ").arg(record.hostName).arg(record.port).arg(record.identifier);
}

TcpClientRecord* TcpServerPage::FindClient(const TcpConnection* socket)
{
    auto found = std::find_if(clients_.begin(), clients_.end(),
                              [socket](const TcpClientRecord& record) { return record.connection == socket; });
    return found == clients_.end() ? nullptr : &*found;
}

void TcpServerPage::RemoveClient(const TcpConnection* socket)
{
    std::erase_if(clients_, [socket](const TcpClientRecord& record) { return record.connection == socket; });
}

bool TcpServerPage::ReadyToSend() const
{
    const int index = SelectedIndex(cbListClient);
    if (index < 0 || cbListClient->currentText().trimmed().isEmpty())
        return false;
    if (index >= static_cast<int>(clients_.size()))
        return false;
    // Entries of clients cut off by stopping the server stay listed until the
    // next start; a send to one of them reaches no one and is dropped.
    const TcpConnection* socket = clients_[index].connection;
    return socket && socket->IsConnected();
}

QByteArray TcpServerPage::TextLineEnd() const
{
    return sendPanel->newline->isChecked() ? QByteArray("\r\n") : QByteArray();
}

SendTarget::WriteResult TcpServerPage::Write(const QByteArray& payload)
{
    const int index = SelectedIndex(cbListClient);
    TcpConnection* socket = index >= 0 && index < static_cast<int>(clients_.size()) ? clients_[index].connection
                                                                                     : nullptr;
    if (!socket)
        return {};
    const qint64 accepted = socket->Write(payload);
    return {std::max<qint64>(accepted, 0)};
}
