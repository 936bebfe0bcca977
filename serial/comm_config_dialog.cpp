#include "serial/comm_config_dialog.h"

#include "core/widget_kit.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>

using namespace WidgetKit;

namespace {

const QStringList kBaudRates = {"110",   "300",   "600",    "1200",   "2400",   "4800",   "9600",  "14400",
                                "19200", "38400", "57600",  "115200", "230400", "460800", "921600"};

CommConfigDialog::Runner& CurrentRunner()
{
    static CommConfigDialog::Runner runner = [](CommConfigDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
    return runner;
}

}  // namespace

CommConfigDialog::CommConfigDialog(const QString& portName, const Dcb& dcb, QWidget* parent)
    : QDialog(parent), dcb_(dcb)
{
    setObjectName(QStringLiteral("CommConfigDialog"));
    setWindowTitle(portName + QStringLiteral(" 属性"));

    cbbBaudRate = NewPickList("cbbBaudRate", kBaudRates, -1, this);
    cbbBaudRate->setEditable(true);
    cbbBaudRate->setValidator(new QIntValidator(1, 4000000, cbbBaudRate));
    cbbBaudRate->setEditText(QString::number(dcb.BaudRate));
    cbbDataBits = NewPickList("cbbDataBits", {"4", "5", "6", "7", "8"}, qBound(4, int(dcb.ByteSize), 8) - 4, this);
    cbbParity = NewPickList("cbbParity", {"None", "Odd", "Even", "Mark", "Space"}, dcb.Parity, this);
    cbbStopBits = NewPickList("cbbStopBits", {"1", "1.5", "2"}, dcb.StopBits, this);
    cbbFlowControl = NewPickList("cbbFlowControl",
                                 {QStringLiteral("无"), QStringLiteral("Xon / Xoff"), QStringLiteral("硬件")},
                                 StreamProtocolOfFlags(dcb.Flags), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("每秒位数(B):"), cbbBaudRate);
    form->addRow(QStringLiteral("数据位(D):"), cbbDataBits);
    form->addRow(QStringLiteral("奇偶校验(P):"), cbbParity);
    form->addRow(QStringLiteral("停止位(S):"), cbbStopBits);
    form->addRow(QStringLiteral("流控制(F):"), cbbFlowControl);
    form->addRow(buttons);
}

Dcb CommConfigDialog::Result() const
{
    Dcb result = dcb_;
    bool ok = false;
    const uint baud = cbbBaudRate->currentText().trimmed().toUInt(&ok);
    if (ok && baud > 0)
        result.BaudRate = baud;
    result.ByteSize = static_cast<quint8>(cbbDataBits->currentIndex() + 4);
    result.Parity = static_cast<TParity>(cbbParity->currentIndex());
    result.StopBits = static_cast<TStopBits>(cbbStopBits->currentIndex());
    const auto flow = static_cast<TStreamProtocol>(cbbFlowControl->currentIndex());
    if (flow != StreamProtocolOfFlags(dcb_.Flags))
        result.Flags = BuildFlagWord(dcb_.Flags, false, flow, result.Parity);
    else
        result.Flags = BuildFlagWord(dcb_.Flags, Rs485ModeOfFlags(dcb_.Flags), flow, result.Parity);
    return result;
}

bool CommConfigDialog::Edit(const QString& portName, Dcb& dcb)
{
    CommConfigDialog dialog(portName, dcb, QApplication::activeWindow());
    if (!CurrentRunner()(dialog))
        return false;
    dcb = dialog.Result();
    return true;
}

CommConfigDialog::Runner CommConfigDialog::SetRunner(Runner runner)
{
    Runner previous = std::move(CurrentRunner());
    CurrentRunner() = std::move(runner);
    return previous;
}
