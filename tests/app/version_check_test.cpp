#include "app/disk_serial.h"
#include "app/http_answer.h"
#include "app/tnm_http.h"
#include "app/version_answer.h"
#include "app/web_settings.h"
#include "core/ini_file.h"
#include "tests/app/local_http_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Line = VersionAnswer::Line;
const LineColor kVersionColor = Rgb(1, 0, 0);

TEST(VersionAnswerTest, BodiesGiveTheirLines)
{
    const QByteArray longAddress = "http://dl/" + QByteArray(200, 'a');
    const struct
    {
        const char* name;
        QByteArray body;
        QList<Line> lines;
    } cases[] = {
        {"newer version: two lines", "22##http://dl.example/v22.zip",
         {{QStringLiteral("最新版本：V2.2"), kVersionColor}, {QStringLiteral("下载地址：http://dl.example/v22.zip"), kWindowText}}},
        {"same version: nothing", "21##anything", {}},
        {"older version: nothing", "5##x", {}},
        {"blank before ## shows the body", "25 ##x", {{QStringLiteral("25 ##x"), kWindowText}}},
        {"number only shows the body", "30", {{QStringLiteral("30"), kWindowText}}},
        {"nothing after ## shows the body", "22##  \r\n", {{QStringLiteral("22##  \r\n"), kWindowText}}},
        {"html page shows the body", "<html>oops</html>", {{QStringLiteral("<html>oops</html>"), kWindowText}}},
        {"empty body: nothing", "", {}},
        {"blanks before the number and the address, address ends at a blank", " \r\n 23##\t http://a/b tail",
         {{QStringLiteral("最新版本：V2.3"), kVersionColor}, {QStringLiteral("下载地址：http://a/b"), kWindowText}}},
        {"three digits rounded to two significant", "123##u",
         {{QStringLiteral("最新版本：V12.0"), kVersionColor}, {QStringLiteral("下载地址：u"), kWindowText}}},
        {"rounding up", "995##u",
         {{QStringLiteral("最新版本：V100.0"), kVersionColor}, {QStringLiteral("下载地址：u"), kWindowText}}},
        {"long address is cut to 127 characters", "30##" + longAddress,
         {{QStringLiteral("最新版本：V3.0"), kVersionColor},
          {QStringLiteral("下载地址：") + QString::fromLatin1(longAddress.first(127)), kWindowText}}},
        {"number too large for an int shows the body", "99999999999##x",
         {{QStringLiteral("99999999999##x"), kWindowText}}},
        {"negative number: not newer", "-30##x", {}},
        {"sign without digits shows the body", "+##x", {{QStringLiteral("+##x"), kWindowText}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QList<Line> lines = VersionAnswer::Lines(c.body);
        ASSERT_EQ(lines.size(), c.lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].text, c.lines[i].text);
            EXPECT_EQ(lines[i].color, c.lines[i].color);
        }
    }
}

