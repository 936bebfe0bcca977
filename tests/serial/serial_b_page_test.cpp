#include "serial/serial_b_page.h"
#include "core/indicator_shape.h"
#include "send/send_dispatcher.h"
#include "serial/cn_rs232.h"
#include "serial/cn_rs232_dialog.h"
#include "serial/cn_rs232_dlg.h"
#include "serial/port_lists.h"
#include "serial/serial_b_channel.h"
#include "tests/serial/socat_pair.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"
#include "tests/support/scratch_working_directory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <gtest/gtest.h>

namespace {

// Page B on its channel, working in an empty folder (the settings file lives
// in the working folder).
class SerialBPageTest : public testing::Test
{
protected:
    SerialBPageTest() { Rebuild(); }

    void SetUp() override { ASSERT_TRUE(pair.Ready()) << "socat did not make the pseudo-terminal pair"; }

    void Rebuild()
    {
        page.reset();
        channel = std::make_unique<SerialBChannel>(sink);
        page = std::make_unique<SerialBPage>(*channel);
        page->SetPortListLoader([this] {
            ++loads;
            LoadPortLists(nullptr, page->cbb2_COM, ports);
        });
    }

    // The list holds "刷新" and the pair's end; that entry is selected.
    void SelectPairEntry()
    {
        SerialPortInfo port;
        port.path = pair.A();
        ports = {port};
        LoadPortLists(nullptr, page->cbb2_COM, ports);
        page->cbb2_COM->setCurrentIndex(1);
    }

    // Runs the settings dialog: `fill` changes the form, then "确定(&O)" (or "取消(&C)").
    void Configure(const std::function<void(TCnRS232Dlg&)>& fill, bool confirm = true)
    {
        page->rsd2->SetExecutor([&](TCnRS232Dlg& form) {
            fill(form);
            (confirm ? form.btnOK : form.btnCancel)->click();
            return form.result() == QDialog::Accepted;
        });
        page->btn2ComConfig->click();
    }

    bool LooksOpen() const
    {
        return !page->cbb2_COM->isEnabled() && page->btn2CloseCom->isEnabled() && !page->btn2OpenCom->isEnabled() &&
               page->ShapeCom2->BrushColor() == IndicatorShape::kOpen;
    }
    bool LooksClosed() const
    {
        return page->cbb2_COM->isEnabled() && !page->btn2CloseCom->isEnabled() && page->btn2OpenCom->isEnabled() &&
               page->ShapeCom2->BrushColor() == IndicatorShape::kClosed;
    }

    ScratchWorkingDirectory workingDirectory_;
    SocatPair pair;
    MessageRecorder boxes;
    RecordingReceiveSink sink;
    std::vector<SerialPortInfo> ports;
    int loads = 0;
    std::unique_ptr<SerialBChannel> channel;
    std::unique_ptr<SerialBPage> page;
};

TEST_F(SerialBPageTest, ControlsCarryTheirNamesCaptionsAndStartStates)
{
    EXPECT_EQ(page->objectName(), QStringLiteral("tsCOMB"));
    EXPECT_EQ(page->findChild<QGroupBox*>(QStringLiteral("GroupBox3")), page->GroupBox3);
    EXPECT_EQ(page->GroupBox3->title(), QStringLiteral("串口B"));
    auto* list = page->findChild<QComboBox*>(QStringLiteral("cbb2_COM"));
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isEditable());
    struct Row
    {
        const char* name;
        const char* caption;
        bool enabled;
    };
    const Row buttons[] = {{"btn2OpenCom", "打开", true}, {"btn2CloseCom", "关闭", false}, {"btn2ComConfig", "配置", true}};
    for (const Row& row : buttons) {
        auto* button = page->findChild<QPushButton*>(QString::fromLatin1(row.name));
        ASSERT_NE(button, nullptr) << row.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(row.caption)) << row.name;
        EXPECT_EQ(button->isEnabled(), row.enabled) << row.name;
    }
    auto* shape = page->findChild<IndicatorShape*>(QStringLiteral("ShapeCom2"));
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->BrushColor(), IndicatorShape::kClosed);
    EXPECT_NE(page->findChild<QPlainTextEdit*>(QStringLiteral("mmoCOM2")), nullptr);
    for (const char* name : {"chkHexCOM2", "chkNewline2", "chkEchoComB"})
        EXPECT_NE(page->findChild<QCheckBox*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_NE(page->findChild<QPushButton*>(QStringLiteral("btnSendCOM2")), nullptr);
}

