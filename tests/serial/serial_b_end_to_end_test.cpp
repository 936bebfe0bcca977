#include "app/main_window.h"
#include "app/status_panels.h"
#include "io/tnr_device_box.h"
#include "serial/serial_a_page.h"
#include "serial/serial_b_page.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// The whole window with port A and port B joined by a null-modem pair.
class SerialAToBTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pair.Ready()) << "socat did not make the pseudo-terminal pair";
        form.FormCreate();
    }

    QStringList DisplayTexts() const
    {
        QStringList texts;
        for (qsizetype i = 0; i < form.DisplayLines().LineCount(); ++i)
            texts << form.DisplayLines().At(i).text;
        return texts;
    }

    ScratchWorkingDirectory workingDirectory_;
    SocatPair pair;
    MessageRecorder boxes;
    TForm1 form;
};

TEST_F(SerialAToBTest, TextTypedOnOnePortArrivesOnTheOtherAndBothAreCounted)
{
    SerialAPage* a = form.serialA;
    SerialBPage* b = form.serialB;
    a->SetPathPrompt([this] { return pair.A(); });
    a->nrDeviceBox1->Pick(a->nrDeviceBox1->count() - 1);
    a->btnOpenCom->click();
    b->cbb2_COM->setEditText(pair.B());
    b->btn2OpenCom->click();
    ASSERT_TRUE(form.ComA().IsOpen()) << boxes.messages.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(form.ComB().IsOpen()) << boxes.messages.join(QLatin1Char('|')).toStdString();

    a->sendPanel->memo->setPlainText(QStringLiteral("from A"));
    a->sendPanel->send->click();
    const QString onB = QStringLiteral("COMB[") + pair.B() + QStringLiteral("]接收6字节: ");
    EXPECT_TRUE(WaitUntil([&] { return !DisplayTexts().filter(onB).isEmpty(); }))
        << DisplayTexts().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(DisplayTexts().last().endsWith(QStringLiteral("from A")));

    b->sendPanel->memo->setPlainText(QStringLiteral("from B!"));
    b->sendPanel->send->click();
    const QString onA = QStringLiteral("COMA[") + QFileInfo(pair.A()).fileName() + QStringLiteral("]接收7字节: ");
    EXPECT_TRUE(WaitUntil([&] { return !DisplayTexts().filter(onA).isEmpty(); }))
        << DisplayTexts().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(DisplayTexts().last().endsWith(QStringLiteral("from B!")));

    EXPECT_TRUE(WaitUntil([&] {
        return form.StatusBar1->PanelText(COMA) == QStringLiteral("COMA: 发/收:6/7  ") &&
               form.StatusBar1->PanelText(COMB) == QStringLiteral("COMB: 发/收:7/6  ");
    })) << form.StatusBar1->PanelText(COMA).toStdString() << " " << form.StatusBar1->PanelText(COMB).toStdString();
    EXPECT_TRUE(boxes.messages.isEmpty()) << boxes.messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(SerialAToBTest, RefreshOnPageBReloadsBothPortLists)
{
    form.serialA->cbb_COM->clear();
    form.serialA->cbb_COM->addItem(QStringLiteral("stale()"));
    form.serialB->cbb2_COM->setCurrentIndex(0);
    form.serialB->btn2OpenCom->click();
    ASSERT_GE(form.serialA->cbb_COM->count(), 1);
    EXPECT_EQ(form.serialA->cbb_COM->itemText(0), QStringLiteral("刷新"));
    EXPECT_EQ(form.serialA->cbb_COM->count(), form.serialB->cbb2_COM->count());
    EXPECT_FALSE(form.ComB().IsOpen());
}

}  // namespace
