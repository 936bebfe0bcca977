#include "net/udp_client_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "data/receive_pipeline.h"
#include "send/indicator_shape.h"

UdpClientPage::UdpClientPage(ReceivePipeline& pipeline, QWidget* parent) : ChannelPage(parent), pipeline_(pipeline)
{
    setObjectName(QStringLiteral("tsUDPC"));
    GroupBox6 = new QGroupBox(QStringLiteral("UDP客户端"), this);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    ShapeUDPClient = new IndicatorShape(QStringLiteral("ShapeUDPClient"), GroupBox6);
    sendPanel = new SendPanel({"mmoUDPClient", "chkHexUDPClient", nullptr, "chkEchoUDPC", "btnSendUDPClient"}, QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* groupLayout = new QVBoxLayout(GroupBox6);
    groupLayout->addWidget(ShapeUDPClient);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox6);
    layout->addWidget(sendPanel, 1);
}

SendTarget::WriteResult UdpClientPage::Write(const QByteArray& payload)
{
    Q_UNUSED(payload);
    return {};
}