TEST_F(SerialBPageTest, StartSelectsThePortOfTheSettingsFileAndShowsTheCaption)
{
    struct Row
    {
        const char* behaviour;
        QByteArray file;  // empty: no file
        QString caption;
        int selected;
    };
    const Row rows[] = {
        {"no file: port B's factory settings", "", QStringLiteral("串口B /dev/ttyS0  19200  8   None   1  RTS禁止"), -1},
        {"file naming a listed port", "[COMCONFIG2]\r\nCommName=" + pair.A().toUtf8() + "\r\n",
         QStringLiteral("串口B ") + pair.A() + QStringLiteral("  19200  8   None   1  RTS禁止"), 1},
        {"file naming a port the list does not hold", "[COMCONFIG2]\r\nCommName=/dev/ttyUSB9\r\n",
         QStringLiteral("串口B /dev/ttyUSB9  19200  8   None   1  RTS禁止"), -1},
    };
    for (const Row& row : rows) {
        Rebuild();
        QFile::remove(QStringLiteral("CommPort.ini"));
        if (!row.file.isEmpty()) {
            QFile file(QStringLiteral("CommPort.ini"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(row.file);
        }
        SelectPairEntry();
        channel->Start();
        page->Start();
        EXPECT_EQ(page->GroupBox3->title(), row.caption) << row.behaviour;
        EXPECT_EQ(page->cbb2_COM->currentIndex(), row.selected) << row.behaviour;
    }
}

TEST_F(SerialBPageTest, TheOpenButtonActsOnWhatTheListShows)
{
    struct Row
    {
        const char* behaviour;
        std::function<void(QComboBox*)> choose;
        int loads;
        bool opens;
    };
    const Row rows[] = {
        {"refresh entry reloads the lists and opens nothing", [](QComboBox* c) { c->setCurrentIndex(0); }, 1, false},
        {"entry without parenthesis does nothing",
         [](QComboBox* c) {
             c->addItem(QStringLiteral("/dev/ttyUSB0"));
             c->setCurrentIndex(c->count() - 1);
         },
         0, false},
        {"nothing typed does nothing", [](QComboBox* c) { c->setEditText(QString()); }, 0, false},
        {"a refill after typing offers the refresh entry again",
         [&](QComboBox* c) {
             c->setEditText(pair.A());
             LoadPortLists(nullptr, c, ports);
         },
         1, false},
        {"the refresh entry selected with the box's signals blocked (as the settings file does)",
         [](QComboBox* c) {
             const QSignalBlocker quiet(c);
             c->setCurrentIndex(0);
         },
         1, false},
        {"the selected entry of a refilled list opens", [](QComboBox*) {}, 0, true},
        {"a typed path opens", [&](QComboBox* c) { c->setEditText(pair.A()); }, 0, true},
    };
    for (const Row& row : rows) {
        SelectPairEntry();
        loads = 0;
        row.choose(page->cbb2_COM);
        page->btn2OpenCom->click();
        EXPECT_EQ(loads, row.loads) << row.behaviour;
        EXPECT_EQ(channel->IsOpen(), row.opens) << row.behaviour;
        EXPECT_EQ(LooksOpen(), row.opens) << row.behaviour;
        if (row.opens) {
            EXPECT_EQ(channel->Comm2->CommName, pair.A()) << row.behaviour;
            EXPECT_EQ(page->GroupBox3->title(),
                      QStringLiteral("串口B ") + pair.A() + QStringLiteral("  19200  8   None   1  RTS禁止"));
            page->btn2CloseCom->click();
            EXPECT_FALSE(channel->IsOpen()) << row.behaviour;
        }
        EXPECT_TRUE(LooksClosed()) << row.behaviour;
    }
    EXPECT_TRUE(boxes.messages.isEmpty()) << boxes.messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(SerialBPageTest, AFailedOpenKeepsTheClosedLook)
{
    page->cbb2_COM->setEditText(pair.A() + QStringLiteral("-missing"));
    page->btn2OpenCom->click();
    EXPECT_EQ(boxes.messages,
              QStringList{QStringLiteral("串口B ") + pair.A() + QStringLiteral("-missing 打开失败: 设备不存在")});
    EXPECT_TRUE(LooksClosed());
    EXPECT_TRUE(page->GroupBox3->title().startsWith(QStringLiteral("串口B ") + pair.A() + QStringLiteral("-missing  ")));
}

TEST_F(SerialBPageTest, ConfirmedDialogStartsFromThePortsSettingsAndAppliesTheNewOnes)
{
    SelectPairEntry();
    page->btn2OpenCom->click();
    ASSERT_TRUE(channel->IsOpen());

    QString shownBaud;
    Configure([&](TCnRS232Dlg& form) { shownBaud = form.cbbBaudRate->currentText(); });
    EXPECT_EQ(shownBaud, QStringLiteral("19200")) << "the dialog starts from the port's settings";
    EXPECT_TRUE(QFile::exists(QStringLiteral("CommPort.ini"))) << "confirming writes the file even without changes";

    Configure([](TCnRS232Dlg& form) {
        form.cbbBaudRate->setCurrentText(QStringLiteral("9600"));
        form.cbbStopBits->setCurrentIndex(2);
    });
    EXPECT_EQ(channel->Comm2->CommConfig().BaudRate, 9600u);
    EXPECT_EQ(channel->Comm2->CommConfig().StopBits, CnRS232::TStopBits::_2);
    EXPECT_EQ(page->GroupBox3->title(), QStringLiteral("串口B ") + pair.A() + QStringLiteral("  9600  8   None   2  RTS禁止"));
    EXPECT_TRUE(LooksOpen());
}

TEST_F(SerialBPageTest, CancelledDialogChangesNothing)
{
    const QString captionBefore = page->GroupBox3->title();
    Configure([](TCnRS232Dlg& form) { form.cbbBaudRate->setCurrentText(QStringLiteral("9600")); }, false);
    EXPECT_EQ(channel->Comm2->CommConfig().BaudRate, 19200u);
    EXPECT_FALSE(QFile::exists(QStringLiteral("CommPort.ini")));
    EXPECT_EQ(page->GroupBox3->title(), captionBefore);
}

TEST_F(SerialBPageTest, AnOpenByTheDispatcherShowsOnThePage)
{
    FakeReceiveOptions options;
    ChannelCounters counters;
    SendDispatcher dispatcher{sink, options, counters, [] {}};
    dispatcher.SetTarget(COMB, channel.get());
    struct Row
    {
        const char* behaviour;
        std::function<void()> choose;
    };
    const Row rows[] = {
        {"the selected entry of a refilled list", [&] { SelectPairEntry(); }},
        {"a path typed into the list", [&] { page->cbb2_COM->setEditText(pair.A()); }},
        {"an entry selected with the box's signals blocked",
         [&] {
             SelectPairEntry();
             page->cbb2_COM->setEditText(QString());
             const QSignalBlocker quiet(page->cbb2_COM);
             page->cbb2_COM->setCurrentIndex(1);
         }},
    };
    for (const Row& row : rows) {
        row.choose();
        dispatcher.SendToChannel("x", COMB, false);
        ASSERT_TRUE(channel->IsOpen()) << row.behaviour;
        EXPECT_TRUE(LooksOpen()) << row.behaviour;
        page->btn2CloseCom->click();
    }
}

}  // namespace
