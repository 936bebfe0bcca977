#include "core/queue_water_marks.h"

#include <gtest/gtest.h>

namespace {

TEST(QueueWaterMarksTest, CongestedAboveTheHighMarkUntilBelowTheLowMark)
{
    const struct
    {
        const char* behaviour;
        qint64 queued;
        bool congested;
        bool drained;
    } steps[] = {
        {"an empty queue is not congested", 0, false, false},
        {"up to the high mark is not congested", 100, false, false},
        {"above the high mark is congested", 101, true, false},
        {"falling between the marks stays congested", 50, true, false},
        {"at the low mark stays congested", 10, true, false},
        {"below the low mark drains once", 9, false, true},
        {"between the marks after draining is not congested", 50, false, false},
        {"above the high mark again is congested again", 500, true, false},
        {"a queue dropped at once drains", 0, false, true},
        {"staying empty drains no more", 0, false, false},
    };
    QueueWaterMarks marks(100, 10);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.behaviour);
        EXPECT_EQ(marks.Update(step.queued), step.drained);
        EXPECT_EQ(marks.Congested(), step.congested);
    }
}

}  // namespace
