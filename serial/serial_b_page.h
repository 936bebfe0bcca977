#pragma once

#include "send/channel_page.h"
#include "send/send_target.h"

#include <functional>
#include <memory>

class QComboBox;
class QGroupBox;
class QPushButton;
class IndicatorShape;
class ReceivePipeline;
class TCnRS232;
class TCnRS232Dialog;

// The "串口B" page: the serial component Comm2 with its settings dialog rsd2
// and its settings file; open, close, configure, received chunks into the
// pipeline under the label "COMB[" + device path + "]".
class SerialBPage : public ChannelPage, public SendTarget
{
    Q_OBJECT

public:
    // The settings file of port B, in the working folder.
    static inline const char* const kSettingsFile = "./CommPort.ini";
    static inline const char* const kSettingsSection = "COMCONFIG2";

    SerialBPage(ReceivePipeline& pipeline, QWidget* parent = nullptr);
    ~SerialBPage() override;

    SendPanel* Panel() const override { return sendPanel; }
    // Reads the settings file, selects the list entry of the port and sets
    // the caption "串口B " + DescribePortB().
    void Start() override;

    // SendTarget: the dispatcher opens the port through the open button.
    bool OpensAutomatically() const override { return true; }
    bool IsOpen() const override;
    void StartOpening() override { btn2OpenComClick(); }
    // Queues the whole payload, in pieces of at most 65535 bytes, in order.
    WriteResult Write(const QByteArray& payload) override;

    // Refills both serial port lists ("刷新"); by default only this page's.
    void SetPortListLoader(std::function<void()> loader) { loadPortLists_ = std::move(loader); }

    // The port and its settings, as the caption shows them after "串口B ".
    QString DescribePortB() const;

    void btn2OpenComClick();
    void btn2CloseComClick();
    void btn2ComConfigClick();
    void cbb2_COMChange();
    void Comm2ReceiveData(const QByteArray& chunk);
    // The open port failed: one line in the display, the page keeps its look.
    void Comm2Failure(const QString& reason);

    TCnRS232* Comm2;
    std::unique_ptr<TCnRS232Dialog> rsd2;
    QGroupBox* GroupBox3;
    QComboBox* cbb2_COM;
    QPushButton* btn2OpenCom;
    QPushButton* btn2CloseCom;
    QPushButton* btn2ComConfig;
    IndicatorShape* ShapeCom2;
    SendPanel* sendPanel;

private:
    void UpdateCaption();

    ReceivePipeline& pipeline_;
    std::function<void()> loadPortLists_;
};
