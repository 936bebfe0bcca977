#include "serial/serial_b_page.h"

#include "core/combo_index.h"
#include "core/indicator_shape.h"
#include "core/widget_kit.h"
#include "serial/cn_rs232.h"
#include "serial/cn_rs232_dialog.h"
#include "serial/port_lists.h"
#include "serial/serial_b_channel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace WidgetKit;

SerialBPage::SerialBPage(SerialBChannel& channel, QWidget* parent)
    : ChannelPage(parent), rsd2(std::make_unique<TCnRS232Dialog>(this)), channel_(channel)
{
    setObjectName(QStringLiteral("tsCOMB"));

    GroupBox3 = new QGroupBox(QStringLiteral("串口B"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    cbb2_COM = NewCombo("cbb2_COM", {}, -1, GroupBox3);
    cbb2_COM->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbb2_COM->setMinimumContentsLength(16);
    btn2OpenCom = NewButton("btn2OpenCom", QStringLiteral("打开"), GroupBox3);
    btn2CloseCom = NewButton("btn2CloseCom", QStringLiteral("关闭"), GroupBox3);
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

    ShowState();
    loadPortLists_ = [this] { LoadPortLists(nullptr, cbb2_COM); };
    connect(btn2OpenCom, &QPushButton::clicked, this, &SerialBPage::btn2OpenComClick);
    connect(btn2CloseCom, &QPushButton::clicked, this, &SerialBPage::btn2CloseComClick);
    connect(btn2ComConfig, &QPushButton::clicked, this, &SerialBPage::btn2ComConfigClick);
    // A user's choice, also of the entry already shown; setting the index in
    // code runs nothing.
    connect(cbb2_COM, &QComboBox::activated, this, &SerialBPage::cbb2_COMChange);
    // The dispatcher may open the port without a click, so the channel always
    // knows the list's choice. What an editable list offers follows from its
    // edit text and its items alone; both report every change through the
    // edit field and the model, also when the list is refilled or an entry
    // selected with the box's own signals blocked.
    connect(cbb2_COM->lineEdit(), &QLineEdit::textChanged, this, &SerialBPage::OfferChosenPort);
    connect(cbb2_COM->model(), &QAbstractItemModel::rowsInserted, this, &SerialBPage::OfferChosenPort);
    connect(cbb2_COM->model(), &QAbstractItemModel::rowsRemoved, this, &SerialBPage::OfferChosenPort);
    connect(cbb2_COM->model(), &QAbstractItemModel::dataChanged, this, &SerialBPage::OfferChosenPort);
    connect(&channel_, &SerialBChannel::CaptionChanged, GroupBox3, &QGroupBox::setTitle);
    connect(&channel_, &SerialBChannel::OpenedChanged, this, &SerialBPage::ShowState);
    connect(&channel_, &SerialBChannel::FailedChanged, this, &SerialBPage::ShowState);
    connect(&channel_, &SerialBChannel::PortListsReloadRequested, this, [this] { loadPortLists_(); });
    OfferChosenPort();
}

// The list's edit field and model are torn down after this page's own part
// is gone; they must not report to it (nor to a channel that may already be
// gone) any more.
SerialBPage::~SerialBPage()
{
    cbb2_COM->lineEdit()->disconnect(this);
    cbb2_COM->model()->disconnect(this);
}

void SerialBPage::Start()
{
    int entry = -1;
    for (int i = 0; i < cbb2_COM->count() && entry < 0; ++i) {
        const QString text = cbb2_COM->itemText(i);
        const qsizetype paren = text.indexOf(QLatin1Char('('));
        if (paren >= 0 && text.left(paren).trimmed() == channel_.Comm2->CommName)
            entry = i;
    }
    cbb2_COM->setCurrentIndex(entry);
}

void SerialBPage::OfferChosenPort()
{
    const int index = SelectedIndex(cbb2_COM);
    channel_.ChoosePort(index >= 0 ? cbb2_COM->itemText(index) : cbb2_COM->currentText().trimmed(), index >= 0);
}

void SerialBPage::ShowState()
{
    const bool opened = channel_.Opened();
    cbb2_COM->setEnabled(!opened);
    btn2CloseCom->setEnabled(opened);
    btn2OpenCom->setEnabled(!opened);
    ShapeCom2->SetBrushColor(channel_.Failed() ? IndicatorShape::kFailed
                             : opened          ? IndicatorShape::kOpen
                                               : IndicatorShape::kClosed);
}

void SerialBPage::btn2OpenComClick()
{
    channel_.Open();
}

void SerialBPage::btn2CloseComClick()
{
    channel_.Close();
}

void SerialBPage::btn2ComConfigClick()
{
    rsd2->CommConfig = channel_.Comm2->CommConfig();
    rsd2->Timeouts = channel_.Comm2->Timeouts();
    if (rsd2->Execute())
        channel_.ApplySettings(rsd2->CommConfig, rsd2->Timeouts);
}

void SerialBPage::cbb2_COMChange()
{
    if (cbb2_COM->currentText() == QString::fromUtf8(kRefreshEntry))
        loadPortLists_();
}
