#include "framework/Anchors.h"
#include <gtest/gtest.h>

namespace {
const TSize kDesign{548, 324};
const TSize kWider{748, 424}; // 200 wider, 100 taller
} // namespace

TEST(Anchors, SameSizeKeepsEveryControlWhereItWasDesigned) {
    const TRect r{456, 48, 89, 25};
    for (TAnchors a : {akLeftTop, akTop | akRight, akLeft | akTop | akRight | akBottom, 0u})
        EXPECT_EQ(AnchoredBounds(r, kDesign, kDesign, a), r) << a;
}

TEST(Anchors, LeftTopStaysPut) {
    EXPECT_EQ(AnchoredBounds({16, 32, 433, 241}, kDesign, kWider, akLeftTop),
              (TRect{16, 32, 433, 241}));
}

TEST(Anchors, RightEdgeAnchorMovesWithTheRightEdge) {
    EXPECT_EQ(AnchoredBounds({456, 48, 89, 25}, kDesign, kWider, akTop | akRight),
              (TRect{656, 48, 89, 25}));
    // Narrower moves it left by as much.
    EXPECT_EQ(AnchoredBounds({456, 48, 89, 25}, kDesign, {448, 324}, akTop | akRight),
              (TRect{356, 48, 89, 25}));
}

TEST(Anchors, BothEdgesStretch) {
    EXPECT_EQ(
        AnchoredBounds({16, 32, 433, 241}, kDesign, kWider, akLeft | akTop | akRight | akBottom),
        (TRect{16, 32, 633, 341}));
    EXPECT_EQ(AnchoredBounds({10, 10, 50, 20}, {100, 100}, {100, 120}, akLeft | akTop | akBottom),
              (TRect{10, 10, 50, 40}));
}

TEST(Anchors, StretchNeverGoesBelowZero) {
    EXPECT_EQ(AnchoredBounds({10, 10, 50, 20}, {100, 100}, {20, 100}, akLeft | akTop | akRight),
              (TRect{10, 10, 0, 20}));
}

TEST(Anchors, BottomOnlyMovesDown) {
    EXPECT_EQ(AnchoredBounds({10, 70, 50, 20}, {100, 100}, {100, 150}, akLeft | akBottom),
              (TRect{10, 120, 50, 20}));
}

TEST(Anchors, NoAnchorKeepsTheCentreInProportion) {
    // Centre at x = 50 of 100 stays at the middle of 200.
    EXPECT_EQ(AnchoredBounds({40, 0, 20, 10}, {100, 100}, {200, 100}, akTop),
              (TRect{90, 0, 20, 10}));
}

TEST(Anchors, BottomAlignedSpansTheWidthAlongTheBottom) {
    const TRect bar{0, 308, 548, 16};
    EXPECT_EQ(AnchoredBounds(bar, kDesign, kDesign, akLeftTop, TAlign::alBottom), bar);
    EXPECT_EQ(AnchoredBounds(bar, kDesign, kWider, akLeftTop, TAlign::alBottom),
              (TRect{0, 408, 748, 16}));
    // The design position does not matter, only its height.
    EXPECT_EQ(AnchoredBounds({5, 5, 10, 16}, kDesign, {300, 200}, akLeftTop, TAlign::alBottom),
              (TRect{0, 184, 300, 16}));
}

TEST(Scaling, RoundsToTheNearestWithHalvesAwayFromZeroAsMulDivDoes) {
    struct Row {
        int value, dpi, fromDpi, pixels;
    };
    for (const Row& row :
         {Row{548, 96, 96, 548}, Row{548, 144, 96, 822}, Row{25, 144, 96, 38}, Row{11, 120, 96, 14},
          Row{-11, 144, 96, -17}, Row{-13, 120, 96, -16}, Row{-1, 144, 96, -2},
          Row{13, 192, 96, 26}, Row{17, 96, 144, 11}, Row{70000, 192, 96, 140000}})
        EXPECT_EQ(Scaled(row.value, row.dpi, row.fromDpi), row.pixels)
            << row.value << " at " << row.dpi << " from " << row.fromDpi;
}

TEST(Scaling, RectanglesScaleByTheirEdgesSoNeighboursStayApart) {
    const TRect r{456, 48, 89, 25};
    EXPECT_EQ(Scaled(r, 96), r);
    EXPECT_EQ(Scaled(r, 144), (TRect{684, 72, 134, 38}));
    // Side by side at 96: a width scaled on its own (1.5 -> 2) would overlap the neighbour.
    EXPECT_EQ(Scaled(TRect{1, 0, 1, 1}, 144), (TRect{2, 0, 1, 2}));
    EXPECT_EQ(Scaled(TRect{2, 0, 1, 1}, 144), (TRect{3, 0, 2, 2}));
    EXPECT_EQ(Scaled(kDesign, 120), (TSize{685, 405}));
    // Anchored from the scaled design, as a form at 144 DPI does.
    EXPECT_EQ(AnchoredBounds(Scaled(r, 144), Scaled(kDesign, 144), {1122, 486}, akTop | akRight),
              (TRect{984, 72, 134, 38}));
}
