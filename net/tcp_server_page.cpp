#include "net/tcp_server_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "data/receive_pipeline.h"
#include "send/indicator_shape.h"

TcpServerPage::TcpServerPage(ReceivePipeline& pipeline, QWidget* parent) : ChannelPage(parent), pipeline_(pipeline)
{
    setObjectName(QStringLiteral("tsTCPS"));
    GroupBox4 = new QGroupBox(QStringLiteral("TCP服务器"), this);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    ShapeTCP = new IndicatorShape(QStringLiteral("ShapeTCP"), GroupBox4);
    sendPanel = new SendPanel({"mmoTCP", "chkHexTCP", "chknewlinetcpsrv", "chkEchoTCPS", "btnSendTCP"}, QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* groupLayout = new QVBoxLayout(GroupBox4);
    groupLayout->addWidget(ShapeTCP);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox4);
    layout->addWidget(sendPanel, 1);
}

SendTarget::WriteResult TcpServerPage::Write(const QByteArray& payload)
{
    Q_UNUSED(payload);
    return {};
}
