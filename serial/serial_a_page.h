#pragma once

#include "send/channel_page.h"
#include "send/send_target.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class HotplugMonitor;
class IndicatorShape;
class ReceivePipeline;
class TnrBaseIO;
class TnrComm;
class TnrDeviceBox;
class TnrSemaphore;

// The "串口A" page: the serial port engine nrComm1 bound to its picker,
// open/close/configure, RTS and DTR, the four line indicators, the RS-485
// preset, received data into the pipeline, and the device plug-in and
// removal lines.
class SerialAPage : public ChannelPage, public SendTarget
{
    Q_OBJECT

public:
    // Asks the user for a device path to open; empty when cancelled.
    using PathPrompt = std::function<QString()>;

    static inline const char* const kEnterPathEntry = "输入设备路径…";

    SerialAPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);
    ~SerialAPage() override;

    SendPanel* Panel() const override { return sendPanel; }
    // Fills both port lists and sets the caption "串口A " + DescribePortA().
    void Start() override;

    // SendTarget: the dispatcher opens the port through the open button; the
    // bytes are queued (SendData) whether they came as hex or as text.
    bool OpensAutomatically() const override { return true; }
    bool IsOpen() const override;
    void StartOpening() override { btnOpenComClick(); }
    WriteResult Write(const QByteArray& payload) override;

    // Port B's visible list, filled together with this page's hidden one.
    void SetPortListB(QComboBox* cbb2_COM) { portListB_ = cbb2_COM; }
    void SetPathPrompt(PathPrompt prompt) { pathPrompt_ = std::move(prompt); }

    QString DescribePortA() const;
    void LoadPortLists();

    void btnOpenComClick();
    void btnCloseComClick();
    void btnComConfigClick();
    void chkRTSAClick();
    void chkDTRAClick();
    void chk485Click();
    void cbb_COMChange();
    void nrComm1AfterReceive(TnrBaseIO* Com, const char* Buffer, quint32 Received);
    // A serial device was plugged in (true) or removed (false).
    void DeviceChange(bool arrived);
    // The picker's last entry: open a device by a typed path.
    void EnterDevicePath();

    TnrComm* nrComm1;
    QGroupBox* GroupBox1;
    TnrDeviceBox* nrDeviceBox1;
    QPushButton* btnOpenCom;
    QPushButton* btnCloseCom;
    QPushButton* btnComConfig;
    IndicatorShape* ShapeCom1;
    QComboBox* cbb_COM;
    QCheckBox* chk485;
    QCheckBox* chkRTSA;
    QCheckBox* chkDTRA;
    QLabel* lCts;
    QLabel* lDsr;
    QLabel* lRlsd;
    QLabel* lRing;
    TnrSemaphore* nrSemaphoreCTS;
    TnrSemaphore* nrSemaphoreDSR;
    TnrSemaphore* nrSemaphoreRLSD;
    TnrSemaphore* nrSemaphoreRING;
    QCheckBox* chkTerminal;
    QCheckBox* chkModbus;
    SendPanel* sendPanel;

private:
    ReceivePipeline& pipeline_;
    QComboBox* portListB_ = nullptr;
    PathPrompt pathPrompt_;
    HotplugMonitor* hotplug_;
};
