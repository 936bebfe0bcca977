#pragma once

#include "app/tnm_http.h"
#include "app/web_settings.h"
#include "core/channel_counters.h"
#include "core/channel_id.h"
#include "data/display_line_store.h"
#include "data/nmea_gps_decoder.h"
#include "data/receive_options.h"
#include "data/receive_pipeline.h"
#include "net/tcp_client_channel.h"
#include "net/tcp_server_channel.h"
#include "net/udp_client_channel.h"
#include "net/udp_server_channel.h"
#include "ports/lpt_channel.h"
#include "ports/tnr_usb.h"
#include "ports/usb_hotplug_monitor.h"
#include "send/file_sender.h"
#include "send/period_timer.h"
#include "send/relay.h"
#include "send/send_dispatcher.h"
#include "serial/serial_a_channel.h"
#include "serial/serial_b_channel.h"

#include <QMainWindow>
#include <QTimer>

#include <array>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTextBrowser;
class ChannelPage;
class LptPage;
class ReceiveDisplay;
class SerialAPage;
class SerialBPage;
class StatusPanels;
class TcpClientPage;
class TFormModbus;
class TcpServerPage;
class TwaveForm;
class TnrTerminal;
class UdpClientPage;
class UdpServerPage;
class UsbPage;

// The main window "Form1": the shared receive display with its options, the
// send options, the channel pages and the status bar. It owns every channel,
// the traffic counters, the receive pipeline and the send dispatcher, and
// wires them together; each behaviour lives with its subsystem.
class TForm1 : public QMainWindow, public ReceiveOptions, public RelaySettings
{
    Q_OBJECT

public:
    static inline const char* const kProductTitle = "串口/TCP/UDP调试及转发软件";
    static inline const char* const kContactText = "serialnet 开源项目 (Linux版)";

