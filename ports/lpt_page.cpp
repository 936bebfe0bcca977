#include "ports/lpt_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Caption and colour of each connector pin: control pins green, data pins
// blue, status pins purple, ground pins black.
struct PinLabel
{
    QString caption;
    QColor color;
};

PinLabel PinLabelOf(int pin)
{
    const QColor control(0, 128, 0), data(0, 0, 255), status(128, 0, 128), ground(0, 0, 0);
    if (pin >= 2 && pin <= 9)
        return {QStringLiteral("Data %1 [%2]").arg(pin - 2).arg(pin, 2), data};
    if (pin >= 18)
        return {QStringLiteral("[%1] Ground").arg(pin), ground};
    switch (pin) {
    case 1:
        return {QStringLiteral("^Strobe[ 1]"), control};
    case 10:
        return {QStringLiteral("ACK    [10]"), status};
    case 11:
        return {QStringLiteral("Busy   [11]"), status};
    case 12:
        return {QStringLiteral("NoPaper[12]"), status};
    case 13:
        return {QStringLiteral("Select [13]"), status};
    case 14:
        return {QStringLiteral("[14] Auto LF"), control};
    case 15:
        return {QStringLiteral("[15] ^Fault"), status};
    case 16:
        return {QStringLiteral("[16] Init"), control};
    default:
        return {QStringLiteral("[17] Select IN"), control};
    }
}

}  // namespace

LptPage::LptPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tsLPT"));

    nrDeviceBox2 = new QComboBox(this);
    nrDeviceBox2->setObjectName(QStringLiteral("nrDeviceBox2"));
    nrDeviceBox2->setEditable(true);
    nrDeviceBox2->setEditText(QStringLiteral("LPT1"));
    Label12 = new QLabel(QStringLiteral("并口基址 0x"), this);
    Label12->setObjectName(QStringLiteral("Label12"));
    ebase = new QLineEdit(this);
    ebase->setObjectName(QStringLiteral("ebase"));
    CheckBox1 = new QCheckBox(QStringLiteral("使能"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));

    boxPins = new QGroupBox(QStringLiteral("并口引脚"), this);
    boxPins->setObjectName(QStringLiteral("boxPins"));
    auto* pinGrid = new QGridLayout(boxPins);
    for (int pin = 1; pin <= kPinCount; ++pin) {
        const PinLabel label = PinLabelOf(pin);
        QCheckBox* box = new QCheckBox(label.caption, boxPins);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(pin + 1));
        box->setProperty("tag", pin);
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, label.color);
        box->setPalette(palette);
        box->setEnabled(pin < 18);
        // Pins 1..13 run down the left column, 14..25 down the right, as on the connector.
        pinGrid->addWidget(box, pin <= 13 ? pin - 1 : pin - 14, pin <= 13 ? 0 : 1);
        pins[pin - 1] = box;
    }
    ButtonLPT = new QPushButton(QStringLiteral("更新引脚状态"), this);
    ButtonLPT->setObjectName(QStringLiteral("ButtonLPT"));

    edtLptSend = new QLineEdit(QStringLiteral("55"), this);
    edtLptSend->setObjectName(QStringLiteral("edtLptSend"));
    edtLptSend->setToolTip(QStringLiteral("接上并口打印机直接发送文本即可打印"));
    chkLPTHex = new QCheckBox(QStringLiteral("HEX"), this);
    chkLPTHex->setObjectName(QStringLiteral("chkLPTHex"));
    btnLPTSend = new QPushButton(QStringLiteral("发送"), this);
    btnLPTSend->setObjectName(QStringLiteral("btnLPTSend"));

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(nrDeviceBox2);
    portRow->addWidget(Label12);
    portRow->addWidget(ebase);
    portRow->addWidget(CheckBox1);
    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(edtLptSend, 1);
    sendRow->addWidget(chkLPTHex);
    sendRow->addWidget(btnLPTSend);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(portRow);
    layout->addWidget(boxPins);
    layout->addWidget(ButtonLPT);
    layout->addLayout(sendRow);
    layout->addStretch();
}
