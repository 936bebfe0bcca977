#include "serial/cn_rs232_dlg.h"

#include "core/message_box.h"
#include "core/widget_kit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

using namespace WidgetKit;

namespace {

// A number field followed by the unit "毫秒".
QWidget* WithMilliseconds(QLineEdit* edit, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    layout->addWidget(new QLabel(QStringLiteral("毫秒"), row));
    layout->addStretch();
    return row;
}

// The integer a field holds, when it holds one from 0 to `maximum`.
std::optional<int> FieldValue(const QLineEdit* field, int maximum)
{
    bool ok = false;
    const int value = field->text().trimmed().toInt(&ok);
    if (!ok || value < 0 || value > maximum)
        return std::nullopt;
    return value;
}

void SetIndex(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index < combo->count() ? index : -1);
}

// Item index of a pick list as an enumeration value; no item keeps `current`.
template <typename Enum>
Enum IndexOr(const QComboBox* combo, Enum current)
{
    const int index = combo->currentIndex();
    return index < 0 ? current : static_cast<Enum>(index);
}

}  // namespace

TCnRS232Dlg::TCnRS232Dlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CnRS232Dlg"));
    setWindowTitle(QStringLiteral("串口设置"));
    setModal(true);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->addTab(BuildGeneralPage(), QStringLiteral("常规设置"));
    PageControl->addTab(BuildSoftwarePage(), QStringLiteral("软件流量控制"));
    PageControl->addTab(BuildHardwarePage(), QStringLiteral("硬件流量控制"));
    PageControl->addTab(BuildTimeoutPage(), QStringLiteral("超时设置"));

    cbShowHint = NewCheckBox("cbShowHint", QStringLiteral("显示提示信息"), this);
    cbShowHint->hide();
    btnOK = NewButton("btnOK", QStringLiteral("确定(&O)"), this);
    btnOK->setDefault(true);
    btnCancel = NewButton("btnCancel", QStringLiteral("取消(&C)"), this);
    // Clicking "取消" must not first check the field being left.
    btnCancel->setFocusPolicy(Qt::NoFocus);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbShowHint);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, &TCnRS232Dlg::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbbParity, &QComboBox::currentIndexChanged, this, &TCnRS232Dlg::UpdateReplaceControls);
    connect(cbReplaceWhenParityError, &QCheckBox::toggled, this, &TCnRS232Dlg::UpdateReplaceControls);
    UpdateReplaceControls();
}

QLineEdit* TCnRS232Dlg::NewNumberEdit(const char* name, QWidget* parent)
{
    QLineEdit* edit = NewEdit(name, QString(), parent);
    edit->setMaximumWidth(80);
    edit->installEventFilter(this);
    return edit;
}

