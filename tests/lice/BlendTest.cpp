// Blend arithmetic, frames, outlines and polylines: exact pixel values, worked out by hand.
#include "lice/LICE.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const LICE_pixel kWhite = LICE_RGBA(255, 255, 255, 255);
const LICE_pixel kBlack = LICE_RGBA(0, 0, 0, 255);

TEST(Blend, CopyAddAndSourceAlphaMixAsDocumented) {
    LICE_pixel dest = LICE_RGBA(100, 200, 0, 40), src = LICE_RGBA(200, 100, 255, 128);
    // Full weight copies every channel exactly, weight 0 changes nothing.
    EXPECT_EQ(LICE_BlendPixel(dest, src, 256, LICE_BLIT_MODE_COPY), src);
    EXPECT_EQ(LICE_BlendPixel(dest, src, 0, LICE_BLIT_MODE_COPY), dest);
    // Half weight: (200·128 + 100·128 + 128) >> 8 = 150, (255·128 + 128) >> 8 = 128 and alpha
    // (128·128 + 40·128 + 128) >> 8 = 84.
    EXPECT_EQ(LICE_BlendPixel(dest, src, 128, LICE_BLIT_MODE_COPY), LICE_RGBA(150, 150, 128, 84));
    // Source alpha 128 at full weight: a = (256·128 + 127) / 255 = 129. Red:
    // (200·129 + 100·127 + 128) >> 8 = 150; green (100·129 + 200·127 + 128) >> 8 = 150; blue
    // (255·129 + 128) >> 8 = 128; alpha over 40: (255·129 + 40·127 + 128) >> 8 = 148.
    EXPECT_EQ(LICE_BlendPixel(dest, src, 256, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA),
              LICE_RGBA(150, 150, 128, 148));
    // A transparent source leaves everything, alpha included.
    EXPECT_EQ(LICE_BlendPixel(dest, LICE_RGBA(9, 9, 9, 0), 256, LICE_BLIT_USE_ALPHA), dest);
    // Adding saturates at 255: 100 + 200 → 255, 200 + 100 → 255, 0 + 255 → 255.
    EXPECT_EQ(LICE_BlendPixel(dest, src, 256, LICE_BLIT_MODE_ADD), LICE_RGBA(255, 255, 255, 168));
    // A quarter added: 100 + ((200·64 + 128) >> 8) = 150.
    EXPECT_EQ(LICE_GETR(LICE_BlendPixel(dest, src, 64, LICE_BLIT_MODE_ADD)), 150);
}

TEST(Blend, GreyedWeightOfAQuarterOverAFrame) {
    // A greyed control draws its frame with weight 0.25: black over white gives
    // (0·64 + 255·192 + 128) >> 8 = 191 in every colour channel.
    LICE_MemBitmap dest(4, 4), black(4, 4);
    LICE_FillRect(&dest, dest.bounds(), kWhite);
    LICE_FillRect(&black, black.bounds(), kBlack);
    LICE_Blit(&dest, &black, 1, 1, LICE_Rect(0, 0, 2, 2), 0.25f);
    EXPECT_EQ(dest.getPixel(1, 1), LICE_RGBA(191, 191, 191, 255));
    EXPECT_EQ(dest.getPixel(2, 2), LICE_RGBA(191, 191, 191, 255));
    EXPECT_EQ(dest.getPixel(0, 0), kWhite);
    EXPECT_EQ(dest.getPixel(3, 3), kWhite);
}

TEST(Blend, FramesOfVerticalAndHorizontalStrips) {
    // Five frames of 3 × 2 pixels, each filled with its number as red.
    LICE_MemBitmap vertical(3, 10), horizontal(15, 2);
    for (int f = 0; f < 5; ++f) {
        LICE_FillRect(&vertical, LICE_Rect(0, 2 * f, 3, 2 * f + 2), LICE_RGBA(f, 0, 0, 255));
        LICE_FillRect(&horizontal, LICE_Rect(3 * f, 0, 3 * f + 3, 2), LICE_RGBA(f, 0, 0, 255));
    }
    EXPECT_EQ(LICE_FrameRect(&vertical, 2, 5, false), LICE_Rect(0, 4, 3, 6));
    EXPECT_EQ(LICE_FrameRect(&horizontal, 4, 5, true), LICE_Rect(12, 0, 15, 2));
    EXPECT_EQ(LICE_FrameRect(&vertical, 9, 5, false), LICE_Rect(0, 8, 3, 10)); // limited
    EXPECT_EQ(LICE_FrameRect(&vertical, -1, 5, false), LICE_Rect(0, 0, 3, 2));

    LICE_MemBitmap dest(8, 8);
    // The frame lands at the rectangle's corner and is cut to the rectangle (2 × 1 here).
    LICE_BlitFrame(&dest, &vertical, 3, 5, false, LICE_Rect(4, 4, 6, 5));
    EXPECT_EQ(dest.getPixel(4, 4), LICE_RGBA(3, 0, 0, 255));
    EXPECT_EQ(dest.getPixel(5, 4), LICE_RGBA(3, 0, 0, 255));
    EXPECT_EQ(dest.getPixel(6, 4), 0u);
    EXPECT_EQ(dest.getPixel(4, 5), 0u);
    LICE_BlitFrame(&dest, &horizontal, 1, 5, true, LICE_Rect(0, 0, 8, 8));
    EXPECT_EQ(dest.getPixel(2, 1), LICE_RGBA(1, 0, 0, 255));
    EXPECT_EQ(dest.getPixel(3, 1), 0u);
}

