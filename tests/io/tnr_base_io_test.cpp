#include "io/tnr_base_io.h"
#include "fake_component.h"
#include "tests/support/message_recorder.h"
#include "tests/support/recording_subscriber.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string>* g_calls = nullptr;

struct RecordingProcessor : TnrCustomDataProcessor
{
    TIgnoreTypes ignore = 0;
    TnrBaseIO* device = nullptr;
    void SetDevice(TnrBaseIO* d) override { device = d; }
    void DoProcessing(const char* buffer, quint32 length, TIgnoreTypes& ignoreOut) override
    {
        g_calls->push_back("processor:" + std::string(buffer, length));
        ignoreOut = ignore;
    }
    void DoAfterSendComplete(bool& handled) override { handled = true; }
};

struct RecordingTerminal : TnrTerminalLink
{
    TnrBaseIO* device = nullptr;
    void AttachDevice(TnrBaseIO* d) override { device = d; }
    void ReceiveChar(char c) override { g_calls->push_back(std::string("char:") + c); }
    void InsertText(QByteArrayView text) override { g_calls->push_back("text:" + text.toByteArray().toStdString()); }
};

class BaseIoTest : public testing::Test
{
protected:
    void SetUp() override { g_calls = &calls; }
    void TearDown() override { g_calls = nullptr; }
    std::vector<std::string> calls;
};

TEST_F(BaseIoTest, ActiveWritesThatChangeNothingDoNothing)
{
    FakeComponent component;
    int closeEvents = 0;
    int openEvents = 0;
    component.OnClose = [&](TnrBaseIO*) { ++closeEvents; };
    component.OnOpen = [&](TnrBaseIO*) { ++openEvents; };

    component.SetActive(false);
    EXPECT_EQ(component.opens + component.closes + closeEvents, 0);

    component.SetActive(true);
    component.SetActive(true);
    EXPECT_TRUE(component.Active());
    EXPECT_EQ(component.opens, 1);
    EXPECT_EQ(openEvents, 1);

    component.SetActive(false);
    component.SetActive(false);
    EXPECT_FALSE(component.Active());
    EXPECT_EQ(component.closes, 1);
    EXPECT_EQ(closeEvents, 1);
}

TEST_F(BaseIoTest, DeviceThatCannotOpenLeavesComponentClosed)
{
    FakeComponent component;
    component.openable = false;
    int openEvents = 0;
    component.OnOpen = [&](TnrBaseIO*) { ++openEvents; };
    component.SetActive(true);
    EXPECT_FALSE(component.Active());
    EXPECT_EQ(openEvents, 0);
}

TEST_F(BaseIoTest, AddDeviceSortedKeepsAscendingNumbersAndRefusesDuplicates)
{
    FakeComponent component;
    EXPECT_EQ(component.AddNumbered(3), 0);
    EXPECT_EQ(component.AddNumbered(1), 0);
    EXPECT_EQ(component.AddNumbered(2), 1);
    EXPECT_EQ(component.Texts(), (QStringList{"Dev1", "Dev2", "Dev3"}));

    EXPECT_EQ(component.AddNumbered(2), -1);
    EXPECT_EQ(component.Texts(), (QStringList{"Dev1", "Dev2", "Dev3"}));
    EXPECT_EQ(component.AddNumbered(9), 3);
    EXPECT_EQ(component.GetDevice(3)->owner, &component);
}

TEST_F(BaseIoTest, LookupsOutsideTheListGiveNothing)
{
    FakeComponent component;
    component.AddNumbered(5);
    component.AddNumbered(7);
    EXPECT_EQ(component.GetDevice(-1), nullptr);
    EXPECT_EQ(component.GetDevice(component.GetDeviceCount()), nullptr);
    EXPECT_EQ(component.IndexOfDeviceData(7), 1);
    EXPECT_EQ(component.IndexOfDeviceData(6), -1);
    EXPECT_EQ(component.IndexOfDevice(component.GetDevice(1)), 1);
    component.DeviceListClear();
    EXPECT_EQ(component.GetDeviceCount(), 0);
}

struct DispatchCase
{
    const char* behaviour;
    bool processor;
    TIgnoreTypes ignore;
    bool terminal;
    QByteArray block;
    std::vector<std::string> expected;
};

class DispatchTest : public BaseIoTest, public testing::WithParamInterface<DispatchCase>
{
};

