#pragma once

#include "send/channel_page.h"

class QGroupBox;
class IndicatorShape;
class ReceivePipeline;

// The "UDP客户端" page.
class UdpClientPage : public ChannelPage
{
    Q_OBJECT

public:
    UdpClientPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    WriteResult Write(const QByteArray& payload) override;

    QGroupBox* GroupBox6;
    IndicatorShape* ShapeUDPClient;
    SendPanel* sendPanel;

private:
    ReceivePipeline& pipeline_;
};
