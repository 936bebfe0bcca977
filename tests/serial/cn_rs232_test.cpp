#include "serial/cn_rs232.h"
#include "serial/cn_rs232_posix_device.h"
#include "tests/serial/raw_end.h"
#include "tests/serial/rs232_recording_device.h"
#include "tests/serial/socat_pair.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Collects what the component hands to the user-interface thread.
struct Received
{
    explicit Received(TCnRS232& comm)
    {
        QObject::connect(&comm, &TCnRS232::OnReceiveData, [this](const QByteArray& chunk) { chunks.push_back(chunk); });
        QObject::connect(&comm, &TCnRS232::OnCommFailure, [this](const QString& reason) { failures << reason; });
    }

    QByteArray All() const
    {
        QByteArray all;
        for (const QByteArray& chunk : chunks)
            all += chunk;
        return all;
    }
    std::vector<qsizetype> Sizes() const
    {
        std::vector<qsizetype> sizes;
        for (const QByteArray& chunk : chunks)
            sizes.push_back(chunk.size());
        return sizes;
    }

    std::vector<QByteArray> chunks;
    QStringList failures;
};

std::unique_ptr<TCnRS232> PortB(std::unique_ptr<CnRS232Device> device, const QString& path)
{
    auto comm = std::make_unique<TCnRS232>(std::move(device));
    const CnRS232Settings factory = PortBFactorySettings();
    comm->CommName = path;
    comm->SetCommConfig(factory.CommConfig);
    comm->SetTimeouts(factory.Timeouts);
    return comm;
}

QString StartCommError(TCnRS232& comm)
{
    try {
        comm.StartComm();
    } catch (const CnRS232Error& error) {
        return error.Text();
    }
    return QString();
}

// ---- Kernel calls, seen through a recording device ----

class CnRS232CallsTest : public testing::Test
{
protected:
    CnRS232CallsTest() : device_(new Rs232RecordingDevice), comm_(PortB(std::unique_ptr<CnRS232Device>(device_), "/dev/ttyUSB7")) {}

    Rs232RecordingDevice* device_;
    std::unique_ptr<TCnRS232> comm_;
};

TEST_F(CnRS232CallsTest, OpenTakesTheDeviceThenSetsLineSettingsAndModemLines)
{
    comm_->StartComm();
    EXPECT_TRUE(comm_->GetConnected());
    const QStringList calls = device_->Calls();
    const QStringList expectedStart = {
        "Open /dev/ttyUSB7", "Purge input output", "GetAttributes", "SetAttributes 19200",
        "SetModemLines DTR RTS off", "OpenStopSignal",
    };
    ASSERT_GE(calls.size(), expectedStart.size());
    EXPECT_EQ(calls.mid(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(device_->Attributes().cflag & CSIZE, quint32(CS8));
}

TEST_F(CnRS232CallsTest, RefusalsLeaveThePortClosed)
{
    struct Row
    {
        const char* behaviour;
        int openError;
        int stopSignalError;
        const char* expected;
    };
    const Row rows[] = {
        {"missing device", -ENOENT, 0, "串口打开失败"},
        {"device held by another open", -EBUSY, 0, "串口打开失败"},
        {"no permission", -EACCES, 0, "串口打开失败"},
        {"not a serial device", -ENOTTY, 0, "指定的设备不是一个有效的通讯端口"},
        {"stop signal cannot be made", 0, -EMFILE, "创建事件失败"},
    };
    for (const Row& row : rows) {
        device_->openError = row.openError;
        device_->stopSignalError = row.stopSignalError;
        EXPECT_EQ(StartCommError(*comm_), QString::fromUtf8(row.expected)) << row.behaviour;
        EXPECT_FALSE(comm_->GetConnected()) << row.behaviour;
        EXPECT_EQ(device_->Calls().contains(QStringLiteral("Close")), row.openError == 0) << row.behaviour;
        device_->ClearCalls();
    }
}

TEST_F(CnRS232CallsTest, OpeningAnOpenPortIsRefused)
{
    comm_->StartComm();
    EXPECT_EQ(StartCommError(*comm_), QStringLiteral("该串口已经打开了"));
    EXPECT_TRUE(comm_->GetConnected());
}

TEST_F(CnRS232CallsTest, NewSettingsReachAnOpenPortAtOnceAndAClosedOneAtOpen)
{
    TCnRS232Config config = comm_->CommConfig();
    config.BaudRate = 115200;
    config.DtrControl = CnRS232::TDtrControl::DtrEnable;
    comm_->SetCommConfig(config);
    EXPECT_TRUE(device_->Calls().isEmpty());

    comm_->StartComm();
    config.BaudRate = 9600;
    device_->ClearCalls();
    comm_->SetCommConfig(config);
    EXPECT_EQ(device_->Calls(), (QStringList{"GetAttributes", "SetAttributes 9600", "SetModemLines DTR on",
                                              "SetModemLines RTS off"}));
}

TEST_F(CnRS232CallsTest, TriggeredRtsIsRaisedOnlyWhileSending)
{
    TCnRS232Config config = comm_->CommConfig();
    config.RtsControl = CnRS232::TRtsControl::RtsTransmissionAvailable;
    comm_->SetCommConfig(config);
    comm_->StartComm();
    device_->ClearCalls();

    ASSERT_TRUE(comm_->WriteCommData("abc", 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return device_->Calls().size() >= 4; }, 5000));
    EXPECT_EQ(device_->Calls(), (QStringList{"SetModemLines RTS on", "Write 3", "Drain", "SetModemLines RTS off"}));
}

TEST_F(CnRS232CallsTest, WritesNeedAnOpenPortAndAtLeastOneByte)
{
    EXPECT_FALSE(comm_->WriteCommData("abc", 3)) << "closed port";
    comm_->StartComm();
    EXPECT_FALSE(comm_->WriteCommData("abc", 0)) << "count 0";
    ASSERT_TRUE(comm_->WriteCommData("abc", 3));
    ASSERT_TRUE(comm_->WriteCommData("de", 2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return device_->Written().size() == 5; }, 5000));
    EXPECT_EQ(device_->Written(), QByteArray("abcde"));
}

