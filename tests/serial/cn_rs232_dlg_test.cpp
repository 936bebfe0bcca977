#include "serial/cn_rs232_dlg.h"
#include "serial/cn_rs232_dialog.h"
#include "tests/support/message_recorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

class CnRS232DlgTest : public testing::Test
{
protected:
    CnRS232DlgTest() { dlg_.SetSettings(factory_.CommConfig, factory_.Timeouts); }

    const CnRS232Settings factory_ = PortBFactorySettings();
    MessageRecorder messages_;
    TCnRS232Dlg dlg_;
};

TEST_F(CnRS232DlgTest, HasTheFourPagesWithTheirCaptionsAndItems)
{
    EXPECT_EQ(dlg_.windowTitle(), QStringLiteral("串口设置"));
    EXPECT_TRUE(dlg_.isModal());
    ASSERT_EQ(dlg_.PageControl->count(), 4);
    EXPECT_EQ(dlg_.PageControl->tabText(0), QStringLiteral("常规设置"));
    EXPECT_EQ(dlg_.PageControl->tabText(1), QStringLiteral("软件流量控制"));
    EXPECT_EQ(dlg_.PageControl->tabText(2), QStringLiteral("硬件流量控制"));
    EXPECT_EQ(dlg_.PageControl->tabText(3), QStringLiteral("超时设置"));

    EXPECT_FALSE(dlg_.cbbBaudRate->isEditable()) << "the baud list is pick-only";
    EXPECT_EQ(Items(dlg_.cbbBaudRate),
              (QStringList{"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000",
                           "57600", "115200", "128000", "256000"}));
    EXPECT_EQ(Items(dlg_.cbbByteSize), (QStringList{"5", "6", "7", "8"}));
    EXPECT_EQ(Items(dlg_.cbbParity), (QStringList{"无", "奇校验", "偶校验", "传号校验", "空号校验 "}));
    EXPECT_EQ(Items(dlg_.cbbStopBits), (QStringList{"1", "1.5", "2 "}));
    EXPECT_EQ(Items(dlg_.cbbDtrControl), (QStringList{"允许DTR线并保持", "禁止DTR线并保持", "允许DTR握手"}));
    EXPECT_EQ(Items(dlg_.cbbRtsControl),
              (QStringList{"允许RTS并保持", "禁止RTS并保持", "允许RTS握手", "使用触发方式"}));

    const std::pair<QAbstractButton*, const char*> captions[] = {
        {dlg_.cbReplaceWhenParityError, "奇偶校验错误替换成字符(&ASCII):"},
        {dlg_.cbIgnoreNullChar, "忽略NULL字符(&N)"},
        {dlg_.cbInx_XonXoffFlow, "输入Xon/Xoff有效(&F)"},
        {dlg_.cbOutx_XonXoffFlow, "输出Xon/Xoff有效(&O)"},
        {dlg_.cbTxContinueOnXoff, "Xoff后继续发送数据(&C)"},
        {dlg_.cbOutx_DsrFlow, "使用DSR信号进行输出流量控制(&B)"},
        {dlg_.cbOutx_CtsFlow, "使用CTS信号进行输出流量控制(&C)"},
        {dlg_.cbDsrSensitivity, "DSR敏感度(&E)"},
        {dlg_.btnOK, "确定(&O)"},
        {dlg_.btnCancel, "取消(&C)"},
    };
    for (const auto& [button, caption] : captions)
        EXPECT_EQ(button->text(), QString::fromUtf8(caption));
    EXPECT_TRUE(dlg_.btnOK->isDefault());
    EXPECT_EQ(dlg_.cbShowHint->text(), QStringLiteral("显示提示信息"));
    EXPECT_TRUE(dlg_.cbShowHint->isHidden());

    QStringList labels;
    for (const QLabel* label : dlg_.findChildren<QLabel*>())
        labels << label->text();
    for (const char* text : {"波特率(&B):", "数据位(&D):", "奇偶校验(&P):", "停止位(&S):", "Xon阈值(&B):",
                             "Xoff阈值(&H):", "Xon字符(ASCII)(&K):", "Xoff字符(ASCII)(&I):", "DTR流量控制(&T):",
                             "RTS流量控制(&R):", "输入控制:", "输出控制:", "读间隔超时(&R):", "读总超时系数(&T):",
                             "读总超时常量(&A):", "写总超时系数(&W):", "写总超时常量(&B):", "毫秒"})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;
}

