#pragma once

#include "send/channel_page.h"

class QGroupBox;
class IndicatorShape;
class ReceivePipeline;

// The "串口B" page.
class SerialBPage : public ChannelPage
{
    Q_OBJECT

public:
    SerialBPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    WriteResult Write(const QByteArray& payload) override;

    QGroupBox* GroupBox3;
    IndicatorShape* ShapeCom2;
    SendPanel* sendPanel;

private:
    ReceivePipeline& pipeline_;
};
