#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// A timer whose every change re-arms it: it runs only while enabled, with a
// non-zero interval and a handler. Ticks arrive on the creating thread;
// exceptions from the handler are swallowed.
class TnrTimer : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(TnrTimer* sender)>;

    explicit TnrTimer(QObject* parent = nullptr);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    void SetOnTimer(Handler handler);

private:
    void Rearm();
    void Tick();

    QTimer timer_;
    bool enabled_ = true;
    int interval_ = 1000;
    Handler onTimer_;
};