TEST_P(DispatchTest, ReceivedBlockGoesToProcessorThenTerminalThenHandler)
{
    const DispatchCase& row = GetParam();
    FakeComponent component;
    RecordingProcessor processor;
    RecordingTerminal terminal;
    processor.ignore = row.ignore;
    if (row.processor)
        component.SetDataProcessor(&processor);
    if (row.terminal) {
        component.SetTerminal(&terminal);
        component.SetTerminalUsage(tuBoth);
    }
    component.OnAfterReceive = [](TnrBaseIO*, const char* buffer, quint32 length) {
        g_calls->push_back("handler:" + std::string(buffer, length));
    };

    component.DoInputData(row.block.constData(), static_cast<quint32>(row.block.size()));
    EXPECT_EQ(calls, row.expected);
    component.SetDataProcessor(nullptr);
    component.SetTerminal(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, DispatchTest,
    testing::Values(
        DispatchCase{"all three in order", true, 0, true, "ab", {"processor:ab", "text:ab", "handler:ab"}},
        DispatchCase{"itTerminal keeps bytes from the terminal only", true, itTerminal, true, "ab",
                     {"processor:ab", "handler:ab"}},
        DispatchCase{"itAfterReceive does not stop the handler", true, itAfterReceive, false, "ab",
                     {"processor:ab", "handler:ab"}},
        DispatchCase{"one byte reaches the terminal as a character", false, 0, true, "\r", {"char:\r", "handler:\r"}},
        DispatchCase{"zero bytes split the terminal text and are not shown", false, 0, true,
                     QByteArray("ab\0\0cd\0", 7), {"text:ab", "text:cd", std::string("handler:ab\0\0cd\0", 15)}}),
    [](const testing::TestParamInfo<DispatchCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(BaseIoTest, TerminalUsageDecidesWhatFlowsEachWay)
{
    struct Row
    {
        TTerminalUsage usage;
        bool echo;
        bool received;     // received bytes reach the terminal
        QByteArray sent;   // what a typed 'x' sends
        bool shown;        // the terminal shows the typed 'x' itself
    };
    const Row rows[] = {{tuNone, false, false, "", true},
                        {tuSend, false, false, "x", false},
                        {tuSend, true, false, "x", true},
                        {tuReceive, false, true, "", true},
                        {tuBoth, false, true, "x", false},
                        {tuBoth, true, true, "x", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "usage " << row.usage << " echo " << row.echo);
        calls.clear();
        FakeComponent component;
        RecordingTerminal terminal;
        component.SetTerminal(&terminal);
        EXPECT_EQ(terminal.device, &component);
        component.SetTerminalUsage(row.usage);
        component.SetTerminalEcho(row.echo);
        component.DoInputData("hi", 2);
        EXPECT_EQ(!calls.empty(), row.received);
        EXPECT_EQ(component.TerminalKeyPressed('x'), row.shown);
        EXPECT_EQ(component.sent, row.sent);
        component.SetTerminal(nullptr);
        EXPECT_EQ(terminal.device, nullptr);
    }
}

TEST_F(BaseIoTest, DataProcessorIsAttachedDetachedAndAnswersOutputDrained)
{
    FakeComponent component;
    RecordingProcessor first;
    RecordingProcessor second;
    EXPECT_FALSE(component.DoOutputData());
    component.SetDataProcessor(&first);
    EXPECT_EQ(first.device, &component);
    EXPECT_TRUE(component.DoOutputData());
    EXPECT_TRUE(component.IsReadNeeded());
    component.SetDataProcessor(&second);
    EXPECT_EQ(first.device, nullptr);
    EXPECT_EQ(second.device, &component);
    component.SetDataProcessor(nullptr);
    EXPECT_EQ(second.device, nullptr);
    EXPECT_FALSE(component.IsReadNeeded());
}

TEST_F(BaseIoTest, SubscribersAreToldInOrderAndListedOnce)
{
    FakeComponent component;
    RecordingSubscriber a;
    RecordingSubscriber b;
    EXPECT_EQ(component.NotifyAdd(&a), 0);
    EXPECT_EQ(component.NotifyAdd(&b), 1);
    EXPECT_EQ(component.NotifyAdd(&a), 0);
    component.Update();
    component.SetDeviceIndex(0);
    component.NotifyDelete(&a);
    component.DoNotify(kNotifyClosed);
    EXPECT_EQ(a.codes, (std::vector<int>{3, 3}));
    EXPECT_EQ(b.codes, (std::vector<int>{3, 3, 1}));
}

TEST_F(BaseIoTest, FatalErrorRaisesUnlessCancelledOrShownOnly)
{
    FakeComponent component;
    EXPECT_THROW(component.DoFatalErrors(1, 0, QStringLiteral("boom"), false), std::runtime_error);

    MessageRecorder boxes;
    EXPECT_NO_THROW(component.DoFatalErrors(1, 0, QStringLiteral("shown"), true));
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("shown")});

    component.OnFatalError = [](TnrBaseIO*, quint32, quint32, const QString&, bool& raise) { raise = false; };
    EXPECT_NO_THROW(component.DoFatalErrors(1, 0, QStringLiteral("cancelled"), false));
    EXPECT_NO_THROW(component.DoFatalErrors(1, 0, QStringLiteral("cancelled"), true));
    EXPECT_EQ(boxes.messages.size(), 1);
}

TEST_F(BaseIoTest, ReconnectTimerOnlyStopsItself)
{
    FakeComponent component;
    EXPECT_FALSE(component.TryConnectRunning());
    component.TryConnectRestart();
    EXPECT_TRUE(component.TryConnectRunning());
    component.TryConnectHandle(nullptr);
    EXPECT_FALSE(component.TryConnectRunning());
    EXPECT_FALSE(component.Active());
}

}  // namespace
