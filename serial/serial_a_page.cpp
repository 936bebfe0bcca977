#include "serial/serial_a_page.h"

#include "core/indicator_shape.h"
#include "core/widget_kit.h"
#include "io/tnr_device_box.h"
#include "serial/comm_config_dialog.h"
#include "serial/device_path_dialog.h"
#include "serial/port_lists.h"
#include "serial/serial_a_channel.h"
#include "serial/tnr_semaphore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace WidgetKit;

namespace {

const char* const kRs485Hint = "RTS引脚用于485收发控制";

QLabel* NewLineLabel(const char* name, const char* caption, QWidget* parent)
{
    QLabel* label = NewLabel(name, QString::fromLatin1(caption), parent);
    label->setStyleSheet(QStringLiteral("color: blue"));
    return label;
}

}  // namespace

SerialAPage::SerialAPage(SerialAChannel& channel, QWidget* parent)
    : ChannelPage(parent), channel_(channel), byIdRoot_(QString::fromLatin1(DevicePathDialog::kByIdRoot))
{
    setObjectName(QStringLiteral("tsCOMA"));
    channel_.SetConfigEditor(&CommConfigDialog::Edit);

    GroupBox1 = new QGroupBox(QStringLiteral("串口A"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    nrDeviceBox1 = new TnrDeviceBox(GroupBox1);
    nrDeviceBox1->setObjectName(QStringLiteral("nrDeviceBox1"));
    btnOpenCom = NewButton("btnOpenCom", QStringLiteral("打开"), GroupBox1);
    btnCloseCom = NewButton("btnCloseCom", QStringLiteral("关闭"), GroupBox1);
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
    channel_.SetLineMonitors(nrSemaphoreCTS, nrSemaphoreDSR, nrSemaphoreRLSD, nrSemaphoreRING);

    nrDeviceBox1->SetnrComm(channel_.nrComm1);
    nrDeviceBox1->SetExtraEntry(QString::fromUtf8(kEnterPathEntry), [this] { EnterDevicePath(); });
    pathPrompt_ = [this] {
        const std::unique_ptr<DevicePathDialog> dialog = NewPathDialog();
        return dialog->exec() == QDialog::Accepted ? dialog->Path() : QString();
    };

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

    ShowOpened(channel_.Opened());
    connect(btnOpenCom, &QPushButton::clicked, this, &SerialAPage::btnOpenComClick);
    connect(btnCloseCom, &QPushButton::clicked, this, &SerialAPage::btnCloseComClick);
    connect(btnComConfig, &QPushButton::clicked, this, &SerialAPage::btnComConfigClick);
    connect(chkRTSA, &QCheckBox::clicked, this, &SerialAPage::chkRTSAClick);
    connect(chkDTRA, &QCheckBox::clicked, this, &SerialAPage::chkDTRAClick);
    connect(chk485, &QCheckBox::clicked, this, &SerialAPage::chk485Click);
    connect(cbb_COM, &QComboBox::currentIndexChanged, this, &SerialAPage::cbb_COMChange);
    connect(&channel_, &SerialAChannel::CaptionChanged, GroupBox1, &QGroupBox::setTitle);
    connect(&channel_, &SerialAChannel::OpenedChanged, this, &SerialAPage::ShowOpened);
}

void SerialAPage::Start()
{
    LoadPortLists();
}

void SerialAPage::LoadPortLists()
{
    ::LoadPortLists(cbb_COM, portListB_);
}

void SerialAPage::ShowOpened(bool opened)
{
    cbb_COM->setEnabled(!opened);
    btnCloseCom->setEnabled(opened);
    btnOpenCom->setEnabled(!opened);
    ShapeCom1->SetBrushColor(opened ? IndicatorShape::kOpen : IndicatorShape::kClosed);
}

void SerialAPage::btnOpenComClick()
{
    channel_.Open();
}

void SerialAPage::btnCloseComClick()
{
    channel_.Close();
}

void SerialAPage::btnComConfigClick()
{
    channel_.Configure();
}

void SerialAPage::chkRTSAClick()
{
    channel_.SetRts(chkRTSA->isChecked());
}

void SerialAPage::chkDTRAClick()
{
    channel_.SetDtr(chkDTRA->isChecked());
}

void SerialAPage::chk485Click()
{
    const bool on = chk485->isChecked();
    chkRTSA->setEnabled(!on);
    channel_.SetRs485Preset(on);
}

void SerialAPage::cbb_COMChange()
{
    if (cbb_COM->currentText() == QString::fromUtf8(kRefreshEntry))
        LoadPortLists();
}

std::unique_ptr<DevicePathDialog> SerialAPage::NewPathDialog()
{
    return std::make_unique<DevicePathDialog>(byIdRoot_, typedPaths_, window());
}

void SerialAPage::EnterDevicePath()
{
    const QString path = pathPrompt_ ? pathPrompt_().trimmed() : QString();
    if (path.isEmpty())
        return;
    typedPaths_.removeAll(path);
    typedPaths_ << path;
    channel_.PickPortPath(path);
}
