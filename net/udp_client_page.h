#pragma once

#include "send/channel_page.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class IndicatorShape;
class UdpClientChannel;

// The "UDP客户端" page: the UDP client's remote endpoint, local port, switch
// and lamp.
class UdpClientPage : public ChannelPage
{
    Q_OBJECT

public:
    UdpClientPage(UdpClientChannel& channel, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }

    // Check-box action (also on changes by code).
    void chkUDPClientClick();

    QGroupBox* GroupBox6;
    QLabel* Label3;
    QLineEdit* edtUDPClientRemoteHost;
    QLabel* Label7;
    QLineEdit* edtUDPClientRemotePort;
    QLabel* Label4;
    QLineEdit* edtUDPClientLocalPort;
    QCheckBox* chkUDPClient;
    IndicatorShape* ShapeUDPClient;
    SendPanel* sendPanel;

private:
    void ShowSwitch(bool on);

    UdpClientChannel& channel_;
};
