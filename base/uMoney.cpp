#include "base/uMoney.h"

#include <cmath>
#include <cstdlib>

Extended IntPower10(std::int32_t AExp) {
    // Repeated squaring.
    std::int64_t lRest = std::llabs(static_cast<std::int64_t>(AExp));
    Extended lBase = 10.0L;
    Extended lResult = 1.0L;
    while (lRest > 0) {
        while ((lRest & 1) == 0) {
            lRest >>= 1;
            lBase *= lBase;
        }
        --lRest;
        lResult *= lBase;
    }
    return AExp < 0 ? 1.0L / lResult : lResult;
}

Extended RoundHalfAwayFromZero(Extended AValue, std::int32_t APower) {
    if (!std::isfinite(AValue))
        return AValue;
    // Decimal places are counted by multiplying with 10^-APower, which is exact for every accuracy an
    // amount has; dividing by the inexact 0.01 would put some halves on the wrong side.
    const bool lFraction = APower < 0;
    const Extended lScale = IntPower10(lFraction ? -APower : APower);
    if (std::isinf(lScale))
        return lFraction ? AValue : 0; // digits finer than extended holds, or a step beyond every amount
    const Extended lSteps = lFraction ? AValue * lScale : AValue / lScale;
    if (!std::isfinite(lSteps))
        return AValue;
    const Extended lWhole = AValue >= 0 ? std::trunc(lSteps + 0.5L) : std::trunc(lSteps - 0.5L);
    const Extended lResult = lFraction ? lWhole / lScale : lWhole * lScale;
    return std::isfinite(lResult) ? lResult : AValue;
}