TEST(VersionAnswerTest, DiskSerialNormalisation)
{
    const struct
    {
        const char* name;
        QByteArray raw;
        const char* identifier;
    } cases[] = {
        {"hex pairs of A to F decoded and swapped", "414243444546", "BADCFE"},
        {"plain text is swapped", "W1234567", "1W325476"},
        {"pairs that are not printable characters stay text", "ABCDEF", "BADCFE"},
        {"control character empties it", "AB\x01" "CD", ""},
        {"tab is a control character", "WD\tX", ""},
        {"blank pair counts as zero and ends the text", "2020574431  ", "DW"},
        {"blank pairs decode to blanks trimmed after swapping", "2020202057443132", "DW21"},
        {"odd length drops the last character", "ABC", "BA"},
        {"zero pair ends the decoded text", "41420043", "BA"},
        {"empty stays empty", "", ""},
        {"surrounding blanks of the swapped text go", "  XY  ", "YX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(VersionAnswer::NormaliseDiskSerial(c.raw), QString::fromLatin1(c.identifier));
    }
    EXPECT_EQ(VersionAnswer::RequestPath(QStringLiteral("W1234567")), "/Upgrade/travix/version/21/sn/W1234567");
    EXPECT_EQ(VersionAnswer::RequestPath(QString()), "/Upgrade/travix/version/21/sn/");
    // A serial with blanks or "?" inside cannot break the request line.
    EXPECT_EQ(VersionAnswer::RequestPath(QStringLiteral("A B?#")), "/Upgrade/travix/version/21/sn/A%20B%3F%23");
}

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A fake root with sysfs and the udev database: disks in name order, virtual
// block devices and optical drives left out.
TEST(DiskSerialTest, ReadsTheFirstPhysicalDiskFromUdevOrSysfs)
{
    QTemporaryDir root;
    const QString r = root.path();
    for (const char* name : {"loop0", "dm-0", "sr0", "nvme0n1", "sda"})
        QDir().mkpath(r + "/sys/block/" + name);
    for (const char* name : {"sr0", "nvme0n1", "sda"})
        QDir().mkpath(r + "/sys/block/" + name + "/device");
    Write(r + "/sys/block/nvme0n1/dev", "259:0\n");
    Write(r + "/sys/block/nvme0n1/device/serial", "S4EWNX0N123456\n");
    Write(r + "/sys/block/sda/dev", "8:0\n");
    Write(r + "/run/udev/data/b8:0", "S:disk/by-id/ata-X\nE:ID_SERIAL=WDC_WD10_WD-WCC41234\nE:ID_SERIAL_SHORT=WD-WCC41234\n");
    Write(r + "/sys/block/sr0/dev", "11:0\n");
    Write(r + "/run/udev/data/b11:0", "E:ID_SERIAL_SHORT=CDROM\n");

    const TCnHardDiskInfo disks(r);
    EXPECT_EQ(disks.RawSerials(), (QList<QByteArray>{"S4EWNX0N123456", "WD-WCC41234"}));
    EXPECT_EQ(disks.GetDiskSerialNo(0), QStringLiteral("4SWEXNN0214365"));
    EXPECT_EQ(disks.GetDiskSerialNo(1), QStringLiteral("DWW-CC1432"));
    EXPECT_EQ(disks.GetDiskSerialNo(2), QString());
    EXPECT_EQ(disks.GetDiskSerialNo(-1), QString());
    EXPECT_EQ(TCnHardDiskInfo(r + "/missing").GetDiskSerialNo(0), QString());
}

TEST(HttpAddressTest, ParsesAndFollowsLocations)
{
    const std::optional<HttpAddress> plain = HttpAddress::Parse("http://example.org/a/b?c");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, QStringLiteral("example.org"));
    EXPECT_EQ(plain->port, 80);
    EXPECT_EQ(plain->path, "/a/b?c");
    EXPECT_EQ(plain->HostHeader(), "example.org");
    const std::optional<HttpAddress> local = HttpAddress::Parse("127.0.0.1:8080");
    ASSERT_TRUE(local);
    EXPECT_EQ(local->port, 8080);
    EXPECT_EQ(local->path, "/");
    EXPECT_EQ(local->HostHeader(), "127.0.0.1:8080");
    for (const char* bad : {"", "https://x/", "http://:80/", "host:0/", "host:99999/", "host:8x/", "ho st/", "ftp://a"})
        EXPECT_FALSE(HttpAddress::Parse(bad)) << bad;

    const struct
    {
        const char* location;
        const char* host;
        quint16 port;
        const char* path;
    } redirects[] = {
        {"/next?x=1", "127.0.0.1", 8080, "/next?x=1"},
        {"page.html", "127.0.0.1", 8080, "/page.html"},
        {"http://other.host/p", "other.host", 80, "/p"},
        {"other.host:81/p q", "other.host", 81, "/p%20q"},
        {"/a\rInjected: 1", "127.0.0.1", 8080, "/a%0DInjected:%201"},
    };
    for (const auto& r : redirects) {
        SCOPED_TRACE(r.location);
        const std::optional<HttpAddress> next = HttpAddress::Redirect(*local, r.location);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->host, QString::fromLatin1(r.host));
        EXPECT_EQ(next->port, r.port);
        EXPECT_EQ(next->path, r.path);
    }
    EXPECT_FALSE(HttpAddress::Redirect(*local, ""));
    EXPECT_FALSE(HttpAddress::Redirect(*local, "https://secure/"));
}

