#pragma once
// The tests' one way to wait for a condition: the thread's events keep
// running (posted events, timers, deferred deletes) while it waits.
#include <QCoreApplication>
#include <QtCore/qtestsupport_core.h>

#include <utility>

namespace qmd::test {

// Whether `condition` came to hold within `limitMs`. The limit is generous:
// it only bounds a test that fails.
template <typename Condition>
bool WaitUntil(Condition&& condition, int limitMs = 20000)
{
    return QTest::qWaitFor(std::forward<Condition>(condition), limitMs);
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
