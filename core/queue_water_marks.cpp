#include "core/queue_water_marks.h"

bool QueueWaterMarks::Update(qint64 queued)
{
    if (!congested_) {
        congested_ = queued > high_;
        return false;
    }
    if (queued >= low_)
        return false;
    congested_ = false;
    return true;
}
