#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <functional>

// Measures, from its construction on, the longest time the event loop went
// without running a 5 ms timer: how long the window would not have answered.
class StallMeter
{
public:
    StallMeter()
    {
        clock_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { longestMs_ = std::max(longestMs_, clock_.restart()); });
        timer_.start(5);
    }

    qint64 LongestMs() const { return std::max(longestMs_, clock_.elapsed()); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longestMs_ = 0;
};

// Runs the event loop, as the program's does, until `condition` holds or
// `timeoutMs` has passed. Unlike a test's usual wait it never sleeps, so the
// gaps it leaves between events are the program's own.
inline bool RunLoopUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}
