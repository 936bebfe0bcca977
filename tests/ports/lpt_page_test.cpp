#include "ports/lpt_page.h"

#include "io/tnr_device_box.h"
#include "ports/tnr_lpt.h"
#include "tests/ports/recording_lpt_io.h"
#include "tests/support/message_recorder.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct LogRecorder : TnrLog
{
    QStringList lines;
    void AddLog(TDetailLevel, const QString& text) override { lines << text; }
};

class LptPageTest : public ::testing::Test
{
protected:
    LptPageTest() : io(new RecordingLptIO), lpt(std::unique_ptr<LptPortIO>(io))
    {
        for (const auto& [name, base] : {std::pair{"parport0", "888\t1912\n"}, std::pair{"parport1", "632\t1656\n"}}) {
            QDir(proc.path()).mkpath(QString::fromLatin1(name));
            QFile file(proc.filePath(QString::fromLatin1(name) + QStringLiteral("/base-addr")));
            file.open(QIODevice::WriteOnly);
            file.write(base);
        }
        lpt.SetProcRoot(proc.path());
        lpt.SetLog(&log);
        page = std::make_unique<LptPage>(lpt);
    }

    QStringList CheckedPins() const
    {
        QStringList checked;
        for (int pin = 1; pin <= LptPage::kPinCount; ++pin)
            if (page->pins[pin - 1]->isChecked())
                checked << QString::number(pin);
        return checked;
    }

    void Send(const QString& text, bool hex)
    {
        page->edtLptSend->setText(text);
        page->chkLPTHex->setChecked(hex);
        page->btnLPTSend->click();
    }

    QTemporaryDir proc;
    MessageRecorder messages;
    LogRecorder log;
    RecordingLptIO* io;
    TnrLPT lpt;
    std::unique_ptr<LptPage> page;
};

TEST_F(LptPageTest, EnablingShowsTheBaseAddressAndReadsThePins)
{
    io->data = 0x01;
    io->status = 0x80;
    page->CheckBox1->click();
    EXPECT_TRUE(lpt.Active());
    EXPECT_TRUE(page->CheckBox1->isChecked());
    EXPECT_EQ(page->ebase->text(), QStringLiteral("378"));
    EXPECT_EQ(CheckedPins(), QStringList({QStringLiteral("2"), QStringLiteral("11")}));
    EXPECT_TRUE(messages.messages.isEmpty());

    page->CheckBox1->click();
    EXPECT_FALSE(lpt.Active());
    EXPECT_FALSE(page->CheckBox1->isChecked());
}

TEST_F(LptPageTest, AFailedEnableShowsTheErrorAndTheBoxTheTrueState)
{
    io->openError = EACCES;
    page->CheckBox1->click();
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("Create service failed.")});
    EXPECT_FALSE(page->CheckBox1->isChecked());
    EXPECT_FALSE(lpt.Active());

    io->openError = 0;
    io->claimError = EBUSY;
    page->CheckBox1->click();
    EXPECT_EQ(messages.messages.last(), QStringLiteral("Start service failed."));
    EXPECT_FALSE(page->CheckBox1->isChecked());

    // With base address 0 the port opens all the same, and the box says so.
    io->claimError = 0;
    lpt.SetLptIOBase(0);
    page->CheckBox1->click();
    EXPECT_EQ(messages.messages.last(), QStringLiteral("LPT1 open in Direct Mode is failed. Base I/O port is NULL"));
    EXPECT_TRUE(page->CheckBox1->isChecked());
    EXPECT_TRUE(lpt.Active());
}

TEST_F(LptPageTest, HexFiftyFiveOnALoopBackShowsOnTheEvenDataPins)
{
    page->CheckBox1->click();
    Send(QStringLiteral(" 55 "), true);
    EXPECT_EQ(io->DataWritten(), QByteArray("\x55"));
    page->ButtonLPT->click();
    const QStringList checked = CheckedPins();
    for (const char* pin : {"2", "4", "6", "8"})
        EXPECT_TRUE(checked.contains(QString::fromLatin1(pin))) << pin;
    for (const char* pin : {"3", "5", "7", "9"})
        EXPECT_FALSE(checked.contains(QString::fromLatin1(pin))) << pin;
}

TEST_F(LptPageTest, SendsTextOrHexOnlyWhileOpen)
{
    Send(QStringLiteral("abc"), false);
    EXPECT_TRUE(io->writes.empty());

    page->CheckBox1->click();
    Send(QStringLiteral("5"), true);
    Send(QStringLiteral("   "), false);
    EXPECT_TRUE(io->writes.empty());
    Send(QStringLiteral(" abc "), false);
    EXPECT_EQ(io->DataWritten(), QByteArray("abc"));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("TnrLPT: Try to send string abc ...")));
}

TEST_F(LptPageTest, HexTextLongerThanTheBufferIsSentWholeInPieces)
{
    QByteArray expected;
    QString text;
    for (int i = 0; i < 3000; ++i) {
        expected.append(char(i * 7));
        text += QStringLiteral("%1 ").arg(quint8(i * 7), 2, 16, QLatin1Char('0'));
    }
    page->CheckBox1->click();
    Send(text, true);
    EXPECT_EQ(io->DataWritten(), expected);
    const QStringList pieces = log.lines.filter(QStringLiteral("Try to send data."));
    EXPECT_EQ(pieces, QStringList({QStringLiteral("TnrLPT: Try to send data. Length: 1024"),
                                   QStringLiteral("TnrLPT: Try to send data. Length: 1024"),
                                   QStringLiteral("TnrLPT: Try to send data. Length: 952")}));
}

TEST_F(LptPageTest, GroundPinsStayGreyAndPinBoxesWriteNothing)
{
    for (int pin = 18; pin <= 25; ++pin)
        EXPECT_FALSE(page->pins[pin - 1]->isEnabled()) << pin;
    page->CheckBox1->click();
    const size_t before = io->writes.size();
    page->pins[1]->click();
    page->pins[0]->click();
    EXPECT_EQ(io->writes.size(), before);
}

TEST_F(LptPageTest, PickingLpt2WhileEnabledReopensAtItsAddress)
{
    ASSERT_EQ(page->nrDeviceBox2->count(), 2);
    EXPECT_EQ(page->nrDeviceBox2->currentText(), QStringLiteral("LPT1"));
    page->CheckBox1->click();
    page->nrDeviceBox2->Pick(1);
    EXPECT_TRUE(lpt.Active());
    EXPECT_EQ(lpt.LptIOBase(), 632);
    EXPECT_EQ(io->opened.last(), QStringLiteral("/dev/parport1"));
    EXPECT_EQ(page->nrDeviceBox2->currentText(), QStringLiteral("LPT2"));
}

}  // namespace
