#include "app/main_window.h"
#include "app/url_opener.h"
#include "tests/app/local_http_server.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

const QRegularExpression kStamp(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 {4}"));

struct ShownLine
{
    QString text;
    LineColor color;
};

// The main window with the start-up requests pointed at a local server.
class VersionCheckWindowTest : public ::testing::Test
{
protected:
    void Start(const QString& makerHost, bool check = true)
    {
        WebSettings web;
        web.versionCheck = check;
        web.makerHost = makerHost;
        web.tcpTestHost = QStringLiteral("127.0.0.1:9");
        form.SetWebSettings(web);
        form.FormCreate();
    }

    QList<ShownLine> Lines() const
    {
        QList<ShownLine> lines;
        const DisplayLineStore& store = form.DisplayLines();
        for (qsizetype i = 0; i < store.LineCount(); ++i)
            lines.append({QString(store.At(i).text).remove(kStamp), store.At(i).color});
        return lines;
    }

    bool Shows(const QString& text) const
    {
        for (const ShownLine& line : Lines())
            if (line.text.startsWith(text))
                return true;
        return false;
    }

    ScratchWorkingDirectory workingDirectory;
    MessageRecorder messages;
    TForm1 form;
};

TEST_F(VersionCheckWindowTest, NewerVersionGivesTwoLinesAndTheManualIsShown)
{
    LocalHttpServer server([](const QByteArray& request, int) -> QByteArray {
        if (request.startsWith("GET /Upgrade/travix/man/21 "))
            return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body><h1>使用说明</h1></body></html>";
        return "HTTP/1.0 200 OK\r\n\r\n22##http://dl.example/serialnet-2.2.zip\r\n";
    });
    Start(server.Host());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shows(QStringLiteral("下载地址：")); }, 5000));
    const QList<ShownLine> lines = Lines();
    qsizetype at = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].text.startsWith(QStringLiteral("最新版本：")))
            at = i;
    ASSERT_GE(at, 0);
    ASSERT_LT(at + 1, lines.size());
    EXPECT_EQ(lines[at].text.trimmed(), QStringLiteral("最新版本：V2.2"));
    EXPECT_EQ(lines[at].color, Rgb(1, 0, 0));
    EXPECT_EQ(lines[at + 1].text.trimmed(), QStringLiteral("下载地址：http://dl.example/serialnet-2.2.zip"));
    EXPECT_EQ(lines[at + 1].color, kWindowText);

    ASSERT_TRUE(QTest::qWaitFor([&] { return form.CppWebBrowser1->toPlainText().contains(QStringLiteral("使用说明")); },
                                5000));
    // Its links open in the desktop's browser, relative ones on the maker's host.
    QList<QUrl> opened;
    const UrlOpener::Opener previous = UrlOpener::SetOpener([&](const QUrl& url) {
        opened.append(url);
        return true;
    });
    emit form.CppWebBrowser1->anchorClicked(QUrl(QStringLiteral("/Docs/x.html")));
    UrlOpener::SetOpener(previous);
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("http://%1/Docs/x.html").arg(server.Host()))});
    bool versionAsked = false;
    for (const QByteArray& request : server.Requests())
        versionAsked |= request.startsWith("GET /Upgrade/travix/version/21/sn/");
    EXPECT_TRUE(versionAsked);
    // The check runs once.
    QTest::qWait(100);
    EXPECT_EQ(server.Requests().size(), 2);
}

TEST_F(VersionCheckWindowTest, AnswersThatShowNothingOrTheBody)
{
    const struct
    {
        const char* name;
        QByteArray answer;
        const char* shown;  // null: nothing about the version
    } cases[] = {
        {"not newer", "HTTP/1.0 200 OK\r\n\r\n21##x", nullptr},
        {"blank before ##", "HTTP/1.0 200 OK\r\n\r\n25 ##x", "25 ##x"},
        {"number only", "HTTP/1.0 200 OK\r\n\r\n30", "30"},
        {"404", "HTTP/1.0 404 Not Found\r\n\r\n22##x", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server(LocalHttpServer::Always(c.answer));
        TForm1 window;
        WebSettings web;
        web.versionCheck = true;
        web.makerHost = server.Host();
        window.SetWebSettings(web);
        window.FormCreate();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.Requests().size() == 2 && !window.NMHTTP1.Busy(); }, 5000));
        QTest::qWait(50);
        QStringList texts;
        for (qsizetype i = 0; i < window.DisplayLines().LineCount(); ++i)
            texts << QString(window.DisplayLines().At(i).text).remove(kStamp);
        EXPECT_FALSE(texts.join('\n').contains(QStringLiteral("最新版本")));
        EXPECT_FALSE(texts.join('\n').contains(QStringLiteral("获取版本信息失败")));
        if (c.shown) {
            EXPECT_TRUE(texts.contains(QString::fromLatin1(c.shown))) << texts.join('|').toStdString();
        }
    }
}

TEST_F(VersionCheckWindowTest, RefusedHostGivesTheFailureLine)
{
    quint16 port = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    Start(QStringLiteral("127.0.0.1:%1").arg(port));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shows(QStringLiteral("获取版本信息失败")); }, 5000));
    for (const ShownLine& line : Lines())
        if (line.text.startsWith(QStringLiteral("获取版本信息失败"))) {
            EXPECT_TRUE(line.text.startsWith(QStringLiteral("获取版本信息失败  ")));
            EXPECT_EQ(line.color, kWindowText);
        }
    EXPECT_TRUE(messages.messages.isEmpty());
}

// Switched off (and for every window never given settings): no request at all.
TEST_F(VersionCheckWindowTest, SwitchedOffMakesNoRequest)
{
    LocalHttpServer server(LocalHttpServer::Always("HTTP/1.0 200 OK\r\n\r\n22##x"));
    Start(server.Host(), false);
    TForm1 unset;
    unset.FormCreate();
    QTest::qWait(200);
    EXPECT_TRUE(server.Requests().isEmpty());
    EXPECT_FALSE(form.NMHTTP1.Busy());
    EXPECT_FALSE(unset.NMHTTP1.Busy());
    EXPECT_FALSE(unset.Web().versionCheck);
    EXPECT_FALSE(Shows(QStringLiteral("获取版本信息失败")));
}

TEST_F(VersionCheckWindowTest, HelpButtonsOpenTheirPagesInTheBrowser)
{
    QList<QUrl> opened;
    const UrlOpener::Opener previous = UrlOpener::SetOpener([&](const QUrl& url) {
        opened.append(url);
        return true;
    });
    Start(QStringLiteral("127.0.0.1:1"), false);
    form.btnFullScr->click();
    form.btndocs->click();
    form.btnPublicTcpServer->click();
    UrlOpener::SetOpener(previous);
    EXPECT_EQ(opened, (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:1/Upgrade/travix/version/21")),
                                   QUrl(QStringLiteral("http://127.0.0.1:1/Docs/Index/from/travix/")),
                                   QUrl(QStringLiteral("http://127.0.0.1:9/"))}));
    EXPECT_EQ(form.btnFullScr->text(), QStringLiteral("全屏查看"));
    EXPECT_EQ(form.btndocs->text(), QStringLiteral("引脚 协议技术文档"));
}

}  // namespace
