#pragma once

#include "io/tnr_notify_handler.h"
#include "send/channel.h"
#include "serial/tnr_comm.h"

class HotplugMonitor;

// Serial channel A: the serial port engine nrComm1, opened, closed and set up
// on the user's or the send dispatcher's request; every received block goes to
// the receive sink under the label "COMA[" port "]", and serial devices being
// plugged in or removed give one line each. The page learns of every change it
// shows through the signals; the channel follows the engine's open and closed
// notices, so a port that closed by itself shows as closed, with one line
// saying why.
class SerialAChannel : public Channel, private TnrNotifyHandler
{
    Q_OBJECT

public:
    explicit SerialAChannel(ReceiveSink& sink, QObject* parent = nullptr);
    ~SerialAChannel() override;

    // Watches for serial devices and announces the caption "串口A " + DescribePortA().
    void Start() override;

    // SendTarget: a closed port is opened as the open button does; the bytes
    // are queued (SendData) whether they came as hex or as text. A closed
    // port sends nothing: one line says so.
    bool OpensAutomatically() const override { return true; }
    bool IsOpen() const override { return nrComm1->Active(); }
    void StartOpening() override { Open(); }
    WriteResult Write(const QByteArray& payload) override;

    // Outgoing flow control at port A's baud rate; see Channel.
    bool Congested() const override { return nrComm1->WriteCongested(); }
    void SetReceivePaused(bool paused) override { nrComm1->SetReceivePaused(paused); }

    // The picked port and its line settings, e.g. "/dev/ttyS0  9600  8   None   1  禁用流控".
    QString DescribePortA() const;
    // The engine is open: opened by the user or the dispatcher, or reopened
    // on another port, and neither closed nor halted since.
    bool Opened() const { return opened_; }

    // The open button: the caption becomes DescribePortA(), then the engine
    // opens; a failure shows "串口打开错误!".
    void Open();
    void Close();
    // The engine's settings dialog, applied at once to an open port.
    void Configure();
    // The editor Configure shows; without one it does nothing.
    void SetConfigEditor(TnrComm::ConfigEditor editor) { nrComm1->configEditor = std::move(editor); }
    // Lines of a closed port stay as they are.
    void SetRts(bool on) { nrComm1->SetStateRTS(on); }
    void SetDtr(bool on) { nrComm1->SetStateDTR(on); }
    // "RS485模式": no flow control, and RTS marks the transmit direction.
    void SetRs485Preset(bool on);
    // Lists a device path the user typed and picks it; an open port reopens
    // on it, and a failure to do so shows the engine's error.
    void PickPortPath(const QString& path);
    // The four line indicators: objects with a boolean property "Checked".
    void SetLineMonitors(QObject* cts, QObject* dsr, QObject* rlsd, QObject* ring);

    void nrComm1AfterReceive(TnrBaseIO* Com, const char* Buffer, quint32 Received);
    // A serial device was plugged in (true) or removed (false).
    void DeviceChange(bool arrived);

    TnrComm* nrComm1;

signals:
    // The text the page shows as its caption.
    void CaptionChanged(const QString& caption);
    void OpenedChanged(bool opened);

private:
    // The engine's notices: opened (2) and closed (1), whoever closed it.
    void TnrNotifyEvent(TnrBaseIO* Sender, int Code) override;
    void SetOpened(bool opened);

    HotplugMonitor* hotplug_;
    bool opened_ = false;
};
