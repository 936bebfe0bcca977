#include "io/tnr_timer.h"

TnrTimer::TnrTimer(QObject* parent) : QObject(parent)
{
    connect(&timer_, &QTimer::timeout, this, &TnrTimer::Tick);
}

void TnrTimer::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    Rearm();
}

void TnrTimer::SetInterval(int milliseconds)
{
    interval_ = milliseconds;
    Rearm();
}

void TnrTimer::SetOnTimer(Handler handler)
{
    onTimer_ = std::move(handler);
    Rearm();
}

void TnrTimer::Rearm()
{
    timer_.stop();
    if (interval_ != 0 && enabled_ && onTimer_)
        timer_.start(interval_);
}

void TnrTimer::Tick()
{
    if (!enabled_ || !onTimer_)
        return;
    try {
        onTimer_(this);
    } catch (...) {
    }
}
