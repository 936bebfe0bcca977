#pragma once

#include "send/channel_page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class IndicatorShape;
class TcpServerChannel;

// The "TCP服务器" page: the TCP server's port field, switch, lamp and client
// drop-down, whose selected item is where the channel sends.
class TcpServerPage : public ChannelPage
{
    Q_OBJECT

public:
    TcpServerPage(TcpServerChannel& channel, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }

    // Check-box action: starts or stops the server (also on changes by code).
    void chkTCPSrvClick();
    // Rebuilds cbListClient from the channel's client list.
    void RefreshClientList();

    QGroupBox* GroupBox4;
    QLabel* Label1;
    QLineEdit* edtTCPPort;
    QComboBox* cbListClient;
    QCheckBox* chkTCPSrv;
    IndicatorShape* ShapeTCP;
    SendPanel* sendPanel;

private:
    void ShowClientName(int index);
    void ShowListening(bool listening);
    void ShowSwitch(bool on);

    TcpServerChannel& channel_;
};