    // `beeper` may be null: then "接收蜂鸣提示" is silent. `log` takes every
    // display line; null keeps none.
    explicit TForm1(Beeper* beeper = nullptr, LineLog* log = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up steps run once after construction.
    void FormCreate();

    // The three operations every channel shares.
    void ShowInfo(const QString& text, LineColor color) { pipeline_.ShowInfo(text, color); }
    void ProcessReceived(QByteArrayView data, const QString& label, ChannelId channel)
    {
        pipeline_.ProcessReceived(data, label, channel);
    }
    void SendToChannel(QByteArrayView text, ChannelId channel, bool hex)
    {
        dispatcher_.SendToChannel(text, channel, hex);
    }

    void UpdateStatusBar();
    void StatusBar1Click();
    void btnClearMsgClick();
    void chkKeepFrontClick();
    void chkRelayClick();
    // "文本编码": the encoding of payload text from now on.
    void cbbTextEncodingChange();
    // The six send buttons share one action.
    void SendButtonClick(ChannelId channel);
    // Timed send, snippet table and file send.
    void chkPeriodSendClick();
    void tmrPeriodSendTimer();
    void ValueListEditor1SelectCell(int row, int column);
    void edtFilePathClick();
    void btnOpenFileClick();
    // "波形图": shows the waveform window, which the receive pipeline feeds
    // while it shows.
    void btnWaveClick();

    // Start-up version check and the web links. A window gets no settings
    // of its own: until SetWebSettings it makes no request (tests never
    // reach the network), and its links lead nowhere.
    void SetWebSettings(const WebSettings& settings) { web_ = settings; }
    const WebSettings& Web() const { return web_; }
    void tmrSendTimer();
    void NMHTTP1Success(int Cmd, const QByteArray& body);
    void btnFullScrClick();
    void btndocsClick();
    void btnPublicTcpServerClick();
    // Terminal mode on port A: the terminal takes the receive display's place.
    void chkTerminalClick();
    // Toggles the enlarged 150-column layout.
    void nrTerminal1DblClick();
    // "Modbus" on port A's page: checked creates the Modbus window (once) with
    // its engine as port A's data processor and shows it; unchecked destroys
    // the window and detaches the engine.
    void chkModbusClick();

    ChannelCounters& Counters() { return counters_; }
    const DisplayLineStore& DisplayLines() const { return displayLines_; }
    ReceivePipeline& Pipeline() { return pipeline_; }
    SendDispatcher& Dispatcher() { return dispatcher_; }
    FileSender& FileSend() { return fileSender_; }
    ChannelPage* Page(ChannelId channel) const { return channelPages_.at(channel); }
    SerialAChannel& ComA() { return comA_; }
    SerialBChannel& ComB() { return comB_; }
    TcpServerChannel& TcpServer() { return tcpServerChannel_; }
    TcpClientChannel& TcpClient() { return tcpClientChannel_; }
    UdpServerChannel& UdpServer() { return udpServerChannel_; }
    UdpClientChannel& UdpClient() { return udpClientChannel_; }
    LptChannel& ParallelPort() { return lptChannel_; }
    TnrUSB& nrUSB1() { return nrUSB1_; }

    // ReceiveOptions
    bool HelpInfo() const override;
    bool SendInfo() const override;
    bool LogBound() const override;
    bool LatestOnly() const override;
    bool Beep() const override;
    bool HexShow() const override;
    int HexStyle() const override;
    bool Gps() const override;
    bool AutoScroll() const override;
    QString ExpectedLengthText() const override;
    void SetExpectedLengthText(const QString& text) override;
    bool Echo(ChannelId channel) const override;

    // RelaySettings
    bool RelayOn() const override;
    int EndpointA() const override;
    int EndpointB() const override;

    // Receive options "接收选项".
    QCheckBox* chkHelpInfo;
    QCheckBox* chkSendInfo;
    QCheckBox* chkKeepFront;
    QCheckBox* chkLog;
    QCheckBox* chkLatest;
    QCheckBox* chkBeep;
    QCheckBox* chkHexShow;
    QComboBox* cbbHexStyle;
    QPushButton* btnWave;
    QLineEdit* edtCmpLen;
    QCheckBox* chkGPS;
    QCheckBox* chkGUN;
    QComboBox* cbbTextEncoding;
    QPushButton* btnClearMsg;
    ReceiveDisplay* edtMsg;
    TnrTerminal* nrTerminal1;

    // Send options "发送选项".
    QCheckBox* chkRelay;
    QComboBox* cbbConnA;
    QComboBox* cbbConnB;
    QComboBox* cbSendFrom;
    QTableWidget* ValueListEditor1;
    QComboBox* cbbPeriodSend;
    QCheckBox* chkPeriodSend;
    QLineEdit* edtPeriodSend;
    QLineEdit* edtFilePath;
    QPushButton* btnOpenFile;

    QTabWidget* PageControl1;
    SerialAPage* serialA;
    SerialBPage* serialB;
    TcpServerPage* tcpServer;
    TcpClientPage* tcpClient;
    UdpServerPage* udpServer;
    UdpClientPage* udpClient;
    LptPage* lpt;
    UsbPage* usb;
    QPushButton* btndocs;
    QPushButton* btnPublicTcpServer;
    QPushButton* btnFullScr;
    QTextBrowser* CppWebBrowser1;
    TwaveForm* waveForm;
    StatusPanels* StatusBar1;
    // The Modbus window while "Modbus" is checked, else null.
    TFormModbus* FormModbus = nullptr;

    PeriodTimer tmrPeriodSend;
    QTimer tmrSend;
    QTimer TimerSpeed;
    TNMHTTP NMHTTP1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* BuildReceiveOptions();
    QWidget* BuildSendOptions();
    void BuildPages();
    // The parallel port page on `nrLPT1`, which is also the dispatcher's LPT target.
    void BuildParallelPortPage();
    // The USB page on `nrUSB1`, refreshed when a USB device comes or goes.
    void BuildUsbPage();
    void BuildTerminal(QBoxLayout* receiveArea);
    void WireModbusWindow();
    void FormClose();
    void BuildWaveForm();
    void ConnectWebLinks();
    void LoadManualPage();

    ChannelCounters counters_;
    DisplayLineStore displayLines_;
    ReceivePipeline pipeline_;
    NmeaGpsDecoder gps_;
    SendDispatcher dispatcher_;
    Relay relay_;
    FileSender fileSender_;
    // The channels, built before their pages, which are destroyed first.
    SerialAChannel comA_;
    SerialBChannel comB_;
    TcpServerChannel tcpServerChannel_;
    TcpClientChannel tcpClientChannel_;
    UdpServerChannel udpServerChannel_;
    UdpClientChannel udpClientChannel_;
    LptChannel lptChannel_;
    TnrUSB nrUSB1_;
    UsbHotplugMonitor usbMonitor_;
    std::array<ChannelPage*, kDataChannelCount> channelPages_{};
    bool closed_ = false;
    WebSettings web_;
    TNMHTTP manualHttp_;
    QBoxLayout* receiveArea_ = nullptr;
    bool terminalEnlarged_ = false;
};
