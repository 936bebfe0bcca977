#include "tests/wave/recording_plot.h"
#include "tests/wave/wave_cases.h"
#include "wave/ti_plot.h"
#include "wave/wave_form.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <qcustomplot.h>

#include <gtest/gtest.h>

namespace {

const char* const kTypes[] = {"单字节整数", "双字节整数", "4字节整数", "4字节浮点数"};

void Choose(TwaveForm& form, const WaveFormat& format)
{
    form.cbChCnt->setCurrentIndex(format.curves - 1);
    form.cbbNumType->setCurrentIndex(int(format.type));
    form.cbbUS->setCurrentIndex(format.isSigned ? 1 : 0);
}


TEST(WaveFormTest, ControlsAsTheUserSeesThem)
{
    RecordingPlot plot;
    TwaveForm form(&plot);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("数据波形图"));
    EXPECT_EQ(form.size(), QSize(763, 505));
    ASSERT_EQ(form.cbChCnt->count(), 8);
    EXPECT_EQ(form.cbChCnt->itemText(0), QStringLiteral("1通道"));
    EXPECT_EQ(form.cbChCnt->itemText(7), QStringLiteral("8通道"));
    ASSERT_EQ(form.cbbNumType->count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form.cbbNumType->itemText(i), QString::fromUtf8(kTypes[i]));
    EXPECT_EQ(form.cbbUS->currentText(), QStringLiteral("无符号"));
    EXPECT_EQ(form.cbbUS->itemText(1), QStringLiteral("有符号"));
    EXPECT_EQ(form.btnClearData->text(), QStringLiteral("清空"));
    EXPECT_TRUE(form.Label1->text().startsWith(QStringLiteral("示例:发送温湿度(16位整数)2个曲线分别显示:")));
    EXPECT_FALSE(form.IsShowing());
}

// Every case through the option boxes, first with a recording plot and then
// with the real one.
TEST(WaveFormTest, CasesThroughTheWindowWithRecordingPlot)
{
    for (const WaveCase& c : WaveCases()) {
        SCOPED_TRACE(c.name);
        RecordingPlot plot;
        TwaveForm form(&plot);
        Choose(form, c.format);
        form.AddWaveData(c.chunk);
        for (int curve = 0; curve < 8; ++curve)
            EXPECT_EQ(plot.channels[curve].points,
                      curve < int(c.curves.size()) ? c.curves[curve] : QList<QPointF>());
    }
}

TEST(WaveFormTest, CasesThroughTheWindowWithRealPlot)
{
    for (const WaveCase& c : WaveCases()) {
        SCOPED_TRACE(c.name);
        TwaveForm form;
        ASSERT_NE(form.Chart1, nullptr);
        Choose(form, c.format);
        form.AddWaveData(c.chunk);
        for (int curve = 0; curve < 8; ++curve)
            EXPECT_EQ(form.Chart1->GetChannel(curve)->Points(),
                      curve < int(c.curves.size()) ? c.curves[curve] : QList<QPointF>());
    }
}

TEST(WaveFormTest, ClearEmptiesAllEightChannelsAndRestartsAtZero)
{
    TwaveForm form;
    Choose(form, {8, WaveSampleType::kInt8, false});
    form.AddWaveData(QByteArray(64, '\x05'));
    EXPECT_EQ(form.Counter(), 64);
    form.btnClearData->click();
    EXPECT_EQ(form.Counter(), 0);
    for (int curve = 0; curve < 8; ++curve)
        EXPECT_EQ(form.Chart1->GetChannel(curve)->Kept(), 0);
    Choose(form, {1, WaveSampleType::kInt8, false});
    form.AddWaveData(QByteArray::fromHex("2a"));
    EXPECT_EQ(form.Chart1->GetChannel(0)->Points(), (QList<QPointF>{{0, 42}}));
}

TEST(WaveFormTest, NothingWithoutASelectedTypeOrCount)
{
    RecordingPlot plot;
    TwaveForm form(&plot);
    form.cbbNumType->setEditText(QStringLiteral("随便"));
    form.AddWaveData(QByteArray::fromHex("01020304"));
    form.cbbNumType->setCurrentIndex(0);
    form.cbChCnt->setEditText(QStringLiteral("九通道"));
    form.AddWaveData(QByteArray::fromHex("01020304"));
    EXPECT_TRUE(plot.channels[0].points.isEmpty());
    EXPECT_EQ(form.Counter(), 0);
}

TEST(WaveFormTest, PlotAsConfigured)
{
    TiPlot plot;
    QCustomPlot* chart = plot.Plot();
    ASSERT_EQ(plot.ChannelCount(), 8);
    ASSERT_EQ(chart->graphCount(), 8);
    const QColor named[] = {Qt::yellow, Qt::blue, QColor(255, 0, 255), QColor(0, 255, 255), QColor(0, 255, 0),
                            Qt::white, QColor(128, 0, 0)};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(chart->graph(i)->name(), QStringLiteral("Channel %1").arg(i + 1));
        if (i > 0)
            EXPECT_EQ(chart->graph(i)->pen().color(), named[i - 1]) << i;
        else
            for (const QColor& other : named)
                EXPECT_NE(chart->graph(0)->pen().color(), other);
    }
    EXPECT_EQ(chart->xAxis->label(), QStringLiteral("X-Axis 1"));
    EXPECT_EQ(chart->yAxis->label(), QStringLiteral("Y-Axis 1"));
    EXPECT_TRUE(chart->legend->visible());
    auto* title = qobject_cast<QCPTextElement*>(chart->plotLayout()->element(0, 0));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("数据波形"));
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->textColor(), QColor(Qt::white));
    EXPECT_EQ(chart->itemCount(), 1);
    EXPECT_FALSE(chart->item(0)->visible());
}

