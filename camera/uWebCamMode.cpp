// Capture modes and their frame rates.

#include "camera/uWebCam.h"

#include <cmath>

namespace {
constexpr const char* cUnit = "uWebCam";
}

const TWebCamMode& TWebCamModeList::GetItem(int AIdx) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < Count(), cUnit);
    return m_aItems[static_cast<size_t>(AIdx)];
}

TWebCamMode& TWebCamModeList::GetItem(int AIdx) {
    TARVO_ASSERT(AIdx >= 0 && AIdx < Count(), cUnit);
    return m_aItems[static_cast<size_t>(AIdx)];
}

std::int32_t FpsFromTimePerFrame(std::int64_t ATimePerFrame) {
    // Only the low 32 bits of the 64-bit value count, as the capture drivers fill them.
    const auto t = static_cast<std::uint32_t>(static_cast<std::uint64_t>(ATimePerFrame) & 0xFFFFFFFFu);
    if (t == 0)
        return 0;
    return static_cast<std::int32_t>(std::lround(10000000.0 / static_cast<double>(t)));
}

std::int64_t TimePerFrameFromRate(int ANum, int ADen) {
    if (ANum <= 0 || ADen <= 0)
        return 0;
    return std::llround(10000000.0 * static_cast<double>(ADen) / static_cast<double>(ANum));
}
