#include "serial/tty_port.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <asm/termbits.h>

#include "socat_pair.h"

namespace {

QByteArray Path(const QString& path)
{
    return QFile::encodeName(path);
}

// Reads from `port` until `count` bytes arrived or five seconds passed.
QByteArray ReadExactly(TtyPort& port, qsizetype count)
{
    QByteArray data;
    const QDeadlineTimer deadline(5000);
    char buffer[256];
    while (data.size() < count && !deadline.hasExpired()) {
        port.Wait(false, 20);
        const qint64 n = port.Read(buffer, sizeof buffer);
        if (n > 0)
            data.append(buffer, n);
    }
    return data;
}

class TtyPortTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(pair_.Ready()) << "socat did not make the pseudo-terminal pair"; }

    SocatPair pair_;
};

TEST_F(TtyPortTest, AnOpenPortIsHeldUntilItIsClosed)
{
    TtyPort first;
    ASSERT_EQ(first.Open(Path(pair_.A())), 0);
    EXPECT_TRUE(first.IsOpen());

    TtyPort second;
    EXPECT_EQ(second.Open(Path(pair_.A())), -EBUSY);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(TtyPort::Probe(Path(pair_.A())), -EBUSY);
    EXPECT_EQ(TtyPort::Probe(Path(pair_.B())), 0) << "the other end is free";

    first.Close();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(TtyPort::Probe(Path(pair_.A())), 0);
    EXPECT_EQ(second.Open(Path(pair_.A())), 0);
}

TEST_F(TtyPortTest, PathsThatAreNoTerminalAreRefused)
{
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    struct Row
    {
        const char* behaviour;
        QString path;
        int expected;
    };
    const Row rows[] = {
        {"missing device", dir.filePath(QStringLiteral("ttyUSB99")), -ENOENT},
        {"plain file", plain.fileName(), -ENOTTY},
        {"character device that is no terminal", QStringLiteral("/dev/null"), -ENOTTY},
    };
    for (const Row& row : rows) {
        TtyPort port;
        EXPECT_EQ(port.Open(Path(row.path)), row.expected) << row.behaviour;
        EXPECT_FALSE(port.IsOpen()) << row.behaviour;
    }
}

TEST_F(TtyPortTest, SettingsTakeAnyRateAndTheDevicesOwnComeBackAtClose)
{
    TtyPort before;
    ASSERT_EQ(before.Open(Path(pair_.A())), 0);
    TtySettings original;
    ASSERT_EQ(before.GetSettings(original), 0);
    before.Close();

    TtyPort port;
    ASSERT_EQ(port.Open(Path(pair_.A())), 0);
    TtySettings changed = original;
    changed.cflag = (changed.cflag & ~(CBAUD | CIBAUD)) | CSTOPB | BOTHER | (BOTHER << IBSHIFT);
    changed.ispeed = 250000;
    changed.ospeed = 250000;
    ASSERT_EQ(port.SetSettings(changed), 0);
    TtySettings read;
    ASSERT_EQ(port.GetSettings(read), 0);
    EXPECT_EQ(read.ospeed, 250000u);
    EXPECT_EQ(read.cflag & CSTOPB, quint32(CSTOPB));
    port.Close();

    ASSERT_EQ(port.Open(Path(pair_.A())), 0);
    ASSERT_EQ(port.GetSettings(read), 0);
    EXPECT_EQ(read, original);
}

TEST_F(TtyPortTest, BytesMoveBothWaysAndInputBeforeTheOpenIsDropped)
{
    TtyPort peer;
    ASSERT_EQ(peer.Open(Path(pair_.B())), 0);
    ASSERT_EQ(peer.Write("stale", 5), 5);
    QThread::msleep(300);  // socat moves it into the port's input queue
    TtyPort port;
    ASSERT_EQ(port.Open(Path(pair_.A())), 0);
    char buffer[16];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), -EAGAIN);

    ASSERT_EQ(peer.Write("fresh", 5), 5);
    EXPECT_EQ(port.Wait(false, 5000) & TtyPort::kReady, TtyPort::kReady);
    QThread::msleep(50);
    EXPECT_EQ(port.InputQueue(), 5);
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 5);
    EXPECT_EQ(QByteArray(buffer, 5), QByteArray("fresh"));

    EXPECT_EQ(port.Write("back", 4), 4);
    EXPECT_EQ(port.Drain(), 0);
    EXPECT_EQ(ReadExactly(peer, 4), QByteArray("back"));
}

TEST_F(TtyPortTest, PurgeDropsWaitingInput)
{
    TtyPort port;
    ASSERT_EQ(port.Open(Path(pair_.A())), 0);
    TtyPort peer;
    ASSERT_EQ(peer.Open(Path(pair_.B())), 0);
    ASSERT_EQ(peer.Write("waiting", 7), 7);
    ASSERT_EQ(port.Wait(false, 5000) & TtyPort::kReady, TtyPort::kReady);
    QThread::msleep(50);  // the whole text has arrived
    EXPECT_EQ(port.Purge(true, true), 0);
    char buffer[16];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), -EAGAIN);
    EXPECT_EQ(port.Purge(false, false), 0) << "purging nothing is no error";
}

TEST_F(TtyPortTest, WaitsEndByTimeStopSignalOrHangUp)
{
    TtyPort port;
    ASSERT_EQ(port.Open(Path(pair_.A())), 0);
    EXPECT_EQ(port.Wait(false, 30), 0) << "nothing arrived";
    EXPECT_EQ(port.Wait(true, 1000) & TtyPort::kReady, TtyPort::kReady) << "the output queue has room";

    ASSERT_EQ(port.OpenStopSignal(), 0);
    EXPECT_EQ(port.Wait(false, 30), 0);
    port.RaiseStop();
    EXPECT_EQ(port.Wait(false, 5000), TtyPort::kStopped);

    TtyPort other;
    ASSERT_EQ(other.Open(Path(pair_.B())), 0);
    pair_.Kill();
    EXPECT_EQ(other.Wait(false, 5000) & TtyPort::kHangup, TtyPort::kHangup);
}

TEST_F(TtyPortTest, AModemWaitOnAPortWithoutModemLinesFailsAtOnce)
{
    TtyPort port;
    ASSERT_EQ(port.Open(Path(pair_.A())), 0);
    ModemState state;
    EXPECT_LT(port.ReadModemState(state), 0);
    auto wait = std::async(std::launch::async, [&] { return port.WaitModemChange(state); });
    if (wait.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        port.InterruptModemWait();
        ADD_FAILURE() << "the wait blocked";
    }
    EXPECT_LT(wait.get(), 0);
}

TEST(TtyErrorText, NamesTheFailuresASerialPortMeets)
{
    const std::pair<int, const char*> rows[] = {
        {ENOENT, "设备不存在"},       {EBUSY, "设备已被占用"},     {EACCES, "没有访问设备的权限"},
        {EPERM, "没有访问设备的权限"}, {ENOTTY, "不是串口设备"},     {ENODEV, "设备已断开"},
        {ENXIO, "设备已断开"},         {EIO, "设备读写错误"},
    };
    for (const auto& [error, text] : rows)
        EXPECT_EQ(TtyErrorText(error), QString::fromUtf8(text)) << "errno " << error;
    EXPECT_EQ(TtyErrorText(EMFILE), QString::fromLocal8Bit(std::strerror(EMFILE))) << "others: the system's text";
}

}  // namespace
