#pragma once

#include "core/channel_id.h"
#include "data/display_text_sink.h"

#include <QObject>
#include <QTimer>

#include <functional>

// The timer of "定时发送". At every tick the window asks it to press the send
// button of the channel chosen at that moment, so a tick sends exactly what a
// click on that page's "发送" would send then.
class PeriodTimer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultPeriodMs = 1000;

    // A period typed by the user: decimal digits with blanks around them.
    // Any other text gives kDefaultPeriodMs and `valid` false, and the edit
    // is then set to show the default.
    struct Period
    {
        int ms;
        bool valid;
    };
    static Period ParsePeriod(const QString& text);

    // `press` runs the click action of the send button of a channel, COMA to LPT.
    PeriodTimer(DisplayTextSink& info, std::function<void(ChannelId channel)> press, QObject* parent = nullptr);

    // An interval of 0 or less never ticks, though the timer stays enabled.
    void SetInterval(int ms);
    int Interval() const { return interval_; }
    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }
    bool IsTicking() const { return timer_.isActive(); }

    // The action of one tick for the item index of the channel combo: presses
    // that channel's send button. An index that names no channel (-1 when no
    // item is selected) shows "定时发送错误,通道号" with the index, switches
    // the timer off and returns false.
    bool Tick(int index);

signals:
    // Every period while enabled.
    void Timer();

private:
    void Restart();

    DisplayTextSink& info_;
    std::function<void(ChannelId)> press_;
    QTimer timer_;
    int interval_ = kDefaultPeriodMs;
    bool enabled_ = false;
};
