#include "app/main_window.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"
#include "wave/ti_plot.h"
#include "wave/wave_form.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// "波形图" shows the window created hidden at start-up; every channel's
// received chunks reach it while it shows, and only then.
TEST(WaveWindowTest, ReceivedChunksOfEveryChannelFeedTheShownWindow)
{
    ScratchWorkingDirectory workingDirectory;
    MessageRecorder messages;
    TForm1 form;
    form.FormCreate();
    ASSERT_NE(form.waveForm, nullptr);
    EXPECT_FALSE(form.waveForm->isVisible());
    EXPECT_EQ(form.btnWave->text(), QStringLiteral("波形图"));

    form.ProcessReceived(QByteArray::fromHex("01020304"), QStringLiteral("COMA[1]"), COMA);
    EXPECT_EQ(form.waveForm->Counter(), 0) << "fed while hidden";

    form.btnWave->click();
    EXPECT_TRUE(form.waveForm->isVisible());
    EXPECT_EQ(form.waveForm->windowTitle(), QStringLiteral("数据波形图"));
    form.waveForm->cbChCnt->setCurrentIndex(1);
    form.waveForm->cbbNumType->setCurrentIndex(1);
    form.waveForm->cbbUS->setCurrentIndex(1);
    qint64 expected = 0;
    for (ChannelId channel = COMA; channel <= UDPC; ++channel) {
        form.ProcessReceived(QByteArray::fromHex("19003c00ffff0080"), QStringLiteral("x"), channel);
        expected += 4;
        EXPECT_EQ(form.waveForm->Counter(), expected) << int(channel);
    }
    const QList<QPointF> curve0 = form.waveForm->Chart1->GetChannel(0)->Points();
    const QList<QPointF> curve1 = form.waveForm->Chart1->GetChannel(1)->Points();
    ASSERT_EQ(curve0.size(), 12);
    EXPECT_EQ(curve0[0], QPointF(0, 25));
    EXPECT_EQ(curve0[1], QPointF(1, -1));
    EXPECT_EQ(curve1[0], QPointF(2, 60));
    EXPECT_EQ(curve1[1], QPointF(3, -32768));

    form.waveForm->close();
    form.ProcessReceived(QByteArray::fromHex("01020304"), QStringLiteral("x"), TCPS);
    EXPECT_EQ(form.waveForm->Counter(), expected);
    // The display still shows every chunk, fed or not.
    EXPECT_TRUE(messages.messages.isEmpty());
}

}  // namespace
