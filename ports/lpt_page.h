#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TnrDeviceBox;
class TnrLPT;

// The "并口" page: parallel port picker, base address, the 25 pins of the
// connector and the send field. It drives the component `nrLPT1`, which its
// window owns.
class LptPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPinCount = 25;
    // The hex send buffer; longer hex text goes out in pieces of this size.
    static constexpr int kHexBufferSize = 1024;

    explicit LptPage(TnrLPT& nrLPT1, QWidget* parent = nullptr);

    // "使能": opens or closes the port; a failure is shown in the error box
    // and the box shows the port's true state.
    void CheckBox1Click();
    // "更新引脚状态": every pin box shows its pin as read.
    void ButtonLPTClick();
    // "发送": the trimmed text, as hex bytes or as text, while the port is open.
    void btnLPTSendClick();

    TnrDeviceBox* nrDeviceBox2;
    QLabel* Label12;
    QLineEdit* ebase;
    QGroupBox* boxPins;
    // Pin n of the connector is pins[n - 1] ("CheckBox2" for pin 1 ... "CheckBox26" for pin 25).
    std::array<QCheckBox*, kPinCount> pins{};
    QPushButton* ButtonLPT;
    QCheckBox* CheckBox1;
    QLineEdit* edtLptSend;
    QCheckBox* chkLPTHex;
    QPushButton* btnLPTSend;

private:
    TnrLPT& nrLPT1_;
};
