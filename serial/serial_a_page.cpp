#include "serial/serial_a_page.h"

#include "core/indicator_shape.h"
#include "core/message_box.h"
#include "data/receive_pipeline.h"
#include "io/tnr_device_box.h"
#include "serial/comm_config_dialog.h"
#include "serial/hotplug_monitor.h"
#include "serial/port_lists.h"
#include "serial/tnr_comm.h"
#include "serial/tnr_semaphore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kRs485Hint = "RTS引脚用于485收发控制";

QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QCheckBox* NewCheckBox(const char* name, const QString& caption, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel* NewLineLabel(const char* name, const char* caption, QWidget* parent)
{
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setStyleSheet(QStringLiteral("color: blue"));
    return label;
}

QString AskForPath()
{
    return QInputDialog::getText(QApplication::activeWindow(), QStringLiteral("串口A"),
                                 QStringLiteral("设备路径 (例如 /dev/ttyUSB0):"))
        .trimmed();
}

}  // namespace

SerialAPage::SerialAPage(ReceivePipeline& pipeline, QWidget* parent)
    : ChannelPage(parent), pipeline_(pipeline), pathPrompt_(AskForPath), hotplug_(new HotplugMonitor(this))
{
    setObjectName(QStringLiteral("tsCOMA"));

    nrComm1 = new TnrComm(this);
    nrComm1->setObjectName(QStringLiteral("nrComm1"));
    nrComm1->SetBaudRate(9600);
    nrComm1->SetByteSize(8);
    nrComm1->SetParity(pNone);
    nrComm1->SetStopBits(sbOne);
    nrComm1->SetStreamProtocol(spNone);
    nrComm1->SetTraceStates(TraceBit(tsCTS) | TraceBit(tsDSR) | TraceBit(tsRLSD) | TraceBit(tsRing));
    nrComm1->SetEnumPorts(epFullInfo);
    nrComm1->SetTerminalUsage(tuBoth);
    nrComm1->SetTerminalEcho(true);
    nrComm1->configEditor = &CommConfigDialog::Edit;
    nrComm1->OnAfterReceive = [this](TnrBaseIO* com, const char* buffer, quint32 received) {
        nrComm1AfterReceive(com, buffer, received);
    };

    GroupBox1 = new QGroupBox(QStringLiteral("串口A"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    nrDeviceBox1 = new TnrDeviceBox(GroupBox1);
    nrDeviceBox1->setObjectName(QStringLiteral("nrDeviceBox1"));
    btnOpenCom = NewButton("btnOpenCom", QStringLiteral("打开"), GroupBox1);
    btnCloseCom = NewButton("btnCloseCom", QStringLiteral("关闭"), GroupBox1);
    btnCloseCom->setEnabled(false);
    btnComConfig = NewButton("btnComConfig", QStringLiteral("配置"), GroupBox1);
    ShapeCom1 = new IndicatorShape(QStringLiteral("ShapeCom1"), GroupBox1);
    cbb_COM = new QComboBox(GroupBox1);
    cbb_COM->setObjectName(QStringLiteral("cbb_COM"));
    cbb_COM->setVisible(false);
    chk485 = NewCheckBox("chk485", QStringLiteral("RS485模式"), GroupBox1);
    chk485->setToolTip(QString::fromUtf8(kRs485Hint));
    chkRTSA = NewCheckBox("chkRTSA", QStringLiteral("RTS"), GroupBox1);
    chkDTRA = NewCheckBox("chkDTRA", QStringLiteral("DTR"), GroupBox1);
    lCts = NewLineLabel("lCts", "CTS", GroupBox1);
    lDsr = NewLineLabel("lDsr", "DSR", GroupBox1);
    lRlsd = NewLineLabel("lRlsd", "RLSD", GroupBox1);
    lRing = NewLineLabel("lRing", "RING", GroupBox1);
    nrSemaphoreCTS = new TnrSemaphore(QStringLiteral("nrSemaphoreCTS"), false, GroupBox1);
    nrSemaphoreDSR = new TnrSemaphore(QStringLiteral("nrSemaphoreDSR"), false, GroupBox1);
    nrSemaphoreRLSD = new TnrSemaphore(QStringLiteral("nrSemaphoreRLSD"), false, GroupBox1);
    nrSemaphoreRING = new TnrSemaphore(QStringLiteral("nrSemaphoreRING"), true, GroupBox1);
    chkTerminal = NewCheckBox("chkTerminal", QStringLiteral("终端模式(ANSI/VT100 terminal )"), GroupBox1);
    chkTerminal->setToolTip(QString::fromUtf8(kRs485Hint));
    chkModbus = NewCheckBox("chkModbus", QStringLiteral("Modbus"), GroupBox1);
    chkModbus->setToolTip(QString::fromUtf8(kRs485Hint));
    nrComm1->SetMonitorCTS(nrSemaphoreCTS);
    nrComm1->SetMonitorDSR(nrSemaphoreDSR);
    nrComm1->SetMonitorRLSD(nrSemaphoreRLSD);
    nrComm1->SetMonitorRing(nrSemaphoreRING);

    nrDeviceBox1->SetnrComm(nrComm1);
    nrDeviceBox1->SetExtraEntry(QString::fromUtf8(kEnterPathEntry), [this] { EnterDevicePath(); });

    sendPanel = new SendPanel({"mmoCOM1", "chkHexCOM1", "chkNewline", "chkEchoComA", "btnSendCOM1"},
                              QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(nrDeviceBox1, 0, 0, 1, 4);
    grid->addWidget(ShapeCom1, 0, 4);
    grid->addWidget(btnOpenCom, 1, 0);
    grid->addWidget(btnCloseCom, 1, 1);
    grid->addWidget(btnComConfig, 1, 2);
    grid->addWidget(cbb_COM, 1, 3);
    grid->addWidget(chk485, 2, 0);
    grid->addWidget(chkRTSA, 2, 1);
    grid->addWidget(chkDTRA, 2, 2);
    auto* lines = new QHBoxLayout;
    for (const auto& [label, indicator] : {std::pair{lCts, nrSemaphoreCTS}, std::pair{lDsr, nrSemaphoreDSR},
                                           std::pair{lRlsd, nrSemaphoreRLSD}, std::pair{lRing, nrSemaphoreRING}}) {
        lines->addWidget(indicator);
        lines->addWidget(label);
    }
    lines->addStretch();
    grid->addLayout(lines, 3, 0, 1, 5);
    grid->addWidget(chkTerminal, 4, 0, 1, 3);
    grid->addWidget(chkModbus, 4, 3, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(sendPanel, 1);

    connect(btnOpenCom, &QPushButton::clicked, this, &SerialAPage::btnOpenComClick);
    connect(btnCloseCom, &QPushButton::clicked, this, &SerialAPage::btnCloseComClick);
    connect(btnComConfig, &QPushButton::clicked, this, &SerialAPage::btnComConfigClick);
    connect(chkRTSA, &QCheckBox::clicked, this, &SerialAPage::chkRTSAClick);
    connect(chkDTRA, &QCheckBox::clicked, this, &SerialAPage::chkDTRAClick);
    connect(chk485, &QCheckBox::clicked, this, &SerialAPage::chk485Click);
    connect(cbb_COM, &QComboBox::currentIndexChanged, this, &SerialAPage::cbb_COMChange);
    connect(hotplug_, &HotplugMonitor::deviceChanged, this, &SerialAPage::DeviceChange);
}

SerialAPage::~SerialAPage()
{
    nrComm1->OnAfterReceive = nullptr;
}

void SerialAPage::Start()
{
    hotplug_->Start();
    LoadPortLists();
    GroupBox1->setTitle(QStringLiteral("串口A ") + DescribePortA());
}

bool SerialAPage::IsOpen() const
{
    return nrComm1->Active();
}

SendTarget::WriteResult SerialAPage::Write(const QByteArray& payload)
{
    nrComm1->SendData(payload.constData(), static_cast<quint32>(payload.size()));
    return {payload.size(), false};
}

QString SerialAPage::DescribePortA() const
{
    QString text = nrDeviceBox1->currentText() + QStringLiteral("  ") + QString::number(nrComm1->BaudRate());
    const int byteSize = nrComm1->ByteSize();
    if (byteSize >= 5 && byteSize <= 8)
        text += QStringLiteral("  ") + QString::number(byteSize);
    static const char* const parities[] = {"   None", "   Odd", "   Even", "   Mark", "   Space"};
    text += QString::fromLatin1(parities[nrComm1->Parity()]);
    static const char* const stopBits[] = {"   1", "   1.5", "   2"};
    text += QString::fromLatin1(stopBits[nrComm1->StopBits()]);
    static const char* const flows[] = {"  禁用流控", " XonXoff", "  硬件流控"};
    text += QString::fromUtf8(flows[nrComm1->StreamProtocol()]);
    return text;
}

void SerialAPage::LoadPortLists()
{
    ::LoadPortLists(cbb_COM, portListB_);
}

void SerialAPage::btnOpenComClick()
{
    GroupBox1->setTitle(DescribePortA());
    try {
        nrComm1->SetActive(true);
    } catch (...) {
        MessageBox::Show(QStringLiteral("串口打开错误!"));
        return;
    }
    if (nrComm1->Active()) {
        cbb_COM->setEnabled(false);
        btnCloseCom->setEnabled(true);
        btnOpenCom->setEnabled(false);
        ShapeCom1->SetBrushColor(IndicatorShape::kOpen);
    }
}

void SerialAPage::btnCloseComClick()
{
    nrComm1->SetActive(false);
    cbb_COM->setEnabled(true);
    btnCloseCom->setEnabled(false);
    btnOpenCom->setEnabled(true);
    ShapeCom1->SetBrushColor(IndicatorShape::kClosed);
}

void SerialAPage::btnComConfigClick()
{
    nrComm1->ConfigDialog();
    GroupBox1->setTitle(DescribePortA());
}

void SerialAPage::chkRTSAClick()
{
    nrComm1->SetStateRTS(chkRTSA->isChecked());
}

void SerialAPage::chkDTRAClick()
{
    nrComm1->SetStateDTR(chkDTRA->isChecked());
}

// The preset also switches the engine's RS-485 mode, so that RTS really
// marks the transmit direction as the box's hint promises.
void SerialAPage::chk485Click()
{
    const bool on = chk485->isChecked();
    if (on)
        nrComm1->SetStreamProtocol(spNone);
    nrComm1->SetRS485Mode(on);
    chkRTSA->setEnabled(!on);
    GroupBox1->setTitle(DescribePortA());
}

void SerialAPage::cbb_COMChange()
{
    if (cbb_COM->currentText() == QString::fromUtf8(kRefreshEntry))
        LoadPortLists();
}

void SerialAPage::nrComm1AfterReceive(TnrBaseIO*, const char* Buffer, quint32 Received)
{
    if (Received == 0)
        return;
    const QString label =
        QStringLiteral("COMA[") + QFileInfo(nrComm1->GetPortName()).fileName() + QLatin1Char(']');
    pipeline_.ProcessReceived(QByteArrayView(Buffer, Received), label, COMA);
}

void SerialAPage::DeviceChange(bool arrived)
{
    pipeline_.ShowInfo(arrived ? QStringLiteral("设备插入") : QStringLiteral("设备拔出"), kWindowText);
}

void SerialAPage::EnterDevicePath()
{
    const QString path = pathPrompt_ ? pathPrompt_() : QString();
    if (path.isEmpty())
        return;
    nrComm1->SetDeviceIndex(nrComm1->AddPortPath(path));
}
