// Rectangles and the two bitmap kinds.
#include "lice/LICE.h"

#include <algorithm>

LICE_Rect LICE_Intersect(const LICE_Rect& a, const LICE_Rect& b) {
    LICE_Rect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom));
    return r.empty() ? LICE_Rect() : r;
}

LICE_Rect LICE_Union(const LICE_Rect& a, const LICE_Rect& b) {
    if (a.empty()) return b.empty() ? LICE_Rect() : b;
    if (b.empty()) return a;
    return LICE_Rect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                     std::max(a.bottom, b.bottom));
}

LICE_pixel LICE_IBitmap::getPixel(int x, int y) const {
    const LICE_pixel* bits = getBits();
    if (!bits || x < 0 || y < 0 || x >= getWidth() || y >= getHeight()) return 0;
    return bits[size_t(y) * size_t(getRowSpan()) + size_t(x)];
}

void LICE_MemBitmap::resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    if (width_ == 0 || height_ == 0) width_ = height_ = 0;
    pixels_.assign(size_t(width_) * size_t(height_), 0);
}
