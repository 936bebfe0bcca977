#include "serial/serial_a_page.h"
#include "core/indicator_shape.h"
#include "core/message_box.h"
#include "data/receive_pipeline.h"
#include "io/tnr_device_box.h"
#include "raw_end.h"
#include "send/send_dispatcher.h"
#include "serial/comm_config_dialog.h"
#include "serial/tnr_comm.h"
#include "serial/tnr_semaphore.h"
#include "socat_pair.h"
#include "tests/support/fake_receive_options.h"
#include "wait_until.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Page A with the pipeline and dispatcher around it, on an empty machine.
class SerialAPageTest : public testing::Test
{
protected:
    SerialAPageTest()
    {
        TnrComm::SetDefaultScanRoots({empty_.path(), empty_.path(), empty_.path()});
        previousPresenter_ = MessageBox::SetPresenter([this](const QString& text) { boxes << text; });
        page = std::make_unique<SerialAPage>(pipeline);
        dispatcher.SetTarget(COMA, page.get());
    }
    ~SerialAPageTest() override
    {
        page.reset();
        MessageBox::SetPresenter(previousPresenter_);
    }

    // Picks a device path through the picker's last entry.
    void PickPath(const QString& path)
    {
        page->SetPathPrompt([path] { return path; });
        page->nrDeviceBox1->Pick(page->nrDeviceBox1->count() - 1);
    }

    QStringList DisplayTexts() const
    {
        QStringList texts;
        for (qsizetype i = 0; i < display.LineCount(); ++i)
            texts << display.At(i).text;
        return texts;
    }

    QTemporaryDir empty_;
    FakeReceiveOptions options;
    DisplayLineStore display;
    ChannelCounters counters;
    ReceivePipeline pipeline{options, display, counters, [] {}};
    SendDispatcher dispatcher{pipeline, options, counters, [] {}};
    std::unique_ptr<SerialAPage> page;
    QStringList boxes;
    MessageBox::Presenter previousPresenter_;
};

TEST_F(SerialAPageTest, ControlsCarryTheirNamesCaptionsAndStartStates)
{
    struct Row
    {
        const char* name;
        const char* caption;
        bool enabled;
    };
    const Row buttons[] = {{"btnOpenCom", "打开", true}, {"btnCloseCom", "关闭", false}, {"btnComConfig", "配置", true}};
    for (const Row& row : buttons) {
        auto* button = page->findChild<QPushButton*>(QString::fromLatin1(row.name));
        ASSERT_NE(button, nullptr) << row.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(row.caption));
        EXPECT_EQ(button->isEnabled(), row.enabled);
    }
    const Row boxes[] = {{"chk485", "RS485模式", true}, {"chkRTSA", "RTS", true}, {"chkDTRA", "DTR", true},
                         {"chkTerminal", "终端模式(ANSI/VT100 terminal )", true}, {"chkModbus", "Modbus", true}};
    for (const Row& row : boxes) {
        auto* box = page->findChild<QCheckBox*>(QString::fromLatin1(row.name));
        ASSERT_NE(box, nullptr) << row.name;
        EXPECT_EQ(box->text(), QString::fromUtf8(row.caption));
        EXPECT_FALSE(box->isChecked());
    }
    EXPECT_EQ(page->chk485->toolTip(), QStringLiteral("RTS引脚用于485收发控制"));
    EXPECT_FALSE(page->findChild<QComboBox*>(QStringLiteral("cbb_COM"))->isVisibleTo(page.get()));
    for (const char* name : {"nrSemaphoreCTS", "nrSemaphoreDSR", "nrSemaphoreRLSD"})
        EXPECT_FALSE(page->findChild<TnrSemaphore*>(QString::fromLatin1(name))->Checked()) << name;
    EXPECT_TRUE(page->nrSemaphoreRING->Checked());
    EXPECT_EQ(page->ShapeCom1->BrushColor(), IndicatorShape::kClosed);
    EXPECT_EQ(page->nrComm1->BaudRate(), 9600u);
    EXPECT_EQ(page->nrComm1->EnumPorts(), epFullInfo);
}

