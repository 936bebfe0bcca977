#pragma once

#include "send/channel_page.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class IndicatorShape;
class TcpClientChannel;

// The "TCP客户端" page: the TCP client's server fields, switch, lamp, local
// port and "自动重连" option.
class TcpClientPage : public ChannelPage
{
    Q_OBJECT

public:
    TcpClientPage(TcpClientChannel& channel, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }

    // Click action of "启用" (user clicks only; the channel sets the box quietly).
    void chkTCPClientClick();

    QGroupBox* GroupBox5;
    QLabel* Label8;
    QLineEdit* edtTCPClientHost;
    QLabel* Label2;
    QLineEdit* edtTCPClientPort;
    QLabel* lblTcpClientPort;
    QCheckBox* chkTCPClient;
    IndicatorShape* ShapeTCPClient;
    QCheckBox* chkReconn;
    SendPanel* sendPanel;

private:
    void PassServerFields();
    void ShowConnected(quint16 localPort);
    void ShowDisconnected();
    void ShowFailed();
    void ShowSwitch(bool on);

    TcpClientChannel& channel_;
};
