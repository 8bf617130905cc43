// Internal: the area an operation may touch, computed without overflow for any arguments.
#pragma once

#include "lice/LICE.h"

#include <algorithm>
#include <cstdint>

namespace lice {

// The destination's bounds cut to the clip rectangle, when there is one.
inline LICE_Rect DrawableArea(const LICE_IBitmap* dest, const LICE_Rect* clip) {
    if (!dest || !dest->getBits()) return LICE_Rect();
    LICE_Rect area = dest->bounds();
    return clip ? LICE_Intersect(area, *clip) : area;
}

// Limits a 64-bit coordinate to the int range, where every rectangle lives.
inline int ClampToInt(int64_t v) {
    return int(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

// A weight 0..1 as 0..256; anything else (NaN included) is limited to that range.
inline int Weight256(float alpha) {
    if (!(alpha > 0.0f)) return 0;
    if (alpha >= 1.0f) return 256;
    return int(alpha * 256.0f + 0.5f);
}

inline LICE_pixel* Row(LICE_IBitmap* b, int y) {
    return b->getBits() + size_t(y) * size_t(b->getRowSpan());
}
inline const LICE_pixel* Row(const LICE_IBitmap* b, int y) {
    return b->getBits() + size_t(y) * size_t(b->getRowSpan());
}

// Mixes a run of pixels with one colour and a per-pixel coverage 0..256 (null: full coverage).
void BlendSpan(LICE_pixel* dest, int count, LICE_pixel color, int weight256, int mode,
               const uint16_t* coverage = nullptr);

} // namespace lice