TEST(HttpAnswerParserTest, SameAnswerWhereverItIsCut)
{
    const QByteArray answer = "HTTP/1.0 302 Found\r\nSET-COOKIE: id=42; path=/\r\nlocation:  /next \r\n"
                              "X: y\n\r\nbody\r\nmore";
    for (qsizetype cut = 0; cut <= answer.size(); ++cut) {
        SCOPED_TRACE(cut);
        HttpAnswerParser parser;
        EXPECT_TRUE(parser.Feed(QByteArrayView(answer).first(cut)));
        EXPECT_TRUE(parser.Feed(QByteArrayView(answer).sliced(cut)));
        EXPECT_TRUE(parser.HeadersDone());
        EXPECT_EQ(parser.Status(), 302);
        EXPECT_EQ(parser.Cookie(), "id=42");
        EXPECT_EQ(parser.Location(), "/next");
        EXPECT_EQ(parser.Body(), "body\r\nmore");
    }
    const struct
    {
        const char* statusLine;
        int status;
    } statuses[] = {{"HTTP/1.0 200 OK", 200}, {"HTTP/1.1 404", 404}, {"garbage", 0}, {"HTTP/1.0 abc", 0},
                    {"HTTP/1.0 -5 x", 0},     {"", 0},            {"HTTP/1.0   301   Moved", 301}};
    for (const auto& s : statuses) {
        HttpAnswerParser parser;
        parser.Feed(QByteArray(s.statusLine) + "\r\n\r\n");
        EXPECT_EQ(parser.Status(), s.status) << s.statusLine;
    }
    HttpAnswerParser endless;
    EXPECT_FALSE(endless.Feed("HTTP/1.0 200 OK\r\n" + QByteArray(HttpAnswerParser::kMaxHeaderBytes, 'h')));
    EXPECT_TRUE(endless.Overflow());
}

// The request against a local server, and what each answer leads to.
class HttpRequestTest : public ::testing::Test
{
protected:
    struct Outcome
    {
        QString kind;  // "success", "failure", "ended"
        QByteArray body;
        int status = 0;
        qint64 ms = 0;
    };

    Outcome Run(const HttpAddress& address)
    {
        TNMHTTP http;
        Outcome outcome;
        QObject::connect(&http, &TNMHTTP::Success, [&](int cmd, const QByteArray& body) {
            EXPECT_EQ(cmd, 0);
            outcome.kind = QStringLiteral("success");
            outcome.body = body;
        });
        QObject::connect(&http, &TNMHTTP::Failure, [&](const QString&) { outcome.kind = QStringLiteral("failure"); });
        QObject::connect(&http, &TNMHTTP::Ended, [&](int status) {
            outcome.kind = QStringLiteral("ended");
            outcome.status = status;
        });
        QElapsedTimer clock;
        clock.start();
        http.Get(address);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !outcome.kind.isEmpty(); }, 10000));
        outcome.ms = clock.elapsed();
        EXPECT_FALSE(http.Busy());
        // Exactly one outcome: nothing more comes afterwards.
        const QString kind = outcome.kind;
        QTest::qWait(50);
        EXPECT_EQ(outcome.kind, kind);
        return outcome;
    }

    static HttpAddress At(const LocalHttpServer& server, const char* path = "/Upgrade/travix/version/21/sn/X")
    {
        HttpAddress address;
        address.host = QStringLiteral("127.0.0.1");
        address.port = server.Port();
        address.path = path;
        return address;
    }
};

