#include "app/main_window.h"
#include "app/status_panels.h"
#include "core/text_codec.h"
#include "data/receive_display.h"
#include "data/receive_log.h"
#include "send/channel_page.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_target.h"
#include "tests/support/scratch_working_directory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>
#include <algorithm>

namespace {

const QRegularExpression kStamp(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 {4}"));

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
    {
        form.FormCreate();
        for (ChannelId channel = COMA; channel <= LPT; ++channel)
            form.Dispatcher().SetTarget(channel, &targets[channel]);
    }

    template <typename T>
    T* Find(const char* name)
    {
        T* widget = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QStringList Texts() const
    {
        QStringList texts;
        const DisplayLineStore& lines = form.DisplayLines();
        for (qsizetype i = 0; i < lines.LineCount(); ++i)
            texts << QString(lines.At(i).text).remove(kStamp);
        return texts;
    }

    ScratchWorkingDirectory workingDirectory;
    MessageRecorder messages;
    TForm1 form;
    std::array<RecordingTarget, kChannelCount> targets;
};

TEST_F(MainWindowTest, WindowControlsCarryTheirNamesCaptionsAndDefaults)
{
    EXPECT_EQ(form.objectName(), QStringLiteral("Form1"));
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("串口/网络调试软件")));
    EXPECT_EQ(form.size(), QSize(971, 621));

    const struct
    {
        const char* name;
        const char* caption;
        bool checked;
    } boxes[] = {
        {"chkHelpInfo", "显示接收辅助信息", true}, {"chkSendInfo", "显示发送辅助信息", true},
        {"chkKeepFront", "窗口置顶", false},       {"chkLog", "日志记录", false},
        {"chkLatest", "只显示最新数据", false},    {"chkBeep", "接收蜂鸣提示", false},
        {"chkHexShow", "HEX显示 ", false},         {"chkGPS", "GPS_nmea解析", false},
        {"chkGUN", "自动滚动", true},              {"chkRelay", "转发", false},
        {"chkPeriodSend", "定时发送", false},
    };
    for (const auto& box : boxes) {
        QCheckBox* check = Find<QCheckBox>(box.name);
        ASSERT_NE(check, nullptr);
        EXPECT_EQ(check->text(), QString::fromUtf8(box.caption)) << box.name;
        EXPECT_EQ(check->isChecked(), box.checked) << box.name;
    }

    const struct
    {
        const char* name;
        const char* caption;
    } buttons[] = {{"btnWave", "波形图"},   {"btnClearMsg", "清空"},  {"btnOpenFile", "发送文件"},
                   {"btndocs", "引脚 协议技术文档"}, {"btnFullScr", "全屏查看"}};
    for (const auto& button : buttons)
        EXPECT_EQ(Find<QPushButton>(button.name)->text(), QString::fromUtf8(button.caption));

    const struct
    {
        const char* name;
        int index;
        QStringList items;
    } combos[] = {
        {"cbbHexStyle", 0, {"11 22 33", "112233", "0x11,0x22,0x33", "11h,22h,33h", "\\x11,\\x22,\\x33"}},
        {"cbbConnA", 0, {"COMA", "COMB", "TCP SERVER", "TCP CLIENT", "UDP SERVER", "UDP CLIENT"}},
        {"cbbConnB", 1, {"COMA", "COMB", "TCP SERVER", "TCP CLIENT", "UDP SERVER", "UDP CLIENT"}},
        {"cbbPeriodSend", 0, {"COMA", "COMB", "TCP SERVER", "TCP CLIENT", "UDP SERVER", "UDP CLIENT", "LPT并口"}},
        {"cbSendFrom", -1, {"用户输入框", "时间字符串", "随机"}},
    };
    for (const auto& expected : combos) {
        QComboBox* combo = Find<QComboBox>(expected.name);
        ASSERT_NE(combo, nullptr);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items, expected.items) << expected.name;
        EXPECT_EQ(combo->currentIndex(), expected.index) << expected.name;
    }
    EXPECT_EQ(form.cbSendFrom->currentText(), QStringLiteral("用户输入框"));
    EXPECT_EQ(Find<QLineEdit>("edtPeriodSend")->text(), QStringLiteral("1000"));
    EXPECT_TRUE(Find<QLineEdit>("edtFilePath")->isReadOnly());
    EXPECT_TRUE(Find<QLineEdit>("edtCmpLen")->text().isEmpty());

    QTableWidget* snippets = Find<QTableWidget>("ValueListEditor1");
    ASSERT_EQ(snippets->rowCount(), 20);
    EXPECT_EQ(snippets->horizontalHeaderItem(0)->text(), QStringLiteral("说明"));
    EXPECT_EQ(snippets->horizontalHeaderItem(1)->text(), QStringLiteral("内容"));
    EXPECT_EQ(snippets->item(3, 0)->text(), QStringLiteral("信号强度"));
    EXPECT_EQ(snippets->item(3, 1)->text(), QStringLiteral("AT+CSQ"));
    EXPECT_TRUE(snippets->item(19, 0)->text().isEmpty());
}

