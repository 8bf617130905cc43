#include "tests/lice/LiceTestSupport.h"

#include <cstdlib>

namespace licetest {

Difference FirstDifference(const LICE_IBitmap& a, const LICE_IBitmap& b) {
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight()) return Difference{0, 0};
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixel(x, y) != b.getPixel(x, y)) return Difference{x, y};
    return Difference{};
}

LICE_MemBitmap DrawTestStrip() {
    LICE_MemBitmap strip(8, 12);
    for (int x = 0; x < 8; ++x)
        LICE_FillRect(&strip, LICE_Rect(x, 0, x + 1, 6),
                      LICE_RGBA(220, 40, 20 + 20 * x, 255 - 32 * x));
    for (int y = 6; y < 12; ++y)
        for (int x = 0; x < 8; ++x)
            LICE_FillRect(&strip, LICE_Rect(x, y, x + 1, y + 1),
                          (x + y) % 2 ? LICE_RGBA(30, 60, 200, 255)
                                      : LICE_RGBA(255, 255, 255, 255));
    return strip;
}

std::string CompareWithCommitted(const LICE_IBitmap& drawing, const std::string& path) {
    if (std::getenv("QX_LICE_REGENERATE")) {
        return LICE_SavePNG(path, &drawing) ? std::string() : "cannot write " + path;
    }
    LICE_MemBitmap committed;
    if (!LICE_LoadPNG(path, &committed)) return "cannot read " + path;
    Difference d = FirstDifference(drawing, committed);
    if (!d.any()) return std::string();
    return path + " differs at (" + std::to_string(d.x) + ", " + std::to_string(d.y) + ")";
}

} // namespace licetest