TEST_F(CnRS232DlgTest, ShowsTheSettingsItWasGiven)
{
    EXPECT_EQ(dlg_.cbbBaudRate->currentText(), QStringLiteral("19200"));
    EXPECT_EQ(dlg_.cbbByteSize->currentText(), QStringLiteral("8"));
    EXPECT_EQ(dlg_.cbbParity->currentIndex(), 0);
    EXPECT_EQ(dlg_.cbbStopBits->currentIndex(), 0);
    EXPECT_EQ(dlg_.cbbDtrControl->currentIndex(), 1);
    EXPECT_EQ(dlg_.cbbRtsControl->currentIndex(), 1);
    EXPECT_EQ(dlg_.seXonChar->text(), QStringLiteral("17"));
    EXPECT_EQ(dlg_.seXoffChar->text(), QStringLiteral("19"));
    EXPECT_EQ(dlg_.seXonLimit->text(), QStringLiteral("500"));
    EXPECT_EQ(dlg_.seReadIntervalTimeout->text(), QStringLiteral("120"));
    EXPECT_EQ(dlg_.seWriteTotalTimeoutConstant->text(), QStringLiteral("0"));
}

TEST_F(CnRS232DlgTest, ARateMissingFromTheListIsAppendedAndSelected)
{
    TCnRS232Config config = factory_.CommConfig;
    config.BaudRate = 250000;
    dlg_.SetSettings(config, factory_.Timeouts);
    EXPECT_EQ(dlg_.cbbBaudRate->count(), 16);
    EXPECT_EQ(dlg_.cbbBaudRate->currentIndex(), 15);
    EXPECT_EQ(dlg_.cbbBaudRate->currentText(), QStringLiteral("250000"));
}

TEST_F(CnRS232DlgTest, ReplacementControlsNeedAParityAndTheBox)
{
    struct Row
    {
        const char* behaviour;
        int parity;
        bool checked;
        bool boxEnabled;
        bool numberEnabled;
    };
    const Row rows[] = {
        {"no parity: neither", 0, true, false, false},
        {"parity, box unchecked: box only", 2, false, true, false},
        {"parity, box checked: both", 2, true, true, true},
        {"back to no parity: neither", 0, true, false, false},
    };
    for (const Row& row : rows) {
        dlg_.cbbParity->setCurrentIndex(row.parity);
        dlg_.cbReplaceWhenParityError->setChecked(row.checked);
        EXPECT_EQ(dlg_.cbReplaceWhenParityError->isEnabled(), row.boxEnabled) << row.behaviour;
        EXPECT_EQ(dlg_.seReplacedChar->isEnabled(), row.numberEnabled) << row.behaviour;
    }
}

TEST_F(CnRS232DlgTest, LeavingANumberFieldChecksIt)
{
    struct Row
    {
        const char* behaviour;
        QLineEdit* TCnRS232Dlg::*field;
        const char* text;
        const char* message;  // nullptr: accepted
    };
    const Row rows[] = {
        {"character code 255", &TCnRS232Dlg::seReplacedChar, "255", nullptr},
        {"character code 256", &TCnRS232Dlg::seReplacedChar, "256", TCnRS232Dlg::kAsciiMessage},
        {"negative character code", &TCnRS232Dlg::seReplacedChar, "-1", TCnRS232Dlg::kAsciiMessage},
        {"letters as XON", &TCnRS232Dlg::seXonChar, "x", TCnRS232Dlg::kAsciiMessage},
        {"empty XOFF", &TCnRS232Dlg::seXoffChar, "", TCnRS232Dlg::kAsciiMessage},
        {"XON equal to XOFF", &TCnRS232Dlg::seXonChar, "19", TCnRS232Dlg::kSameXonXoffMessage},
        {"XOFF equal to XON", &TCnRS232Dlg::seXoffChar, "17", TCnRS232Dlg::kSameXonXoffMessage},
        {"limit 65535", &TCnRS232Dlg::seXonLimit, "65535", nullptr},
        {"limit 65536", &TCnRS232Dlg::seXoffLimit, "65536", TCnRS232Dlg::kIntegerMessage},
        {"letters as limit", &TCnRS232Dlg::seXonLimit, "many", TCnRS232Dlg::kIntegerMessage},
        {"fraction as limit", &TCnRS232Dlg::seXonLimit, "1.5", TCnRS232Dlg::kIntegerMessage},
        {"time-out above 65535", &TCnRS232Dlg::seReadIntervalTimeout, "70000", TCnRS232Dlg::kIntegerMessage},
        {"time-out 0", &TCnRS232Dlg::seWriteTotalTimeoutConstant, "0", nullptr},
    };
    for (const Row& row : rows) {
        dlg_.SetSettings(factory_.CommConfig, factory_.Timeouts);
        messages_.messages.clear();
        QLineEdit* field = dlg_.*row.field;
        field->setText(QString::fromUtf8(row.text));
        EXPECT_EQ(dlg_.FieldExit(field), row.message == nullptr) << row.behaviour;
        EXPECT_EQ(messages_.messages,
                  row.message ? QStringList{QString::fromUtf8(row.message)} : QStringList()) << row.behaviour;
        QCoreApplication::processEvents();
    }
}

