#include "io/tnr_custom_data_processor.h"

#include "io/tnr_base_io.h"
#include "io/tnr_timer.h"
#include "tests/io/fake_component.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct RecordingLog : TnrLog
{
    std::vector<std::pair<TDetailLevel, QString>> lines;
    void AddLog(TDetailLevel level, const QString& text) override { lines.emplace_back(level, text); }
};

// A component that records what a processor sends through it.
struct SendingComponent : FakeComponent
{
    QByteArray data;
    QByteArray strings;
    void SendData(const char* buffer, quint32 length) override { data.append(buffer, length); }
    void SendString(const QByteArray& text) override { strings.append(text); }
};

// Records the chunks and completions that reach it, and the prefix it logs with.
struct Processor : TnrCustomDataProcessor
{
    std::vector<std::string> chunks;
    int completions = 0;
    explicit Processor(const QString& prefix = QString()) { SetLogPrefix(prefix); }
    void DoProcessing(const char* buffer, quint32 length, TIgnoreTypes& ignore) override
    {
        chunks.emplace_back(buffer, length);
        TnrCustomDataProcessor::DoProcessing(buffer, length, ignore);
    }
    void DoAfterSendComplete(bool&) override { ++completions; }
    using TnrCustomDataProcessor::Timer;
};

bool WaitFor(const std::function<bool()>& done, int limitMs = 2000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

TEST(TnrCustomDataProcessorTest, AttachedAsDataProcessorItSeesChunksAndMediumEvents)
{
    SendingComponent device;
    Processor processor(QStringLiteral("nrTest: "));
    RecordingLog log;
    processor.SetLog(&log);

    device.SetDataProcessor(&processor);
    EXPECT_EQ(processor.Device(), &device);

    device.DoInputData("abc", 3);
    // A device tells its subscribers when its medium opens and closes.
    device.DoNotify(kNotifyOpened);
    device.DoNotify(kNotifyClosed);

    EXPECT_EQ(processor.chunks, (std::vector<std::string>{"abc"}));
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0].second, QStringLiteral("nrTest: Medium Opened"));
    EXPECT_EQ(log.lines[1].second, QStringLiteral("nrTest: Medium Closed"));
    EXPECT_EQ(log.lines[1].first, dlDebug);

    device.SetDataProcessor(nullptr);
    EXPECT_EQ(processor.Device(), nullptr);
    device.DoNotify(kNotifyOpened);
    EXPECT_EQ(log.lines.size(), 2u) << "a detached processor hears nothing";
}

TEST(TnrCustomDataProcessorTest, ChainedProcessorGetsTheSameChunksOnTheSameDevice)
{
    SendingComponent device;
    Processor first;
    Processor second;
    device.SetDataProcessor(&first);
    first.SetDataProcessor(&second);
    first.SetDataProcessor(&first);  // refused: no processor chains to itself

    EXPECT_EQ(first.DataProcessor(), &second);
    EXPECT_EQ(second.Device(), &device);
    first.DataReceive("xy", 2);
    EXPECT_EQ(second.chunks, (std::vector<std::string>{"xy"}));
}

TEST(TnrCustomDataProcessorTest, DestroyingEitherSideUndoesTheLink)
{
    auto device = std::make_unique<SendingComponent>();
    auto processor = std::make_unique<Processor>();
    device->SetDataProcessor(processor.get());
    processor.reset();
    EXPECT_EQ(device->DataProcessor(), nullptr);
    EXPECT_NO_THROW(device->DoInputData("a", 1));

    Processor survivor;
    device->SetDataProcessor(&survivor);
    device.reset();
    EXPECT_EQ(survivor.Device(), nullptr);
    EXPECT_NO_THROW(survivor.DoDataSend("a", 1));
}

TEST(TnrCustomDataProcessorTest, SendsGoThroughTheDeviceUnlessTheHandlerTakesThem)
{
    SendingComponent device;
    Processor processor;
    RecordingLog log;
    processor.SetLog(&log);
    device.SetDataProcessor(&processor);

    processor.DoDataSend("\x01\x03", 2);
    processor.DoDataSend("zz", 0);
    processor.DoDataSend(nullptr, 5);
    processor.DoStringSend(QByteArray());
    processor.DoStringSend("AT\r");
    EXPECT_EQ(device.data, QByteArray("\x01\x03", 2));
    EXPECT_EQ(device.strings, QByteArray("AT\r"));
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.front().second, QStringLiteral("DoDataSend: 2 bytes"));

    std::vector<bool> synchro;
    processor.OnDataSend = [&](TnrCustomDataProcessor*, const char*, quint32, bool flSynchro, bool& handled) {
        synchro.push_back(flSynchro);
        handled = true;
    };
    processor.Timer()->SetInterval(500);
    processor.DoDataSend("q", 1);
    processor.DoStringSend("r");
    EXPECT_EQ(device.data.size(), 2) << "a handled send writes nothing";
    EXPECT_EQ(device.strings, QByteArray("AT\r"));
    EXPECT_EQ(synchro, (std::vector<bool>{false, true}));
    EXPECT_TRUE(processor.Timer()->Enabled()) << "a handled data send restarts the reply timer";
}

TEST(TnrCustomDataProcessorTest, TimerRunsOutOnceAndReportsCompletion)
{
    Processor processor;
    processor.ResetTimeout(20);
    EXPECT_TRUE(processor.Timer()->Enabled());
    EXPECT_TRUE(WaitFor([&] { return processor.completions > 0; }));
    EXPECT_FALSE(processor.Timer()->Enabled());
    EXPECT_FALSE(WaitFor([&] { return processor.completions > 1; }, 100)) << "the timer stops at its first expiry";

    processor.ResetTimeout(20);
    processor.ResetTimeout(0);
    EXPECT_FALSE(processor.Timer()->Enabled());
}

TEST(TnrCustomDataProcessorTest, FatalErrorsRaiseUnlessCancelledAndAreLogged)
{
    Processor processor(QStringLiteral("p: "));
    RecordingLog log;
    processor.SetLog(&log);
    EXPECT_THROW(processor.DoFatalErrors(15, 1, QStringLiteral("boom")), std::runtime_error);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].second, QStringLiteral("p: Fatal Error: 15, 1, boom"));
    EXPECT_EQ(log.lines[0].first, dlSimple);

    processor.OnFatalError = [](TnrCustomDataProcessor*, quint32, quint32, const QString&, bool& raise) {
        raise = false;
    };
    EXPECT_NO_THROW(processor.DoFatalErrors(15, 1, QStringLiteral("cancelled")));
}

}  // namespace