TEST_F(MainWindowTest, PagesInOrderWithTheirSendControls)
{
    QTabWidget* pages = Find<QTabWidget>("PageControl1");
    QStringList captions;
    for (int i = 0; i < pages->count(); ++i)
        captions << pages->tabText(i);
    EXPECT_EQ(captions, QStringList({"串口A", "串口B", "TCP服务器", "TCP客户端", "UDP服务器", "UDP客户端", "并口",
                                     "USB", "工具", "版本更新"}));

    const char* const sendControls[][5] = {
        {"mmoCOM1", "chkHexCOM1", "chkEchoComA", "btnSendCOM1", "ShapeCom1"},
        {"mmoCOM2", "chkHexCOM2", "chkEchoComB", "btnSendCOM2", "ShapeCom2"},
        {"mmoTCP", "chkHexTCP", "chkEchoTCPS", "btnSendTCP", "ShapeTCP"},
        {"mmoTCPClient", "chkHexTCPClient", "chkEchoTCPC", "btnSendTCPClient", "ShapeTCPClient"},
        {"mmoUDP", "chkHexUDP", "chkEchoUDPS", "btnSendUDP", "ShapeUDP"},
        {"mmoUDPClient", "chkHexUDPClient", "chkEchoUDPC", "btnSendUDPClient", "ShapeUDPClient"},
    };
    for (int channel = 0; channel < kDataChannelCount; ++channel) {
        QWidget* page = pages->widget(channel);
        for (const char* name : sendControls[channel])
            EXPECT_NE(page->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
        EXPECT_EQ(page->findChild<QCheckBox*>(QString::fromLatin1(sendControls[channel][1]))->text(),
                  QStringLiteral("HEX发送"));
        EXPECT_FALSE(page->findChild<QCheckBox*>(QString::fromLatin1(sendControls[channel][2]))->isChecked());
    }
    for (const char* name : {"chkNewline", "chkNewline2", "chknewlinetcpsrv"})
        EXPECT_EQ(Find<QCheckBox>(name)->text(), QStringLiteral("换行符\\r\\n"));
}

TEST_F(MainWindowTest, ParallelPortAndUsbPagesCarryTheirControls)
{
    const struct
    {
        const char* name;
        const char* text;
    } pins[] = {{"CheckBox2", "^Strobe[ 1]"},  {"CheckBox3", "Data 0 [ 2]"},   {"CheckBox10", "Data 7 [ 9]"},
                {"CheckBox11", "ACK    [10]"}, {"CheckBox14", "Select [13]"},  {"CheckBox15", "[14] Auto LF"},
                {"CheckBox18", "[17] Select IN"}, {"CheckBox19", "[18] Ground"}, {"CheckBox26", "[25] Ground"}};
    for (const auto& pin : pins)
        EXPECT_EQ(Find<QCheckBox>(pin.name)->text(), QString::fromUtf8(pin.text)) << pin.name;
    EXPECT_FALSE(Find<QCheckBox>("CheckBox26")->isEnabled());
    EXPECT_EQ(Find<QCheckBox>("CheckBox1")->text(), QStringLiteral("使能"));
    EXPECT_EQ(Find<QPushButton>("ButtonLPT")->text(), QStringLiteral("更新引脚状态"));
    EXPECT_EQ(Find<QLineEdit>("edtLptSend")->text(), QStringLiteral("55"));
    EXPECT_EQ(Find<QCheckBox>("chkLPTHex")->text(), QStringLiteral("HEX"));
    EXPECT_EQ(Find<QPushButton>("bEject")->text(), QStringLiteral("弹出"));
    EXPECT_FALSE(Find<QPushButton>("bEject")->isEnabled());
}

TEST_F(MainWindowTest, DisplayStartsWithItsLineAndTheBanner)
{
    const QStringList texts = Texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], QStringLiteral("接收显示区"));
    EXPECT_TRUE(texts[1].startsWith(QStringLiteral("串口/TCP/UDP调试及转发软件 ") + QString::fromUtf8(TForm1::kContactText) +
                                    QStringLiteral("  ")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("  \\d{4}-\\d{1,2}-\\d{1,2}$")).match(texts[1]).hasMatch());
}

