#include "app/main_window.h"
#include "data/codec.h"
#include "net/tcp_client_page.h"
#include "net/udp_client_page.h"
#include "ports/lpt_page.h"
#include "send/channel_page.h"
#include "tests/net/channel_test_support.h"
#include "tests/support/file_chooser_stub.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_target.h"
#include "tests/support/scratch_working_directory.h"
#include "tests/streams/event_loop_gap_meter.h"
#include "tests/streams/run_event_loop.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace {

// The window as it starts, with the file chooser answering from the test.
class SendToolsTest : public ::testing::Test
{
protected:
    SendToolsTest() { form.FormCreate(); }

    QStringList Texts() const
    {
        QStringList texts;
        const DisplayLineStore& lines = form.DisplayLines();
        for (qsizetype i = 0; i < lines.LineCount(); ++i)
            texts << WithoutTimeStamp(lines.At(i).text);
        return texts;
    }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = workingDirectory.Path() + QLatin1Char('/') + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // Picks `path` with a click on the path field, as the user does.
    void ChooseFile(const QString& path)
    {
        chooser.answer = path;
        QTest::mouseClick(form.edtFilePath, Qt::LeftButton);
    }

    // Switches the timed send on with the period text `period`, by a click.
    void StartPeriodSend(int channelItem, const QString& period)
    {
        form.cbbPeriodSend->setCurrentIndex(channelItem);
        form.edtPeriodSend->setText(period);
        form.chkPeriodSend->click();
    }

    ScratchWorkingDirectory workingDirectory;
    MessageRecorder messages;
    FileChooserStub chooser;
    TForm1 form;
};

TEST_F(SendToolsTest, PeriodTextOnEveryClickOfTheBox)
{
    const struct
    {
        const char* text;
        int interval;
        const char* shown;
        bool ticking;
    } rows[] = {
        {" 250 ", 250, " 250 ", true},
        {"abc", 1000, "1000", true},
        {"", 1000, "1000", true},
        {"0", 0, "0", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        StartPeriodSend(0, QString::fromUtf8(row.text));
        EXPECT_TRUE(form.chkPeriodSend->isChecked());
        EXPECT_EQ(form.tmrPeriodSend.Interval(), row.interval);
        EXPECT_EQ(form.edtPeriodSend->text(), QString::fromUtf8(row.shown));
        EXPECT_TRUE(form.tmrPeriodSend.Enabled());
        EXPECT_EQ(form.tmrPeriodSend.IsTicking(), row.ticking);

        form.edtPeriodSend->setText(QStringLiteral("letters"));
        form.chkPeriodSend->click();
        EXPECT_FALSE(form.tmrPeriodSend.Enabled());
        EXPECT_FALSE(form.tmrPeriodSend.IsTicking());
        EXPECT_EQ(form.edtPeriodSend->text(), QStringLiteral("letters")) << "unchecking reads no period";
    }
}

TEST_F(SendToolsTest, TickPressesTheUdpClientSendButtonWithItsHexOption)
{
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, 0));
    UdpClientPage& page = *form.udpClient;
    page.edtUDPClientLocalPort->setText(QString::number(FreePort(false)));
    page.edtUDPClientRemoteHost->setText(QStringLiteral("127.0.0.1"));
    page.edtUDPClientRemotePort->setText(QString::number(listener.localPort()));
    page.chkUDPClient->setChecked(true);
    page.Panel()->memo->setPlainText(QStringLiteral("A1 B2 C3"));
    page.Panel()->hex->setChecked(true);

    StartPeriodSend(UDPC, QStringLiteral("20"));
    std::vector<QByteArray> datagrams;
    ASSERT_TRUE(WaitFor([&] {
        while (listener.hasPendingDatagrams())
            datagrams.push_back(listener.receiveDatagram().data());
        return datagrams.size() >= 3;
    }));
    form.chkPeriodSend->click();

    for (const QByteArray& datagram : datagrams)
        EXPECT_EQ(datagram, QByteArray("\xA1\xB2\xC3"));
    EXPECT_GE(form.Counters()[UDPC].txFrames, 3);
    EXPECT_TRUE(Texts().contains(QStringLiteral("UDP Client发送HEX数据3字节：")));
}

