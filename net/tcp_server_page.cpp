#include "net/tcp_server_page.h"

#include "core/combo_index.h"
#include "core/indicator_shape.h"
#include "core/widget_kit.h"
#include "net/tcp_server_channel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace WidgetKit;

TcpServerPage::TcpServerPage(TcpServerChannel& channel, QWidget* parent) : ChannelPage(parent), channel_(channel)
{
    setObjectName(QStringLiteral("tsTCPS"));
    GroupBox4 = new QGroupBox(QStringLiteral("TCP服务器"), this);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    Label1 = NewLabel("Label1", QStringLiteral("监听端口:  "), GroupBox4);
    edtTCPPort = NewPortEdit("edtTCPPort", QStringLiteral("10008"), GroupBox4);
    cbListClient = NewCombo("cbListClient", {}, -1, GroupBox4);
    chkTCPSrv = NewCheckBox("chkTCPSrv", QStringLiteral("启用"), GroupBox4);
    ShapeTCP = new IndicatorShape(QStringLiteral("ShapeTCP"), GroupBox4);
    sendPanel = new SendPanel({"mmoTCP", "chkHexTCP", "chknewlinetcpsrv", "chkEchoTCPS", "btnSendTCP"},
                              QString::fromUtf8(SendPanel::kDesignMemoText), this);

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

    // The drop-down's selection, typed texts included, is where sends go.
    const auto select = [this] { channel_.SelectClient(SelectedIndex(cbListClient)); };
    connect(cbListClient, &QComboBox::currentIndexChanged, this, select);
    connect(cbListClient, &QComboBox::editTextChanged, this, select);
    cbListClient->setEditText(QStringLiteral("客户端列表"));
    connect(sendPanel->newline, &QCheckBox::toggled, &channel_, &TcpServerChannel::SetLineEnd);
    channel_.SetLineEnd(sendPanel->newline->isChecked());

    connect(chkTCPSrv, &QCheckBox::toggled, this, &TcpServerPage::chkTCPSrvClick);
    connect(&channel_, &TcpServerChannel::ListeningChanged, this, &TcpServerPage::ShowListening);
    connect(&channel_, &TcpServerChannel::SwitchChanged, this, &TcpServerPage::ShowSwitch);
    connect(&channel_, &TcpServerChannel::ClientListChanged, this, &TcpServerPage::RefreshClientList);
    connect(&channel_, &TcpServerChannel::ClientRenamed, this, &TcpServerPage::ShowClientName);
    ShowListening(channel_.IsListening());
}

void TcpServerPage::chkTCPSrvClick()
{
    channel_.Switch(chkTCPSrv->isChecked(), edtTCPPort->text());
}

void TcpServerPage::ShowListening(bool listening)
{
    ShapeTCP->SetBrushColor(listening ? IndicatorShape::kOpen : IndicatorShape::kClosed);
}

void TcpServerPage::ShowSwitch(bool on)
{
    // The channel has already acted; the box only shows it.
    const QSignalBlocker quiet(chkTCPSrv);
    chkTCPSrv->setChecked(on);
}

void TcpServerPage::RefreshClientList()
{
    // The channel chose the selection; the rebuild must not change it.
    const QSignalBlocker quiet(cbListClient);
    cbListClient->clear();
    for (const TcpClientRecord& record : channel_.Clients())
        cbListClient->addItem(TcpServerChannel::ItemText(record));
    cbListClient->setCurrentIndex(channel_.SelectedClient());
}

void TcpServerPage::ShowClientName(int index)
{
    if (index < cbListClient->count())
        cbListClient->setItemText(index, TcpServerChannel::ItemText(channel_.Clients()[index]));
}