TEST_F(MainWindowTest, StatusBarTextsBeforeAndAfterTrafficAndAfterClearing)
{
    const QStringList designTexts = {"串口A", "串口B", "TCP服务器", "TCP客户端", "UDP服务器", "UDP客户端", ""};
    for (int panel = 0; panel < StatusPanels::kPanelCount; ++panel)
        EXPECT_EQ(form.StatusBar1->PanelText(panel), designTexts[panel]);

    form.ProcessReceived("0123456789", QStringLiteral("COMB[x]"), COMB);
    EXPECT_EQ(form.StatusBar1->PanelText(0), QStringLiteral("COMA: 发/收:0/0  "));
    EXPECT_EQ(form.StatusBar1->PanelText(1), QStringLiteral("COMB: 发/收:0/10  "));
    EXPECT_EQ(form.StatusBar1->PanelText(5), QStringLiteral("UDPC: 发/收:0/0  "));
    EXPECT_EQ(form.StatusBar1->PanelText(6), QString());

    form.SendToChannel("01 02 03", UDPC, true);
    form.ProcessReceived("0123456789", QStringLiteral("UDP[127.0.0.1:1]"), UDPC);
    EXPECT_EQ(form.StatusBar1->PanelText(5), QStringLiteral("UDPC: 发/收:3/10  "));

    form.btnClearMsg->click();
    for (int panel = 0; panel < kDataChannelCount; ++panel)
        EXPECT_EQ(form.StatusBar1->PanelText(panel), ChannelName(panel) + QStringLiteral(": 发/收:0/0  "));
    EXPECT_EQ(form.DisplayLines().LineCount(), 0);
}

TEST_F(MainWindowTest, StatusBarClickShowsSevenStatisticsLines)
{
    form.SendToChannel("01 02 03", UDPC, true);
    form.ProcessReceived("0123456789", QStringLiteral("UDP[127.0.0.1:1]"), UDPC);
    form.SendToChannel("55", LPT, true);
    const qsizetype before = form.DisplayLines().LineCount();

    QTest::mouseClick(form.StatusBar1, Qt::LeftButton);

    const QStringList lines = Texts().mid(before);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], QStringLiteral("COMA: 发/收: 0帧0字节/0帧0字节  "));
    EXPECT_EQ(lines[5], QStringLiteral("UDPC: 发/收: 1帧3字节/1帧10字节  "));
    EXPECT_EQ(lines[6], QStringLiteral(": 发/收: 1帧1字节/0帧0字节  "));
    EXPECT_TRUE(kStamp.match(form.DisplayLines().At(before).text).hasMatch());
}

