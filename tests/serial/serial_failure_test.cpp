#include "core/indicator_shape.h"
#include "io/tnr_device_box.h"
#include "serial/serial_a_channel.h"
#include "serial/serial_a_page.h"
#include "serial/serial_b_channel.h"
#include "serial/serial_b_page.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_receive_sink.h"
#include "tests/support/scratch_working_directory.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

enum class Side { kA, kB };

// What a page shows of its port's state.
struct Look
{
    QColor lamp;
    bool listEnabled;
    bool openEnabled;
    bool closeEnabled;

    bool operator==(const Look&) const = default;
};

const Look kClosedLook{IndicatorShape::kClosed, true, true, false};
const Look kFailedLook{IndicatorShape::kFailed, false, false, true};

std::ostream& operator<<(std::ostream& out, const Look& look)
{
    return out << look.lamp.name().toStdString() << " list " << look.listEnabled << " open " << look.openEnabled
               << " close " << look.closeEnabled;
}

// Both serial pages on their channels, on an empty machine and in an empty
// working folder, with a socat pair to open.
struct Harness
{
    Harness()
    {
        TnrComm::SetDefaultScanRoots({empty.path(), empty.path(), empty.path()});
        channelA = std::make_unique<SerialAChannel>(sink);
        pageA = std::make_unique<SerialAPage>(*channelA);
        channelB = std::make_unique<SerialBChannel>(sink);
        pageB = std::make_unique<SerialBPage>(*channelB);
    }
    ~Harness()
    {
        if (holder >= 0)
            ::close(holder);
        pageB.reset();
        channelB.reset();
        pageA.reset();
        channelA.reset();
    }

    QString Gone() const { return empty.filePath(QStringLiteral("ttyUSB42")); }
    // "{A}" is the pair's end A, "{gone}" a device that does not exist.
    QString Expand(QString text) const
    {
        return text.replace(QStringLiteral("{A}"), pair.A()).replace(QStringLiteral("{gone}"), Gone());
    }

    void PickA(const QString& path)
    {
        pageA->SetPathPrompt([path] { return path; });
        pageA->nrDeviceBox1->Pick(pageA->nrDeviceBox1->count() - 1);
    }
    void OpenA(const QString& path)
    {
        PickA(path);
        pageA->btnOpenCom->click();
    }
    void OpenB(const QString& path)
    {
        pageB->cbb2_COM->setEditText(path);
        pageB->btn2OpenCom->click();
    }

    Channel& ChannelOf(Side side) const
    {
        return side == Side::kA ? static_cast<Channel&>(*channelA) : static_cast<Channel&>(*channelB);
    }
    Look LookOf(Side side) const
    {
        if (side == Side::kA)
            return {pageA->ShapeCom1->BrushColor(), pageA->cbb_COM->isEnabled(), pageA->btnOpenCom->isEnabled(),
                    pageA->btnCloseCom->isEnabled()};
        return {pageB->ShapeCom2->BrushColor(), pageB->cbb2_COM->isEnabled(), pageB->btn2OpenCom->isEnabled(),
                pageB->btn2CloseCom->isEnabled()};
    }
    void ClickClose(Side side) const { (side == Side::kA ? pageA->btnCloseCom : pageB->btn2CloseCom)->click(); }

    QTemporaryDir empty;
    ScratchWorkingDirectory workingDirectory;
    SocatPair pair;
    MessageRecorder boxes;
    RecordingReceiveSink sink;
    int holder = -1;  // another program's open of the device
    std::unique_ptr<SerialAChannel> channelA;
    std::unique_ptr<SerialAPage> pageA;
    std::unique_ptr<SerialBChannel> channelB;
    std::unique_ptr<SerialBPage> pageB;
};

