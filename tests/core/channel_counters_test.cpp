#include "core/channel_counters.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

TEST(ChannelCounters, TimesAreDaysSinceTheClassicEpoch)
{
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    const double expected = epoch.msecsTo(QDateTime::currentDateTime()) / 86400000.0;
    EXPECT_NEAR(NowAsDays(), expected, 1.0 / 86400);  // within a second

    CONN_INFO record;
    record.AddReceived(5);
    EXPECT_NEAR(record.lastTime, expected, 1.0 / 86400);
    EXPECT_EQ(record.rxBytes, 5);
    EXPECT_EQ(record.rxFrames, 1);
}

}  // namespace