TEST_F(CnRS232DlgTest, TheFocusReturnsToAFieldLeftWithABadValue)
{
    dlg_.show();
    dlg_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg_));
    dlg_.PageControl->setCurrentIndex(1);
    dlg_.seXonLimit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg_.seXonLimit->hasFocus(); }, 2000));
    dlg_.seXonLimit->setText(QStringLiteral("oops"));

    dlg_.seXoffLimit->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(messages_.messages, QStringList{TCnRS232Dlg::kIntegerMessage});
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg_.seXonLimit->hasFocus(); }, 2000));
    EXPECT_EQ(messages_.messages.size(), 1) << "sending the focus back checks nothing more";
}

TEST_F(CnRS232DlgTest, ConfirmingCopiesEveryControlIntoTheSettings)
{
    dlg_.cbbBaudRate->setCurrentText(QStringLiteral("115200"));
    dlg_.cbbByteSize->setCurrentIndex(2);
    dlg_.cbbParity->setCurrentIndex(3);
    dlg_.cbbStopBits->setCurrentIndex(1);
    dlg_.cbReplaceWhenParityError->setChecked(true);
    dlg_.seReplacedChar->setText(QStringLiteral("63"));
    dlg_.cbIgnoreNullChar->setChecked(true);
    dlg_.cbInx_XonXoffFlow->setChecked(true);
    dlg_.cbOutx_XonXoffFlow->setChecked(true);
    dlg_.cbTxContinueOnXoff->setChecked(true);
    dlg_.seXonLimit->setText(QStringLiteral("100"));
    dlg_.seXoffLimit->setText(QStringLiteral("200"));
    dlg_.seXonChar->setText(QStringLiteral("1"));
    dlg_.seXoffChar->setText(QStringLiteral("2"));
    dlg_.cbbDtrControl->setCurrentIndex(2);
    dlg_.cbbRtsControl->setCurrentIndex(3);
    dlg_.cbOutx_DsrFlow->setChecked(true);
    dlg_.cbOutx_CtsFlow->setChecked(true);
    dlg_.cbDsrSensitivity->setChecked(true);
    dlg_.seReadIntervalTimeout->setText(QStringLiteral("50"));
    dlg_.seReadTotalTimeoutMultiplier->setText(QStringLiteral("2"));
    dlg_.seReadTotalTimeoutConstant->setText(QStringLiteral("300"));
    dlg_.seWriteTotalTimeoutMultiplier->setText(QStringLiteral("4"));
    dlg_.seWriteTotalTimeoutConstant->setText(QStringLiteral("5"));

    dlg_.btnOKClick();

    EXPECT_EQ(dlg_.result(), QDialog::Accepted);
    EXPECT_TRUE(messages_.messages.isEmpty());
    TCnRS232Config expected;
    expected.BaudRate = 115200;
    expected.ByteSize = CnRS232::TByteSize::_7;
    expected.Parity = CnRS232::TParity::paMark;
    expected.ParityCheck = true;
    expected.StopBits = CnRS232::TStopBits::_1_5;
    expected.ReplaceWhenParityError = true;
    expected.ReplacedChar = 63;
    expected.IgnoreNullChar = true;
    expected.Inx_XonXoffFlow = true;
    expected.Outx_XonXoffFlow = true;
    expected.TxContinueOnXoff = true;
    expected.XonLimit = 100;
    expected.XoffLimit = 200;
    expected.XonChar = 1;
    expected.XoffChar = 2;
    expected.DtrControl = CnRS232::TDtrControl::DtrHandshake;
    expected.RtsControl = CnRS232::TRtsControl::RtsTransmissionAvailable;
    expected.Outx_DsrFlow = true;
    expected.Outx_CtsFlow = true;
    expected.DsrSensitivity = true;
    EXPECT_EQ(dlg_.CommConfig(), expected);
    EXPECT_EQ(dlg_.Timeouts(), (TCnRS232Timeouts{50, 2, 300, 4, 5}));
}