TEST_F(MainWindowTest, DoubleClickOnTheDisplayClearsLikeTheButton)
{
    form.ProcessReceived("abc", QStringLiteral("L"), TCPC);
    form.edtMsg->Refresh();
    QTest::mouseDClick(form.edtMsg->viewport(), Qt::LeftButton);
    EXPECT_EQ(form.Counters()[TCPC].rxBytes, 0);
    EXPECT_EQ(form.StatusBar1->PanelText(3), QStringLiteral("TCPC: 发/收:0/0  "));
    EXPECT_EQ(form.DisplayLines().LineCount(), 0);
}

TEST_F(MainWindowTest, SendButtonsSendTheMemoWithThePageOptions)
{
    ChannelPage* page = form.Page(COMA);
    page->Panel()->memo->setPlainText(QStringLiteral("11 22 33"));
    page->Panel()->hex->setChecked(true);
    page->Panel()->send->click();
    EXPECT_EQ(targets[COMA].writes.at(0), QByteArray("\x11\x22\x33"));

    page->Panel()->hex->setChecked(false);
    page->Panel()->newline->setChecked(true);
    page->Panel()->memo->setPlainText(QStringLiteral("AT\\r\n串口"));
    page->Panel()->send->click();
    EXPECT_EQ(targets[COMA].writes.at(1), QByteArray("AT\r\r\n\xB4\xAE\xBF\xDA\r\n"));

    // The TCP server's line end is not added by the button.
    ChannelPage* server = form.Page(TCPS);
    server->Panel()->newline->setChecked(true);
    server->Panel()->memo->setPlainText(QStringLiteral("x"));
    server->Panel()->send->click();
    EXPECT_EQ(targets[TCPS].writes.at(0), QByteArray("x"));

    // An empty memo sends nothing; a memo holding only a line end does.
    ChannelPage* udp = form.Page(UDPC);
    udp->Panel()->memo->clear();
    udp->Panel()->send->click();
    EXPECT_TRUE(targets[UDPC].writes.empty());
    udp->Panel()->memo->setPlainText(QStringLiteral("\n"));
    udp->Panel()->hex->setChecked(true);
    udp->Panel()->send->click();
    EXPECT_EQ(targets[UDPC].writes.at(0), QByteArray("\x10"));
}

TEST_F(MainWindowTest, TextEncodingChoiceGovernsTypedSendsAndReceivedText)
{
    ASSERT_EQ(form.cbbTextEncoding->parentWidget(), Find<QWidget>("GroupBoxReceive"));
    const QList<QLabel*> labels = form.cbbTextEncoding->parentWidget()->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
                            [](const QLabel* label) { return label->text() == QStringLiteral("文本编码"); }));
    const struct
    {
        const char* encoding;
        QByteArray bytes;
        qsizetype cut;  // inside the second character
    } rows[] = {{"GBK", "\xC4\xE3\xBA\xC3", 3}, {"UTF-8", "\xE4\xBD\xA0\xE5\xA5\xBD", 4}};
    ChannelPage* page = form.Page(UDPC);
    for (const auto& row : rows) {
        form.cbbTextEncoding->setCurrentText(QString::fromLatin1(row.encoding));
        ASSERT_EQ(form.cbbTextEncoding->currentText(), QString::fromLatin1(row.encoding));
        page->Panel()->memo->setPlainText(QStringLiteral("你好"));
        page->Panel()->send->click();
        EXPECT_EQ(targets[UDPC].writes.back(), row.bytes) << row.encoding;
        EXPECT_EQ(Texts().last(), QStringLiteral("你好")) << row.encoding;

        form.ProcessReceived(row.bytes.first(row.cut), QStringLiteral("UDP"), UDPC);
        form.ProcessReceived(row.bytes.sliced(row.cut), QStringLiteral("UDP"), UDPC);
        const QStringList texts = Texts();
        const QString header = QStringLiteral("UDP接收%1字节: ").arg(row.bytes.size() - row.cut);
        EXPECT_EQ(texts.mid(texts.size() - 3), QStringList({QStringLiteral("你"), header, QStringLiteral("好")}))
            << row.encoding;
    }
    form.cbbTextEncoding->setCurrentIndex(0);
}