TEST_F(CnRS232CallsTest, CloseStopsBothThreadsDropsQueuesAndReleasesTheDevice)
{
    comm_->StartComm();
    device_->ClearCalls();
    comm_->StopComm();
    EXPECT_FALSE(comm_->GetConnected());
    EXPECT_EQ(device_->Calls(), (QStringList{"RaiseStop", "Purge input", "Purge output", "Close"}));
    comm_->StopComm();
    EXPECT_EQ(device_->Calls().size(), 4) << "closing a closed port does nothing";
}

TEST_F(CnRS232CallsTest, AFailedWriteIsReportedOnceAndLaterWritesAreRefused)
{
    Received received(*comm_);
    device_->writeResult = -EIO;
    comm_->StartComm();
    ASSERT_TRUE(comm_->WriteCommData("abc", 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.failures.isEmpty(); }, 5000));
    EXPECT_EQ(received.failures, QStringList{TtyErrorText(EIO)});
    EXPECT_FALSE(comm_->WriteCommData("abc", 3));
    EXPECT_TRUE(comm_->GetConnected()) << "the port stays open until the user closes it";
}

// ---- Real pseudo-terminal pairs ----

class CnRS232PtyTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pair_.Ready()) << "socat did not make the pseudo-terminal pair";
        comm_ = PortB(std::make_unique<CnRS232PosixDevice>(), pair_.A());
    }

    SocatPair pair_;
    std::unique_ptr<TCnRS232> comm_;
};

TEST_F(CnRS232PtyTest, BurstsBecomeChunksByTheReadTimeouts)
{
    struct Row
    {
        const char* behaviour;
        std::vector<QByteArray> bursts;
        int gapMs;  // between the bytes of a burst
        int pauseMs;  // between bursts
        std::vector<qsizetype> expected;
    };
    QByteArray big(5000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i % 251);
    const Row rows[] = {
        {"10 bytes with small gaps are one chunk", {"0123456789"}, 20, 0, {10}},
        {"two bursts 200 ms apart are two chunks", {"first", "second"}, 0, 200, {5, 6}},
        {"5000 bytes without pause are 2048, 2048 and 904", {big}, 0, 0, {2048, 2048, 904}},
    };
    for (const Row& row : rows) {
        Received received(*comm_);
        comm_->StartComm();
        RawEnd peer(pair_.B());
        ASSERT_TRUE(peer.IsOpen());
        QByteArray all;
        for (const QByteArray& burst : row.bursts) {
            if (!all.isEmpty())
                QThread::msleep(row.pauseMs);
            if (row.gapMs == 0) {
                ASSERT_TRUE(peer.WriteAll(burst));
            } else {
                for (char byte : burst) {
                    ASSERT_TRUE(peer.WriteAll(QByteArray(1, byte)));
                    QThread::msleep(row.gapMs);
                }
            }
            all += burst;
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return received.All().size() >= all.size(); }, 5000)) << row.behaviour;
        QTest::qWait(300);  // a split that should not happen would show by now
        EXPECT_EQ(received.Sizes(), row.expected) << row.behaviour;
        EXPECT_EQ(received.All(), all) << row.behaviour;
        comm_->StopComm();
        comm_->disconnect();
    }
}

