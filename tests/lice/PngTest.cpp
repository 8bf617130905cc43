// PNG files: round trips that keep every pixel, refusal of damaged data, and the resource cache.
#include "lice/LICE.h"
#include "tests/lice/LiceTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

using licetest::FirstDifference;

LICE_MemBitmap RandomBitmap(int w, int h, unsigned seed) {
    LICE_MemBitmap b(w, h);
    std::mt19937 random(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.getBits()[y * w + x] = LICE_pixel(random());
    return b;
}

TEST(Png, EncodeDecodeAndFileRoundTripsKeepEveryPixel) {
    // Random pixels, translucent and fully transparent ones included: straight alpha must
    // survive unchanged, colour of transparent pixels too.
    LICE_MemBitmap original = RandomBitmap(37, 23, 7);
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(LICE_EncodePNG(&original, &bytes));
    LICE_MemBitmap decoded;
    ASSERT_TRUE(LICE_LoadPNGFromMemory(bytes.data(), bytes.size(), &decoded));
    EXPECT_FALSE(FirstDifference(original, decoded).any());

    // A wrapped bitmap whose rows have padding saves only its own pixels.
    std::vector<LICE_pixel> memory(10 * 4, LICE_RGBA(1, 2, 3, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            memory[y * 10 + x] = LICE_RGBA(x * 40, y * 60, 7, 255 - x);
    LICE_WrapperBitmap wrapped(memory.data(), 6, 4, 10);
    std::string path = testing::TempDir() + "lice_round_trip.png";
    ASSERT_TRUE(LICE_SavePNG(path, &wrapped));
    LICE_MemBitmap loaded;
    ASSERT_TRUE(LICE_LoadPNG(path, &loaded));
    EXPECT_FALSE(FirstDifference(wrapped, loaded).any());
    std::remove(path.c_str());

    LICE_MemBitmap empty;
    EXPECT_FALSE(LICE_EncodePNG(&empty, &bytes));
    EXPECT_FALSE(LICE_LoadPNG(path, &loaded)); // removed
}

TEST(Png, DamagedDataIsRefusedAndLeavesTheBitmap) {
    LICE_MemBitmap original = RandomBitmap(16, 16, 3);
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(LICE_EncodePNG(&original, &bytes));
    LICE_MemBitmap out(2, 2);
    LICE_FillRect(&out, out.bounds(), LICE_RGBA(9, 9, 9, 9));
    const LICE_MemBitmap before = out;

    std::vector<unsigned char> truncated(bytes.begin(), bytes.begin() + bytes.size() / 2);
    EXPECT_FALSE(LICE_LoadPNGFromMemory(truncated.data(), truncated.size(), &out));
    std::vector<unsigned char> corrupt = bytes;
    corrupt[bytes.size() / 2] ^= 0x5a; // inside the image data: its checksum fails
    EXPECT_FALSE(LICE_LoadPNGFromMemory(corrupt.data(), corrupt.size(), &out));
    const char notPng[] = "GIF89a, not a PNG at all";
    EXPECT_FALSE(LICE_LoadPNGFromMemory(notPng, sizeof notPng, &out));
    EXPECT_FALSE(LICE_LoadPNGFromMemory(nullptr, 0, &out));
    EXPECT_FALSE(FirstDifference(out, before).any());
}

TEST(Png, ResourcesDecodeOnceAndMatchTheirGenerator) {
    LICE_MemBitmap strip = licetest::DrawTestStrip();
    std::string committed = std::string(QX_RESOURCES_DIR) + "/test_strip.png";
    ASSERT_EQ(licetest::CompareWithCommitted(strip, committed), "");

    const LICE_IBitmap* resource = LICE_LoadPNGResource(licetest::kTestStripResource);
    ASSERT_NE(resource, nullptr);
    EXPECT_FALSE(FirstDifference(*resource, strip).any());
    EXPECT_EQ(LICE_LoadPNGResource(licetest::kTestStripResource), resource); // cached
    EXPECT_EQ(LICE_LoadPNGResource(9999), nullptr);
    EXPECT_EQ(LICE_LoadPNGResource(9999), nullptr);
}

} // namespace
