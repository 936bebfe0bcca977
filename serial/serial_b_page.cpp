#include "serial/serial_b_page.h"

#include "core/channel_id.h"
#include "core/combo_index.h"
#include "core/indicator_shape.h"
#include "core/message_box.h"
#include "data/receive_pipeline.h"
#include "serial/cn_rs232.h"
#include "serial/cn_rs232_dialog.h"
#include "serial/cn_rs232_posix_device.h"
#include "serial/port_lists.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// One write of the component carries at most this many bytes.
constexpr qsizetype kMaxWrite = 65535;

}  // namespace

SerialBPage::SerialBPage(ReceivePipeline& pipeline, QWidget* parent)
    : ChannelPage(parent), rsd2(std::make_unique<TCnRS232Dialog>(this)), pipeline_(pipeline)
{
    setObjectName(QStringLiteral("tsCOMB"));
    Comm2 = new TCnRS232(std::make_unique<CnRS232PosixDevice>(), this);
    Comm2->setObjectName(QStringLiteral("Comm2"));
    const CnRS232Settings factory = PortBFactorySettings();
    Comm2->CommName = factory.CommName;
    Comm2->SetCommConfig(factory.CommConfig);
    Comm2->SetTimeouts(factory.Timeouts);

    GroupBox3 = new QGroupBox(QStringLiteral("串口B"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    cbb2_COM = new QComboBox(GroupBox3);
    cbb2_COM->setObjectName(QStringLiteral("cbb2_COM"));
    cbb2_COM->setEditable(true);
    cbb2_COM->setInsertPolicy(QComboBox::NoInsert);
    cbb2_COM->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbb2_COM->setMinimumContentsLength(16);
    btn2OpenCom = NewButton("btn2OpenCom", QStringLiteral("打开"), GroupBox3);
    btn2CloseCom = NewButton("btn2CloseCom", QStringLiteral("关闭"), GroupBox3);
    btn2CloseCom->setEnabled(false);
    btn2ComConfig = NewButton("btn2ComConfig", QStringLiteral("配置"), GroupBox3);
    ShapeCom2 = new IndicatorShape(QStringLiteral("ShapeCom2"), GroupBox3);
    sendPanel = new SendPanel({"mmoCOM2", "chkHexCOM2", "chkNewline2", "chkEchoComB", "btnSendCOM2"},
                              QString::fromUtf8(SendPanel::kDesignMemoText), this);

    auto* row = new QHBoxLayout(GroupBox3);
    row->addWidget(cbb2_COM, 1);
    row->addWidget(btn2OpenCom);
    row->addWidget(btn2CloseCom);
    row->addWidget(btn2ComConfig);
    row->addWidget(ShapeCom2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox3);
    layout->addWidget(sendPanel, 1);

    loadPortLists_ = [this] { LoadPortLists(nullptr, cbb2_COM); };
    connect(btn2OpenCom, &QPushButton::clicked, this, &SerialBPage::btn2OpenComClick);
    connect(btn2CloseCom, &QPushButton::clicked, this, &SerialBPage::btn2CloseComClick);
    connect(btn2ComConfig, &QPushButton::clicked, this, &SerialBPage::btn2ComConfigClick);
    // A user's choice, also of the entry already shown; setting the index in
    // code runs nothing.
    connect(cbb2_COM, &QComboBox::activated, this, &SerialBPage::cbb2_COMChange);
    connect(Comm2, &TCnRS232::OnReceiveData, this, &SerialBPage::Comm2ReceiveData);
    connect(Comm2, &TCnRS232::OnCommFailure, this, &SerialBPage::Comm2Failure);
}

SerialBPage::~SerialBPage() = default;

void SerialBPage::Start()
{
    Comm2->ReadFromIni(QString::fromLatin1(kSettingsFile), QString::fromLatin1(kSettingsSection));
    int entry = -1;
    for (int i = 0; i < cbb2_COM->count() && entry < 0; ++i) {
        const QString text = cbb2_COM->itemText(i);
        const qsizetype paren = text.indexOf(QLatin1Char('('));
        if (paren >= 0 && text.left(paren).trimmed() == Comm2->CommName)
            entry = i;
    }
    cbb2_COM->setCurrentIndex(entry);
    UpdateCaption();
}

bool SerialBPage::IsOpen() const
{
    return Comm2->GetConnected();
}

QString SerialBPage::DescribePortB() const
{
    return DescribeCnRS232(Comm2->CommName, Comm2->CommConfig());
}

void SerialBPage::UpdateCaption()
{
    GroupBox3->setTitle(QStringLiteral("串口B ") + DescribePortB());
}

void SerialBPage::btn2OpenComClick()
{
    const int index = SelectedIndex(cbb2_COM);
    // Pseudo-terminals and other virtual ports are in no list: a path typed
    // into the box opens that device.
    const QString text = index >= 0 ? cbb2_COM->itemText(index) : cbb2_COM->currentText().trimmed();
    if (text == QString::fromUtf8(kRefreshEntry)) {
        loadPortLists_();
        return;
    }
    const qsizetype paren = text.indexOf(QLatin1Char('('));
    if (paren < 0 && index >= 0)
        return;
    const QString port = (paren < 0 ? text : text.left(paren)).trimmed();
    if (port.isEmpty())
        return;

    Comm2->CommName = port;
    UpdateCaption();
    try {
        if (Comm2->ProbeComm() != 0)
            MessageBox::Show(QStringLiteral("串口打开异常，请检查是否有其他程序打开此串口！"));
        else if (!Comm2->GetConnected())
            Comm2->StartComm();
    } catch (const std::exception&) {
        MessageBox::Show(QStringLiteral("串口打开错误!"));
        return;
    }
    if (Comm2->GetConnected()) {
        cbb2_COM->setEnabled(false);
        btn2CloseCom->setEnabled(true);
        btn2OpenCom->setEnabled(false);
        ShapeCom2->SetBrushColor(IndicatorShape::kOpen);
    }
}

void SerialBPage::btn2CloseComClick()
{
    cbb2_COM->setEnabled(true);
    Comm2->StopComm();
    btn2CloseCom->setEnabled(false);
    btn2OpenCom->setEnabled(true);
    ShapeCom2->SetBrushColor(IndicatorShape::kClosed);
}

void SerialBPage::btn2ComConfigClick()
{
    rsd2->CommConfig = Comm2->CommConfig();
    rsd2->Timeouts = Comm2->Timeouts();
    if (!rsd2->Execute())
        return;
    Comm2->SetCommConfig(rsd2->CommConfig);
    Comm2->SetTimeouts(rsd2->Timeouts);
    UpdateCaption();
    if (!Comm2->WriteToIni(QString::fromLatin1(kSettingsFile), QString::fromLatin1(kSettingsSection)))
        MessageBox::Show(QStringLiteral("Unable to write to %1").arg(QString::fromLatin1(kSettingsFile)));
}

void SerialBPage::cbb2_COMChange()
{
    if (cbb2_COM->currentText() == QString::fromUtf8(kRefreshEntry))
        loadPortLists_();
}

void SerialBPage::Comm2ReceiveData(const QByteArray& chunk)
{
    if (chunk.isEmpty())
        return;
    pipeline_.ProcessReceived(chunk, QStringLiteral("COMB[") + Comm2->CommName + QLatin1Char(']'), COMB);
}

void SerialBPage::Comm2Failure(const QString& reason)
{
    pipeline_.ShowInfo(QStringLiteral("串口B ") + Comm2->CommName + QStringLiteral(" 通讯中断: ") + reason +
                           QStringLiteral("，请关闭串口"),
                       kWindowText);
}

SendTarget::WriteResult SerialBPage::Write(const QByteArray& payload)
{
    for (qsizetype at = 0; at < payload.size(); at += kMaxWrite) {
        const qsizetype count = std::min(kMaxWrite, payload.size() - at);
        Comm2->WriteCommData(payload.constData() + at, static_cast<quint16>(count));
    }
    return {payload.size(), false};
}