TEST(SerialFailureTest, EachFailureShowsItsReasonRefusesSendsAndShowsTheTrueState)
{
    struct Row
    {
        const char* behaviour;
        Side side;
        std::function<void(Harness&)> fault;
        QStringList lines;  // the display lines it gives
        QStringList boxes;  // the message boxes it gives
        QString sendFailure;  // the line a send then shows instead of being sent
        Look look;
    };
    const Row rows[] = {
        {"port A: the device is removed while open", Side::kA,
         [](Harness& h) {
             h.OpenA(h.pair.A());
             ASSERT_TRUE(h.channelA->IsOpen());
             h.pair.Kill();
         },
         {"串口A {A} 通讯中断: 设备已断开"}, {}, "串口A {A} 发送失败: 设备已断开", kClosedLook},
        {"port A: never opened", Side::kA, [](Harness& h) { h.PickA(h.pair.A()); }, {}, {},
         "串口A {A} 发送失败: 串口未打开", kClosedLook},
        {"port A: the device is missing", Side::kA, [](Harness& h) { h.OpenA(h.Gone()); }, {}, {"串口打开错误!"},
         "串口A {gone} 发送失败: 串口未打开", kClosedLook},
        {"port B: the device is removed while open", Side::kB,
         [](Harness& h) {
             h.OpenB(h.pair.A());
             ASSERT_TRUE(h.channelB->IsOpen());
             h.pair.Kill();
         },
         {"串口B {A} 通讯中断: 设备已断开，请关闭串口"}, {}, "串口B {A} 发送失败: 设备已断开", kFailedLook},
        {"port B: never opened", Side::kB, [](Harness&) {}, {}, {}, "串口B /dev/ttyS0 发送失败: 串口未打开",
         kClosedLook},
        {"port B: reopened after its device has gone", Side::kB,
         [](Harness& h) {
             h.OpenB(h.pair.A());
             ASSERT_TRUE(h.channelB->IsOpen());
             h.pageB->btn2CloseCom->click();
             h.pair.Kill();
             QFile::remove(h.pair.A());
             h.pageB->btn2OpenCom->click();
         },
         {}, {"串口B {A} 打开失败: 设备不存在"}, "串口B {A} 发送失败: 串口未打开", kClosedLook},
        {"port B: the device is held by another program", Side::kB,
         [](Harness& h) {
             h.holder = ::open(QFile::encodeName(h.pair.A()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
             ASSERT_EQ(::flock(h.holder, LOCK_EX | LOCK_NB), 0);
             h.OpenB(h.pair.A());
         },
         {}, {"串口打开异常，请检查是否有其他程序打开此串口！"}, "串口B {A} 发送失败: 串口未打开", kClosedLook},
    };
    for (const Row& row : rows) {
        Harness h;
        ASSERT_TRUE(h.pair.Ready()) << "socat did not make the pseudo-terminal pair";
        row.fault(h);
        QStringList lines, boxes;
        for (const QString& line : row.lines)
            lines << h.Expand(line);
        for (const QString& box : row.boxes)
            boxes << h.Expand(box);
        WaitUntil([&] { return h.sink.lines.size() >= size_t(lines.size()); });
        WaitUntil([] { return false; }, 300);  // a second line that must not come would show by now
        EXPECT_EQ(h.sink.Texts(), lines) << row.behaviour;
        EXPECT_EQ(h.boxes.messages, boxes) << row.behaviour;

        const SendTarget::WriteResult result = h.ChannelOf(row.side).Write("lost");
        EXPECT_FALSE(result.Sent()) << row.behaviour;
        EXPECT_FALSE(result.refused) << row.behaviour << ": a line, not a message box";
        EXPECT_EQ(result.count, 0) << row.behaviour;
        EXPECT_EQ(result.failure, h.Expand(row.sendFailure)) << row.behaviour;
        EXPECT_EQ(h.LookOf(row.side), row.look) << row.behaviour;

        if (row.look.closeEnabled) {
            h.ClickClose(row.side);
            EXPECT_EQ(h.LookOf(row.side), kClosedLook) << row.behaviour << ", closed by the user";
            EXPECT_TRUE(h.ChannelOf(row.side).Write("lost").failure.endsWith(QStringLiteral(" 发送失败: 串口未打开")))
                << row.behaviour << ", closed by the user";
        }
    }
}

}  // namespace
