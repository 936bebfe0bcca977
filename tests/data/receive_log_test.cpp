#include "data/receive_log.h"

#include "core/text_codec.h"
#include "data/codec.h"
#include "data/receive_log_folder.h"
#include "data/receive_pipeline.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/payload_encoding_scope.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <atomic>
#include <cstdlib>

namespace {

qint64 LocalMsecs(int year, int month, int day, int hour, int minute, int second, int msec)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec)).toMSecsSinceEpoch();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A clock the test sets.
struct TestClock
{
    std::atomic<qint64> now = LocalMsecs(2024, 5, 17, 10, 0, 0, 0);
    ReceiveLog::Clock Function()
    {
        return [this] { return now.load(); };
    }
};

class ReceiveLogTest : public ::testing::Test
{
protected:
    QString PathOf(const char* name) const { return folder.path() + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir folder;
    TestClock clock;
};

TEST(ReceiveLogName, MonthOfTheLocalTime)
{
    const struct
    {
        const char* behaviour;
        qint64 instant;
        const char* name;
    } rows[] = {
        {"last millisecond of May", LocalMsecs(2024, 5, 31, 23, 59, 59, 999), "Log_202405.txt"},
        {"midnight opens June", LocalMsecs(2024, 6, 1, 0, 0, 0, 0), "Log_202406.txt"},
        {"New Year's Eve", LocalMsecs(2024, 12, 31, 23, 59, 59, 999), "Log_202412.txt"},
        {"New Year", LocalMsecs(2025, 1, 1, 0, 0, 0, 0), "Log_202501.txt"},
        {"leap day", LocalMsecs(2024, 2, 29, 12, 0, 0, 0), "Log_202402.txt"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ReceiveLog::FileName(row.instant), QLatin1String(row.name)) << row.behaviour;
}

TEST_F(ReceiveLogTest, FirstLineAfterMidnightOfTheMonthsLastDayGoesToTheNextMonthsFile)
{
    {
        ReceiveLog log(folder.path(), clock.Function());
        clock.now = LocalMsecs(2024, 5, 31, 23, 59, 59, 999);
        log.AppendLog(QStringLiteral("last of May"));
        clock.now = LocalMsecs(2024, 6, 1, 0, 0, 0, 0);
        log.AppendLog(QStringLiteral("first of June"));
        clock.now = LocalMsecs(2024, 6, 1, 0, 0, 0, 1);
        log.AppendLog(QStringLiteral("second of June"));
    }
    EXPECT_EQ(ReadFile(PathOf("Log_202405.txt")), "\r\nlast of May");
    EXPECT_EQ(ReadFile(PathOf("Log_202406.txt")), "\r\nfirst of June\r\nsecond of June");
}

TEST_F(ReceiveLogTest, EveryRecordIsCrLfAndTheLineInTheCodePage)
{
    {
        ReceiveLog log(folder.path(), clock.Function());
        log.AppendLog(QStringLiteral("one"));
        log.AppendLog(QString());
        log.AppendLog(QStringLiteral("串口A发送"));
        log.AppendLog(QStringLiteral("two\nlines"));
    }
    EXPECT_EQ(ReadFile(PathOf("Log_202405.txt")), "\r\none\r\n\r\n\xB4\xAE\xBF\xDA" "A" "\xB7\xA2\xCB\xCD\r\ntwo\nlines");
}

TEST_F(ReceiveLogTest, LinesAreInThePayloadEncodingChosenWhenTheyWereShown)
{
    {
        ReceiveLog log(folder.path(), clock.Function());
        log.AppendLog(QStringLiteral("串口"));
        PayloadEncodingScope utf8(TextCodec::Encoding::kUtf8);
        log.AppendLog(QStringLiteral("串口"));
        log.AppendLog(DisplayText::Decoded("\xE4\xBD\xA0\x01", TextCodec::Encoding::kUtf8));
    }
    EXPECT_EQ(ReadFile(PathOf("Log_202405.txt")),
              "\r\n\xB4\xAE\xBF\xDA\r\n" + QStringLiteral("串口").toUtf8() + "\r\n" + QStringLiteral("你\u2401").toUtf8());
}

TEST_F(ReceiveLogTest, AppendsToWhatTheFileHeld)
{
    QFile existing(PathOf("Log_202405.txt"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("\r\nearlier run");
    existing.close();
    {
        ReceiveLog log(folder.path(), clock.Function());
        log.AppendLog(QStringLiteral("this run"));
    }
    EXPECT_EQ(ReadFile(PathOf("Log_202405.txt")), "\r\nearlier run\r\nthis run");
}

TEST_F(ReceiveLogTest, DataLinesAreTheirDisplayTextEncoded)
{
    QByteArray random(3000, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& byte : random)
        byte = static_cast<char>(generator.bounded(256));
    const QString stamp = QStringLiteral("2024-5-17 10:00:00 0078毫秒    ");
    const QByteArray text = "AT\r\nOK\r\n\x01\x7F\0 \xB4\xAE\xBF\xDA\x81";
    const DisplayText lines[] = {
        DisplayText::Decoded(text).Prefixed(stamp),
        DisplayText::Decoded(random),
        DisplayText::HexStyled(random, kHexC).Prefixed(stamp),
        DisplayText::HexDump(text),
        QStringLiteral("COMA[ttyUSB0]接收5字节: "),
    };
    QByteArray expected;
    {
        ReceiveLog log(folder.path(), clock.Function());
        for (const DisplayText& line : lines) {
            log.AppendLog(line);
            expected += "\r\n" + TextCodec::Encode(line.ToString());
        }
    }
    EXPECT_EQ(ReadFile(PathOf("Log_202405.txt")), expected);
}

// The writer puts a line on disk by itself, while the log stays open and no
// more lines come (aimed at a tenth of a second; the time is printed, not
// checked, as a busy machine may delay any thread).
TEST_F(ReceiveLogTest, ALineReachesItsFileWhileTheLogStaysOpen)
{
    ReceiveLog log(folder.path(), clock.Function());
    log.AppendLog(QStringLiteral("soon"));
    QElapsedTimer elapsed;
    elapsed.start();
    while (ReadFile(PathOf("Log_202405.txt")).isEmpty() && elapsed.elapsed() < 5000)
        QThread::msleep(1);
    EXPECT_EQ(ReadFile(PathOf("Log_202405.txt")), "\r\nsoon");
    std::printf("a line reached its file after %lld ms\n", static_cast<long long>(elapsed.elapsed()));
}

TEST_F(ReceiveLogTest, TheFileIsOpenedAgainForEveryBatch)
{
    ReceiveLog log(folder.path(), clock.Function());
    log.AppendLog(QStringLiteral("before the move"));
    log.Flush();
    ASSERT_TRUE(QFile::rename(PathOf("Log_202405.txt"), PathOf("moved.txt")));
    log.AppendLog(QStringLiteral("after the move"));
    log.Flush();
    EXPECT_EQ(ReadFile(PathOf("moved.txt")), "\r\nbefore the move");
    EXPECT_EQ(ReadFile(PathOf("Log_202405.txt")), "\r\nafter the move");
}

TEST_F(ReceiveLogTest, EveryLineIsWrittenInOrderPastTheQueueBoundAndAtTheEnd)
{
    // Lines of 64 KiB, several times the queue's bound in all.
    const QByteArray chunk(64 * 1024, 'x');
    constexpr int kLines = 4 * ReceiveLog::kQueueBound / (64 * 1024);
    QByteArray expected;
    {
        ReceiveLog log(folder.path(), clock.Function());
        for (int i = 0; i < kLines; ++i) {
            const QByteArray number = QByteArray::number(i);
            log.AppendLog(DisplayText::Decoded(number + chunk));
            expected += "\r\n" + number + chunk;
            log.AppendLog(QString::fromLatin1(number));
            expected += "\r\n" + number;
        }
    }
    const QByteArray written = ReadFile(PathOf("Log_202405.txt"));
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
}

TEST_F(ReceiveLogTest, AFolderThatCannotBeWrittenLosesTheLinesQuietly)
{
    const QString missing = folder.path() + QStringLiteral("/missing/folder");
    {
        ReceiveLog log(missing, clock.Function());
        log.AppendLog(QStringLiteral("lost"));
        log.Flush();
    }
    EXPECT_FALSE(QDir(missing).exists());
}

TEST_F(ReceiveLogTest, PipelineLogsEveryLineWhateverTheLogOptionSays)
{
    ReceiveLog log(folder.path(), clock.Function());
    FakeReceiveOptions options;
    DisplayLineStore display;
    ChannelCounters counters;
    ReceivePipeline pipeline(options, display, counters, nullptr);
    pipeline.SetLog(&log);
    for (bool logChecked : {false, true}) {
        options.logBound = logChecked;
        pipeline.ProcessReceived("data\r\n", QStringLiteral("TCP客户端"), TCPC);
        pipeline.ShowInfo(QStringLiteral("信息"), kWindowText);
    }
    log.Flush();
    // Each record with its time stamp; the data line keeps its break.
    const QRegularExpression stamp(QStringLiteral("\r\n\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 {4}"));
    QString written = TextCodec::Decode(ReadFile(PathOf("Log_202405.txt")));
    EXPECT_EQ(written.count(stamp), 6);
    EXPECT_EQ(written.replace(stamp, QStringLiteral("\r\n")),
              QStringLiteral("\r\nTCP客户端接收6字节: \r\ndata\n\r\n信息").repeated(2));
}

class ReceiveLogFolderTest : public ::testing::Test
{
protected:
    ReceiveLogFolderTest() : savedData_(qgetenv("XDG_DATA_HOME")), savedHome_(qgetenv("HOME")) {}
    ~ReceiveLogFolderTest() override
    {
        qputenv("XDG_DATA_HOME", savedData_);
        qputenv("HOME", savedHome_);
    }

    // A folder that cannot be made or written: it lies under a file.
    QString Unwritable() const
    {
        QFile file(scratch.path() + QStringLiteral("/bin"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName() + QStringLiteral("/usr/bin");
    }

    QTemporaryDir scratch;

private:
    QByteArray savedData_;
    QByteArray savedHome_;
};

TEST_F(ReceiveLogFolderTest, NextToTheExecutableWhenThatFolderCanBeWritten)
{
    EXPECT_EQ(ReceiveLogFolder(scratch.path()), QDir(scratch.path()).absolutePath());
}

TEST_F(ReceiveLogFolderTest, OtherwiseTheUsersDataFolderMadeWhenMissing)
{
    const QString data = scratch.path() + QStringLiteral("/data");
    const QString home = scratch.path() + QStringLiteral("/home");
    const struct
    {
        const char* behaviour;
        QByteArray dataHome;
        QString folder;
    } rows[] = {
        {"XDG_DATA_HOME set", data.toLocal8Bit(), data + QStringLiteral("/serialnet")},
        {"XDG_DATA_HOME unset", QByteArray(), home + QStringLiteral("/.local/share/serialnet")},
    };
    const QString unwritable = Unwritable();
    qputenv("HOME", home.toLocal8Bit());
    for (const auto& row : rows) {
        if (row.dataHome.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", row.dataHome);
        EXPECT_EQ(ReceiveLogFolder(unwritable), row.folder) << row.behaviour;
        EXPECT_TRUE(QDir(row.folder).exists()) << row.behaviour;
    }
    // The log then writes there.
    {
        ReceiveLog log(ReceiveLogFolder(unwritable));
        log.AppendLog(QStringLiteral("kept"));
    }
    EXPECT_EQ(ReadFile(rows[1].folder + QLatin1Char('/') + ReceiveLog::FileName(QDateTime::currentMSecsSinceEpoch())),
              "\r\nkept");
}

}  // namespace
