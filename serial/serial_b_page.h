#pragma once

#include "send/channel_page.h"

#include <functional>
#include <memory>

class QComboBox;
class QGroupBox;
class QPushButton;
class IndicatorShape;
class SerialBChannel;
class TCnRS232Dialog;

// The "串口B" page: the port list, open, close and the settings dialog rsd2
// of channel B. The page shows the channel's state, tells it which port its
// list offers and hands every click to it.
class SerialBPage : public ChannelPage
{
    Q_OBJECT

public:
    explicit SerialBPage(SerialBChannel& channel, QWidget* parent = nullptr);
    ~SerialBPage() override;

    SendPanel* Panel() const override { return sendPanel; }
    // Selects the list entry of the port the channel's settings file names.
    void Start() override;

    // Refills both serial port lists ("刷新"); by default only this page's.
    void SetPortListLoader(std::function<void()> loader) { loadPortLists_ = std::move(loader); }

    void btn2OpenComClick();
    void btn2CloseComClick();
    void btn2ComConfigClick();
    void cbb2_COMChange();

    std::unique_ptr<TCnRS232Dialog> rsd2;
    QGroupBox* GroupBox3;
    QComboBox* cbb2_COM;
    QPushButton* btn2OpenCom;
    QPushButton* btn2CloseCom;
    QPushButton* btn2ComConfig;
    IndicatorShape* ShapeCom2;
    SendPanel* sendPanel;

private:
    // Tells the channel what the list now offers to open.
    void OfferChosenPort();
    // Open: the list and the open button locked, close enabled, lamp green;
    // red once the open port has failed.
    void ShowState();

    SerialBChannel& channel_;
    std::function<void()> loadPortLists_;
};
