#pragma once

#include "send/channel_page.h"

class QGroupBox;
class IndicatorShape;
class ReceivePipeline;

// The "TCP客户端" page.
class TcpClientPage : public ChannelPage
{
    Q_OBJECT

public:
    TcpClientPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    WriteResult Write(const QByteArray& payload) override;

    QGroupBox* GroupBox5;
    IndicatorShape* ShapeTCPClient;
    SendPanel* sendPanel;

private:
    ReceivePipeline& pipeline_;
};