TEST_F(SendToolsTest, TickWithNoItemSelectedShowsMinusOneAndStopsTheTimer)
{
    form.cbbPeriodSend->setEditText(QStringLiteral("无此通道"));
    form.edtPeriodSend->setText(QStringLiteral("10"));
    form.chkPeriodSend->click();
    const QString line = QStringLiteral("定时发送错误,通道号-1");
    ASSERT_TRUE(WaitFor([&] { return Texts().contains(line); }));
    Settle(60);

    EXPECT_EQ(Texts().count(line), 1) << "the first tick stops the timer";
    EXPECT_FALSE(form.chkPeriodSend->isChecked());
    EXPECT_FALSE(form.tmrPeriodSend.Enabled());
    EXPECT_FALSE(form.tmrPeriodSend.IsTicking());
}

TEST_F(SendToolsTest, TickOnTheParallelPortPressesItsSendButton)
{
    QSignalSpy presses(form.lpt->btnLPTSend, &QPushButton::clicked);
    StartPeriodSend(LPT, QStringLiteral("10"));
    ASSERT_TRUE(WaitFor([&] { return presses.count() >= 2; }));
    EXPECT_TRUE(form.chkPeriodSend->isChecked());
    EXPECT_TRUE(form.tmrPeriodSend.IsTicking());
    EXPECT_FALSE(Texts().join(QLatin1Char('\n')).contains(QStringLiteral("定时发送错误")));
}

TEST_F(SendToolsTest, ClickOnASnippetCellCopiesItUnlessItIsEmpty)
{
    form.show();
    QTableWidget* table = form.ValueListEditor1;
    QClipboard* clipboard = QGuiApplication::clipboard();
    const struct
    {
        const char* behaviour;
        int row;
        int column;
        const char* clipboard;
    } rows[] = {
        {"a value", 3, 1, "AT+CSQ"},
        {"a key", 3, 0, "信号强度"},
        {"an empty value leaves the clipboard alone", 10, 1, "before"},
        {"an empty key leaves the clipboard alone", 12, 0, "before"},
        {"the cell selected already is copied again", 3, 1, "AT+CSQ"},
    };
    table->setCurrentCell(3, 1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        clipboard->setText(QStringLiteral("before"));
        table->scrollToItem(table->item(row.row, row.column));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualItemRect(table->item(row.row, row.column)).center());
        EXPECT_EQ(table->currentRow(), row.row);
        EXPECT_EQ(clipboard->text(), QString::fromUtf8(row.clipboard));
    }

    // Moving with the keyboard selects too.
    clipboard->setText(QStringLiteral("before"));
    table->setFocus();
    table->setCurrentCell(1, 1);
    QTest::keyClick(table, Qt::Key_Up);
    EXPECT_EQ(clipboard->text(), QStringLiteral("11 22 33 44 55"));
}

TEST_F(SendToolsTest, ChoosingAFileShowsItsPathAndSize)
{
    const QString path = WriteFile(QStringLiteral("data.bin"), QByteArray(130, 'x'));
    ChooseFile(path);
    EXPECT_EQ(chooser.filters, QStringList{QStringLiteral("All files (*)")});
    EXPECT_EQ(form.edtFilePath->text(), path);
    EXPECT_TRUE(Texts().contains(QStringLiteral("文件:%1 大小130字节").arg(path)));

    // Cancelling changes nothing.
    const qsizetype lines = form.DisplayLines().LineCount();
    ChooseFile(QString());
    EXPECT_EQ(form.edtFilePath->text(), path);
    EXPECT_EQ(form.DisplayLines().LineCount(), lines);
}

TEST_F(SendToolsTest, APathThatCannotBeOpenedShowsTheSizeMinusOne)
{
    // A folder cannot be opened for reading as a file, whoever the user is.
    const QString folder = workingDirectory.Path();
    ChooseFile(folder);
    EXPECT_TRUE(Texts().contains(QStringLiteral("文件:%1 大小-1字节").arg(folder)));
}

class SendFileButtonTest : public SendToolsTest
{
protected:
    SendFileButtonTest()
    {
        for (ChannelId channel = COMA; channel <= LPT; ++channel)
            form.Dispatcher().SetTarget(channel, &targets[channel]);
    }

    std::array<RecordingTarget, kChannelCount> targets;
};

