#include "serial/serial_a_page.h"
#include "core/indicator_shape.h"
#include "core/message_box.h"
#include "io/tnr_device_box.h"
#include "send/send_dispatcher.h"
#include "serial/comm_config_dialog.h"
#include "serial/device_path_dialog.h"
#include "serial/serial_a_channel.h"
#include "serial/tnr_semaphore.h"
#include "tests/serial/socat_pair.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
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

TEST_F(SerialAPageTest, ThePathDialogOffersTheByIdPortsAndThePathsTypedBefore)
{
    // A by-id folder: a link to a device, and one whose device was just unplugged.
    QTemporaryDir byId;
    QFile device(byId.filePath(QStringLiteral("target")));
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    device.close();
    const QString ftdi = byId.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    const QString prolific = byId.filePath(QStringLiteral("usb-Prolific_Technology_Inc._USB-Serial-if00-port0"));
    ASSERT_TRUE(QFile::link(device.fileName(), ftdi));
    ASSERT_TRUE(QFile::link(byId.filePath(QStringLiteral("unplugged")), prolific));
    ASSERT_TRUE(QFile::remove(device.fileName()));
    page->SetByIdRoot(byId.path());

    const QString pts3 = empty_.filePath(QStringLiteral("pts3"));
    const QString pts7 = empty_.filePath(QStringLiteral("pts7"));
    for (const QString& typed : {pts3, pts7, QStringLiteral("  ") + pts3 + QStringLiteral(" "), QString(), ftdi})
        PickPath(typed);
    EXPECT_EQ(page->TypedPaths(), (QStringList{pts7, pts3, ftdi})) << "once each, latest last; a cancel adds nothing";

    const std::unique_ptr<DevicePathDialog> dialog = page->NewPathDialog();
    QStringList items;
    for (int i = 0; i < dialog->cbbPath->count(); ++i)
        items << dialog->cbbPath->itemText(i);
    EXPECT_EQ(items, (QStringList{ftdi, prolific, pts3, pts7})) << "by-id ports by name, then typed paths, latest first";
    EXPECT_TRUE(dialog->cbbPath->isEditable());
    EXPECT_EQ(dialog->Path(), ftdi) << "the latest path is offered first";
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("串口A"));
    EXPECT_EQ(dialog->lblPath->text(), QStringLiteral("设备路径 (例如 /dev/ttyUSB0):"));
    EXPECT_EQ(dialog->btnOK->text(), QStringLiteral("确定"));
    EXPECT_EQ(dialog->btnCancel->text(), QStringLiteral("取消"));
    EXPECT_GE(dialog->width(), DevicePathDialog::kWidth);
    EXPECT_GE(dialog->minimumWidth(), DevicePathDialog::kWidth);

    dialog->cbbPath->setEditText(QStringLiteral("  /dev/ttyACM0 "));
    EXPECT_EQ(dialog->Path(), QStringLiteral("/dev/ttyACM0"));
    dialog->btnOK->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);

    page->SetByIdRoot(empty_.filePath(QStringLiteral("no-such-folder")));
    page->SetPathPrompt([] { return QString(); });
    const std::unique_ptr<DevicePathDialog> bare = page->NewPathDialog();
    EXPECT_EQ(bare->cbbPath->count(), 3) << "without a by-id folder only the typed paths";
    bare->btnCancel->click();
    EXPECT_EQ(bare->result(), QDialog::Rejected);
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
