#pragma once

#include "send/channel_page.h"

#include <QStringList>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class DevicePathDialog;
class IndicatorShape;
class SerialAChannel;
class TnrDeviceBox;
class TnrSemaphore;

// The "串口A" page: the picker bound to channel A's engine, open, close,
// configure, RTS and DTR, the four line indicators and the RS-485 preset. The
// page shows the channel's state and hands every click to it.
class SerialAPage : public ChannelPage
{
    Q_OBJECT

public:
    // Asks the user for a device path to open; empty when cancelled. By
    // default the dialog of NewPathDialog.
    using PathPrompt = std::function<QString()>;

    static inline const char* const kEnterPathEntry = "输入设备路径…";

    explicit SerialAPage(SerialAChannel& channel, QWidget* parent = nullptr);

    SendPanel* Panel() const override { return sendPanel; }
    // Fills both port lists.
    void Start() override;

    // Port B's visible list, filled together with this page's hidden one.
    void SetPortListB(QComboBox* cbb2_COM) { portListB_ = cbb2_COM; }
    void SetPathPrompt(PathPrompt prompt) { pathPrompt_ = std::move(prompt); }
    // Where the path dialog looks for ports (tests use a fake tree).
    void SetByIdRoot(const QString& root) { byIdRoot_ = root; }
    // The path dialog as the prompt shows it: the by-id ports and the paths
    // typed before.
    std::unique_ptr<DevicePathDialog> NewPathDialog();
    // The paths picked through the prompt in this session, oldest first.
    const QStringList& TypedPaths() const { return typedPaths_; }

    void LoadPortLists();

    void btnOpenComClick();
    void btnCloseComClick();
    void btnComConfigClick();
    void chkRTSAClick();
    void chkDTRAClick();
    void chk485Click();
    void cbb_COMChange();
    // The picker's last entry: open a device by a typed path.
    void EnterDevicePath();

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
    // Open: the list and the open button locked, close enabled, lamp green.
    void ShowOpened(bool opened);

    SerialAChannel& channel_;
    QComboBox* portListB_ = nullptr;
    PathPrompt pathPrompt_;
    QString byIdRoot_;
    QStringList typedPaths_;
};