QWidget* TCnRS232Dlg::BuildGeneralPage()
{
    auto* page = new QWidget(this);
    cbbBaudRate = NewPickList("cbbBaudRate",
                              {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000",
                               "57600", "115200", "128000", "256000"},
                              0, page);
    cbbByteSize = NewPickList("cbbByteSize", {"5", "6", "7", "8"}, 0, page);
    cbbParity = NewPickList("cbbParity",
                            {QStringLiteral("无"), QStringLiteral("奇校验"), QStringLiteral("偶校验"),
                             QStringLiteral("传号校验"), QStringLiteral("空号校验 ")},
                            0, page);
    cbbStopBits = NewPickList("cbbStopBits", {"1", "1.5", "2 "}, 0, page);
    cbReplaceWhenParityError =
        NewCheckBox("cbReplaceWhenParityError", QStringLiteral("奇偶校验错误替换成字符(&ASCII):"), page);
    seReplacedChar = NewNumberEdit("seReplacedChar", page);
    cbIgnoreNullChar = NewCheckBox("cbIgnoreNullChar", QStringLiteral("忽略NULL字符(&N)"), page);

    auto* form = new QFormLayout;
    form->addRow(NewBuddyLabel(QStringLiteral("波特率(&B):"), cbbBaudRate, page), cbbBaudRate);
    form->addRow(NewBuddyLabel(QStringLiteral("数据位(&D):"), cbbByteSize, page), cbbByteSize);
    form->addRow(NewBuddyLabel(QStringLiteral("奇偶校验(&P):"), cbbParity, page), cbbParity);
    form->addRow(NewBuddyLabel(QStringLiteral("停止位(&S):"), cbbStopBits, page), cbbStopBits);
    form->addRow(cbReplaceWhenParityError, seReplacedChar);
    form->addRow(cbIgnoreNullChar);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

QWidget* TCnRS232Dlg::BuildSoftwarePage()
{
    auto* page = new QWidget(this);
    cbInx_XonXoffFlow = NewCheckBox("cbInx_XonXoffFlow", QStringLiteral("输入Xon/Xoff有效(&F)"), page);
    cbOutx_XonXoffFlow = NewCheckBox("cbOutx_XonXoffFlow", QStringLiteral("输出Xon/Xoff有效(&O)"), page);
    cbTxContinueOnXoff = NewCheckBox("cbTxContinueOnXoff", QStringLiteral("Xoff后继续发送数据(&C)"), page);
    seXonLimit = NewNumberEdit("seXonLimit", page);
    seXoffLimit = NewNumberEdit("seXoffLimit", page);
    seXonChar = NewNumberEdit("seXonChar", page);
    seXoffChar = NewNumberEdit("seXoffChar", page);

    auto* form = new QFormLayout;
    form->addRow(cbInx_XonXoffFlow);
    form->addRow(cbOutx_XonXoffFlow);
    form->addRow(cbTxContinueOnXoff);
    form->addRow(NewBuddyLabel(QStringLiteral("Xon阈值(&B):"), seXonLimit, page), seXonLimit);
    form->addRow(NewBuddyLabel(QStringLiteral("Xoff阈值(&H):"), seXoffLimit, page), seXoffLimit);
    form->addRow(NewBuddyLabel(QStringLiteral("Xon字符(ASCII)(&K):"), seXonChar, page), seXonChar);
    form->addRow(NewBuddyLabel(QStringLiteral("Xoff字符(ASCII)(&I):"), seXoffChar, page), seXoffChar);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

QWidget* TCnRS232Dlg::BuildHardwarePage()
{
    auto* page = new QWidget(this);
    cbbDtrControl = NewPickList(
        "cbbDtrControl",
        {QStringLiteral("允许DTR线并保持"), QStringLiteral("禁止DTR线并保持"), QStringLiteral("允许DTR握手")}, 0,
        page);
    cbbRtsControl = NewPickList("cbbRtsControl",
                                {QStringLiteral("允许RTS并保持"), QStringLiteral("禁止RTS并保持"),
                                 QStringLiteral("允许RTS握手"), QStringLiteral("使用触发方式")},
                                0, page);
    cbOutx_DsrFlow = NewCheckBox("cbOutx_DsrFlow", QStringLiteral("使用DSR信号进行输出流量控制(&B)"), page);
    cbOutx_CtsFlow = NewCheckBox("cbOutx_CtsFlow", QStringLiteral("使用CTS信号进行输出流量控制(&C)"), page);
    cbDsrSensitivity = NewCheckBox("cbDsrSensitivity", QStringLiteral("DSR敏感度(&E)"), page);

    auto* input = new QFormLayout;
    input->addRow(NewBuddyLabel(QStringLiteral("DTR流量控制(&T):"), cbbDtrControl, page), cbbDtrControl);
    input->addRow(NewBuddyLabel(QStringLiteral("RTS流量控制(&R):"), cbbRtsControl, page), cbbRtsControl);
    auto* output = new QVBoxLayout;
    output->addWidget(cbOutx_DsrFlow);
    output->addWidget(cbOutx_CtsFlow);
    output->addWidget(cbDsrSensitivity);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("输入控制:"), page));
    layout->addLayout(input);
    layout->addWidget(new QLabel(QStringLiteral("输出控制:"), page));
    layout->addLayout(output);
    layout->addStretch();
    return page;
}

