#include "net/udp_server_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "data/receive_pipeline.h"
#include "send/indicator_shape.h"

UdpServerPage::UdpServerPage(ReceivePipeline& pipeline, QWidget* parent) : ChannelPage(parent), pipeline_(pipeline)
{
    setObjectName(QStringLiteral("tsUDPS"));
    GroupBox2 = new QGroupBox(QStringLiteral("UDP服务器"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    ShapeUDP = new IndicatorShape(QStringLiteral("ShapeUDP"), GroupBox2);
    sendPanel = new SendPanel({"mmoUDP", "chkHexUDP", nullptr, "chkEchoUDPS", "btnSendUDP"}, QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* groupLayout = new QVBoxLayout(GroupBox2);
    groupLayout->addWidget(ShapeUDP);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox2);
    layout->addWidget(sendPanel, 1);
}

SendTarget::WriteResult UdpServerPage::Write(const QByteArray& payload)
{
    Q_UNUSED(payload);
    return {};
}
