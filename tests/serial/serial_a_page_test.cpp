#include "serial/serial_a_page.h"
#include "core/indicator_shape.h"
#include "core/message_box.h"
#include "io/tnr_device_box.h"
#include "send/send_dispatcher.h"
#include "serial/comm_config_dialog.h"
#include "serial/serial_a_channel.h"
#include "serial/tnr_semaphore.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Page A on its channel, on an empty machine.
class SerialAPageTest : public testing::Test
{
protected:
    SerialAPageTest()
    {
        TnrComm::SetDefaultScanRoots({empty_.path(), empty_.path(), empty_.path()});
        channel = std::make_unique<SerialAChannel>(sink);
        page = std::make_unique<SerialAPage>(*channel);
    }
    ~SerialAPageTest() override
    {
        page.reset();
        channel.reset();
    }

    // Picks a device path through the picker's last entry.
    void PickPath(const QString& path)
    {
        page->SetPathPrompt([path] { return path; });
        page->nrDeviceBox1->Pick(page->nrDeviceBox1->count() - 1);
    }

    bool LooksOpen() const
    {
        return !page->btnOpenCom->isEnabled() && page->btnCloseCom->isEnabled() && !page->cbb_COM->isEnabled() &&
               page->ShapeCom1->BrushColor() == IndicatorShape::kOpen;
    }
    bool LooksClosed() const
    {
        return page->btnOpenCom->isEnabled() && !page->btnCloseCom->isEnabled() && page->cbb_COM->isEnabled() &&
               page->ShapeCom1->BrushColor() == IndicatorShape::kClosed;
    }

    QTemporaryDir empty_;
    RecordingReceiveSink sink;
    MessageRecorder boxes;
    std::unique_ptr<SerialAChannel> channel;
    std::unique_ptr<SerialAPage> page;
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
    EXPECT_EQ(page->GroupBox1->title(), QStringLiteral("串口A"));
    EXPECT_TRUE(LooksClosed());
    EXPECT_EQ(page->nrDeviceBox1->nrComm(), channel->nrComm1) << "the picker chooses the channel's port";
}

TEST_F(SerialAPageTest, CaptionFollowsTheChannelAndThePresetLocksTheRtsBox)
{
    channel->Start();
    page->Start();
    EXPECT_EQ(page->GroupBox1->title(), QStringLiteral("串口A   9600  8   None   1  禁用流控"));
    EXPECT_EQ(page->cbb_COM->itemText(0), QStringLiteral("刷新"));

    channel->nrComm1->SetStreamProtocol(spHardware);
    page->chk485->click();
    EXPECT_TRUE(channel->nrComm1->RS485Mode());
    EXPECT_FALSE(page->chkRTSA->isEnabled());
    EXPECT_EQ(page->GroupBox1->title(), QStringLiteral("  9600  8   None   1  禁用流控"));
    page->chk485->click();
    EXPECT_FALSE(channel->nrComm1->RS485Mode());
    EXPECT_TRUE(page->chkRTSA->isEnabled());
}

TEST_F(SerialAPageTest, ConfigureShowsTheDialogAndRedescribes)
{
    const auto previous = CommConfigDialog::SetRunner([](CommConfigDialog& dialog) {
        dialog.cbbBaudRate->setEditText(QStringLiteral("115200"));
        dialog.cbbFlowControl->setCurrentIndex(spHardware);
        return true;
    });
    page->btnComConfig->click();
    EXPECT_EQ(channel->nrComm1->BaudRate(), 115200u);
    EXPECT_EQ(channel->nrComm1->StreamProtocol(), spHardware);
    EXPECT_EQ(page->GroupBox1->title(), QStringLiteral("  115200  8   None   1  硬件流控"));

    CommConfigDialog::SetRunner([](CommConfigDialog& dialog) {
        dialog.cbbBaudRate->setEditText(QStringLiteral("300"));
        return false;
    });
    page->btnComConfig->click();
    EXPECT_EQ(channel->nrComm1->BaudRate(), 115200u);
    CommConfigDialog::SetRunner(previous);
}

TEST_F(SerialAPageTest, FailedOpenShowsTheBoxAndKeepsTheButtons)
{
    PickPath(empty_.filePath(QStringLiteral("gone")));
    page->btnOpenCom->click();
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("串口打开错误!")});
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_TRUE(LooksClosed());

    page->chkRTSA->click();  // closed: nothing happens, the box keeps its state
    EXPECT_TRUE(page->chkRTSA->isChecked());
}

TEST_F(SerialAPageTest, OpenAndCloseThroughTheButtons)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    PickPath(pair.A());
    EXPECT_EQ(page->nrDeviceBox1->currentText(), pair.A());
    page->btnOpenCom->click();
    ASSERT_TRUE(channel->IsOpen());
    EXPECT_TRUE(LooksOpen());
    EXPECT_TRUE(page->GroupBox1->title().startsWith(pair.A() + QStringLiteral("  9600")));

    page->btnCloseCom->click();
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_TRUE(LooksClosed());
}

TEST_F(SerialAPageTest, RemovedDeviceHaltsTheEngineButKeepsTheOpenedLook)
{
    auto pair = std::make_unique<SocatPair>();
    ASSERT_TRUE(pair->Ready());
    PickPath(pair->A());
    page->btnOpenCom->click();
    ASSERT_TRUE(channel->IsOpen());
    pair.reset();
    ASSERT_TRUE(WaitUntil([&] { return !channel->IsOpen(); }));
    EXPECT_TRUE(LooksOpen());
}

TEST_F(SerialAPageTest, AnOpenByTheDispatcherShowsOnThePage)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    FakeReceiveOptions options;
    ChannelCounters counters;
    SendDispatcher dispatcher{sink, options, counters, [] {}};
    dispatcher.SetTarget(COMA, channel.get());
    PickPath(pair.A());
    dispatcher.SendToChannel("x", COMA, false);
    ASSERT_TRUE(channel->IsOpen());
    EXPECT_TRUE(LooksOpen());
    EXPECT_TRUE(page->GroupBox1->title().startsWith(pair.A()));
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
