#include "serial/serial_b_channel.h"
#include "core/channel_counters.h"
#include "send/send_dispatcher.h"
#include "serial/cn_rs232.h"
#include "serial/cn_rs232_posix_device.h"
#include "tests/serial/raw_end.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"
#include "tests/support/scratch_working_directory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kOpenError = QStringLiteral("串口打开错误!");
const QString kProbeError = QStringLiteral("串口打开异常，请检查是否有其他程序打开此串口！");

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Channel B alone in an empty working folder (the settings file lives
// there), with what it announces recorded.
class SerialBChannelTest : public testing::Test
{
protected:
    SerialBChannelTest() { Rebuild(); }

    void SetUp() override { ASSERT_TRUE(pair.Ready()) << "socat did not make the pseudo-terminal pair"; }

    void Rebuild()
    {
        channel = std::make_unique<SerialBChannel>(sink);
        captions.clear();
        openedChanges.clear();
        reloads = 0;
        QObject::connect(channel.get(), &SerialBChannel::CaptionChanged,
                         [this](const QString& caption) { captions << caption; });
        QObject::connect(channel.get(), &SerialBChannel::OpenedChanged,
                         [this](bool opened) { openedChanges.push_back(opened); });
        QObject::connect(channel.get(), &SerialBChannel::PortListsReloadRequested, [this] { ++reloads; });
    }

    // The list entry of the pair's end A, as the port list shows it.
    void ChoosePairEntry() { channel->ChoosePort(pair.A() + QStringLiteral("()"), true); }

    QStringList LineTexts() const
    {
        QStringList texts;
        for (const RecordingReceiveSink::Line& line : sink.lines)
            texts << line.text;
        return texts;
    }

    ScratchWorkingDirectory workingDirectory_;
    SocatPair pair;
    MessageRecorder boxes;
    RecordingReceiveSink sink;
    std::unique_ptr<SerialBChannel> channel;
    QStringList captions;
    std::vector<bool> openedChanges;
    int reloads = 0;
};

TEST_F(SerialBChannelTest, StartReadsTheSettingsFileAndAnnouncesTheCaption)
{
    struct Row
    {
        const char* behaviour;
        QByteArray file;  // empty: no file
        QString caption;
        CnRS232::TStopBits stopBits;
    };
    const QByteArray pairFile = "[COMCONFIG2]\r\nCommName=" + pair.A().toUtf8() +
                                "\r\nBaudRate=0x2580\r\nByteSize=3\r\nStopBits=1\r\n";
    const Row rows[] = {
        {"no file: port B's factory settings", "", QStringLiteral("串口B /dev/ttyS0  19200  8   None   1  RTS禁止"),
         CnRS232::TStopBits::_1},
        {"hexadecimal baud, eight data bits, 1.5 stop bits", pairFile,
         QStringLiteral("串口B ") + pair.A() + QStringLiteral("  9600  8   None   1.5  RTS禁止"),
         CnRS232::TStopBits::_1_5},
        {"another port, RTS enabled", "[COMCONFIG2]\r\nCommName=/dev/ttyUSB9\r\nRtsControl=0\r\n",
         QStringLiteral("串口B /dev/ttyUSB9  19200  8   None   1  RTS允许"), CnRS232::TStopBits::_1},
    };
    for (const Row& row : rows) {
        Rebuild();
        QFile::remove(QStringLiteral("CommPort.ini"));
        if (!row.file.isEmpty())
            WriteFile(QStringLiteral("CommPort.ini"), row.file);
        channel->Start();
        EXPECT_EQ(captions, QStringList{row.caption}) << row.behaviour;
        EXPECT_EQ(channel->Comm2->CommConfig().StopBits, row.stopBits) << row.behaviour;
    }
    EXPECT_TRUE(channel->OpensAutomatically());
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_EQ(channel->Id(), COMB);
}

TEST_F(SerialBChannelTest, OpeningAListEntryOpensThatDeviceAndLabelsWhatArrives)
{
    ChoosePairEntry();
    channel->Open();
    EXPECT_TRUE(boxes.messages.isEmpty()) << boxes.messages.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(channel->IsOpen());
    EXPECT_TRUE(channel->Opened());
    EXPECT_EQ(openedChanges, std::vector<bool>{true});
    EXPECT_EQ(channel->Comm2->CommName, pair.A());
    EXPECT_EQ(captions, QStringList{QStringLiteral("串口B ") + pair.A() + QStringLiteral("  19200  8   None   1  RTS禁止")});

    RawEnd peer(pair.B());
    ASSERT_TRUE(peer.WriteAll("hello"));
    ASSERT_TRUE(WaitUntil([&] { return sink.Received(COMB).size() == 5; }));
    ASSERT_EQ(sink.chunks.size(), 1u) << "one burst is one chunk";
    EXPECT_EQ(sink.chunks[0].data, QByteArray("hello"));
    EXPECT_EQ(sink.chunks[0].label, QStringLiteral("COMB[") + pair.A() + QStringLiteral("]"));
    EXPECT_EQ(sink.chunks[0].channel, COMB);
}

TEST_F(SerialBChannelTest, OpeningFailsOrDoesNothingAsTheChosenEntrySays)
{
    QTemporaryDir dir;
    const QString plainFile = dir.filePath(QStringLiteral("plain"));
    WriteFile(plainFile, "x");
    const QString missing = dir.filePath(QStringLiteral("ttyUSB42"));
    struct Row
    {
        const char* behaviour;
        QString text;
        bool listed;
        QStringList messages;
        int reloads;
        QString commName;  // empty: CommName unchanged
    };
    const Row rows[] = {
        {"refresh entry asks for the lists to be reloaded and opens nothing", QStringLiteral("刷新"), true, {}, 1, {}},
        {"entry without parenthesis does nothing", QStringLiteral("/dev/ttyUSB0"), true, {}, 0, {}},
        {"nothing typed does nothing", QString(), false, {}, 0, {}},
        {"blanks before the parenthesis name no port", QStringLiteral("  ()"), true, {}, 0, {}},
        {"missing device fails the probe with the system's reason", missing, false,
         {QStringLiteral("串口B ") + missing + QStringLiteral(" 打开失败: 设备不存在")}, 0, missing},
        {"a listed missing device fails the probe with the system's reason", missing + QStringLiteral("()"), true,
         {QStringLiteral("串口B ") + missing + QStringLiteral(" 打开失败: 设备不存在")}, 0, missing},
        {"a file that is no serial port fails the open", plainFile, false, {kOpenError}, 0, plainFile},
    };
    for (const Row& row : rows) {
        Rebuild();
        channel->Comm2->CommName = QStringLiteral("/dev/ttyS0");
        boxes.messages.clear();
        channel->ChoosePort(row.text, row.listed);
        channel->Open();
        EXPECT_EQ(boxes.messages, row.messages) << row.behaviour;
        EXPECT_EQ(reloads, row.reloads) << row.behaviour;
        EXPECT_FALSE(channel->IsOpen()) << row.behaviour;
        EXPECT_TRUE(openedChanges.empty()) << row.behaviour;
        const QString commName = row.commName.isEmpty() ? QStringLiteral("/dev/ttyS0") : row.commName;
        EXPECT_EQ(channel->Comm2->CommName, commName) << row.behaviour;
        if (row.commName.isEmpty()) {
            EXPECT_TRUE(captions.isEmpty()) << row.behaviour;
        } else {
            ASSERT_EQ(captions.size(), 1) << row.behaviour;
            EXPECT_TRUE(captions[0].startsWith(QStringLiteral("串口B ") + row.commName + "  "))
                << row.behaviour << ": the caption shows the port even when the open fails";
        }
    }
}

TEST_F(SerialBChannelTest, APortHeldByAnotherProgramFailsTheProbe)
{
    const int other = ::open(QFile::encodeName(pair.A()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    channel->ChoosePort(pair.A(), false);
    channel->Open();
    ::close(other);
    EXPECT_EQ(boxes.messages, QStringList{kProbeError});
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_FALSE(channel->Opened());
}

TEST_F(SerialBChannelTest, ATypedDevicePathOpensAndClosingReleasesIt)
{
    channel->ChoosePort(pair.A(), false);
    channel->Open();
    ASSERT_TRUE(channel->IsOpen());

    channel->Close();
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_FALSE(channel->Opened());
    EXPECT_EQ(openedChanges, (std::vector<bool>{true, false}));
    TCnRS232 other(std::make_unique<CnRS232PosixDevice>());
    other.CommName = pair.A();
    EXPECT_NO_THROW(other.StartComm()) << "the device is free again";
}

TEST_F(SerialBChannelTest, NewSettingsApplyAtOnceAndGoToTheSettingsFile)
{
    ChoosePairEntry();
    channel->Open();
    ASSERT_TRUE(channel->IsOpen());

    // Confirming the factory settings unchanged writes them all.
    channel->ApplySettings(channel->Comm2->CommConfig(), channel->Comm2->Timeouts());
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

    TCnRS232Config config = channel->Comm2->CommConfig();
    config.BaudRate = 9600;
    config.StopBits = CnRS232::TStopBits::_2;
    channel->ApplySettings(config, channel->Comm2->Timeouts());
    EXPECT_EQ(channel->Comm2->CommConfig(), config);
    EXPECT_EQ(captions.back(), QStringLiteral("串口B ") + pair.A() + QStringLiteral("  9600  8   None   2  RTS禁止"));
    const QByteArray file = ReadFile(QStringLiteral("CommPort.ini"));
    EXPECT_TRUE(file.contains("\r\nBaudRate=9600\r\n"));
    EXPECT_TRUE(file.contains("\r\nStopBits=2\r\n"));
    EXPECT_TRUE(boxes.messages.isEmpty());

    // Data still flows at the new settings.
    RawEnd peer(pair.B());
    ASSERT_TRUE(peer.WriteAll("after"));
    EXPECT_TRUE(WaitUntil([&] { return sink.Received(COMB) == "after"; }));

    // A later start reads back what was written.
    RecordingReceiveSink otherSink;
    SerialBChannel restarted(otherSink);
    QString restartedCaption;
    QObject::connect(&restarted, &SerialBChannel::CaptionChanged,
                     [&](const QString& caption) { restartedCaption = caption; });
    restarted.Start();
    EXPECT_EQ(restarted.Comm2->CommConfig(), channel->Comm2->CommConfig());
    EXPECT_EQ(restarted.Comm2->Timeouts(), channel->Comm2->Timeouts());
    EXPECT_EQ(restartedCaption, captions.back());
}

TEST_F(SerialBChannelTest, SettingsFileThatCannotBeWrittenIsReportedAndTheSettingsStay)
{
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("CommPort.ini")));
    TCnRS232Config config = channel->Comm2->CommConfig();
    config.BaudRate = 57600;
    channel->ApplySettings(config, channel->Comm2->Timeouts());
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("Unable to write to ./CommPort.ini")});
    EXPECT_EQ(channel->Comm2->CommConfig().BaudRate, 57600u);
    EXPECT_TRUE(captions.back().contains(QStringLiteral("  57600  ")));
}