QWidget* TCnRS232Dlg::BuildTimeoutPage()
{
    auto* page = new QWidget(this);
    seReadIntervalTimeout = NewNumberEdit("seReadIntervalTimeout", page);
    seReadTotalTimeoutMultiplier = NewNumberEdit("seReadTotalTimeoutMultiplier", page);
    seReadTotalTimeoutConstant = NewNumberEdit("seReadTotalTimeoutConstant", page);
    seWriteTotalTimeoutMultiplier = NewNumberEdit("seWriteTotalTimeoutMultiplier", page);
    seWriteTotalTimeoutConstant = NewNumberEdit("seWriteTotalTimeoutConstant", page);

    auto* form = new QFormLayout;
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"读间隔超时(&R):", seReadIntervalTimeout},     {"读总超时系数(&T):", seReadTotalTimeoutMultiplier},
        {"读总超时常量(&A):", seReadTotalTimeoutConstant}, {"写总超时系数(&W):", seWriteTotalTimeoutMultiplier},
        {"写总超时常量(&B):", seWriteTotalTimeoutConstant},
    };
    for (const auto& [caption, edit] : rows)
        form->addRow(NewBuddyLabel(QString::fromUtf8(caption), edit, page), WithMilliseconds(edit, page));
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

void TCnRS232Dlg::SetSettings(const TCnRS232Config& config, const TCnRS232Timeouts& timeouts)
{
    config_ = config;
    timeouts_ = timeouts;

    const QString baud = QString::number(config.BaudRate);
    if (cbbBaudRate->findText(baud) < 0)
        cbbBaudRate->addItem(baud);
    cbbBaudRate->setCurrentIndex(cbbBaudRate->findText(baud));
    SetIndex(cbbByteSize, static_cast<int>(config.ByteSize));
    SetIndex(cbbParity, static_cast<int>(config.Parity));
    SetIndex(cbbStopBits, static_cast<int>(config.StopBits));
    cbReplaceWhenParityError->setChecked(config.ReplaceWhenParityError);
    seReplacedChar->setText(QString::number(config.ReplacedChar));
    cbIgnoreNullChar->setChecked(config.IgnoreNullChar);

    cbInx_XonXoffFlow->setChecked(config.Inx_XonXoffFlow);
    cbOutx_XonXoffFlow->setChecked(config.Outx_XonXoffFlow);
    cbTxContinueOnXoff->setChecked(config.TxContinueOnXoff);
    seXonLimit->setText(QString::number(config.XonLimit));
    seXoffLimit->setText(QString::number(config.XoffLimit));
    seXonChar->setText(QString::number(config.XonChar));
    seXoffChar->setText(QString::number(config.XoffChar));

    SetIndex(cbbDtrControl, static_cast<int>(config.DtrControl));
    SetIndex(cbbRtsControl, static_cast<int>(config.RtsControl));
    cbOutx_DsrFlow->setChecked(config.Outx_DsrFlow);
    cbOutx_CtsFlow->setChecked(config.Outx_CtsFlow);
    cbDsrSensitivity->setChecked(config.DsrSensitivity);

    seReadIntervalTimeout->setText(QString::number(timeouts.ReadIntervalTimeout));
    seReadTotalTimeoutMultiplier->setText(QString::number(timeouts.ReadTotalTimeoutMultiplier));
    seReadTotalTimeoutConstant->setText(QString::number(timeouts.ReadTotalTimeoutConstant));
    seWriteTotalTimeoutMultiplier->setText(QString::number(timeouts.WriteTotalTimeoutMultiplier));
    seWriteTotalTimeoutConstant->setText(QString::number(timeouts.WriteTotalTimeoutConstant));
    UpdateReplaceControls();
}

void TCnRS232Dlg::UpdateReplaceControls()
{
    cbReplaceWhenParityError->setEnabled(cbbParity->currentIndex() > 0);
    seReplacedChar->setEnabled(cbReplaceWhenParityError->isEnabled() && cbReplaceWhenParityError->isChecked());
}

int TCnRS232Dlg::FieldMaximum(const QLineEdit* field) const
{
    return field == seReplacedChar || field == seXonChar || field == seXoffChar ? 255 : 65535;
}

bool TCnRS232Dlg::Refuse(QLineEdit* field, const char* message)
{
    MessageBox::Show(QString::fromUtf8(message));
    refocusing_ = true;
    QTimer::singleShot(0, field, [this, field] {
        field->setFocus();
        field->selectAll();
        refocusing_ = false;
    });
    return false;
}