TEST_F(MainWindowTest, SendSourcesReplaceTheMemo)
{
    ChannelPage* page = form.Page(UDPS);
    page->Panel()->memo->clear();
    form.cbSendFrom->setCurrentIndex(2);
    page->Panel()->hex->setChecked(true);
    page->Panel()->send->click();
    ASSERT_EQ(targets[UDPS].writes.size(), 1u);
    EXPECT_GE(targets[UDPS].writes[0].size(), 1);

    form.cbSendFrom->setCurrentIndex(1);
    page->Panel()->hex->setChecked(false);
    page->Panel()->send->click();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2}$"))
                    .match(QString::fromLatin1(targets[UDPS].writes.at(1)))
                    .hasMatch());
}

TEST_F(MainWindowTest, RelayRefusesEqualEndpoints)
{
    form.cbbConnB->setCurrentIndex(0);
    form.chkRelay->click();
    EXPECT_FALSE(form.chkRelay->isChecked());
    EXPECT_EQ(messages.messages, QStringList({QStringLiteral("转发双方不能相同")}));

    form.cbbConnB->setCurrentIndex(3);
    form.chkRelay->click();
    EXPECT_TRUE(form.chkRelay->isChecked());
    EXPECT_EQ(messages.messages.size(), 1);
}

TEST_F(MainWindowTest, RelayToAnEndpointWithNoItemSelectedIsAnUnknownSender)
{
    form.cbbConnA->setEditText(QStringLiteral("typed"));
    EXPECT_EQ(form.EndpointA(), -1);
    form.cbbConnB->setCurrentIndex(COMB);
    form.chkRelay->click();
    form.ProcessReceived("ab", QStringLiteral("L"), COMB);
    EXPECT_TRUE(Texts().contains(QStringLiteral("unknow sender!")));
}

TEST_F(MainWindowTest, HexStyleTypedByHandShowsAnEmptyLine)
{
    form.chkHexShow->setChecked(true);
    form.chkHelpInfo->setChecked(false);
    form.chkSendInfo->setChecked(false);
    form.cbbHexStyle->setEditText(QStringLiteral("mine"));
    form.ProcessReceived("\x01", QStringLiteral("L"), COMA);
    EXPECT_EQ(Texts().last(), QString());
}

