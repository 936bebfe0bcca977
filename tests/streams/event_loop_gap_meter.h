#pragma once

#include <QElapsedTimer>
#include <QTimer>

// A 5 ms timer on the event loop that keeps the longest time between two of
// its ticks: how long the window could not react to anything.
class EventLoopGapMeter
{
public:
    static constexpr int kTickMs = 5;

    EventLoopGapMeter();

    // Forgets the gaps so far and measures from now.
    void Restart();
    double WorstGapMs() const;

private:
    void Tick();

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0;
    qint64 worstNs_ = 0;
};