TEST_F(SerialBChannelTest, PortFailingWhileOpenShowsOneLineAndStaysOpenedButFailed)
{
    std::vector<bool> failedChanges;
    QObject::connect(channel.get(), &SerialBChannel::FailedChanged,
                     [&](bool failed) { failedChanges.push_back(failed); });
    ChoosePairEntry();
    channel->Open();
    ASSERT_TRUE(channel->IsOpen());

    pair.Kill();
    EXPECT_TRUE(WaitUntil([&] { return !sink.lines.empty(); }));
    EXPECT_FALSE(channel->Write("lost").Sent());
    WaitUntil([] { return false; }, 300);  // time for a second line, which must not come
    EXPECT_EQ(LineTexts(),
              QStringList{QStringLiteral("串口B ") + pair.A() + QStringLiteral(" 通讯中断: 设备已断开，请关闭串口")});
    EXPECT_EQ(sink.lines[0].color, kWindowText);
    EXPECT_TRUE(channel->IsOpen()) << "the device stays held until the user closes it";
    EXPECT_TRUE(channel->Opened());
    EXPECT_TRUE(channel->Failed());
    EXPECT_EQ(openedChanges, std::vector<bool>{true});
    EXPECT_EQ(failedChanges, std::vector<bool>{true});

    channel->Close();
    EXPECT_FALSE(channel->Failed());
    EXPECT_EQ(failedChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(openedChanges, (std::vector<bool>{true, false}));
}

TEST_F(SerialBChannelTest, DispatcherOpensTheClosedPortAndTheBytesArrive)
{
    FakeReceiveOptions options;
    ChannelCounters counters;
    SendDispatcher dispatcher{sink, options, counters, [] {}};
    dispatcher.SetTarget(COMB, channel.get());
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
    ChoosePairEntry();
    RawEnd peer(pair.B());
    qint32 sent = 0;
    for (const Row& row : rows) {
        ASSERT_FALSE(channel->IsOpen()) << row.behaviour;
        dispatcher.SendToChannel(row.text, COMB, row.hex);
        EXPECT_TRUE(channel->IsOpen()) << row.behaviour;
        EXPECT_EQ(peer.ReadExactly(row.arrives.size()), row.arrives) << row.behaviour;
        sent += row.arrives.size();
        EXPECT_EQ(counters[COMB].txBytes, sent) << row.behaviour;
        channel->Close();
    }
    EXPECT_EQ(counters[COMB].txFrames, 2);
    EXPECT_EQ(openedChanges, (std::vector<bool>{true, false, true, false})) << "the page learns of each automatic open";
    EXPECT_EQ(LineTexts().filter(QStringLiteral("串口B发送文本数据4字节：")).size(), 1);
    EXPECT_EQ(LineTexts().filter(QStringLiteral("串口B发送HEX数据3字节：")).size(), 1);
}

TEST_F(SerialBChannelTest, ATextSendLongerThanOneWriteArrivesWhole)
{
    ChoosePairEntry();
    channel->Open();
    ASSERT_TRUE(channel->IsOpen());
    RawEnd peer(pair.B());
    QByteArray text;
    for (int i = 0; i < 70000; ++i)
        text.append(static_cast<char>('A' + i % 26));
    const SendTarget::WriteResult result = channel->Write(text);
    EXPECT_EQ(result.count, 70000);
    EXPECT_EQ(peer.ReadExactly(text.size(), 10000), text);
}

TEST_F(SerialBChannelTest, AnEmptyChunkDeliversNothing)
{
    channel->Comm2ReceiveData(QByteArray());
    EXPECT_TRUE(sink.chunks.empty());
}

}  // namespace
