#include "wave/wave_form.h"

#include "core/combo_index.h"
#include "core/widget_kit.h"
#include "wave/ti_plot.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace WidgetKit;

namespace {

WavePlot& PlotOf(WavePlot* given, TiPlot*& own, QWidget* parent)
{
    if (given)
        return *given;
    own = new TiPlot(parent);
    return *own;
}

}  // namespace

TwaveForm::TwaveForm(WavePlot* plot, QWidget* parent)
    : QWidget(parent, Qt::Window), feed_(PlotOf(plot, Chart1, this))
{
    setObjectName(QStringLiteral("waveForm"));
    setWindowTitle(QStringLiteral("数据波形图"));
    resize(763, 505);

    auto* options = new QGroupBox(QStringLiteral("选项"), this);
    options->setObjectName(QStringLiteral("GroupBox1"));
    QStringList counts;
    for (int count = 1; count <= WaveFormat::kMaxCurves; ++count)
        counts << QStringLiteral("%1通道").arg(count);
    cbChCnt = NewCombo("cbChCnt", counts, 0, options);
    cbbNumType = NewCombo("cbbNumType",
                          {QStringLiteral("单字节整数"), QStringLiteral("双字节整数"), QStringLiteral("4字节整数"),
                           QStringLiteral("4字节浮点数")},
                          0, options);
    cbbUS = NewCombo("cbbUS", {QStringLiteral("无符号"), QStringLiteral("有符号")}, 0, options);
    btnClearData = NewButton("btnClearData", QStringLiteral("清空"), options);
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(cbChCnt);
    optionsLayout->addWidget(cbbNumType);
    optionsLayout->addWidget(cbbUS);
    optionsLayout->addWidget(btnClearData);
    optionsLayout->addStretch();
    options->setFixedWidth(150);

    Label1 = NewLabel("Label1",
                      QStringLiteral("示例:发送温湿度(16位整数)2个曲线分别显示:\r\n\r\nINT16 dat[]={温度1,湿度1,温度2,湿度2....}; "
                                     "SendData(dat,sizeof(dat));\r\n"),
                      this);
    Label1->setWordWrap(true);

    auto* left = new QVBoxLayout;
    if (Chart1) {
        Chart1->setMinimumSize(300, 200);
        left->addWidget(Chart1, 1);
    } else {
        left->addStretch(1);
    }
    left->addWidget(Label1);
    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left, 1);
    columns->addWidget(options);

    connect(btnClearData, &QPushButton::clicked, this, &TwaveForm::btnClearDataClick);
}

TwaveForm::~TwaveForm() = default;

std::optional<WaveFormat> TwaveForm::Format() const
{
    const int count = SelectedIndex(cbChCnt);
    const int type = SelectedIndex(cbbNumType);
    if (count < 0 || type < 0)
        return std::nullopt;
    WaveFormat format;
    format.curves = count + 1;
    format.type = static_cast<WaveSampleType>(type);
    format.isSigned = cbbUS->currentText() == QStringLiteral("有符号");
    return format;
}

void TwaveForm::AddWaveData(QByteArrayView chunk)
{
    if (const std::optional<WaveFormat> format = Format())
        feed_.AddWaveData(chunk, *format);
}

void TwaveForm::btnClearDataClick()
{
    feed_.Clear();
}
