// Rounding of amounts: halves away from zero at any power of ten, and the values that cannot be
// rounded come back unchanged instead of turning into nonsense.
#include "base/uMoney.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Money, RoundHalfAwayFromZero) {
    const Extended cInf = std::numeric_limits<Extended>::infinity();
    const struct {
        Extended m_dValue;
        std::int32_t m_nPower;
        Extended m_dResult;
    } cCases[] = {
        {10.5L, 0, 11},        {12.5L, 0, 13},      {-10.5L, 0, -11},
        {10.49L, 0, 10},       {0.125L, -2, 0.13L}, // exact in binary: a true half, which dividing by 0.01
                                                    // can miss
        {-0.125L, -2, -0.13L}, {2.675L, -2, 2.68L}, // a decimal half that binary holds only nearly still
                                                    // rounds up
        {149, 2, 100},         {150, 2, 200},       {-150, 2, -200},
        {1e30L, -2, 1e30L},  // too large to hold another digit: unchanged
        {5, 5000, 0},        // a step beyond every amount
        {0.3L, -5000, 0.3L}, // a step finer than extended holds
        {cInf, -2, cInf},
    };
    for (const auto& c : cCases)
        EXPECT_EQ(RoundHalfAwayFromZero(c.m_dValue, c.m_nPower), c.m_dResult)
            << double(c.m_dValue) << " at 10^" << c.m_nPower;
    EXPECT_TRUE(std::isnan(RoundHalfAwayFromZero(std::nanl(""), 0)));
}

TEST(Money, IntPower10) {
    EXPECT_EQ(IntPower10(0), 1);
    EXPECT_EQ(IntPower10(18), 1e18L);
    EXPECT_EQ(IntPower10(-2), 1 / 100.0L);
    EXPECT_TRUE(std::isinf(IntPower10(6000)));
    EXPECT_EQ(IntPower10(-6000), 0);
}

} // namespace
