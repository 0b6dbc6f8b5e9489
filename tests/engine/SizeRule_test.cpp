#include "engine/ShredRun.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

TEST(SizeRule, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(NinetyFivePercent(10), 10); // 9.5
    EXPECT_EQ(NinetyFivePercent(30), 28); // 28.5
    EXPECT_EQ(NinetyFivePercent(50), 48); // 47.5
    EXPECT_EQ(NinetyFivePercent(70), 66); // 66.5
    EXPECT_EQ(NinetyFivePercent(1000), 950);
}

TEST(SizeRule, FailureMarkAndZeroStay) {
    EXPECT_EQ(NinetyFivePercent(-1), -1);
    EXPECT_EQ(NinetyFivePercent(0), 0);
    EXPECT_EQ(NinetyFivePercent(1), 1);
    EXPECT_EQ(NinetyFivePercent(2), 2); // 1.9
}

TEST(SizeRule, LargeFreeSpaceKeepsExtendedPrecision) {
    // Double precision would give 4381101717506018304.
    EXPECT_EQ(NinetyFivePercent(std::int64_t{1} << 62), 4381101717506018509);
}

#if LDBL_MANT_DIG == 64
// Where long double is the x87 extended type, the integer method must agree with it.
TEST(SizeRule, AgreesWithHardwareExtendedPrecision) {
    const auto reference = [](std::int64_t f) {
        volatile long double product = static_cast<long double>(f) * 0.95L;
        return static_cast<std::int64_t>(std::nearbyintl(product));
    };
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        const int bits = 1 + static_cast<int>(random() % 62);
        const auto f = static_cast<std::int64_t>(random() >> (64 - bits));
        ASSERT_EQ(NinetyFivePercent(f), reference(f)) << f;
    }
    for (std::int64_t f = 0; f < 100000; ++f)
        ASSERT_EQ(NinetyFivePercent(f), reference(f)) << f;
}
#endif
