#include "serial/serial_b_page.h"
#include "core/indicator_shape.h"
#include "data/receive_pipeline.h"
#include "send/send_dispatcher.h"
#include "serial/cn_rs232.h"
#include "serial/cn_rs232_dialog.h"
#include "serial/cn_rs232_dlg.h"
#include "serial/cn_rs232_posix_device.h"
#include "serial/port_lists.h"
#include "tests/serial/raw_end.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kOpenError = QStringLiteral("串口打开错误!");
const QString kProbeError = QStringLiteral("串口打开异常，请检查是否有其他程序打开此串口！");

// Page B with the pipeline and dispatcher around it, working in an empty
// folder (the settings file lives in the working folder).
class SerialBPageTest : public testing::Test
{
protected:
    SerialBPageTest()
    {
        page = std::make_unique<SerialBPage>(pipeline);
        page->SetPortListLoader([this] {
            ++loads;
            LoadPortLists(nullptr, page->cbb2_COM, ports);
        });
        dispatcher.SetTarget(COMB, page.get());
    }
    ~SerialBPageTest() override { page.reset(); }

    void SetUp() override { ASSERT_TRUE(pair.Ready()) << "socat did not make the pseudo-terminal pair"; }

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

    QStringList DisplayTexts() const
    {
        QStringList texts;
        for (qsizetype i = 0; i < display.LineCount(); ++i)
            texts << display.At(i).text;
        return texts;
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    ScratchWorkingDirectory workingDirectory_;
    SocatPair pair;
    MessageRecorder boxes;
    FakeReceiveOptions options;
    DisplayLineStore display;
    ChannelCounters counters;
    ReceivePipeline pipeline{options, display, counters, [] {}};
    SendDispatcher dispatcher{pipeline, options, counters, [] {}};
    std::vector<SerialPortInfo> ports;
    int loads = 0;
    std::unique_ptr<SerialBPage> page;
};

TEST_F(SerialBPageTest, ControlsCarryTheirNamesCaptionsAndStartStates)
{
    EXPECT_EQ(page->objectName(), QStringLiteral("tsCOMB"));
    EXPECT_EQ(page->findChild<QGroupBox*>(QStringLiteral("GroupBox3")), page->GroupBox3);
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
    EXPECT_TRUE(page->OpensAutomatically());
    EXPECT_FALSE(page->IsOpen());
}

TEST_F(SerialBPageTest, StartReadsTheSettingsFileSelectsThePortAndSetsTheCaption)
{
    struct Row
    {
        const char* behaviour;
        QByteArray file;  // empty: no file
        QString caption;
        int selected;
        CnRS232::TStopBits stopBits;
    };
    const QByteArray pairFile = "[COMCONFIG2]\r\nCommName=" + pair.A().toUtf8() +
                                "\r\nBaudRate=0x2580\r\nByteSize=3\r\nStopBits=1\r\n";
    const Row rows[] = {
        {"no file: port B's factory settings", "", QStringLiteral("串口B /dev/ttyS0  19200  8   None   1  RTS禁止"), -1,
         CnRS232::TStopBits::_1},
        {"file naming a listed port, hexadecimal baud, 1.5 stop bits", pairFile,
         QStringLiteral("串口B ") + pair.A() + QStringLiteral("  9600  8   None   1.5  RTS禁止"), 1,
         CnRS232::TStopBits::_1_5},
        {"file naming a port the list does not hold", "[COMCONFIG2]\r\nCommName=/dev/ttyUSB9\r\nRtsControl=0\r\n",
         QStringLiteral("串口B /dev/ttyUSB9  19200  8   None   1  RTS允许"), -1,
         CnRS232::TStopBits::_1},
    };
    for (const Row& row : rows) {
        page = std::make_unique<SerialBPage>(pipeline);
        QFile::remove(QStringLiteral("CommPort.ini"));
        if (!row.file.isEmpty())
            WriteFile(QStringLiteral("CommPort.ini"), row.file);
        SelectPairEntry();
        page->Start();
        EXPECT_EQ(page->GroupBox3->title(), row.caption) << row.behaviour;
        EXPECT_EQ(page->cbb2_COM->currentIndex(), row.selected) << row.behaviour;
        EXPECT_EQ(page->Comm2->CommConfig().StopBits, row.stopBits) << row.behaviour;
    }
}

TEST_F(SerialBPageTest, OpeningAListEntryOpensThatDeviceAndLabelsWhatArrives)
{
    SelectPairEntry();
    page->btn2OpenCom->click();
    EXPECT_TRUE(boxes.messages.isEmpty()) << boxes.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(page->IsOpen());
    EXPECT_TRUE(LooksOpen());
    EXPECT_EQ(page->Comm2->CommName, pair.A());
    EXPECT_EQ(page->GroupBox3->title(), QStringLiteral("串口B ") + pair.A() + QStringLiteral("  19200  8   None   1  RTS禁止"));

    RawEnd peer(pair.B());
    ASSERT_TRUE(peer.WriteAll("hello"));
    const QString header = QStringLiteral("COMB[") + pair.A() + QStringLiteral("]接收5字节: ");
    EXPECT_TRUE(WaitUntil([&] { return counters[COMB].rxBytes == 5; }));
    EXPECT_EQ(DisplayTexts().filter(header).size(), 1) << DisplayTexts().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(DisplayTexts().last().endsWith(QStringLiteral("hello")));
    EXPECT_EQ(counters[COMB].rxFrames, 1);
}

TEST_F(SerialBPageTest, OpeningFailsOrDoesNothingAsTheListEntrySays)
{
    QTemporaryDir dir;
    const QString plainFile = dir.filePath(QStringLiteral("plain"));
    WriteFile(plainFile, "x");
    const QString missing = dir.filePath(QStringLiteral("ttyUSB42"));
    struct Row
    {
        const char* behaviour;
        std::function<void(QComboBox*)> choose;
        QStringList messages;
        int loads;
        QString commName;  // empty: CommName unchanged
    };
    const Row rows[] = {
        {"refresh entry reloads the lists and opens nothing", [](QComboBox* c) { c->setCurrentIndex(0); }, {}, 1, {}},
        {"entry without parenthesis does nothing",
         [](QComboBox* c) {
             c->addItem(QStringLiteral("/dev/ttyUSB0"));
             c->setCurrentIndex(c->count() - 1);
         },
         {}, 0, {}},
        {"nothing typed does nothing", [](QComboBox* c) { c->setEditText(QString()); }, {}, 0, {}},
        {"missing device fails the probe", [&](QComboBox* c) { c->setEditText(missing); }, {kProbeError}, 0, missing},
        {"a listed missing device fails the probe",
         [&](QComboBox* c) {
             c->addItem(missing + QStringLiteral("()"));
             c->setCurrentIndex(c->count() - 1);
         },
         {kProbeError}, 0, missing},
        {"a file that is no serial port fails the open", [&](QComboBox* c) { c->setEditText(plainFile); },
         {kOpenError}, 0, plainFile},
    };
    for (const Row& row : rows) {
        SelectPairEntry();
        page->Comm2->CommName = QStringLiteral("/dev/ttyS0");
        boxes.messages.clear();
        loads = 0;
        row.choose(page->cbb2_COM);
        page->btn2OpenCom->click();
        EXPECT_EQ(boxes.messages, row.messages) << row.behaviour;
        EXPECT_EQ(loads, row.loads) << row.behaviour;
        EXPECT_FALSE(page->IsOpen()) << row.behaviour;
        EXPECT_TRUE(LooksClosed()) << row.behaviour;
        const QString commName = row.commName.isEmpty() ? QStringLiteral("/dev/ttyS0") : row.commName;
        EXPECT_EQ(page->Comm2->CommName, commName) << row.behaviour;
        if (!row.commName.isEmpty()) {
            EXPECT_TRUE(page->GroupBox3->title().startsWith(QStringLiteral("串口B ") + row.commName + "  "))
                << row.behaviour << ": the caption shows the port even when the open fails";
        }
    }
}

TEST_F(SerialBPageTest, APortHeldByAnotherProgramFailsTheProbe)
{
    const int other = ::open(QFile::encodeName(pair.A()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    page->cbb2_COM->setEditText(pair.A());
    page->btn2OpenCom->click();
    ::close(other);
    EXPECT_EQ(boxes.messages, QStringList{kProbeError});
    EXPECT_FALSE(page->IsOpen());
    EXPECT_TRUE(LooksClosed());
}

TEST_F(SerialBPageTest, ATypedDevicePathOpensAndClosingReleasesIt)
{
    page->cbb2_COM->setEditText(pair.A());
    page->btn2OpenCom->click();
    ASSERT_TRUE(page->IsOpen());
    EXPECT_TRUE(LooksOpen());

    page->btn2CloseCom->click();
    EXPECT_FALSE(page->IsOpen());
    EXPECT_TRUE(LooksClosed());
    TCnRS232 other(std::make_unique<CnRS232PosixDevice>());
    other.CommName = pair.A();
    EXPECT_NO_THROW(other.StartComm()) << "the device is free again";
}

TEST_F(SerialBPageTest, ConfirmedDialogAppliesTheSettingsAndWritesTheFile)
{
    SelectPairEntry();
    page->btn2OpenCom->click();
    ASSERT_TRUE(page->IsOpen());

    QString shownBaud;
    Configure([&](TCnRS232Dlg& form) { shownBaud = form.cbbBaudRate->currentText(); });
    EXPECT_EQ(shownBaud, QStringLiteral("19200")) << "the dialog starts from the port's settings";
    const QByteArray factoryFile = "[COMCONFIG2]\r\nCommName=" + pair.A().toUtf8() +
                                   "\r\nXoffChar=19\r\nReplacedChar=0\r\nXonChar=17\r\nOutx_CtsFlow=0\r\n"
                                   "Outx_DsrFlow=0\r\nParityCheck=0\r\nIgnoreNullChar=0\r\nInx_XonXoffFlow=0\r\n"
                                   "TxContinueOnXoff=0\r\nReplaceWhenParityError=0\r\nOutx_XonXoffFlow=0\r\n"
                                   "DsrSensitivity=0\r\nBaudRate=19200\r\nByteSize=3\r\nDtrControl=1\r\nParity=0\r\n"
                                   "RtsControl=1\r\nStopBits=0\r\nXoffLimit=500\r\nXonLimit=500\r\n"
                                   "ReadTotalTimeoutConstant=0\r\nReadTotalTimeoutMultiplier=0\r\n"
                                   "ReadIntervalTimeout=120\r\nWriteTotalTimeoutMultiplier=0\r\n"
                                   "WriteTotalTimeoutConstant=0\r\n";
    EXPECT_EQ(ReadFile(QStringLiteral("CommPort.ini")), factoryFile);

    Configure([](TCnRS232Dlg& form) {
        form.cbbBaudRate->setCurrentText(QStringLiteral("9600"));
        form.cbbStopBits->setCurrentIndex(2);
    });
    EXPECT_EQ(page->Comm2->CommConfig().BaudRate, 9600u);
    EXPECT_EQ(page->Comm2->CommConfig().StopBits, CnRS232::TStopBits::_2);
    EXPECT_EQ(page->GroupBox3->title(), QStringLiteral("串口B ") + pair.A() + QStringLiteral("  9600  8   None   2  RTS禁止"));
    const QByteArray file = ReadFile(QStringLiteral("CommPort.ini"));
    EXPECT_TRUE(file.contains("\r\nBaudRate=9600\r\n"));
    EXPECT_TRUE(file.contains("\r\nStopBits=2\r\n"));

    // Data still flows at the new settings.
    RawEnd peer(pair.B());
    ASSERT_TRUE(peer.WriteAll("after"));
    EXPECT_TRUE(WaitUntil([&] { return counters[COMB].rxBytes == 5; }));

    // A later start reads back what the dialog wrote.
    SerialBPage restarted(pipeline);
    restarted.Start();
    EXPECT_EQ(restarted.Comm2->CommConfig(), page->Comm2->CommConfig());
    EXPECT_EQ(restarted.Comm2->Timeouts(), page->Comm2->Timeouts());
    EXPECT_EQ(restarted.GroupBox3->title(), page->GroupBox3->title());
}

TEST_F(SerialBPageTest, CancelledDialogChangesNothing)
{
    const QString captionBefore = page->GroupBox3->title();
    Configure([](TCnRS232Dlg& form) { form.cbbBaudRate->setCurrentText(QStringLiteral("9600")); }, false);
    EXPECT_EQ(page->Comm2->CommConfig().BaudRate, 19200u);
    EXPECT_FALSE(QFile::exists(QStringLiteral("CommPort.ini")));
    EXPECT_EQ(page->GroupBox3->title(), captionBefore);
}

TEST_F(SerialBPageTest, SettingsFileThatCannotBeWrittenIsReportedAndTheSettingsStay)
{
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("CommPort.ini")));
    Configure([](TCnRS232Dlg& form) { form.cbbBaudRate->setCurrentText(QStringLiteral("57600")); });
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("Unable to write to ./CommPort.ini")});
    EXPECT_EQ(page->Comm2->CommConfig().BaudRate, 57600u);
    EXPECT_TRUE(page->GroupBox3->title().contains(QStringLiteral("  57600  ")));
}

