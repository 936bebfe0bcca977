#include "send/period_timer.h"

PeriodTimer::Period PeriodTimer::ParsePeriod(const QString& text)
{
    bool ok = false;
    const int ms = text.trimmed().toInt(&ok, 10);
    return ok ? Period{ms, true} : Period{kDefaultPeriodMs, false};
}

PeriodTimer::PeriodTimer(DisplayTextSink& info, std::function<void(ChannelId)> press, QObject* parent)
    : QObject(parent), info_(info), press_(std::move(press))
{
    connect(&timer_, &QTimer::timeout, this, &PeriodTimer::Timer);
}

void PeriodTimer::SetInterval(int ms)
{
    interval_ = ms;
    Restart();
}

void PeriodTimer::SetEnabled(bool on)
{
    enabled_ = on;
    Restart();
}

void PeriodTimer::Restart()
{
    // A zero-interval QTimer would fire at every pass of the event loop; the
    // desktop timer it stands for does not fire at all.
    if (enabled_ && interval_ > 0)
        timer_.start(interval_);
    else
        timer_.stop();
}

bool PeriodTimer::Tick(int index)
{
    if (index >= COMA && index <= LPT) {
        press_(static_cast<ChannelId>(index));
        return true;
    }
    info_.ShowInfo(QStringLiteral("定时发送错误,通道号") + QString::number(index), kWindowText);
    SetEnabled(false);
    return false;
}
