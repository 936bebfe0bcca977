#include "modbus/form_modbus.h"

#include "core/message_box.h"
#include "core/widget_kit.h"
#include "modbus/modbus_number_text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>

using namespace WidgetKit;

namespace {

QLabel* ColouredLabel(const char* name, const QString& text, const char* colour, bool bold, QWidget* parent)
{
    QLabel* label = NewLabel(name, text, parent);
    label->setStyleSheet(QStringLiteral("color: %1;%2").arg(QLatin1String(colour),
                                                             bold ? QStringLiteral(" font-weight: bold;") : QString()));
    return label;
}

QString Hex4(unsigned value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

TFormModbus::TFormModbus(QWidget* parent) : QWidget(parent, Qt::Window), nrModbus1(new TnrModbus(this))
{
    setObjectName(QStringLiteral("FormModbus"));
    setWindowTitle(QStringLiteral("Modbus"));
    resize(525, 682);

    nrModbus1->setObjectName(QStringLiteral("nrModbus1"));
    nrModbus1->SetActive(true);
    nrModbus1->SetTimeout(15000);
    nrModbus1->SetAddress(0);
    nrModbus1->SetASCII(false);
    nrModbus1->SetDelayPoll(0);
    nrModbus1->SetDelayWrite(15);
    nrModbus1->SetIgnoreRepeatFunc(false);
    nrModbus1->OnTimeout = [this](TnrDataProtocol* sender) { nrModbus1Timeout(sender); };
    nrModbus1->OnModbusReply = [this](TnrModbus* sender, const TnrModbusPacket& reply,
                                      const TnrModbusRegisterList& registers, const TnrModbusCoilList& coils) {
        nrModbus1ModbusReply(sender, reply, registers, coils);
    };

    eAddress = NewEdit("eAddress", QStringLiteral("$07"), this);
    grpMode = new QGroupBox(QStringLiteral("模式"), this);
    grpMode->setObjectName(QStringLiteral("grpMode"));
    modeButtons_ = new QButtonGroup(grpMode);
    auto* rtu = new QRadioButton(QStringLiteral("RTU"), grpMode);
    rtu->setObjectName(QStringLiteral("grpModeRTU"));
    auto* ascii = new QRadioButton(QStringLiteral("ASCII"), grpMode);
    ascii->setObjectName(QStringLiteral("grpModeASCII"));
    modeButtons_->addButton(rtu, 0);
    modeButtons_->addButton(ascii, 1);
    rtu->setChecked(true);
    auto* modeLayout = new QHBoxLayout(grpMode);
    modeLayout->addWidget(rtu);
    modeLayout->addWidget(ascii);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    tsRead = BuildReadPage();
    tsPoll = BuildPollPage();
    tsWrite = BuildWritePage();
    PageControl1->addTab(tsRead, QStringLiteral("读"));
    PageControl1->addTab(tsPoll, QStringLiteral("轮询"));
    PageControl1->addTab(tsWrite, QStringLiteral("写"));
    PageControl1->setCurrentWidget(tsPoll);

    eLog = new QPlainTextEdit(this);
    eLog->setObjectName(QStringLiteral("eLog"));
    eLog->setReadOnly(true);

    auto* top = new QHBoxLayout;
    top->addWidget(NewLabel("lblAddress", QStringLiteral("地址 (0..FF)"), this));
    top->addWidget(eAddress);
    top->addWidget(grpMode, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(PageControl1, 3);
    layout->addWidget(NewLabel("lblLog", QStringLiteral("日志"), this));
    layout->addWidget(eLog, 2);
}

TFormModbus::~TFormModbus() = default;

QWidget* TFormModbus::BuildReadPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsRead"));
    eReadReg = NewEdit("eReadReg", QStringLiteral("$4A00"), page);
    bReadReg = NewButton("bReadReg", QStringLiteral("读寄存器"), page);
    eReadCoil = NewEdit("eReadCoil", QStringLiteral("$4A00"), page);
    bReadCoil = NewButton("bReadCoil", QStringLiteral("读线圈"), page);
    txtReadResult = ColouredLabel("txtReadResult", QStringLiteral("0000"), "blue", true, page);
    connect(bReadReg, &QPushButton::clicked, this, &TFormModbus::bReadRegClick);
    connect(bReadCoil, &QPushButton::clicked, this, &TFormModbus::bReadCoilClick);

    auto* grid = new QGridLayout(page);
    grid->addWidget(NewLabel("lblReadReg", QStringLiteral("寄存器"), page), 0, 0);
    grid->addWidget(eReadReg, 0, 1);
    grid->addWidget(bReadReg, 0, 2);
    grid->addWidget(NewLabel("lblReadCoil", QStringLiteral("线圈"), page), 1, 0);
    grid->addWidget(eReadCoil, 1, 1);
    grid->addWidget(bReadCoil, 1, 2);
    grid->addWidget(ColouredLabel("lblReadResult", QStringLiteral("Result"), "green", false, page), 2, 0);
    grid->addWidget(txtReadResult, 2, 1, 1, 2);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* TFormModbus::BuildPollPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsPoll"));
    eRegStart = NewEdit("eRegStart", QStringLiteral("$4A00"), page);
    eRegCount = NewEdit("eRegCount", QStringLiteral("10"), page);
    eCoilPollStart = NewEdit("eCoilPollStart", QStringLiteral("$4A00"), page);
    eCoilPollCount = NewEdit("eCoilPollCount", QStringLiteral("10"), page);
    ePollDelay = NewEdit("ePollDelay", QStringLiteral("0"), page);
    bStartPolling = NewButton("bStartPolling", QStringLiteral("开始"), page);
    bStopPolling = NewButton("bStopPolling", QStringLiteral("停止"), page);
    txtPollResultReg = ColouredLabel("txtPollResultReg", QStringLiteral("???"), "blue", true, page);
    txtPollResultCoil = ColouredLabel("txtPollResultCoil", QStringLiteral("???"), "blue", true, page);
    txtSpeed = ColouredLabel("txtSpeed", QStringLiteral("速度:"), "purple", true, page);
    txtPollResultReg->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    txtPollResultCoil->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    connect(bStartPolling, &QPushButton::clicked, this, &TFormModbus::bStartPollingClick);
    connect(bStopPolling, &QPushButton::clicked, this, &TFormModbus::bStopPollingClick);

    auto* grid = new QGridLayout(page);
    grid->addWidget(NewLabel("lblRegStart", QStringLiteral("起始寄存器"), page), 0, 0);
    grid->addWidget(eRegStart, 0, 1);
    grid->addWidget(NewLabel("lblRegCount", QStringLiteral("寄存器个数"), page), 0, 2);
    grid->addWidget(eRegCount, 0, 3);
    grid->addWidget(NewLabel("lblCoilPollStart", QStringLiteral("起始线圈"), page), 1, 0);
    grid->addWidget(eCoilPollStart, 1, 1);
    grid->addWidget(NewLabel("lblCoilPollCount", QStringLiteral("线圈数"), page), 1, 2);
    grid->addWidget(eCoilPollCount, 1, 3);
    grid->addWidget(NewLabel("lblPollDelay", QStringLiteral("延时 ms (0 - unlimited speed)"), page), 2, 0, 1, 2);
    grid->addWidget(ePollDelay, 2, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bStartPolling);
    buttons->addWidget(bStopPolling);
    buttons->addWidget(txtSpeed);
    grid->addLayout(buttons, 3, 0, 1, 4);
    grid->addWidget(ColouredLabel("lblPollResult", QStringLiteral("Result"), "green", false, page), 4, 0);
    grid->addWidget(txtPollResultReg, 5, 0, 1, 2);
    grid->addWidget(txtPollResultCoil, 5, 2, 1, 2);
    grid->setRowStretch(5, 1);
    return page;
}

QWidget* TFormModbus::BuildWritePage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsWrite"));
    eRegWrite = NewEdit("eRegWrite", QStringLiteral("$4A00"), page);
    eValue = NewEdit("eValue", QStringLiteral("$FFFF"), page);
    bWrite = NewButton("bWrite", QStringLiteral("写 (6)"), page);
    bWrite->setToolTip(QStringLiteral("Write value 6 function"));
    bWrite16 = NewButton("bWrite16", QStringLiteral("写 (16)"), page);
    bWrite16->setToolTip(QStringLiteral("Write value 16 function"));
    eCoilWrite = NewEdit("eCoilWrite", QStringLiteral("0"), page);
    chCoilWrite = NewCheckBox("chCoilWrite", QStringLiteral("On/Off"), page);
    connect(bWrite, &QPushButton::clicked, this, &TFormModbus::bWriteClick);
    connect(bWrite16, &QPushButton::clicked, this, &TFormModbus::bWrite16Click);
    // Only the user's clicks write; a state set by the program does not.
    connect(chCoilWrite, &QCheckBox::clicked, this, &TFormModbus::chCoilWriteClick);

    auto* grid = new QGridLayout(page);
    grid->addWidget(NewLabel("lblRegWrite", QStringLiteral("寄存器"), page), 0, 0);
    grid->addWidget(eRegWrite, 0, 1);
    grid->addWidget(NewLabel("lblValue", QStringLiteral("值"), page), 0, 2);
    grid->addWidget(eValue, 0, 3);
    grid->addWidget(bWrite, 1, 1);
    grid->addWidget(bWrite16, 1, 3);
    grid->addWidget(NewLabel("lblCoilWrite", QStringLiteral("线圈"), page), 2, 0);
    grid->addWidget(eCoilWrite, 2, 1);
    grid->addWidget(chCoilWrite, 2, 3);
    grid->setRowStretch(3, 1);
    return page;
}

int TFormModbus::grpModeItemIndex() const
{
    return modeButtons_->checkedId();
}

quint8 TFormModbus::PrepareRequest()
{
    nrModbus1->SetASCII(grpModeItemIndex() > 0);
    return static_cast<quint8>(StrToInt(eAddress->text()));
}

void TFormModbus::Guarded(const std::function<void()>& request)
{
    try {
        request();
    } catch (const std::exception& error) {
        MessageBox::Show(QString::fromUtf8(error.what()));
    }
}

void TFormModbus::bReadRegClick()
{
    Guarded([this] {
        const quint8 address = PrepareRequest();
        nrModbus1->ReadRegisters(static_cast<quint16>(StrToInt(eReadReg->text())), 1, address, false);
    });
}

void TFormModbus::bReadCoilClick()
{
    Guarded([this] {
        const quint8 address = PrepareRequest();
        nrModbus1->ReadCoils(static_cast<quint16>(StrToInt(eReadCoil->text())), 1, address, false);
    });
}

void TFormModbus::bStartPollingClick()
{
    Guarded([this] {
        const quint8 address = PrepareRequest();
        nrModbus1->SetDelayPoll(StrToIntDef(ePollDelay->text(), 0));
        const int registers = StrToIntDef(eRegCount->text(), 0);
        if (registers > 0)
            nrModbus1->ReadRegisters(static_cast<quint16>(StrToInt(eRegStart->text())),
                                     static_cast<quint16>(registers), address, true);
        const int coils = StrToIntDef(eCoilPollCount->text(), 0);
        if (coils > 0)
            nrModbus1->ReadCoils(static_cast<quint16>(StrToInt(eCoilPollStart->text())), static_cast<quint16>(coils),
                                 address, true);
    });
}

void TFormModbus::bStopPollingClick()
{
    nrModbus1->StopPolling();
}

void TFormModbus::bWriteClick()
{
    Guarded([this] {
        const quint8 address = PrepareRequest();
        nrModbus1->WriteRegister(static_cast<quint16>(StrToInt(eRegWrite->text())),
                                 static_cast<quint16>(StrToInt(eValue->text())), address);
    });
}

void TFormModbus::bWrite16Click()
{
    Guarded([this] {
        const quint8 address = PrepareRequest();
        const quint16 start = static_cast<quint16>(StrToInt(eRegWrite->text()));
        const quint16 value = static_cast<quint16>(StrToInt(eValue->text()));
        nrModbus1->WriteRegisters(start, &value, 1, address);
    });
}

void TFormModbus::chCoilWriteClick()
{
    Guarded([this] {
        const quint8 address = PrepareRequest();
        nrModbus1->WriteCoil(static_cast<quint16>(StrToInt(eCoilWrite->text())), chCoilWrite->isChecked(), address);
    });
}

void TFormModbus::nrModbus1Timeout(TnrDataProtocol*)
{
    eLog->appendPlainText(QStringLiteral("Timeout!"));
}

void TFormModbus::nrModbus1ModbusReply(TnrModbus* Sender, const TnrModbusPacket& Reply,
                                       const TnrModbusRegisterList& Registers, const TnrModbusCoilList& Coils)
{
    QString result;
    QString registerLines;
    QString coilLines;
    if (Reply.IsException()) {
        result = Reply.GetExceptionMessage();
        eLog->appendPlainText(result.trimmed());
        txtPollResultReg->setText(result);
        txtPollResultCoil->setText(QString());
    } else {
        const QString device = QStringLiteral("Device: ") + QString::number(Reply.Address());
        for (int i = 0; i < Registers.Count(); ++i)
            registerLines += device + QStringLiteral(" Reg:") + Hex4(Registers.GetRegNumber(i)) + QStringLiteral(" = ") +
                             Hex4(Registers.GetRegValue(i)) + QStringLiteral("\r\n");
        for (int i = 0; i < Coils.Count(); ++i)
            coilLines += device + QStringLiteral(" Coil:") + Hex4(Coils.GetCoilNumber(i)) + QStringLiteral("=") +
                         (Coils.GetCoilValue(i) ? QStringLiteral("True") : QStringLiteral("False")) +
                         QStringLiteral("\r\n");
        txtSpeed->setText(QStringLiteral("Speed: ") + QString::number(Sender->RepliesPerSecond()) +
                          QStringLiteral(" Hz"));
        if (PageControl1->currentWidget() == tsRead) {
            result = registerLines + QStringLiteral("\r\n") + coilLines;
            txtReadResult->setText(result);
            eLog->appendPlainText(result.trimmed());
        }
    }
    if (!registerLines.isEmpty())
        txtPollResultReg->setText(registerLines);
    if (!coilLines.isEmpty())
        txtPollResultCoil->setText(coilLines);
}