bool TCnRS232Dlg::FieldExit(QLineEdit* field)
{
    const int maximum = FieldMaximum(field);
    if (!FieldValue(field, maximum))
        return Refuse(field, maximum == 255 ? kAsciiMessage : kIntegerMessage);
    if ((field == seXonChar || field == seXoffChar) && seXonChar->text() == seXoffChar->text())
        return Refuse(field, kSameXonXoffMessage);
    return true;
}

bool TCnRS232Dlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && !refocusing_) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching windows or opening a menu is not leaving the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            FieldExit(static_cast<QLineEdit*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void TCnRS232Dlg::btnOKClick()
{
    for (QLineEdit* field : {seReplacedChar, seXonLimit, seXoffLimit, seXonChar, seXoffChar, seReadIntervalTimeout,
                             seReadTotalTimeoutMultiplier, seReadTotalTimeoutConstant, seWriteTotalTimeoutMultiplier,
                             seWriteTotalTimeoutConstant}) {
        if (!FieldValue(field, FieldMaximum(field))) {
            FieldExit(field);
            return;
        }
    }
    bool baudOk = false;
    const uint baud = cbbBaudRate->currentText().trimmed().toUInt(&baudOk);
    if (!baudOk) {
        MessageBox::Show(QString::fromUtf8(kBaudMessage));
        cbbBaudRate->setFocus();
        return;
    }

    // XON and XOFF are compared as they will be set, not one against the
    // other's old value, so that both can change in one go.
    const auto xoff = static_cast<quint8>(*FieldValue(seXoffChar, 255));
    const auto xon = static_cast<quint8>(*FieldValue(seXonChar, 255));
    if (xon == xoff) {
        Refuse(seXonChar, kSameXonXoffMessage);
        return;
    }
    config_.XoffChar = xoff;
    config_.ReplacedChar = static_cast<quint8>(*FieldValue(seReplacedChar, 255));
    config_.XonChar = xon;

    config_.BaudRate = baud;
    config_.ByteSize = IndexOr(cbbByteSize, config_.ByteSize);
    config_.Parity = IndexOr(cbbParity, config_.Parity);
    config_.ParityCheck = cbbParity->currentIndex() != 0;
    config_.StopBits = IndexOr(cbbStopBits, config_.StopBits);
    config_.ReplaceWhenParityError = cbReplaceWhenParityError->isChecked();
    config_.IgnoreNullChar = cbIgnoreNullChar->isChecked();
    config_.Inx_XonXoffFlow = cbInx_XonXoffFlow->isChecked();
    config_.Outx_XonXoffFlow = cbOutx_XonXoffFlow->isChecked();
    config_.TxContinueOnXoff = cbTxContinueOnXoff->isChecked();
    config_.XonLimit = static_cast<quint16>(*FieldValue(seXonLimit, 65535));
    config_.XoffLimit = static_cast<quint16>(*FieldValue(seXoffLimit, 65535));
    config_.DtrControl = IndexOr(cbbDtrControl, config_.DtrControl);
    config_.RtsControl = IndexOr(cbbRtsControl, config_.RtsControl);
    config_.Outx_DsrFlow = cbOutx_DsrFlow->isChecked();
    config_.Outx_CtsFlow = cbOutx_CtsFlow->isChecked();
    config_.DsrSensitivity = cbDsrSensitivity->isChecked();

    timeouts_.ReadIntervalTimeout = *FieldValue(seReadIntervalTimeout, 65535);
    timeouts_.ReadTotalTimeoutMultiplier = *FieldValue(seReadTotalTimeoutMultiplier, 65535);
    timeouts_.ReadTotalTimeoutConstant = *FieldValue(seReadTotalTimeoutConstant, 65535);
    timeouts_.WriteTotalTimeoutMultiplier = *FieldValue(seWriteTotalTimeoutMultiplier, 65535);
    timeouts_.WriteTotalTimeoutConstant = *FieldValue(seWriteTotalTimeoutConstant, 65535);
    accept();
}
