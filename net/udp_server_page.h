#pragma once

#include "send/channel_page.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class IndicatorShape;
class UdpServerChannel;

// The "UDP服务器" page: the UDP server's remote fields (where sends go, and
// who sent last), local port, switch and lamp.
class UdpServerPage : public ChannelPage
{
    Q_OBJECT

public:
    UdpServerPage(UdpServerChannel& channel, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }

    // Check-box action: starts or stops the server (also on changes by code).
    void chkUDPSrvClick();

    QGroupBox* GroupBox2;
    QLabel* lblUDPIP;
    QLineEdit* edtUDPRemoteHost;
    QLabel* Label5;
    QLineEdit* edtUDPRemotePort;
    QLabel* Label6;
    QLineEdit* edtLocalPort;
    QCheckBox* chkUDPSrv;
    IndicatorShape* ShapeUDP;
    SendPanel* sendPanel;

private:
    void PassRemoteFields();
    void ShowRemote(const QString& host, const QString& port);
    void ShowSwitch(bool on);

    UdpServerChannel& channel_;
};
