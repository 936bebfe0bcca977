#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The "并口" page: parallel port picker, base address, the 25 pins of the
// connector and the send field.
class LptPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPinCount = 25;

    explicit LptPage(QWidget* parent = nullptr);

    QComboBox* nrDeviceBox2;
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
};
