#include "base/uClock.h"

#include <QDateTime>

#include <chrono>
#include <mutex>

namespace {

// Worker threads read the clock too; a test replaces it from the main thread.
std::mutex g_oClockLock;
TNowFunc g_fnNow;
TTickFunc g_fnTick;

} // namespace

TDateTime Now() {
    TNowFunc lFunc;
    {
        std::lock_guard<std::mutex> lLock(g_oClockLock);
        lFunc = g_fnNow;
    }
    if (lFunc)
        return lFunc();
    return FromQDateTime(QDateTime::currentDateTime());
}

TDate Today() {
    return DateOf(Now());
}

std::uint32_t GetTickCount() {
    TTickFunc lFunc;
    {
        std::lock_guard<std::mutex> lLock(g_oClockLock);
        lFunc = g_fnTick;
    }
    if (lFunc)
        return lFunc();
    const auto lMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    // Only differences of ticks mean anything; they stay right across the wrap by unsigned arithmetic.
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(lMs.count()));
}

void SetNowFunc(TNowFunc AFunc) {
    std::lock_guard<std::mutex> lLock(g_oClockLock);
    g_fnNow = std::move(AFunc);
}

void SetTickFunc(TTickFunc AFunc) {
    std::lock_guard<std::mutex> lLock(g_oClockLock);
    g_fnTick = std::move(AFunc);
}