TEST_F(SerialBPageTest, PortFailingWhileOpenShowsOneLineAndKeepsTheOpenLook)
{
    SelectPairEntry();
    page->btn2OpenCom->click();
    ASSERT_TRUE(page->IsOpen());
    const qsizetype linesBefore = display.LineCount();

    pair.Kill();
    EXPECT_TRUE(WaitUntil([&] { return display.LineCount() > linesBefore; }));
    dispatcher.SendToChannel("lost", COMB, false);
    WaitUntil([] { return false; }, 300);  // time for a second line, which must not come
    const QStringList failures = DisplayTexts().filter(QStringLiteral("通讯中断"));
    ASSERT_EQ(failures.size(), 1) << DisplayTexts().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(failures[0].contains(pair.A()));
    EXPECT_TRUE(page->IsOpen());
    EXPECT_TRUE(LooksOpen());

    page->btn2CloseCom->click();
    EXPECT_TRUE(LooksClosed());
}

TEST_F(SerialBPageTest, SendingToAClosedPortOpensItAndTheBytesArrive)
{
    struct Row
    {
        const char* behaviour;
        QByteArray text;
        bool hex;
        QByteArray arrives;
    };
    const Row rows[] = {
        {"text with escapes", "AT\\r\\n", false, "AT\r\n"},
        {"hex digits", "11 22 33", true, "\x11\x22\x33"},
    };
    SelectPairEntry();
    RawEnd peer(pair.B());
    qint32 sent = 0;
    for (const Row& row : rows) {
        ASSERT_FALSE(page->IsOpen()) << row.behaviour;
        dispatcher.SendToChannel(row.text, COMB, row.hex);
        EXPECT_TRUE(page->IsOpen()) << row.behaviour;
        EXPECT_EQ(peer.ReadExactly(row.arrives.size()), row.arrives) << row.behaviour;
        sent += row.arrives.size();
        EXPECT_EQ(counters[COMB].txBytes, sent) << row.behaviour;
        page->btn2CloseCom->click();
    }
    EXPECT_EQ(counters[COMB].txFrames, 2);
    EXPECT_EQ(DisplayTexts().filter(QStringLiteral("串口B发送文本数据4字节：")).size(), 1);
    EXPECT_EQ(DisplayTexts().filter(QStringLiteral("串口B发送HEX数据3字节：")).size(), 1);
}

TEST_F(SerialBPageTest, ATextSendLongerThanOneWriteArrivesWhole)
{
    SelectPairEntry();
    page->btn2OpenCom->click();
    ASSERT_TRUE(page->IsOpen());
    RawEnd peer(pair.B());
    QByteArray text;
    for (int i = 0; i < 70000; ++i)
        text.append(static_cast<char>('A' + i % 26));
    dispatcher.SendToChannel(text, COMB, false);
    EXPECT_EQ(peer.ReadExactly(text.size(), 10000), text);
    EXPECT_EQ(counters[COMB].txBytes, 70000);
}

TEST_F(SerialBPageTest, EmptyChunkShowsNothing)
{
    page->Comm2ReceiveData(QByteArray());
    EXPECT_EQ(display.LineCount(), 0);
    EXPECT_EQ(counters[COMB].rxFrames, 0);
}

}  // namespace
