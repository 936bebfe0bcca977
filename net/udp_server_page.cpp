#include "net/udp_server_page.h"

#include "core/indicator_shape.h"
#include "core/widget_kit.h"
#include "net/udp_server_channel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace WidgetKit;

UdpServerPage::UdpServerPage(UdpServerChannel& channel, QWidget* parent) : ChannelPage(parent), channel_(channel)
{
    setObjectName(QStringLiteral("tsUDPS"));
    GroupBox2 = new QGroupBox(QStringLiteral("UDP服务器"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    lblUDPIP = NewLabel("lblUDPIP", QStringLiteral("对方IP:  "), GroupBox2);
    edtUDPRemoteHost = NewEdit("edtUDPRemoteHost", QStringLiteral("127.0.0.1"), GroupBox2);
    edtUDPRemoteHost->setToolTip(QStringLiteral("留空或255.255.255.255为广播"));
    Label5 = NewLabel("Label5", QStringLiteral("："), GroupBox2);
    edtUDPRemotePort = NewPortEdit("edtUDPRemotePort", QStringLiteral("10009"), GroupBox2);
    Label6 = NewLabel("Label6", QStringLiteral("监听端口:  "), GroupBox2);
    edtLocalPort = NewPortEdit("edtLocalPort", QStringLiteral("10008"), GroupBox2);
    chkUDPSrv = NewCheckBox("chkUDPSrv", QStringLiteral("启用"), GroupBox2);
    ShapeUDP = new IndicatorShape(QStringLiteral("ShapeUDP"), GroupBox2);
    sendPanel = new SendPanel({"mmoUDP", "chkHexUDP", nullptr, "chkEchoUDPS", "btnSendUDP"},
                              QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* grid = new QGridLayout(GroupBox2);
    grid->addWidget(lblUDPIP, 0, 0);
    grid->addWidget(edtUDPRemoteHost, 0, 1);
    grid->addWidget(Label5, 0, 2);
    grid->addWidget(edtUDPRemotePort, 0, 3);
    grid->addWidget(Label6, 1, 0);
    grid->addWidget(edtLocalPort, 1, 1);
    grid->addWidget(chkUDPSrv, 1, 2);
    grid->addWidget(ShapeUDP, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox2);
    layout->addWidget(sendPanel, 1);

    connect(edtUDPRemoteHost, &QLineEdit::textChanged, this, &UdpServerPage::PassRemoteFields);
    connect(edtUDPRemotePort, &QLineEdit::textChanged, this, &UdpServerPage::PassRemoteFields);
    PassRemoteFields();

    connect(chkUDPSrv, &QCheckBox::toggled, this, &UdpServerPage::chkUDPSrvClick);
    connect(&channel_, &UdpServerChannel::SwitchChanged, this, &UdpServerPage::ShowSwitch);
    connect(&channel_, &UdpServerChannel::RemoteChanged, this, &UdpServerPage::ShowRemote);
    ShowSwitch(channel_.IsSwitchedOn());
}

void UdpServerPage::chkUDPSrvClick()
{
    channel_.Switch(chkUDPSrv->isChecked(), edtLocalPort->text());
}

void UdpServerPage::PassRemoteFields()
{
    channel_.SetRemoteFields(edtUDPRemoteHost->text(), edtUDPRemotePort->text());
}

void UdpServerPage::ShowRemote(const QString& host, const QString& port)
{
    // The channel holds these already; the fields only show them.
    const QSignalBlocker quietHost(edtUDPRemoteHost);
    const QSignalBlocker quietPort(edtUDPRemotePort);
    edtUDPRemoteHost->setText(host);
    edtUDPRemotePort->setText(port);
}

void UdpServerPage::ShowSwitch(bool on)
{
    const QSignalBlocker quiet(chkUDPSrv);
    chkUDPSrv->setChecked(on);
    ShapeUDP->SetBrushColor(on ? IndicatorShape::kOpen : IndicatorShape::kClosed);
}
