#include "framework/FullStop.h"
#include <gtest/gtest.h>

TEST(FullStop, SentencesEndingInALetterOrAboveGetOne) {
    EXPECT_EQ(WithFullStop("Cannot open file C:\\x.txt"), "Cannot open file C:\\x.txt.");
    EXPECT_EQ(WithFullStop("Disk 7"), "Disk 7.");
    EXPECT_EQ(WithFullStop("Drive C:"), "Drive C:.");
    EXPECT_EQ(WithFullStop("http://x/"), "http://x/.");
    EXPECT_EQ(WithFullStop("caf\xE9"), "caf\xE9."); // above 0x7F: compared as unsigned
    EXPECT_EQ(WithFullStop("x\xFF"), "x\xFF.");
}

TEST(FullStop, SentencesEndingInPunctuationOrEmptyAreLeftAlone) {
    EXPECT_EQ(WithFullStop("Done."), "Done.");
    EXPECT_EQ(WithFullStop("Stop!"), "Stop!");
    EXPECT_EQ(WithFullStop("Invalid data type for 'SearchPath'"),
              "Invalid data type for 'SearchPath'");
    EXPECT_EQ(WithFullStop("say \"hi\""), "say \"hi\"");
    EXPECT_EQ(WithFullStop("List index out of bounds (3)"), "List index out of bounds (3)");
    EXPECT_EQ(WithFullStop("a-"), "a-");
    EXPECT_EQ(WithFullStop("trailing "), "trailing ");
    EXPECT_EQ(WithFullStop(""), "");
}
