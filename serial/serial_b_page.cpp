#include "serial/serial_b_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "data/receive_pipeline.h"
#include "send/indicator_shape.h"

SerialBPage::SerialBPage(ReceivePipeline& pipeline, QWidget* parent) : ChannelPage(parent), pipeline_(pipeline)
{
    setObjectName(QStringLiteral("tsCOMB"));
    GroupBox3 = new QGroupBox(QStringLiteral("串口B"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    ShapeCom2 = new IndicatorShape(QStringLiteral("ShapeCom2"), GroupBox3);
    sendPanel = new SendPanel({"mmoCOM2", "chkHexCOM2", "chkNewline2", "chkEchoComB", "btnSendCOM2"}, QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* groupLayout = new QVBoxLayout(GroupBox3);
    groupLayout->addWidget(ShapeCom2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox3);
    layout->addWidget(sendPanel, 1);
}

SendTarget::WriteResult SerialBPage::Write(const QByteArray& payload)
{
    Q_UNUSED(payload);
    return {};
}
