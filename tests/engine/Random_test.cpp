#include "engine/Random.h"
#include <gtest/gtest.h>

TEST(Random, FirstDrawsOfAFreshProcess) {
    SetRandomState(0);
    // The first block of a 4-byte target, then its one pattern draw.
    EXPECT_EQ(RandomDraw(256), 0u);
    EXPECT_EQ(RandomDraw(256), 8u);
    EXPECT_EQ(RandomDraw(256), 220u);
    EXPECT_EQ(RandomDraw(256), 51u);
    EXPECT_EQ(RandomDraw(99), 27u); // odd already: the pattern starts at 27
}