TEST_F(SerialAPageTest, CaptionDescribesPortAndFollowsThePreset)
{
    page->Start();
    EXPECT_EQ(page->GroupBox1->title(), QStringLiteral("串口A   9600  8   None   1  禁用流控"));
    EXPECT_EQ(page->cbb_COM->itemText(0), QStringLiteral("刷新"));

    struct Row
    {
        int byteSize;
        TParity parity;
        TStopBits stopBits;
        TStreamProtocol protocol;
        const char* description;
    };
    const Row rows[] = {{8, pNone, sbOne, spNone, "  9600  8   None   1  禁用流控"},
                        {7, pEven, sbTwo, spXonXoff, "  9600  7   Even   2 XonXoff"},
                        {4, pMark, sbOneAndHalf, spHardware, "  9600   Mark   1.5  硬件流控"},
                        {5, pSpace, sbOne, spNone, "  9600  5   Space   1  禁用流控"}};
    for (const Row& row : rows) {
        page->nrComm1->SetByteSize(row.byteSize);
        page->nrComm1->SetParity(row.parity);
        page->nrComm1->SetStopBits(row.stopBits);
        page->nrComm1->SetStreamProtocol(row.protocol);
        EXPECT_EQ(page->DescribePortA(), QString::fromUtf8(row.description));
    }

    page->chk485->click();
    EXPECT_EQ(page->nrComm1->StreamProtocol(), spNone);
    EXPECT_TRUE(page->nrComm1->RS485Mode());
    EXPECT_FALSE(page->chkRTSA->isEnabled());
    EXPECT_TRUE(page->GroupBox1->title().endsWith(QStringLiteral("  禁用流控")));
    page->nrComm1->SetStreamProtocol(spHardware);
    page->chk485->click();
    EXPECT_TRUE(page->chkRTSA->isEnabled());
    EXPECT_FALSE(page->nrComm1->RS485Mode());
    EXPECT_EQ(page->nrComm1->StreamProtocol(), spHardware);
}

TEST_F(SerialAPageTest, ConfigureShowsTheDialogAndRedescribes)
{
    const auto previous = CommConfigDialog::SetRunner([](CommConfigDialog& dialog) {
        dialog.cbbBaudRate->setEditText(QStringLiteral("115200"));
        dialog.cbbFlowControl->setCurrentIndex(spHardware);
        return true;
    });
    page->btnComConfig->click();
    EXPECT_EQ(page->nrComm1->BaudRate(), 115200u);
    EXPECT_EQ(page->nrComm1->StreamProtocol(), spHardware);
    EXPECT_EQ(page->GroupBox1->title(), QStringLiteral("  115200  8   None   1  硬件流控"));

    CommConfigDialog::SetRunner([](CommConfigDialog& dialog) {
        dialog.cbbBaudRate->setEditText(QStringLiteral("300"));
        return false;
    });
    page->btnComConfig->click();
    EXPECT_EQ(page->nrComm1->BaudRate(), 115200u);
    CommConfigDialog::SetRunner(previous);
}

TEST_F(SerialAPageTest, FailedOpenShowsTheBoxAndKeepsTheButtons)
{
    PickPath(empty_.filePath(QStringLiteral("gone")));
    page->btnOpenCom->click();
    EXPECT_EQ(boxes, QStringList{QStringLiteral("串口打开错误!")});
    EXPECT_FALSE(page->nrComm1->Active());
    EXPECT_TRUE(page->btnOpenCom->isEnabled());
    EXPECT_FALSE(page->btnCloseCom->isEnabled());

    page->chkRTSA->click();  // closed: nothing happens, the box keeps its state
    EXPECT_TRUE(page->chkRTSA->isChecked());
}

