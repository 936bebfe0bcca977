#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

// Processes events until `condition` holds or `timeoutMs` has passed.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
