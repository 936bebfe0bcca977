#include "tests/streams/event_loop_gap_meter.h"

#include <algorithm>

EventLoopGapMeter::EventLoopGapMeter()
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickMs);
    timer_.callOnTimeout([this] { Tick(); });
    Restart();
    timer_.start();
}

void EventLoopGapMeter::Restart()
{
    clock_.start();
    lastNs_ = 0;
    worstNs_ = 0;
}

double EventLoopGapMeter::WorstGapMs() const
{
    return worstNs_ / 1e6;
}

void EventLoopGapMeter::Tick()
{
    const qint64 now = clock_.nsecsElapsed();
    worstNs_ = std::max(worstNs_, now - lastNs_);
    lastNs_ = now;
}