TEST_F(CnRS232DlgTest, ConfirmingRefusesBadValuesAndStaysOpen)
{
    struct Row
    {
        const char* behaviour;
        std::function<void(TCnRS232Dlg&)> change;
        const char* message;
    };
    const Row rows[] = {
        {"XON equal to XOFF", [](auto& d) { d.seXonChar->setText(QStringLiteral("19")); },
         TCnRS232Dlg::kSameXonXoffMessage},
        {"replacement character out of range", [](auto& d) { d.seReplacedChar->setText(QStringLiteral("300")); },
         TCnRS232Dlg::kAsciiMessage},
        {"limit that is no integer", [](auto& d) { d.seXoffLimit->setText(QStringLiteral("1e3")); },
         TCnRS232Dlg::kIntegerMessage},
        {"time-out that is no integer", [](auto& d) { d.seReadTotalTimeoutConstant->setText(QStringLiteral("-")); },
         TCnRS232Dlg::kIntegerMessage},
        {"baud text that is no integer (list made editable)",
         [](auto& d) {
             d.cbbBaudRate->setEditable(true);
             d.cbbBaudRate->setEditText(QStringLiteral("fast"));
         },
         TCnRS232Dlg::kBaudMessage},
    };
    for (const Row& row : rows) {
        TCnRS232Dlg dlg;
        dlg.SetSettings(factory_.CommConfig, factory_.Timeouts);
        messages_.messages.clear();
        row.change(dlg);
        dlg.btnOKClick();
        EXPECT_EQ(messages_.messages, QStringList{QString::fromUtf8(row.message)}) << row.behaviour;
        EXPECT_NE(dlg.result(), QDialog::Accepted) << row.behaviour;
        EXPECT_EQ(dlg.CommConfig(), factory_.CommConfig) << row.behaviour;
        QCoreApplication::processEvents();
    }
}

TEST_F(CnRS232DlgTest, XonAndXoffCanBeSwappedInOneGo)
{
    dlg_.seXonChar->setText(QStringLiteral("19"));
    dlg_.seXoffChar->setText(QStringLiteral("17"));
    dlg_.btnOKClick();
    EXPECT_EQ(dlg_.result(), QDialog::Accepted);
    EXPECT_EQ(dlg_.CommConfig().XonChar, 19);
    EXPECT_EQ(dlg_.CommConfig().XoffChar, 17);
}

TEST(CnRS232Dialog, StartsFromItsSettingsAndKeepsOnlyConfirmedChanges)
{
    TCnRS232Dialog dialog;
    dialog.CommConfig = PortBFactorySettings().CommConfig;
    dialog.Timeouts = PortBFactorySettings().Timeouts;

    QString shownBaud;
    dialog.SetExecutor([&](TCnRS232Dlg& form) {
        shownBaud = form.cbbBaudRate->currentText();
        form.cbbBaudRate->setCurrentText(QStringLiteral("9600"));
        form.btnCancel->click();
        return form.result() == QDialog::Accepted;
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(shownBaud, QStringLiteral("19200"));
    EXPECT_EQ(dialog.CommConfig.BaudRate, 19200u);

    dialog.SetExecutor([](TCnRS232Dlg& form) {
        form.cbbBaudRate->setCurrentText(QStringLiteral("9600"));
        form.seReadIntervalTimeout->setText(QStringLiteral("40"));
        form.btnOK->click();
        return form.result() == QDialog::Accepted;
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.CommConfig.BaudRate, 9600u);
    EXPECT_EQ(dialog.Timeouts.ReadIntervalTimeout, 40u);
}

}  // namespace
