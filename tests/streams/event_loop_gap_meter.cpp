#include "tests/streams/event_loop_gap_meter.h"

#include <algorithm>
#include <ctime>

namespace {

qint64 ThreadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

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
    lastBusyNs_ = ThreadCpuNs();
    worstBusyNs_ = 0;
}

double EventLoopGapMeter::WorstGapMs() const
{
    return std::max(worstNs_, clock_.nsecsElapsed() - lastNs_) / 1e6;
}

double EventLoopGapMeter::WorstBusyMs() const
{
    return std::max(worstBusyNs_, ThreadCpuNs() - lastBusyNs_) / 1e6;
}

void EventLoopGapMeter::Tick()
{
    const qint64 now = clock_.nsecsElapsed();
    worstNs_ = std::max(worstNs_, now - lastNs_);
    lastNs_ = now;
    const qint64 busy = ThreadCpuNs();
    worstBusyNs_ = std::max(worstBusyNs_, busy - lastBusyNs_);
    lastBusyNs_ = busy;
}
