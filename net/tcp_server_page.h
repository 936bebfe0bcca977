#pragma once

#include "send/channel_page.h"

class QGroupBox;
class IndicatorShape;
class ReceivePipeline;

// The "TCP服务器" page.
class TcpServerPage : public ChannelPage
{
    Q_OBJECT

public:
    TcpServerPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    WriteResult Write(const QByteArray& payload) override;

    QGroupBox* GroupBox4;
    IndicatorShape* ShapeTCP;
    SendPanel* sendPanel;

private:
    ReceivePipeline& pipeline_;
};