TEST(Blend, BlitWithinOneBitmapReadsTheOriginal) {
    LICE_MemBitmap b(6, 1);
    for (int x = 0; x < 6; ++x)
        LICE_FillRect(&b, LICE_Rect(x, 0, x + 1, 1), LICE_RGBA(x, 0, 0, 255));
    // Shifting right by one over itself must not smear pixel 0 along the row.
    LICE_Blit(&b, &b, 1, 0, LICE_Rect(0, 0, 5, 1));
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(LICE_GETR(b.getPixel(x, 0)), x - 1);
}

TEST(Blend, TranslucentOutlineMixesEachPixelOnce) {
    LICE_MemBitmap dest(6, 5);
    LICE_FillRect(&dest, dest.bounds(), kWhite);
    LICE_DrawRect(&dest, LICE_Rect(1, 1, 5, 4), kBlack, 0.5f);
    const LICE_pixel once = LICE_RGBA(128, 128, 128, 255); // (255·128 + 128) >> 8 = 128
    for (int x = 1; x < 5; ++x) {
        EXPECT_EQ(dest.getPixel(x, 1), once) << x;
        EXPECT_EQ(dest.getPixel(x, 3), once) << x;
    }
    EXPECT_EQ(dest.getPixel(1, 2), once);
    EXPECT_EQ(dest.getPixel(4, 2), once);
    EXPECT_EQ(dest.getPixel(2, 2), kWhite); // inside stays
    EXPECT_EQ(dest.getPixel(5, 2), kWhite); // right edge is exclusive
    EXPECT_EQ(dest.getPixel(2, 4), kWhite);
}

TEST(Blend, PolylineCoversItsRowAndMixesJointsOnce) {
    LICE_MemBitmap dest(12, 12);
    LICE_FillRect(&dest, dest.bounds(), kWhite);
    // A horizontal line through the centres of row 5 covers it fully and its neighbours not.
    LICE_Point flat[] = {{1.5f, 5.5f}, {10.5f, 5.5f}};
    LICE_DrawPolyline(&dest, flat, 2, kBlack);
    for (int x = 1; x <= 10; ++x) {
        EXPECT_EQ(dest.getPixel(x, 5), kBlack) << x;
        EXPECT_EQ(dest.getPixel(x, 4), kWhite) << x;
        EXPECT_EQ(dest.getPixel(x, 6), kWhite) << x;
    }
    // Half-way between two rows, a 1-pixel line gives each row half its weight.
    LICE_FillRect(&dest, dest.bounds(), kWhite);
    LICE_Point between[] = {{2.5f, 5.0f}, {9.5f, 5.0f}};
    LICE_DrawPolyline(&dest, between, 2, kBlack);
    EXPECT_EQ(dest.getPixel(5, 4), LICE_RGBA(128, 128, 128, 255));
    EXPECT_EQ(dest.getPixel(5, 5), LICE_RGBA(128, 128, 128, 255));

    // A translucent zigzag: segments overlap at the joints, yet no pixel gets darker than
    // one mix of the line's weight, and the joints are covered.
    LICE_FillRect(&dest, dest.bounds(), kWhite);
    LICE_Point zigzag[] = {{1.5f, 1.5f}, {6.5f, 10.5f}, {10.5f, 1.5f}, {1.5f, 6.5f}};
    LICE_DrawPolyline(&dest, zigzag, 4, kBlack, 2.0f, 0.5f);
    int darkest = 255;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            darkest = std::min(darkest, LICE_GETR(dest.getPixel(x, y)));
    EXPECT_EQ(darkest, 128);
    EXPECT_EQ(dest.getPixel(6, 10), LICE_RGBA(128, 128, 128, 255));
    EXPECT_EQ(dest.getPixel(10, 1), LICE_RGBA(128, 128, 128, 255));
}

} // namespace
