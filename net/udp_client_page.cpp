#include "net/udp_client_page.h"

#include "core/indicator_shape.h"
#include "core/widget_kit.h"
#include "net/udp_client_channel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace WidgetKit;

UdpClientPage::UdpClientPage(UdpClientChannel& channel, QWidget* parent) : ChannelPage(parent), channel_(channel)
{
    setObjectName(QStringLiteral("tsUDPC"));
    GroupBox6 = new QGroupBox(QStringLiteral("UDP客户端"), this);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    Label3 = NewLabel("Label3", QStringLiteral("对方IP:  "), GroupBox6);
    edtUDPClientRemoteHost = NewEdit("edtUDPClientRemoteHost", QStringLiteral("127.0.0.1"), GroupBox6);
    Label7 = NewLabel("Label7", QStringLiteral("："), GroupBox6);
    edtUDPClientRemotePort = NewPortEdit("edtUDPClientRemotePort", QStringLiteral("10008"), GroupBox6);
    Label4 = NewLabel("Label4", QStringLiteral("本地端口:  "), GroupBox6);
    edtUDPClientLocalPort = NewPortEdit("edtUDPClientLocalPort", QStringLiteral("10009"), GroupBox6);
    chkUDPClient = NewCheckBox("chkUDPClient", QStringLiteral("启用"), GroupBox6);
    ShapeUDPClient = new IndicatorShape(QStringLiteral("ShapeUDPClient"), GroupBox6);
    sendPanel = new SendPanel({"mmoUDPClient", "chkHexUDPClient", nullptr, "chkEchoUDPC", "btnSendUDPClient"},
                              QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* grid = new QGridLayout(GroupBox6);
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(edtUDPClientRemoteHost, 0, 1);
    grid->addWidget(Label7, 0, 2);
    grid->addWidget(edtUDPClientRemotePort, 0, 3);
    grid->addWidget(Label4, 1, 0);
    grid->addWidget(edtUDPClientLocalPort, 1, 1);
    grid->addWidget(chkUDPClient, 1, 2);
    grid->addWidget(ShapeUDPClient, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox6);
    layout->addWidget(sendPanel, 1);

    connect(chkUDPClient, &QCheckBox::toggled, this, &UdpClientPage::chkUDPClientClick);
    connect(&channel_, &UdpClientChannel::SwitchChanged, this, &UdpClientPage::ShowSwitch);
    ShowSwitch(channel_.IsSwitchedOn());
}

void UdpClientPage::chkUDPClientClick()
{
    channel_.Switch(chkUDPClient->isChecked(), edtUDPClientLocalPort->text(), edtUDPClientRemoteHost->text(),
                    edtUDPClientRemotePort->text());
}

void UdpClientPage::ShowSwitch(bool on)
{
    const QSignalBlocker quiet(chkUDPClient);
    chkUDPClient->setChecked(on);
    ShapeUDPClient->SetBrushColor(on ? IndicatorShape::kOpen : IndicatorShape::kClosed);
}
