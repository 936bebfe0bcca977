#pragma once

#include "send/channel_page.h"

class QGroupBox;
class IndicatorShape;
class ReceivePipeline;

// The "串口A" page.
class SerialAPage : public ChannelPage
{
    Q_OBJECT

public:
    SerialAPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    WriteResult Write(const QByteArray& payload) override;

    QGroupBox* GroupBox1;
    IndicatorShape* ShapeCom1;
    SendPanel* sendPanel;

private:
    ReceivePipeline& pipeline_;
};
