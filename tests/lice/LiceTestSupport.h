// Helpers shared by the graphics library's tests.
#pragma once

#include "lice/LICE.h"

#include <string>

namespace licetest {

// Pixels differ at (x, y), or (-1, -1) when both bitmaps are equal in size and content.
struct Difference {
    int x = -1, y = -1;
    bool any() const { return x >= 0; }
};
Difference FirstDifference(const LICE_IBitmap& a, const LICE_IBitmap& b);

// The two-frame strip stored as PNG resource 190 (resources/test_strip.png): frame 0 a red
// gradient whose alpha falls from left to right, frame 1 a blue and white checkerboard.
LICE_MemBitmap DrawTestStrip();
constexpr int kTestStripResource = 190;

// Compares a drawing with a committed PNG; with QX_LICE_REGENERATE set in the environment it
// writes the PNG instead. Returns an empty string on success, else what went wrong.
std::string CompareWithCommitted(const LICE_IBitmap& drawing, const std::string& path);

} // namespace licetest
