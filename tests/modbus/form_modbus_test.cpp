#include "modbus/form_modbus.h"
#include "modbus/modbus_number_text.h"

#include "tests/modbus/modbus_test_support.h"
#include "tests/support/message_recorder.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The window with its engine on no port: what the engine sends is recorded
// and replies are fed by hand.
class FormModbusTest : public testing::Test
{
protected:
    FormModbusTest()
    {
        form.nrModbus1->OnDataSend = [this](TnrCustomDataProcessor*, const char* buffer, quint32 length, bool,
                                            bool& handled) {
            sent.emplace_back(buffer, qsizetype(length));
            handled = true;
        };
    }

    void Feed(const QByteArray& bytes) { form.nrModbus1->DataReceive(bytes.constData(), quint32(bytes.size())); }
    // As the user clicks: the button need not be on the page shown.
    void Click(QAbstractButton* button) { button->click(); }
    QStringList LogLines() const { return form.eLog->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

    MessageRecorder boxes;
    TFormModbus form;
    std::vector<QByteArray> sent;
};

TEST_F(FormModbusTest, InitialFieldsAndEngineSettings)
{
    EXPECT_EQ(form.objectName(), QStringLiteral("FormModbus"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Modbus"));
    EXPECT_EQ(form.size(), QSize(525, 682));
    const std::pair<const char*, const char*> texts[] = {
        {"eAddress", "$07"},     {"eReadReg", "$4A00"},     {"eReadCoil", "$4A00"}, {"eRegStart", "$4A00"},
        {"eRegCount", "10"},     {"eCoilPollStart", "$4A00"}, {"eCoilPollCount", "10"}, {"ePollDelay", "0"},
        {"eRegWrite", "$4A00"},  {"eValue", "$FFFF"},       {"eCoilWrite", "0"},
    };
    for (const auto& [name, text] : texts) {
        auto* edit = form.findChild<QLineEdit*>(QString::fromLatin1(name));
        ASSERT_NE(edit, nullptr) << name;
        EXPECT_EQ(edit->text(), QString::fromUtf8(text)) << name;
    }
    const std::pair<QAbstractButton*, const char*> captions[] = {
        {form.bReadReg, "读寄存器"}, {form.bReadCoil, "读线圈"}, {form.bStartPolling, "开始"},
        {form.bStopPolling, "停止"}, {form.bWrite, "写 (6)"},   {form.bWrite16, "写 (16)"},
        {form.chCoilWrite, "On/Off"},
    };
    for (const auto& [button, caption] : captions)
        EXPECT_EQ(button->text(), QString::fromUtf8(caption));
    EXPECT_EQ(form.bWrite->toolTip(), QStringLiteral("Write value 6 function"));
    EXPECT_EQ(form.bWrite16->toolTip(), QStringLiteral("Write value 16 function"));
    EXPECT_EQ(form.txtReadResult->text(), QStringLiteral("0000"));
    EXPECT_EQ(form.txtPollResultReg->text(), QStringLiteral("???"));
    EXPECT_EQ(form.txtPollResultCoil->text(), QStringLiteral("???"));
    EXPECT_EQ(form.txtSpeed->text(), QStringLiteral("速度:"));
    EXPECT_EQ(form.grpMode->title(), QStringLiteral("模式"));
    EXPECT_EQ(form.grpModeItemIndex(), 0);
    EXPECT_EQ(form.PageControl1->tabText(form.PageControl1->currentIndex()), QStringLiteral("轮询"));
    EXPECT_EQ(form.PageControl1->tabText(0), QStringLiteral("读"));
    EXPECT_EQ(form.PageControl1->tabText(2), QStringLiteral("写"));
    EXPECT_TRUE(form.eLog->toPlainText().isEmpty());

    TnrModbus& engine = *form.nrModbus1;
    EXPECT_TRUE(engine.Active());
    EXPECT_EQ(engine.Timeout(), 15000u);
    EXPECT_EQ(engine.Address(), 0);
    EXPECT_FALSE(engine.ASCII());
    EXPECT_EQ(engine.DelayPoll(), 0);
    EXPECT_EQ(engine.DelayWrite(), 15);
    EXPECT_FALSE(engine.IgnoreRepeatFunc());
}

TEST_F(FormModbusTest, ReadRegisterShowsItsLineInTheReadResultOnlyOnTheReadPage)
{
    Click(form.bReadReg);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], RtuFrame(Hex("07 03 4A 00 00 01")));
    Feed(RtuFrame(Hex("07 03 02 12 AB")));
    EXPECT_EQ(form.txtPollResultReg->text(), QStringLiteral("Device: 7 Reg:4A00 = 12AB\r\n"));
    EXPECT_EQ(form.txtReadResult->text(), QStringLiteral("0000")) << "the page 轮询 is shown";
    EXPECT_EQ(form.txtPollResultCoil->text(), QStringLiteral("???"));
    EXPECT_EQ(form.txtSpeed->text(), QStringLiteral("Speed: 1 Hz"));

    form.PageControl1->setCurrentWidget(form.tsRead);
    form.eReadReg->setText(QStringLiteral("18945"));  // 0x4A01
    Click(form.bReadReg);
    ASSERT_TRUE(WaitFor([&] { return sent.size() == 2; }, 2000)) << "sent after the 15 ms write pause";
    EXPECT_EQ(sent[1], RtuFrame(Hex("07 03 4A 01 00 01")));
    Feed(RtuFrame(Hex("07 03 02 00 05")));
    EXPECT_EQ(form.txtReadResult->text(), QStringLiteral("Device: 7 Reg:4A01 = 0005\r\n\r\n"));
    EXPECT_EQ(form.txtPollResultReg->text(), QStringLiteral("Device: 7 Reg:4A01 = 0005\r\n"));
    EXPECT_EQ(LogLines(), QStringList{QStringLiteral("Device: 7 Reg:4A01 = 0005")});

    form.eReadCoil->setText(QStringLiteral("$0003"));
    Click(form.bReadCoil);
    ASSERT_TRUE(WaitFor([&] { return sent.size() == 3; }, 2000));
    EXPECT_EQ(sent.back(), RtuFrame(Hex("07 01 00 03 00 01")));
    Feed(RtuFrame(Hex("07 01 01 01")));
    EXPECT_EQ(form.txtReadResult->text(), QStringLiteral("\r\nDevice: 7 Coil:0003=True\r\n"));
    EXPECT_EQ(form.txtPollResultReg->text(), QStringLiteral("Device: 7 Reg:4A01 = 0005\r\n")) << "kept";
}

TEST_F(FormModbusTest, WritesWithSixteenSixAndTheCoilBox)
{
    Click(form.bWrite16);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], RtuFrame(Hex("07 10 4A 00 00 01 02 FF FF")));
    Feed(RtuFrame(Hex("07 10 4A 00 00 01")));
    EXPECT_EQ(form.txtPollResultReg->text(), QStringLiteral("Device: 7 Reg:4A00 = 0001\r\n"));

    // After a one-shot request the engine pauses DelayWrite (15 ms).
    Click(form.bWrite);
    ASSERT_TRUE(WaitFor([&] { return sent.size() == 2; }, 2000));
    EXPECT_EQ(sent[1], RtuFrame(Hex("07 06 4A 00 FF FF")));
    Feed(RtuFrame(Hex("07 06 4A 00 FF FF")));

    Click(form.chCoilWrite);
    ASSERT_TRUE(form.chCoilWrite->isChecked());
    ASSERT_TRUE(WaitFor([&] { return sent.size() == 3; }, 2000));
    EXPECT_EQ(sent[2], RtuFrame(Hex("07 05 00 00 FF 00")));
    Feed(RtuFrame(Hex("07 05 00 00 FF 00")));
    EXPECT_EQ(form.txtPollResultCoil->text(), QStringLiteral("Device: 7 Coil:0000=True\r\n"));
    Click(form.chCoilWrite);
    ASSERT_TRUE(WaitFor([&] { return sent.size() == 4; }, 2000));
    EXPECT_EQ(sent[3], RtuFrame(Hex("07 05 00 00 00 00")));
    Feed(RtuFrame(Hex("07 05 00 00 00 00")));
    EXPECT_EQ(form.txtPollResultCoil->text(), QStringLiteral("Device: 7 Coil:0000=False\r\n"));
}