TEST_F(SerialAPageTest, OpenReceiveAndCloseThroughTheButtons)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    PickPath(pair.A());
    EXPECT_EQ(page->nrDeviceBox1->currentText(), pair.A());
    page->btnOpenCom->click();
    ASSERT_TRUE(page->nrComm1->Active());
    EXPECT_FALSE(page->btnOpenCom->isEnabled());
    EXPECT_TRUE(page->btnCloseCom->isEnabled());
    EXPECT_FALSE(page->cbb_COM->isEnabled());
    EXPECT_EQ(page->ShapeCom1->BrushColor(), IndicatorShape::kOpen);
    EXPECT_TRUE(page->GroupBox1->title().startsWith(pair.A() + QStringLiteral("  9600")));

    RawEnd other(pair.B());
    ASSERT_TRUE(other.WriteAll("hello"));
    ASSERT_TRUE(WaitUntil([&] { return counters[COMA].rxBytes == 5; }));
    EXPECT_EQ(counters[COMA].rxFrames, 1);
    const QStringList lines = DisplayTexts();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[lines.size() - 2].endsWith(QStringLiteral("COMA[a]接收5字节: "))) << lines.join('|').toStdString();
    EXPECT_TRUE(lines.back().endsWith(QStringLiteral("hello")));

    page->btnCloseCom->click();
    EXPECT_FALSE(page->nrComm1->Active());
    EXPECT_TRUE(page->btnOpenCom->isEnabled());
    EXPECT_EQ(page->ShapeCom1->BrushColor(), IndicatorShape::kClosed);
}

TEST_F(SerialAPageTest, RemovedDeviceHaltsTheEngineButKeepsTheOpenedLook)
{
    auto pair = std::make_unique<SocatPair>();
    ASSERT_TRUE(pair->Ready());
    PickPath(pair->A());
    page->btnOpenCom->click();
    ASSERT_TRUE(page->nrComm1->Active());
    pair.reset();
    ASSERT_TRUE(WaitUntil([&] { return !page->nrComm1->Active(); }));
    EXPECT_FALSE(page->btnOpenCom->isEnabled());
    EXPECT_EQ(page->ShapeCom1->BrushColor(), IndicatorShape::kOpen);
    page->DeviceChange(false);
    page->DeviceChange(true);
    const QStringList lines = DisplayTexts();
    EXPECT_TRUE(lines[lines.size() - 2].endsWith(QStringLiteral("设备拔出")));
    EXPECT_TRUE(lines.back().endsWith(QStringLiteral("设备插入")));
}

TEST_F(SerialAPageTest, SendToChannelOpensTheClosedPortAndCountsTextAndHexSends)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    PickPath(pair.A());
    RawEnd other(pair.B());
    struct Row
    {
        QByteArray text;
        bool hex;
        QByteArray wire;
    };
    const Row rows[] = {{"AT\\r\\n", false, "AT\r\n"}, {"11 22 33", true, "\x11\x22\x33"}, {"text", false, "text"}};
    qint64 sent = 0;
    for (const Row& row : rows) {
        dispatcher.SendToChannel(row.text, COMA, row.hex);
        EXPECT_TRUE(page->nrComm1->Active());
        EXPECT_EQ(other.ReadExactly(row.wire.size()), row.wire);
        sent += row.wire.size();
        EXPECT_EQ(counters[COMA].txBytes, sent);
    }
    EXPECT_EQ(counters[COMA].txFrames, 3);
    EXPECT_FALSE(page->btnOpenCom->isEnabled());
}

TEST_F(SerialAPageTest, RefreshEntryReloadsTheHiddenList)
{
    page->Start();
    const int fresh = page->cbb_COM->count();
    page->cbb_COM->addItem(QStringLiteral("stale()"));
    page->cbb_COM->setCurrentIndex(fresh);
    page->cbb_COM->setCurrentIndex(0);
    EXPECT_EQ(page->cbb_COM->currentIndex(), 0);
    EXPECT_EQ(page->cbb_COM->findText(QStringLiteral("stale()")), -1);
    EXPECT_EQ(page->cbb_COM->count(), fresh);
}

}  // namespace
