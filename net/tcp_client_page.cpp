#include "net/tcp_client_page.h"

#include "core/indicator_shape.h"
#include "core/widget_kit.h"
#include "net/tcp_client_channel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace WidgetKit;

TcpClientPage::TcpClientPage(TcpClientChannel& channel, QWidget* parent) : ChannelPage(parent), channel_(channel)
{
    setObjectName(QStringLiteral("tsTCPC"));
    GroupBox5 = new QGroupBox(QStringLiteral("TCP客户端"), this);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    Label8 = NewLabel("Label8", QStringLiteral("服务端IP:  "), GroupBox5);
    edtTCPClientHost = NewEdit("edtTCPClientHost", QStringLiteral("127.0.0.1"), GroupBox5);
    Label2 = NewLabel("Label2", QStringLiteral("端口:  "), GroupBox5);
    edtTCPClientPort = NewPortEdit("edtTCPClientPort", QStringLiteral("10002"), GroupBox5);
    lblTcpClientPort = NewLabel("lblTcpClientPort", QStringLiteral("本地端口: "), GroupBox5);
    chkTCPClient = NewCheckBox("chkTCPClient", QStringLiteral("启用"), GroupBox5, channel_.IsSwitchedOn());
    ShapeTCPClient = new IndicatorShape(QStringLiteral("ShapeTCPClient"), GroupBox5);
    chkReconn = NewCheckBox("chkReconn", QStringLiteral("自动重连"), GroupBox5);
    sendPanel = new SendPanel({"mmoTCPClient", "chkHexTCPClient", nullptr, "chkEchoTCPC", "btnSendTCPClient"},
                              QString::fromUtf8("Hello from serialnet\\r\\n"), this);

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

    connect(edtTCPClientHost, &QLineEdit::textChanged, this, &TcpClientPage::PassServerFields);
    connect(edtTCPClientPort, &QLineEdit::textChanged, this, &TcpClientPage::PassServerFields);
    PassServerFields();
    connect(chkReconn, &QCheckBox::toggled, &channel_, &TcpClientChannel::SetAutoReconnect);
    channel_.SetAutoReconnect(chkReconn->isChecked());

    connect(chkTCPClient, &QCheckBox::clicked, this, &TcpClientPage::chkTCPClientClick);
    connect(&channel_, &TcpClientChannel::Connected, this, &TcpClientPage::ShowConnected);
    connect(&channel_, &TcpClientChannel::Disconnected, this, &TcpClientPage::ShowDisconnected);
    connect(&channel_, &TcpClientChannel::Failed, this, &TcpClientPage::ShowFailed);
    connect(&channel_, &TcpClientChannel::SwitchChanged, this, &TcpClientPage::ShowSwitch);
}

void TcpClientPage::chkTCPClientClick()
{
    channel_.Switch(chkTCPClient->isChecked());
}

void TcpClientPage::PassServerFields()
{
    channel_.SetServerFields(edtTCPClientHost->text(), edtTCPClientPort->text());
}

void TcpClientPage::ShowConnected(quint16 localPort)
{
    ShapeTCPClient->SetBrushColor(IndicatorShape::kOpen);
    lblTcpClientPort->setText(QStringLiteral("本地端口%1").arg(localPort));
}

void TcpClientPage::ShowDisconnected()
{
    ShapeTCPClient->SetBrushColor(palette().color(QPalette::Base));
    lblTcpClientPort->setText(QString());
}

void TcpClientPage::ShowFailed()
{
    ShapeTCPClient->SetBrushColor(IndicatorShape::kClosed);
}

void TcpClientPage::ShowSwitch(bool on)
{
    const QSignalBlocker quiet(chkTCPClient);
    chkTCPClient->setChecked(on);
}