TEST_F(HttpRequestTest, SendsTheRequestLines)
{
    LocalHttpServer server(LocalHttpServer::Always("HTTP/1.0 200 OK\r\n\r\n22##http://dl/x"));
    const Outcome outcome = Run(At(server));
    EXPECT_EQ(outcome.kind, QStringLiteral("success"));
    EXPECT_EQ(outcome.body, "22##http://dl/x");
    ASSERT_EQ(server.Requests().size(), 1);
    EXPECT_EQ(server.Requests()[0], "GET /Upgrade/travix/version/21/sn/X HTTP/1.0\r\n"
                                    "Host: 127.0.0.1:" + QByteArray::number(server.Port()) + "\r\n"
                                    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
                                    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
                                    "Content-type: application/x-www-form-urlencoded\r\n\r\n");
}

TEST_F(HttpRequestTest, AnswersByStatus)
{
    const struct
    {
        const char* name;
        QByteArray answer;
        const char* kind;
        QByteArray body;
        int status;
    } cases[] = {
        {"200 with a body", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n21##x", "success", "21##x", 0},
        {"200 with an empty body", "HTTP/1.0 200 OK\r\n\r\n", "success", "", 0},
        {"a status line without a number", "HELLO\r\n\r\nbody", "success", "body", 0},
        {"404", "HTTP/1.0 404 Not Found\r\n\r\n<html>no</html>", "ended", "", 404},
        {"500", "HTTP/1.0 500 Oops\r\n\r\n", "ended", "", 500},
        {"303 is not followed", "HTTP/1.0 303 See Other\r\nLocation: /x\r\n\r\n", "ended", "", 303},
        {"299 ends", "HTTP/1.0 299 Odd\r\n\r\n", "ended", "", 299},
        {"302 without a location", "HTTP/1.0 302 Found\r\n\r\n", "failure", "", 0},
        {"closed inside the headers", "HTTP/1.0 200 OK\r\nContent-", "failure", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server(LocalHttpServer::Always(c.answer));
        const Outcome outcome = Run(At(server));
        EXPECT_EQ(outcome.kind, QString::fromLatin1(c.kind));
        EXPECT_EQ(outcome.body, c.body);
        EXPECT_EQ(outcome.status, c.status);
    }
}

TEST_F(HttpRequestTest, RedirectIsFollowedWithTheCookie)
{
    LocalHttpServer server([](const QByteArray&, int index) -> QByteArray {
        if (index == 0)
            return "HTTP/1.0 302 Found\r\nSet-Cookie: session=abc; path=/\r\nLocation: /moved/here\r\n\r\n";
        return "HTTP/1.0 200 OK\r\n\r\n22##http://dl/new";
    });
    const Outcome outcome = Run(At(server));
    EXPECT_EQ(outcome.kind, QStringLiteral("success"));
    EXPECT_EQ(outcome.body, "22##http://dl/new");
    ASSERT_EQ(server.Requests().size(), 2);
    EXPECT_TRUE(server.Requests()[1].startsWith("GET /moved/here HTTP/1.0\r\n"));
    EXPECT_TRUE(server.Requests()[1].contains("\r\nCookie: session=abc\r\n"));
    EXPECT_FALSE(server.Requests()[0].contains("Cookie"));
}

TEST_F(HttpRequestTest, RedirectToAnotherServer)
{
    LocalHttpServer target(LocalHttpServer::Always("HTTP/1.0 200 OK\r\n\r\nthere"));
    LocalHttpServer first(LocalHttpServer::Always("HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1:" +
                                                  QByteArray::number(target.Port()) + "/t\r\n\r\n"));
    const Outcome outcome = Run(At(first));
    EXPECT_EQ(outcome.body, "there");
    ASSERT_EQ(target.Requests().size(), 1);
    EXPECT_TRUE(target.Requests()[0].startsWith("GET /t HTTP/1.0\r\nHost: 127.0.0.1:"));
}

// A redirect loop ends after five redirects: six requests in all.
TEST_F(HttpRequestTest, RedirectLoopEndsAfterFiveRedirects)
{
    for (const char* status : {"300", "301", "302"}) {
        SCOPED_TRACE(status);
        LocalHttpServer server(LocalHttpServer::Always("HTTP/1.0 " + QByteArray(status) + " Loop\r\nLocation: /same\r\n\r\n"));
        const Outcome outcome = Run(At(server));
        EXPECT_EQ(outcome.kind, QStringLiteral("failure"));
        EXPECT_EQ(server.Requests().size(), 1 + TNMHTTP::kMaxRedirects);
    }
}

TEST_F(HttpRequestTest, SilentServerFailsAfter3000Ms)
{
    LocalHttpServer server(LocalHttpServer::Always(QByteArray()));
    const Outcome outcome = Run(At(server));
    EXPECT_EQ(outcome.kind, QStringLiteral("failure"));
    EXPECT_GE(outcome.ms, TNMHTTP::kTimeoutMs - 100);
    EXPECT_LT(outcome.ms, TNMHTTP::kTimeoutMs + 2000);
    EXPECT_EQ(server.Requests().size(), 1);
}

// Headers and part of the body, then silence with the connection open: the
// body is never taken for the whole answer.
TEST_F(HttpRequestTest, AnswerThatStopsFailsAfter3000MsWithoutData)
{
    LocalHttpServer server(LocalHttpServer::Always(LocalHttpServer::kKeepOpen + "HTTP/1.0 200 OK\r\n\r\n22##http"));
    const Outcome outcome = Run(At(server));
    EXPECT_EQ(outcome.kind, QStringLiteral("failure"));
    EXPECT_GE(outcome.ms, TNMHTTP::kTimeoutMs);
    EXPECT_LT(outcome.ms, TNMHTTP::kTimeoutMs + 2000);
}

TEST_F(HttpRequestTest, RefusedPortFails)
{
    quint16 port = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    HttpAddress address;
    address.host = QStringLiteral("127.0.0.1");
    address.port = port;
    const Outcome outcome = Run(address);
    EXPECT_EQ(outcome.kind, QStringLiteral("failure"));
    EXPECT_LT(outcome.ms, TNMHTTP::kTimeoutMs);
}

TEST(WebSettingsTest, DefaultsAndOwnSectionOfConfigIni)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    const WebSettings defaults = WebSettings::Load(path);
    EXPECT_TRUE(defaults.versionCheck);
    EXPECT_FALSE(defaults.makerHost.isEmpty());
    EXPECT_EQ(WebSettings().versionCheck, false);

    {
        IniFile ini(path);
        ini.WriteString(QStringLiteral("FORM"), QStringLiteral("MAKER_HOST"), QStringLiteral("ignored"));
        ini.WriteString(QStringLiteral("SERIALNET"), QStringLiteral("MAKER_HOST"), QStringLiteral("127.0.0.1:8123"));
        ini.WriteString(QStringLiteral("SERIALNET"), QStringLiteral("TCP_TEST_HOST"), QStringLiteral("tcp.test"));
        ini.WriteString(QStringLiteral("SERIALNET"), QStringLiteral("VERSION_CHECK"), QStringLiteral("0"));
        ASSERT_TRUE(ini.Save());
    }
    const WebSettings own = WebSettings::Load(path);
    EXPECT_FALSE(own.versionCheck);
    EXPECT_EQ(own.VersionAddress(QStringLiteral("ID"))->path, "/Upgrade/travix/version/21/sn/ID");
    EXPECT_EQ(own.VersionAddress(QStringLiteral("ID"))->port, 8123);
    EXPECT_EQ(own.ManualAddress()->path, "/Upgrade/travix/man/21");
    EXPECT_EQ(own.FullScreenUrl(), QUrl(QStringLiteral("http://127.0.0.1:8123/Upgrade/travix/version/21")));
    EXPECT_EQ(own.DocsUrl(), QUrl(QStringLiteral("http://127.0.0.1:8123/Docs/Index/from/travix/")));
    EXPECT_EQ(own.TcpTestUrl(), QUrl(QStringLiteral("http://tcp.test/")));

    WebSettings broken;
    broken.makerHost = QStringLiteral("not a host");
    EXPECT_FALSE(broken.VersionAddress(QString()));
    EXPECT_TRUE(broken.DocsUrl().isEmpty());
}

}  // namespace