TEST_F(FormModbusTest, PollingTenCoilsListsTenLines)
{
    form.eRegCount->setText(QStringLiteral("0"));
    Click(form.bStartPolling);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], RtuFrame(Hex("07 01 4A 00 00 0A")));
    Feed(RtuFrame(Hex("07 01 02 05 02")));
    const bool on[] = {true, false, true, false, false, false, false, false, false, true};
    QString expected;
    for (int i = 0; i < 10; ++i)
        expected += QStringLiteral("Device: 7 Coil:4A0%1=%2\r\n").arg(i).arg(on[i] ? "True" : "False");
    EXPECT_EQ(form.txtPollResultCoil->text(), expected);
    EXPECT_EQ(sent.size(), 2u) << "the poll goes on at once with delay 0";
    EXPECT_EQ(form.nrModbus1->RequestCount(), 1);
    Click(form.bStopPolling);
    Feed(RtuFrame(Hex("07 01 02 05 02")));
    EXPECT_EQ(form.nrModbus1->RequestCount(), 0);
}

TEST_F(FormModbusTest, PollingBothBlocksAlternatesWithTheTypedDelay)
{
    form.eRegCount->setText(QStringLiteral("2"));
    form.eCoilPollCount->setText(QStringLiteral("x"));  // no number: no coil poll
    form.ePollDelay->setText(QStringLiteral("30"));
    Click(form.bStartPolling);
    EXPECT_EQ(form.nrModbus1->DelayPoll(), 30);
    EXPECT_EQ(form.nrModbus1->RequestCount(), 1);
    form.eCoilPollCount->setText(QStringLiteral("3"));
    form.ePollDelay->setText(QStringLiteral("zz"));
    Click(form.bStartPolling);
    EXPECT_EQ(form.nrModbus1->DelayPoll(), 0) << "a delay that is no number is 0";
    EXPECT_EQ(form.nrModbus1->RequestCount(), 3) << "pressing again adds more poll requests";
    EXPECT_TRUE(boxes.messages.isEmpty());
}

