#include "serial/serial_a_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "data/receive_pipeline.h"
#include "send/indicator_shape.h"

SerialAPage::SerialAPage(ReceivePipeline& pipeline, QWidget* parent) : ChannelPage(parent), pipeline_(pipeline)
{
    setObjectName(QStringLiteral("tsCOMA"));
    GroupBox1 = new QGroupBox(QStringLiteral("串口A"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    ShapeCom1 = new IndicatorShape(QStringLiteral("ShapeCom1"), GroupBox1);
    sendPanel = new SendPanel({"mmoCOM1", "chkHexCOM1", "chkNewline", "chkEchoComA", "btnSendCOM1"}, QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(ShapeCom1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(sendPanel, 1);
}

SendTarget::WriteResult SerialAPage::Write(const QByteArray& payload)
{
    Q_UNUSED(payload);
    return {};
}