TEST_F(MainWindowTest, KeepFrontFollowsItsBoxWhicheverOptionIsClicked)
{
    form.chkKeepFront->click();
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    form.chkGPS->click();
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.chkGPS->isChecked());
    EXPECT_FALSE(form.chkLog->isChecked());
    form.chkKeepFront->click();
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(MainWindowTest, DisplayShowsNewLinesInBatchesWithTheirColours)
{
    form.btnClearMsgClick();
    form.edtMsg->Refresh();
    form.chkHelpInfo->setChecked(false);
    form.chkSendInfo->setChecked(false);
    form.ShowInfo(QStringLiteral("first"), kGreen);
    form.ShowInfo(QStringLiteral("second"), kWindowText);
    // Nothing is laid out per line: the widget catches up on its timer.
    EXPECT_TRUE(form.edtMsg->toPlainText().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(form.edtMsg->toPlainText(), QStringLiteral("first\nsecond"), 2000);
    const QTextBlock first = form.edtMsg->document()->firstBlock();
    EXPECT_EQ(first.begin().fragment().charFormat().foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(first.next().begin().fragment().charFormat().foreground().color(),
              form.edtMsg->palette().color(QPalette::WindowText));
}

TEST_F(MainWindowTest, WebAddressesAreMarkedAsLinks)
{
    form.btnClearMsgClick();
    form.chkHelpInfo->setChecked(false);
    form.chkSendInfo->setChecked(false);
    form.ShowInfo(QStringLiteral("下载地址：http://192.0.2.1/a.zip now"), kWindowText);
    form.edtMsg->Refresh();
    QStringList anchors;
    for (QTextBlock::iterator it = form.edtMsg->document()->firstBlock().begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().isAnchor())
            anchors << it.fragment().charFormat().anchorHref();
    EXPECT_EQ(anchors, QStringList({QStringLiteral("http://192.0.2.1/a.zip")}));
    EXPECT_EQ(form.edtMsg->toPlainText(), QStringLiteral("下载地址：http://192.0.2.1/a.zip now"));
}

TEST_F(MainWindowTest, VeryLongLinesStayWholeInTheStoreAndAreShownInPieces)
{
    form.btnClearMsgClick();
    form.chkHelpInfo->setChecked(false);
    form.chkSendInfo->setChecked(false);
    form.chkHexShow->setChecked(true);
    form.ProcessReceived(QByteArray(65536, '\x5A'), QStringLiteral("L"), COMA);
    ASSERT_EQ(form.DisplayLines().LineCount(), 1);
    EXPECT_EQ(form.DisplayLines().At(0).text.size(), 65536 * 3);
    form.edtMsg->Refresh();
    EXPECT_EQ(form.edtMsg->document()->blockCount(), 1);
    const QString shown = form.edtMsg->toPlainText().remove(QLatin1Char('\n'));
    EXPECT_TRUE(shown.startsWith(form.DisplayLines().At(0).text.left(ReceiveDisplay::kMaxShownChars)));
    EXPECT_TRUE(shown.endsWith(QStringLiteral(" …（此行共196608字符，只显示前4096字符）"))) << shown.right(40).toStdString();
}

TEST(MainWindowLogAndGpsTest, EveryShownLineIsLoggedAndGpsSentencesGiveAPurpleLine)
{
    ScratchWorkingDirectory workingDirectory;
    MessageRecorder messages;
    QTemporaryDir folder;
    ReceiveLog log(folder.path());
    TForm1 form(nullptr, &log);
    form.FormCreate();
    form.chkLog->setChecked(false);
    form.chkGPS->setChecked(true);
    const QByteArray sentence = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";
    form.ProcessReceived(sentence, QStringLiteral("COMA[ttyUSB0]"), COMA);
    log.Flush();

    const DisplayLineStore& lines = form.DisplayLines();
    const QString gps = QStringLiteral("GPS:longitude 0.00000,latitude 0.00000,speed 10.20");
    qsizetype gpsLines = 0;
    for (qsizetype i = 0; i < lines.LineCount(); ++i) {
        if (QString(lines.At(i).text).remove(kStamp) == gps) {
            EXPECT_EQ(lines.At(i).color, kPurple);
            ++gpsLines;
        }
    }
    EXPECT_EQ(gpsLines, 1);

    // The banner, the GPS line, the header and the data line, each with its
    // time stamp and the line breaks it holds, although "日志记录" is off.
    QFile file(folder.path() + QLatin1Char('/') + ReceiveLog::FileName(QDateTime::currentMSecsSinceEpoch()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString logged = TextCodec::Decode(file.readAll());
    const QRegularExpression stamp(QStringLiteral("\r\n\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 {4}"));
    EXPECT_EQ(logged.count(stamp), 4);
    const QString banner = QString(lines.At(1).text).remove(kStamp);
    EXPECT_EQ(QString(logged).replace(stamp, QStringLiteral("\r\n")),
              QStringLiteral("\r\n") + banner + QStringLiteral("\r\n") + gps + QStringLiteral("\n\r\nCOMA[ttyUSB0]接收") +
                  QString::number(sentence.size()) + QStringLiteral("字节: \r\n") + QString::fromLatin1(sentence.chopped(2)) +
                  QStringLiteral("\n"));
}

TEST(ApplicationTest, EscapedExceptionsAreReportedAndTheLoopGoesOn)
{
    MessageRecorder messages;
    QTimer::singleShot(0, [] { throw std::runtime_error("'abc' is not a valid integer value"); });
    bool later = false;
    QTimer::singleShot(20, [&] { later = true; });
    QTRY_VERIFY_WITH_TIMEOUT(later, 2000);
    EXPECT_EQ(messages.messages, QStringList({QStringLiteral("'abc' is not a valid integer value")}));
}

}  // namespace
