// Every operation with random rectangles, frames, clips, points and text, on bitmaps that sit
// between guard pixels: nothing may change outside the clip, the guards or the source, and
// inside the clip the drawing must be the one made without it. Under AddressSanitizer the
// bitmaps that own exact-size memory catch any stray access as well.
#include "lice/LICE.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr LICE_pixel kGuard = 0xdeadbeef;
constexpr int kGuardPixels = 64;

// A bitmap over memory with guard pixels before, after and at the end of every row.
struct GuardedBitmap {
    std::vector<LICE_pixel> memory;
    LICE_WrapperBitmap bitmap;
    int width, height, span;
    GuardedBitmap(int w, int h, int padding)
        : memory(size_t(w + padding) * h + 2 * kGuardPixels, kGuard),
          bitmap(memory.data() + kGuardPixels, w, h, w + padding), width(w), height(h),
          span(w + padding) {}
    bool guardsIntact() const {
        for (size_t i = 0; i < memory.size(); ++i) {
            size_t offset = i - kGuardPixels;
            bool inside = span > 0 && i >= size_t(kGuardPixels) && offset < size_t(span) * height &&
                          int(offset % span) < width;
            if (!inside && memory[i] != kGuard) return false;
        }
        return true;
    }
};

class Fuzzer {
public:
    explicit Fuzzer(unsigned seed) : random_(seed) {}

