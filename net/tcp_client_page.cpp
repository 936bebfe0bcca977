#include "net/tcp_client_page.h"

#include "core/indicator_shape.h"
#include "core/message_box.h"
#include "data/receive_pipeline.h"
#include "net/name_resolver.h"
#include "net/page_controls.h"
#include "net/tcp_connection.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <netdb.h>

using namespace PageControls;

TcpClientPage::TcpClientPage(ReceivePipeline& pipeline, QWidget* parent)
    : ChannelPage(parent), pipeline_(pipeline), resolver_(&NameResolver::System())
{
    setObjectName(QStringLiteral("tsTCPC"));
    GroupBox5 = new QGroupBox(QStringLiteral("TCP客户端"), this);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    Label8 = NewLabel("Label8", QStringLiteral("服务端IP:  "), GroupBox5);
    edtTCPClientHost = NewEdit("edtTCPClientHost", QStringLiteral("127.0.0.1"), GroupBox5);
    Label2 = NewLabel("Label2", QStringLiteral("端口:  "), GroupBox5);
    edtTCPClientPort = NewPortEdit("edtTCPClientPort", QStringLiteral("10002"), GroupBox5);
    lblTcpClientPort = NewLabel("lblTcpClientPort", QStringLiteral("本地端口: "), GroupBox5);
    chkTCPClient = NewCheckBox("chkTCPClient", QStringLiteral("启用"), GroupBox5);
    ShapeTCPClient = new IndicatorShape(QStringLiteral("ShapeTCPClient"), GroupBox5);
    chkReconn = NewCheckBox("chkReconn", QStringLiteral("自动重连"), GroupBox5);
    sendPanel = new SendPanel({"mmoTCPClient", "chkHexTCPClient", nullptr, "chkEchoTCPC", "btnSendTCPClient"},
                              QString::fromUtf8("Hello from serialnet\\r\\n"), this);
    tmrReconn.setParent(this);
    tmrReconn.setObjectName(QStringLiteral("tmrReconn"));
    tmrReconn.setInterval(kReconnectMs);

    auto* grid = new QGridLayout(GroupBox5);
    grid->addWidget(Label8, 0, 0);
    grid->addWidget(edtTCPClientHost, 0, 1);
    grid->addWidget(Label2, 0, 2);
    grid->addWidget(edtTCPClientPort, 0, 3);
    grid->addWidget(chkTCPClient, 1, 0);
    grid->addWidget(ShapeTCPClient, 1, 1, Qt::AlignLeft);
    grid->addWidget(chkReconn, 1, 2);
    grid->addWidget(lblTcpClientPort, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox5);
    layout->addWidget(sendPanel, 1);

    connect(chkTCPClient, &QCheckBox::clicked, this, &TcpClientPage::chkTCPClientClick);
    connect(&tmrReconn, &QTimer::timeout, this, &TcpClientPage::tmrReconnTimer);
}

void TcpClientPage::SetChecked(bool checked)
{
    const QSignalBlocker quiet(chkTCPClient);
    chkTCPClient->setChecked(checked);
}

void TcpClientPage::chkTCPClientClick()
{
    if (!chkTCPClient->isChecked()) {
        tmrReconn.stop();
        if (connected_)
            CloseConnection();
        else
            DropSocket();
        return;
    }
    const QString host = edtTCPClientHost->text().trimmed();
    const QString portText = edtTCPClientPort->text().trimmed();
    if (connected_)
        CloseConnection();
    host_ = host;
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (!ok) {
        MessageBox::Show(NotAnIntegerText(portText));
        return;
    }
    port_ = static_cast<quint16>(port);
    StartAttempt();
    tmrReconn.start();
}

void TcpClientPage::StartOpening()
{
    // Already checked: an attempt is under way or the timer will make one;
    // the dispatcher only watches.
    if (chkTCPClient->isChecked())
        return;
    chkTCPClient->setChecked(true);
    chkTCPClientClick();
}

void TcpClientPage::StartAttempt()
{
    DropSocket();
    auto* socket = new TcpConnection(this);
    socket_ = socket;
    connect(socket, &TcpConnection::Connected, this, &TcpClientPage::ClientSocket1Connect);
    connect(socket, &TcpConnection::ReadyRead, this, &TcpClientPage::ClientSocket1Read);
    connect(socket, &TcpConnection::Disconnected, this, [this] {
        ClientSocket1Disconnect();
        DropSocket();
    });
    connect(socket, &TcpConnection::ErrorOccurred, this, [this](int event, int code) {
        ClientSocket1Error(event, code);
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

void TcpClientPage::HostNotFound()
{
    int errorCode = HOST_NOT_FOUND;
    ClientSocket1Error(TcpConnection::kLookup, errorCode);
    ClientSocket1Disconnect();
    DropSocket();
}

void TcpClientPage::DropSocket()
{
    if (!socket_)
        return;
    TcpConnection* socket = socket_;
    socket_ = nullptr;
    socket->disconnect(this);
    socket->Abort();
    socket->deleteLater();
}

void TcpClientPage::CloseConnection()
{
    ClientSocket1Disconnect();
    DropSocket();
}

void TcpClientPage::ClientSocket1Connect()
{
    connected_ = true;
    pipeline_.ShowInfo(QStringLiteral("TCP Client已连接服务端"), kWindowText);
    ShapeTCPClient->SetBrushColor(IndicatorShape::kOpen);
    lblTcpClientPort->setText(QStringLiteral("本地端口%1").arg(socket_ ? socket_->LocalPort() : 0));
    SetChecked(true);
}

void TcpClientPage::ClientSocket1Read()
{
    if (!socket_)
        return;
    const QByteArray data = socket_->Read(socket_->BytesAvailable());
    if (data.isEmpty())
        return;
    pipeline_.ProcessReceived(data, QStringLiteral("TCP客户端[%1:%2]").arg(serverAddress_.toString()).arg(port_),
                              TCPC);
}

void TcpClientPage::ClientSocket1Disconnect()
{
    connected_ = false;
    pipeline_.ShowInfo(QStringLiteral("TCP Client已断开"), kWindowText);
    ShapeTCPClient->SetBrushColor(palette().color(QPalette::Base));
    SetChecked(false);
    lblTcpClientPort->setText(QString());
}

void TcpClientPage::ClientSocket1Error(int errorEvent, int& errorCode)
{
    SetChecked(false);
    ShapeTCPClient->SetBrushColor(IndicatorShape::kClosed);
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
    pipeline_.ShowInfo(line, kWindowText);
    errorCode = 0;
}

void TcpClientPage::tmrReconnTimer()
{
    if (chkReconn->isChecked() && !connected_)
        StartAttempt();
}

SendTarget::WriteResult TcpClientPage::Write(const QByteArray& payload)
{
    if (!connected_ || !socket_)
        return {};
    const qint64 accepted = socket_->Write(payload);
    return {std::max<qint64>(accepted, 0)};
}

void TcpClientPage::Shutdown()
{
    tmrReconn.stop();
    DropSocket();
    connected_ = false;
}
