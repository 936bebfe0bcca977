#include "send/period_timer.h"

#include "tests/support/info_recorder.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PeriodTimerTest, PeriodTexts)
{
    const struct
    {
        const char* text;
        int ms;
        bool valid;
    } rows[] = {
        {" 250 ", 250, true},  {"250", 250, true},   {"\t40\t", 40, true},  {"0", 0, true},
        {"abc", 1000, false},  {"", 1000, false},    {"   ", 1000, false}, {"12ms", 1000, false},
        {"2 50", 1000, false}, {"1.5", 1000, false}, {"99999999999", 1000, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const PeriodTimer::Period period = PeriodTimer::ParsePeriod(QString::fromUtf8(row.text));
        EXPECT_EQ(period.ms, row.ms);
        EXPECT_EQ(period.valid, row.valid);
    }
}

class PeriodTimerTicks : public ::testing::Test
{
protected:
    // Runs the event loop for `ms` and counts the timer's ticks.
    int TicksWithin(int ms)
    {
        int ticks = 0;
        const QMetaObject::Connection counting = QObject::connect(&timer, &PeriodTimer::Timer, [&] { ++ticks; });
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(counting);
        return ticks;
    }

    InfoRecorder info;
    std::vector<ChannelId> pressed;
    PeriodTimer timer{info, [this](ChannelId channel) { pressed.push_back(channel); }};
};

TEST_F(PeriodTimerTicks, TicksOnlyWhileEnabledWithAPositiveInterval)
{
    const struct
    {
        const char* behaviour;
        int interval;
        bool enabled;
        bool ticks;
    } rows[] = {
        {"enabled with 20 ms ticks", 20, true, true},
        {"a period of 0 never ticks", 0, true, false},
        {"a negative period never ticks", -5, true, false},
        {"disabled never ticks", 20, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        timer.SetInterval(row.interval);
        timer.SetEnabled(row.enabled);
        EXPECT_EQ(timer.Enabled(), row.enabled);
        EXPECT_EQ(timer.IsTicking(), row.ticks);
        const int ticks = TicksWithin(150);
        if (row.ticks)
            EXPECT_GE(ticks, 2);
        else
            EXPECT_EQ(ticks, 0);
        timer.SetEnabled(false);
    }
}

TEST_F(PeriodTimerTicks, ChangingTheIntervalOfAnEnabledTimerTakesEffect)
{
    timer.SetEnabled(true);
    timer.SetInterval(0);
    EXPECT_FALSE(timer.IsTicking());
    timer.SetInterval(20);
    EXPECT_TRUE(timer.IsTicking());
    EXPECT_GE(TicksWithin(150), 2);
}

TEST_F(PeriodTimerTicks, TickPressesTheChosenChannelOrStopsOnAnInvalidOne)
{
    const struct
    {
        int index;
        bool presses;
        const char* line;
    } rows[] = {
        {0, true, nullptr},  {3, true, nullptr},  {5, true, nullptr},  {6, true, nullptr},
        {-1, false, "定时发送错误,通道号-1"}, {7, false, "定时发送错误,通道号7"},
        {127, false, "定时发送错误,通道号127"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.index);
        pressed.clear();
        info.lines.clear();
        timer.SetInterval(1000);
        timer.SetEnabled(true);

        EXPECT_EQ(timer.Tick(row.index), row.presses);

        if (row.presses) {
            EXPECT_EQ(pressed, std::vector<ChannelId>{static_cast<ChannelId>(row.index)});
            EXPECT_TRUE(info.lines.empty());
            EXPECT_TRUE(timer.IsTicking());
        } else {
            EXPECT_TRUE(pressed.empty());
            ASSERT_EQ(info.lines.size(), 1u);
            EXPECT_EQ(info.lines[0].text, QString::fromUtf8(row.line));
            EXPECT_EQ(info.lines[0].color, kWindowText);
            EXPECT_FALSE(timer.Enabled());
            EXPECT_FALSE(timer.IsTicking());
        }
    }
}

}  // namespace
