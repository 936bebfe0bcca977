#include "tests/streams/run_event_loop.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

bool RunEventLoopUntil(const std::function<bool()>& condition, int timeoutMs, int checkMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    const QDeadlineTimer deadline(timeoutMs);
    QTimer check;
    check.callOnTimeout([&] {
        if (condition() || deadline.hasExpired())
            loop.quit();
    });
    check.start(checkMs);
    loop.exec();
    return condition();
}
