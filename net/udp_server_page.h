#pragma once

#include "send/channel_page.h"

class QGroupBox;
class IndicatorShape;
class ReceivePipeline;

// The "UDP服务器" page.
class UdpServerPage : public ChannelPage
{
    Q_OBJECT

public:
    UdpServerPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    WriteResult Write(const QByteArray& payload) override;

    QGroupBox* GroupBox2;
    IndicatorShape* ShapeUDP;
    SendPanel* sendPanel;

private:
    ReceivePipeline& pipeline_;
};
