#include "ports/lpt_page.h"

#include "core/message_box.h"
#include "core/text_codec.h"
#include "data/codec.h"
#include "io/tnr_device_box.h"
#include "ports/tnr_lpt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>

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

LptPage::LptPage(TnrLPT& nrLPT1, QWidget* parent) : QWidget(parent), nrLPT1_(nrLPT1)
{
    setObjectName(QStringLiteral("tsLPT"));

    nrDeviceBox2 = new TnrDeviceBox(this);
    nrDeviceBox2->setObjectName(QStringLiteral("nrDeviceBox2"));
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

    nrDeviceBox2->SetnrComm(&nrLPT1_);
    connect(CheckBox1, &QCheckBox::clicked, this, &LptPage::CheckBox1Click);
    connect(ButtonLPT, &QPushButton::clicked, this, &LptPage::ButtonLPTClick);
    connect(btnLPTSend, &QPushButton::clicked, this, &LptPage::btnLPTSendClick);
}

void LptPage::CheckBox1Click()
{
    try {
        nrLPT1_.SetActive(CheckBox1->isChecked());
        ebase->setText(QString::number(nrLPT1_.LptIOBase(), 16).toUpper());
        ButtonLPTClick();
    } catch (const std::exception& error) {
        CheckBox1->setChecked(nrLPT1_.Active());
        MessageBox::Show(QString::fromStdString(error.what()));
    }
}

void LptPage::ButtonLPTClick()
{
    for (QCheckBox* box : boxPins->findChildren<QCheckBox*>()) {
        const int tag = box->property("tag").toInt();
        if (tag != 0)
            box->setChecked(nrLPT1_.GetPin(tag));
    }
}

void LptPage::btnLPTSendClick()
{
    const QString text = edtLptSend->text().trimmed();
    if (text.isEmpty() || !nrLPT1_.Active())
        return;
    const QByteArray bytes = TextCodec::Encode(text, TextCodec::PayloadEncoding());
    if (!chkLPTHex->isChecked()) {
        nrLPT1_.SendString(bytes);
        return;
    }
    // Hex text of more than the buffer holds goes out whole, one buffer at a time.
    const QByteArray parsed = HexTextToBytes(bytes);
    std::array<char, kHexBufferSize> buffer{};
    for (qsizetype offset = 0; offset < parsed.size() && nrLPT1_.Active(); offset += kHexBufferSize) {
        const qsizetype count = std::min<qsizetype>(kHexBufferSize, parsed.size() - offset);
        std::memcpy(buffer.data(), parsed.constData() + offset, size_t(count));
        nrLPT1_.SendData(buffer.data(), quint32(count));
    }
}
