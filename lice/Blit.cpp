// Blending, blits, fills and outlines.
#include "lice/Clip.h"

#include <cstring>
#include <vector>

LICE_pixel LICE_BlendPixel(LICE_pixel dest, LICE_pixel src, int weight256, int mode) {
    int w = std::min(std::max(weight256, 0), 256);
    bool useAlpha = (mode & LICE_BLIT_USE_ALPHA) != 0;
    int a = useAlpha ? (w * LICE_GETA(src) + 127) / 255 : w;
    if (a == 0) return dest;
    bool add = (mode & LICE_BLIT_MODE_MASK) == LICE_BLIT_MODE_ADD;
    auto mix = [&](int s, int d) {
        if (add) return std::min(255, d + ((s * a + 128) >> 8));
        return (s * a + d * (256 - a) + 128) >> 8;
    };
    int outA = useAlpha ? (255 * a + LICE_GETA(dest) * (256 - a) + 128) >> 8
                        : mix(LICE_GETA(src), LICE_GETA(dest));
    return LICE_RGBA(mix(LICE_GETR(src), LICE_GETR(dest)), mix(LICE_GETG(src), LICE_GETG(dest)),
                     mix(LICE_GETB(src), LICE_GETB(dest)), outA);
}

namespace lice {

void BlendSpan(LICE_pixel* dest, int count, LICE_pixel color, int weight256, int mode,
               const uint16_t* coverage) {
    bool plainCopy = (mode & ~LICE_BLIT_USE_ALPHA) == LICE_BLIT_MODE_COPY && weight256 >= 256 &&
                     (!(mode & LICE_BLIT_USE_ALPHA) || LICE_GETA(color) == 255);
    for (int i = 0; i < count; ++i) {
        if (coverage) {
            int w = (weight256 * coverage[i] + 128) >> 8;
            if (w > 0) dest[i] = LICE_BlendPixel(dest[i], color, w, mode);
        } else {
            dest[i] = plainCopy ? color : LICE_BlendPixel(dest[i], color, weight256, mode);
        }
    }
}

} // namespace lice

using namespace lice;

void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int x, int y, const LICE_Rect& srcRect,
               float alpha, int mode, const LICE_Rect* clip) {
    LICE_Rect area = DrawableArea(dest, clip);
    if (area.empty() || !src || !src->getBits()) return;
    int weight = Weight256(alpha);
    if (weight == 0) return;
    LICE_Rect from = LICE_Intersect(srcRect, src->bounds());
    if (from.empty()) return;
    // Where the usable part of the source lands, in 64 bits: x + offsets may leave the int range.
    int64_t toLeft = int64_t(x) + (int64_t(from.left) - srcRect.left);
    int64_t toTop = int64_t(y) + (int64_t(from.top) - srcRect.top);
    LICE_Rect to(ClampToInt(toLeft), ClampToInt(toTop), ClampToInt(toLeft + from.width()),
                 ClampToInt(toTop + from.height()));
    to = LICE_Intersect(to, area);
    if (to.empty()) return;
    int srcLeft = int(from.left + (to.left - toLeft));
    int srcTop = int(from.top + (to.top - toTop));
    int width = to.width();

    // A blit within one bitmap reads its source from a copy, so overlap cannot smear it.
    std::vector<LICE_pixel> copy;
    const LICE_pixel* srcBits = src->getBits();
    size_t srcSpan = size_t(src->getRowSpan());
    if (src->getBits() == dest->getBits()) {
        copy.resize(size_t(width) * size_t(to.height()));
        for (int r = 0; r < to.height(); ++r)
            std::memcpy(&copy[size_t(r) * width], Row(src, srcTop + r) + srcLeft,
                        size_t(width) * sizeof(LICE_pixel));
        srcBits = copy.data();
        srcSpan = size_t(width);
        srcLeft = srcTop = 0;
    }
    bool plainCopy = mode == LICE_BLIT_MODE_COPY && weight == 256;
    for (int r = 0; r < to.height(); ++r) {
        const LICE_pixel* s = srcBits + size_t(srcTop + r) * srcSpan + size_t(srcLeft);
        LICE_pixel* d = Row(dest, to.top + r) + to.left;
        if (plainCopy) {
            std::memcpy(d, s, size_t(width) * sizeof(LICE_pixel));
        } else {
            for (int i = 0; i < width; ++i)
                d[i] = LICE_BlendPixel(d[i], s[i], weight, mode);
        }
    }
}

LICE_Rect LICE_FrameRect(const LICE_IBitmap* strip, int frame, int frameCount, bool horizontal) {
    if (!strip) return LICE_Rect();
    int w = strip->getWidth(), h = strip->getHeight();
    if (frameCount < 1) frameCount = 1;
    frame = std::min(std::max(frame, 0), frameCount - 1);
    if (horizontal) {
        int fw = w / frameCount;
        return LICE_Rect(frame * fw, 0, frame * fw + fw, h);
    }
    int fh = h / frameCount;
    return LICE_Rect(0, frame * fh, w, frame * fh + fh);
}

void LICE_BlitFrame(LICE_IBitmap* dest, const LICE_IBitmap* strip, int frame, int frameCount,
                    bool horizontal, const LICE_Rect& destRect, float alpha, int mode,
                    const LICE_Rect* clip) {
    LICE_Rect area = clip ? LICE_Intersect(*clip, destRect) : destRect;
    if (area.empty()) return;
    LICE_Blit(dest, strip, destRect.left, destRect.top,
              LICE_FrameRect(strip, frame, frameCount, horizontal), alpha, mode, &area);
}

void LICE_FillRect(LICE_IBitmap* dest, const LICE_Rect& rect, LICE_pixel color, float alpha,
                   int mode, const LICE_Rect* clip) {
    LICE_Rect to = LICE_Intersect(rect, DrawableArea(dest, clip));
    int weight = Weight256(alpha);
    if (to.empty() || weight == 0) return;
    for (int y = to.top; y < to.bottom; ++y)
        BlendSpan(Row(dest, y) + to.left, to.width(), color, weight, mode);
}

void LICE_DrawRect(LICE_IBitmap* dest, const LICE_Rect& rect, LICE_pixel color, float alpha,
                   int mode, const LICE_Rect* clip) {
    if (rect.empty()) return;
    // Four edges that do not overlap, so a translucent outline is even all round.
    int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    LICE_FillRect(dest, LICE_Rect(l, t, r, t + 1), color, alpha, mode, clip);
    if (b - 1 > t) LICE_FillRect(dest, LICE_Rect(l, b - 1, r, b), color, alpha, mode, clip);
    if (b - 1 > t + 1) {
        LICE_FillRect(dest, LICE_Rect(l, t + 1, l + 1, b - 1), color, alpha, mode, clip);
        if (r - 1 > l)
            LICE_FillRect(dest, LICE_Rect(r - 1, t + 1, r, b - 1), color, alpha, mode, clip);
    }
}
