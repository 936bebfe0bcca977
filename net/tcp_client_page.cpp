#include "net/tcp_client_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "data/receive_pipeline.h"
#include "send/indicator_shape.h"

TcpClientPage::TcpClientPage(ReceivePipeline& pipeline, QWidget* parent) : ChannelPage(parent), pipeline_(pipeline)
{
    setObjectName(QStringLiteral("tsTCPC"));
    GroupBox5 = new QGroupBox(QStringLiteral("TCP客户端"), this);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    ShapeTCPClient = new IndicatorShape(QStringLiteral("ShapeTCPClient"), GroupBox5);
    sendPanel = new SendPanel({"mmoTCPClient", "chkHexTCPClient", nullptr, "chkEchoTCPC", "btnSendTCPClient"}, QString::fromUtf8("Hello from serialnet\\r\\n"), this);

    auto* groupLayout = new QVBoxLayout(GroupBox5);
    groupLayout->addWidget(ShapeTCPClient);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox5);
    layout->addWidget(sendPanel, 1);
}

SendTarget::WriteResult TcpClientPage::Write(const QByteArray& payload)
{
    Q_UNUSED(payload);
    return {};
}