// The X axis slides with the newest point, 100 units wide; the Y axis spans
// the points in view only, not the whole history.
TEST(WaveFormTest, AxesFollowTheNewestPoints)
{
    TiPlot plot;
    TiPlotChannel* channel = plot.GetChannel(0);
    for (int x = 0; x < 1000; ++x)
        channel->AddXY(x, x < 500 ? -1000 : (x % 2 ? 10 : 20));
    plot.Redraw();
    EXPECT_DOUBLE_EQ(plot.Plot()->xAxis->range().upper, 999);
    EXPECT_DOUBLE_EQ(plot.Plot()->xAxis->range().size(), 100);
    EXPECT_LE(plot.Plot()->yAxis->range().lower, 10);
    EXPECT_GT(plot.Plot()->yAxis->range().lower, 0);
    EXPECT_GE(plot.Plot()->yAxis->range().upper, 20);

    plot.ZoomIn();
    EXPECT_DOUBLE_EQ(plot.Plot()->xAxis->range().size(), 50);
    plot.ZoomOut();
    plot.ZoomOut();
    EXPECT_DOUBLE_EQ(plot.Plot()->xAxis->range().size(), 200);
    plot.ZoomReset();
    EXPECT_DOUBLE_EQ(plot.Plot()->xAxis->range().size(), 100);
}

// History stays bounded however long the stream runs; the returned index
// counts on past what is dropped.
TEST(WaveFormTest, HistoryIsBoundedAndTheIndexRunsOn)
{
    TiPlot plot;
    TiPlotChannel* channel = plot.GetChannel(3);
    const qint64 total = TiPlotChannel::kHistoryPoints * 2 + 12345;
    qint64 last = -1;
    for (qint64 x = 0; x < total; ++x)
        last = channel->AddXY(double(x), double(x % 100));
    EXPECT_EQ(last, total - 1);
    EXPECT_GE(channel->Kept(), TiPlotChannel::kHistoryPoints);
    EXPECT_LE(channel->Kept(), TiPlotChannel::kHistoryPoints + TiPlotChannel::kSegmentPoints);
    // The newest points are the ones kept, each once and in order.
    const QList<QPointF> points = channel->Points();
    ASSERT_EQ(points.size(), channel->Kept());
    for (qsizetype i = 0; i < points.size(); ++i) {
        const double x = double(total - points.size() + i);
        if (points[i] != QPointF(x, double(qint64(x) % 100))) {
            ADD_FAILURE() << "point " << i << " is (" << points[i].x() << ", " << points[i].y() << ")";
            break;
        }
    }
    // The segments that hold them are bounded too.
    EXPECT_LE(plot.Plot()->graphCount(),
              8 + TiPlotChannel::kHistoryPoints / TiPlotChannel::kSegmentPoints + 2);
    // The line runs on from segment to segment: each one starts at the
    // point the one before it ends with.
    for (int index = 9; index < plot.Plot()->graphCount(); ++index) {
        const auto before = plot.Plot()->graph(index - 1)->data();
        const auto after = plot.Plot()->graph(index)->data();
        EXPECT_EQ((before->constEnd() - 1)->key, after->constBegin()->key) << index;
        EXPECT_FALSE(plot.Plot()->graph(index)->name().startsWith(QStringLiteral("Channel")));
    }
    plot.Redraw();
    channel->Clear();
    EXPECT_EQ(channel->Kept(), 0);
    EXPECT_EQ(plot.Plot()->graphCount(), 8);
    EXPECT_EQ(channel->AddXY(0, 0), 0);
}

// However fast chunks come, the shown window is redrawn about 30 times a
// second at most, and never while it is hidden.
TEST(WaveFormTest, RedrawsAreRateLimited)
{
    TwaveForm form;
    Choose(form, {2, WaveSampleType::kInt16, true});
    const QByteArray chunk(4096, '\x11');
    form.AddWaveData(chunk);
    QTest::qWait(200);
    EXPECT_EQ(form.Chart1->FrameCount(), 0) << "drawn while hidden";

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const qint64 before = form.Chart1->FrameCount();
    QElapsedTimer clock;
    clock.start();
    qint64 chunks = 0;
    while (clock.elapsed() < 1000) {
        form.AddWaveData(chunk);
        ++chunks;
        QApplication::processEvents();
    }
    const qint64 frames = form.Chart1->FrameCount() - before;
    EXPECT_GT(chunks, 100);
    EXPECT_GE(frames, 5);
    EXPECT_LE(frames, 1000 / TiPlot::kFrameIntervalMs + 3);
}

TEST(WaveFormTest, ClosingHidesAndKeepsTheCurves)
{
    TwaveForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(form.IsShowing());
    form.AddWaveData(QByteArray::fromHex("0102"));
    form.close();
    EXPECT_FALSE(form.IsShowing());
    EXPECT_EQ(form.Counter(), 2);
    EXPECT_EQ(form.Chart1->GetChannel(0)->Kept(), 2);
}

}  // namespace
