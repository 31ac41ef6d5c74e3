#pragma once
// Helpers of the reader-session tests: one QCoreApplication for the test program, and waiting for
// events with a time-out that only guards failures.

#include "tests/orvreader/OrvTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <sys/file.h>

#include <functional>

namespace OrvTest {

inline void EnsureApp() {
    if (!QCoreApplication::instance()) {
        static int s_nArgc = 1;
        static char s_sName[] = "reader_tests";
        static char* s_aArgv[] = {s_sName, nullptr};
        new QCoreApplication(s_nArgc, s_aArgv);
    }
}

// Runs the event loop until APred holds; false when the guard time ran out first.
inline bool WaitUntil(const std::function<bool()>& APred) {
    QDeadlineTimer lGuard(Patience.count());
    QTimer lTick; // wakes the loop now and then so the guard is looked at
    lTick.start(100);
    while (!APred()) {
        if (lGuard.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Whether someone holds the port-opening lock of this user.
inline bool PortMutexHeld(const std::string& ARuntime) {
    int h = open((ARuntime + "/tarvo/OrvPortMutex").c_str(), O_RDWR | O_CLOEXEC);
    if (h < 0)
        return false;
    bool lHeld = flock(h, LOCK_EX | LOCK_NB) != 0;
    close(h);
    return lHeld;
}

} // namespace OrvTest