TEST_F(FormModbusTest, ExceptionReplyShowsItsMessageAndClearsTheCoilLabel)
{
    Click(form.bReadReg);
    Feed(RtuFrame(Hex("07 83 02")));
    EXPECT_EQ(form.txtPollResultReg->text(), QStringLiteral("Illegal data address (02h)"));
    EXPECT_EQ(form.txtPollResultCoil->text(), QString());
    EXPECT_EQ(LogLines(), QStringList{QStringLiteral("Illegal data address (02h)")});
}

TEST_F(FormModbusTest, AsciiSelectionFramesTheRequestAndDecodesTheReply)
{
    form.findChild<QRadioButton*>(QStringLiteral("grpModeASCII"))->click();
    EXPECT_EQ(form.grpModeItemIndex(), 1);
    Click(form.bReadReg);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], AsciiFrame(Hex("07 03 4A 00 00 01")));
    EXPECT_TRUE(form.nrModbus1->ASCII());
    Feed(AsciiFrame(Hex("07 03 02 BE EF")));
    EXPECT_EQ(form.txtPollResultReg->text(), QStringLiteral("Device: 7 Reg:4A00 = BEEF\r\n"));
}

TEST_F(FormModbusTest, TimeoutIsLogged)
{
    form.nrModbus1->SetTimeout(20);
    Click(form.bReadReg);
    ASSERT_TRUE(WaitFor([&] { return !LogLines().isEmpty(); }, 2000));
    EXPECT_EQ(LogLines(), QStringList{QStringLiteral("Timeout!")});
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(LogLines().size(), 1) << "nothing outstanding: no further time-out";
}

TEST_F(FormModbusTest, BadFieldsAreReportedAndMakeNoRequest)
{
    struct Row
    {
        QLineEdit* field;
        QAbstractButton* button;
        const char* message;
    };
    const Row rows[] = {
        {form.eReadReg, form.bReadReg, "'4A00' is not a valid integer value"},
        {form.eAddress, form.bReadCoil, "'4A00' is not a valid integer value"},
        {form.eValue, form.bWrite, "'4A00' is not a valid integer value"},
        {form.eRegStart, form.bStartPolling, "'4A00' is not a valid integer value"},
    };
    for (const Row& row : rows) {
        const QString before = row.field->text();
        row.field->setText(QStringLiteral("4A00"));
        Click(row.button);
        row.field->setText(before);
        ASSERT_FALSE(boxes.messages.isEmpty());
        EXPECT_EQ(boxes.messages.takeLast(), QString::fromLatin1(row.message));
    }
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(form.nrModbus1->RequestCount(), 0) << "a bad register start also keeps the coil poll out";
}

TEST_F(FormModbusTest, EngineErrorsAreReported)
{
    form.nrModbus1->SetActive(false);
    Click(form.bReadReg);
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("Modbus is not Active")});
}

TEST(ModbusNumberTextTest, DecimalAndDollarHex)
{
    const std::pair<const char*, int> good[] = {{"$07", 7}, {"$4A00", 0x4A00}, {"10", 10}, {"0x1f", 31},
                                                {"-3", -3},  {" 12 ", 12},      {"$ffff", 0xFFFF}};
    for (const auto& [text, value] : good)
        EXPECT_EQ(StrToInt(QString::fromLatin1(text)), value) << text;
    for (const char* bad : {"", "$", "4A00", "1 2", "$G", "99999999999", "+-1"}) {
        EXPECT_THROW(StrToInt(QString::fromLatin1(bad)), std::runtime_error) << bad;
        EXPECT_EQ(StrToIntDef(QString::fromLatin1(bad), -7), -7) << bad;
    }
}

}  // namespace