    int Between(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    bool OneIn(int n) { return Between(1, n) == 1; }

    // Mostly near the bitmap, sometimes at the ends of the int range.
    int Coordinate(int size) {
        static const int extremes[] = {INT_MIN,     INT_MIN + 1, INT_MAX, INT_MAX - 1,
                                       INT_MIN / 2, INT_MAX / 2, -1,      0};
        if (OneIn(12)) return extremes[Between(0, 7)];
        return Between(-size - 4, size + 4);
    }
    // Mostly a rectangle that meets the bitmap; sometimes any four coordinates (inverted,
    // empty, or at the ends of the int range).
    LICE_Rect Rect(int w, int h) {
        if (OneIn(6)) return LICE_Rect(Coordinate(w), Coordinate(h), Coordinate(w), Coordinate(h));
        int left = Between(-4, w - 1), top = Between(-4, h - 1);
        return LICE_Rect(left, top, left + Between(0, w + 4), top + Between(0, h + 4));
    }
    float Real(float low, float high) {
        static const float odd[] = {
            std::numeric_limits<float>::quiet_NaN(), INFINITY, -INFINITY, 1e30f, -1e30f, 0.0f};
        if (OneIn(15)) return odd[Between(0, 5)];
        return std::uniform_real_distribution<float>(low, high)(random_);
    }
    int Mode() {
        static const int modes[] = {LICE_BLIT_MODE_COPY,
                                    LICE_BLIT_MODE_ADD,
                                    LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA,
                                    LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA,
                                    77,
                                    -1};
        return modes[Between(0, 5)];
    }
    LICE_pixel Color() { return LICE_pixel(random_()); }
    std::string Text() {
        static const char* const texts[] = {"Wave", "A\nB\n\nC", "\xc3\xa9t\xe9\xff\xf4\x90",
                                            "",     "     ",     "\xf0\x9f\x8e\xb9 x",
                                            "Ag|_"};
        return texts[Between(0, 6)];
    }

private:
    std::mt19937 random_;
};

// One random operation on dest (with src as the other bitmap) under the clip.
void RandomOperation(Fuzzer& f, LICE_IBitmap* dest, LICE_IBitmap* src, const LICE_Rect* clip) {
    int w = dest->getWidth() + 1, h = dest->getHeight() + 1;
    switch (f.Between(0, 6)) {
    case 0:
        LICE_Blit(dest, f.OneIn(5) ? dest : src, f.Coordinate(w), f.Coordinate(h),
                  f.Rect(src->getWidth() + 1, src->getHeight() + 1), f.Real(0.0f, 1.2f), f.Mode(),
                  clip);
        break;
    case 1:
        LICE_BlitFrame(dest, src, f.Between(-3, 12), f.Between(-2, 12), f.OneIn(2), f.Rect(w, h),
                       f.Real(0.0f, 1.2f), f.Mode(), clip);
        break;
    case 2:
        LICE_FillRect(dest, f.Rect(w, h), f.Color(), f.Real(0.0f, 1.2f), f.Mode(), clip);
        break;
    case 3:
        LICE_DrawRect(dest, f.Rect(w, h), f.Color(), f.Real(0.0f, 1.2f), f.Mode(), clip);
        break;
    case 4: {
        LICE_Point points[6];
        size_t count = size_t(f.Between(0, 6));
        for (size_t i = 0; i < count; ++i)
            points[i] = LICE_Point{f.Real(-2.0f * w, 3.0f * w), f.Real(-2.0f * h, 3.0f * h)};
        LICE_DrawPolyline(dest, points, count, f.Color(), f.Real(-1.0f, 8.0f), f.Real(0.0f, 1.0f),
                          f.Mode(), clip);
        break;
    }
    case 5: {
        LICE_TextStyle style;
        style.font = f.OneIn(2) ? "Arial" : "Verdana";
        style.size = f.OneIn(40) ? 100000 : f.Between(-4, 40);
        style.style = f.Between(-1, 4);
        style.align = f.Between(-1, 3);
        style.color = f.Color();
        LICE_DrawText(dest, f.Text(), f.Rect(w, h), style, clip);
        break;
    }
    default:
        // Reads outside give nothing.
        if (f.OneIn(2)) {
            int x = f.Coordinate(w), y = f.Coordinate(h);
            LICE_pixel p = dest->getPixel(x, y);
            if (x < 0 || y < 0 || x >= dest->getWidth() || y >= dest->getHeight()) {
                ASSERT_EQ(p, 0u);
            }
        }
        break;
    }
}

bool Changed(const LICE_IBitmap* a, const LICE_IBitmap& b) {
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            if (a->getPixel(x, y) != b.getPixel(x, y)) return true;
    return false;
}

TEST(Bounds, RandomOperationsStayInsideBitmapAndClip) {
    const unsigned seed = 20240611;
    Fuzzer f(seed);
    int changed = 0; // operations that drew something: the test must not be all no-ops
    for (int round = 0; round < 600; ++round) {
        int w = f.Between(0, 40), h = f.Between(0, 40);
        GuardedBitmap guarded(w, h, f.Between(0, 3));
        LICE_MemBitmap owned(w, h);
        LICE_MemBitmap src(f.Between(0, 30), f.Between(0, 30));
        for (int i = 0; i < src.getWidth() * src.getHeight(); ++i)
            src.getBits()[i] = f.Color();
        const LICE_MemBitmap srcBefore = src;
        bool useOwned = f.OneIn(2);
        LICE_IBitmap* dest = useOwned ? static_cast<LICE_IBitmap*>(&owned) : &guarded.bitmap;
        for (int i = 0; i < w * h; ++i)
            dest->getBits()[size_t(i / w) * dest->getRowSpan() + i % w] = f.Color();

        for (int step = 0; step < 12; ++step) {
            LICE_MemBitmap before(w, h);
            LICE_Blit(&before, dest, 0, 0, dest->bounds());
            LICE_Rect clipRect = f.Rect(w + 1, h + 1);
            const LICE_Rect* clip = f.OneIn(3) ? nullptr : &clipRect;
            // The same operation without the clip, on a copy, for what the clip lets through.
            Fuzzer replay = f;
            LICE_MemBitmap unclipped = before;
            RandomOperation(f, dest, &src, clip);
            if (clip) RandomOperation(replay, &unclipped, &src, nullptr);

            SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round) +
                         ", step " + std::to_string(step));
            ASSERT_TRUE(guarded.guardsIntact());
            for (int i = 0; i < src.getWidth() * src.getHeight(); ++i)
                ASSERT_EQ(src.getBits()[i], srcBefore.getBits()[i]);
            changed += Changed(dest, before) ? 1 : 0;
            if (!clip) continue;
            // Outside the clip nothing changes; inside it, the drawing is the unclipped one.
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    bool inside =
                        x >= clip->left && x < clip->right && y >= clip->top && y < clip->bottom;
                    LICE_pixel expected = inside ? unclipped.getPixel(x, y) : before.getPixel(x, y);
                    ASSERT_EQ(dest->getPixel(x, y), expected) << x << "," << y;
                }
        }
    }
    EXPECT_GT(changed, 1000) << changed;
}

} // namespace
