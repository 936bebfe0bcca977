#pragma once

#include <QElapsedTimer>
#include <QTimer>

// A 5 ms timer on the event loop that keeps the longest time between two of
// its ticks: how long the window could not react to anything. It keeps that
// time twice: as it passed on the clock, and as the processor time the
// window's own thread spent in it. On a machine busy with other work the
// clock's figure also holds the time the thread waited for a processor; the
// thread's own figure is the freeze the program itself causes.
class EventLoopGapMeter
{
public:
    static constexpr int kTickMs = 5;

    EventLoopGapMeter();

    // Forgets the gaps so far and measures from now.
    void Restart();
    double WorstGapMs() const;
    double WorstBusyMs() const;

private:
    void Tick();

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0;
    qint64 worstNs_ = 0;
    qint64 lastBusyNs_ = 0;
    qint64 worstBusyNs_ = 0;
};