TEST_F(CnRS232PtyTest, WritesArriveWholeAndInOrder)
{
    comm_->StartComm();
    RawEnd peer(pair_.B());
    QByteArray data;
    for (int i = 0; i < 200000; ++i)
        data.append(static_cast<char>((i * 31) >> 3));
    for (qsizetype at = 0; at < data.size(); at += 65535) {
        const auto count = static_cast<quint16>(std::min<qsizetype>(65535, data.size() - at));
        ASSERT_TRUE(comm_->WriteCommData(data.constData() + at, count));
    }
    EXPECT_EQ(peer.ReadExactly(data.size(), 10000), data);
}

TEST_F(CnRS232PtyTest, InputWaitingBeforeTheOpenIsDiscarded)
{
    RawEnd peer(pair_.B());
    ASSERT_TRUE(peer.WriteAll("stale"));
    QThread::msleep(300);  // socat moves it into the port's input queue
    Received received(*comm_);
    comm_->StartComm();
    ASSERT_TRUE(peer.WriteAll("fresh"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.All().size() >= 5; }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(received.All(), QByteArray("fresh"));
}

TEST_F(CnRS232PtyTest, APortOpenedByOneComponentCannotBeOpenedAgain)
{
    comm_->StartComm();
    auto second = PortB(std::make_unique<CnRS232PosixDevice>(), pair_.A());
    EXPECT_EQ(StartCommError(*second), QStringLiteral("串口打开失败"));
    EXPECT_FALSE(second->GetConnected());
    CnRS232PosixDevice probe;
    EXPECT_EQ(probe.Probe(QFile::encodeName(pair_.A())), -EBUSY);

    comm_->StopComm();
    EXPECT_EQ(probe.Probe(QFile::encodeName(pair_.A())), 0);
    EXPECT_EQ(StartCommError(*second), QString());
    EXPECT_TRUE(second->GetConnected());
}

TEST_F(CnRS232PtyTest, PathsThatAreNoSerialPortAreRefused)
{
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    struct Row
    {
        const char* behaviour;
        QString path;
        const char* expected;
    };
    const Row rows[] = {
        {"missing device", dir.filePath(QStringLiteral("ttyUSB99")), "串口打开失败"},
        {"plain file", plain.fileName(), "指定的设备不是一个有效的通讯端口"},
        {"character device that is no terminal", QStringLiteral("/dev/null"), "指定的设备不是一个有效的通讯端口"},
    };
    for (const Row& row : rows) {
        comm_->CommName = row.path;
        EXPECT_EQ(StartCommError(*comm_), QString::fromUtf8(row.expected)) << row.behaviour;
        EXPECT_FALSE(comm_->GetConnected()) << row.behaviour;
    }
}

TEST_F(CnRS232PtyTest, LineSettingsOfTheDeviceAreRestoredAtClose)
{
    auto attributes = [&] {
        termios t{};
        const int fd = ::open(QFile::encodeName(pair_.A()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::tcgetattr(fd, &t);
        ::close(fd);
        return std::make_tuple(t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, cfgetospeed(&t));
    };
    const auto before = attributes();
    TCnRS232Config config = comm_->CommConfig();
    config.StopBits = CnRS232::TStopBits::_2;
    config.Parity = CnRS232::TParity::paEven;
    config.ByteSize = CnRS232::TByteSize::_7;
    comm_->SetCommConfig(config);
    comm_->StartComm();
    comm_->StopComm();
    EXPECT_EQ(attributes(), before);
}

TEST_F(CnRS232PtyTest, TheOtherEndClosingIsReportedOnceAfterTheDataBeforeIt)
{
    Received received(*comm_);
    comm_->StartComm();
    {
        RawEnd peer(pair_.B());
        ASSERT_TRUE(peer.WriteAll("last words"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return received.All().size() >= 10; }, 5000));
    }
    pair_.Kill();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.failures.isEmpty(); }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(received.All(), QByteArray("last words"));
    EXPECT_EQ(received.failures, QStringList{TtyErrorText(ENODEV)});
    EXPECT_TRUE(comm_->GetConnected());
    EXPECT_FALSE(comm_->WriteCommData("lost", 4)) << "a failed port takes no more writes";
    comm_->StopComm();
    EXPECT_FALSE(comm_->GetConnected());
}

}  // namespace
