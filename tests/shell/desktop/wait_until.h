#pragma once
// Runs the event loop until `condition` holds or `limitMs` has passed.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace qmd::test {

template <typename Condition>
bool WaitUntil(Condition condition, int limitMs = 15000)
{
    const QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        QThread::msleep(2);
    }
    return true;
}

// Lets queued work (posted events, zero timers) run out.
inline void Settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents();
    }
}

}  // namespace qmd::test