TEST_F(SendFileButtonTest, FilesGoOutInChunksToTheChannelOfTheTimedSend)
{
    const struct
    {
        qsizetype size;
        std::vector<qsizetype> chunks;
    } rows[] = {
        {130, {64, 64, 2}},
        {0, {}},
    };
    form.cbbPeriodSend->setCurrentIndex(COMB);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        targets[COMB] = RecordingTarget();
        const QByteArray content = Pattern(row.size);
        ChooseFile(WriteFile(QStringLiteral("f%1.bin").arg(row.size), content));
        form.btnClearMsgClick();

        form.btnOpenFile->click();
        ASSERT_TRUE(WaitFor([&] { return !form.FileSend().Busy(); }));

        std::vector<qsizetype> sizes;
        QByteArray joined;
        for (const QByteArray& write : targets[COMB].writes) {
            sizes.push_back(write.size());
            joined += write;
        }
        EXPECT_EQ(sizes, row.chunks);
        EXPECT_EQ(joined, content);
        EXPECT_EQ(form.Counters()[COMB].txFrames, static_cast<int>(row.chunks.size()));
        QStringList expected;
        for (qsizetype offset = 0, i = 0; i < static_cast<qsizetype>(row.chunks.size()); offset += row.chunks[i++])
            expected << QStringLiteral("串口B发送HEX数据%1字节：").arg(row.chunks[i])
                     << QString::fromLatin1(BytesToHexDump(content.mid(offset, row.chunks[i])));
        expected << QStringLiteral("文件发送完成");
        EXPECT_EQ(Texts(), expected);
        EXPECT_EQ(form.btnOpenFile->toolTip(), QStringLiteral("已发送%1/%1字节").arg(row.size));
    }
}

TEST_F(SendFileButtonTest, ASecondClickDuringATransferIsIgnored)
{
    form.chkSendInfo->setChecked(false);
    form.cbbPeriodSend->setCurrentIndex(UDPC);
    const QByteArray first = Pattern(4 << 20, 1);
    ChooseFile(WriteFile(QStringLiteral("first.bin"), first));
    form.btnOpenFile->click();
    ASSERT_TRUE(form.FileSend().Busy()) << "the transfer outlasts its first slice";

    ChooseFile(WriteFile(QStringLiteral("second.bin"), Pattern(1000, 2)));
    form.btnOpenFile->click();
    form.btnOpenFile->click();
    ASSERT_TRUE(WaitFor([&] { return !form.FileSend().Busy(); }, 60000));
    Settle(50);

    QByteArray joined;
    for (const QByteArray& write : targets[UDPC].writes)
        joined += write;
    EXPECT_TRUE(joined == first) << "only the first file, once, in order";
    EXPECT_EQ(Texts().count(QStringLiteral("文件发送完成")), 1);
}

// A TCP server on 127.0.0.1 that takes one connection and keeps what it reads.
class TcpPeer : public QObject
{
public:
    TcpPeer() { server.listen(QHostAddress::LocalHost, 0); }

    bool Accept()
    {
        if (!WaitFor([&] { return server.hasPendingConnections(); }))
            return false;
        socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, this, [this] { received += socket->readAll(); });
        return true;
    }

    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QByteArray received;
};

TEST_F(SendToolsTest, TenMebibytesReachATcpPeerWhileTheWindowKeepsAnswering)
{
    form.show();
    TcpPeer peer;
    TcpClientPage& page = *form.tcpClient;
    page.edtTCPClientHost->setText(QStringLiteral("127.0.0.1"));
    page.edtTCPClientPort->setText(QString::number(peer.server.serverPort()));
    page.chkTCPClient->click();
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(WaitFor([&] { return form.TcpClient().IsOpen(); }));
    form.cbbPeriodSend->setCurrentIndex(TCPC);
    const QByteArray content = Pattern(10 << 20, 3);
    ChooseFile(WriteFile(QStringLiteral("big.bin"), content));

    QElapsedTimer clock;
    clock.start();
    EventLoopGapMeter meter;
    form.btnOpenFile->click();
    ASSERT_TRUE(RunEventLoopUntil([&] { return peer.received.size() >= content.size() && !form.FileSend().Busy(); }, 240000));
    const double longestStall = meter.WorstBusyMs();
    std::printf("10 MiB to a TCP peer in %lld ms, longest stall of the event loop %.1f ms (%.1f ms of own work)\n",
                static_cast<long long>(clock.elapsed()), meter.WorstGapMs(), longestStall);
    Settle(50);

    EXPECT_EQ(peer.received.size(), content.size());
    EXPECT_TRUE(peer.received == content) << "byte for byte";
    EXPECT_LE(longestStall, 100) << "the window's own work between two timer ticks";
    EXPECT_EQ(form.Counters()[TCPC].txFrames, (10 << 20) / 64);
    EXPECT_EQ(Texts().last(), QStringLiteral("文件发送完成"));
    EXPECT_EQ(form.btnOpenFile->toolTip(), QStringLiteral("已发送%1/%1字节").arg(content.size()));
}

}  // namespace
