// Anti-aliased polylines. The coverage of every segment is gathered first (the largest per
// pixel), then each pixel is mixed once, so overlapping segments neither darken joints nor
// leave gaps.
#include "lice/Clip.h"

#include <cmath>
#include <vector>

using namespace lice;

namespace {

struct CoverageArea {
    LICE_Rect box;
    std::vector<uint16_t> cover; // 0..256 per pixel of box
    uint16_t& at(int x, int y) {
        return cover[size_t(y - box.top) * size_t(box.width()) + size_t(x - box.left)];
    }
};

// A pixel's coverage by a line of half-width r whose centre lies `distance` from the pixel's
// centre: full within r − 0.5, none beyond r + 0.5, linear between.
inline int Coverage(double distance, double r) {
    double c = r + 0.5 - distance;
    if (c <= 0.0) return 0;
    if (c >= 1.0) return 256;
    return int(c * 256.0 + 0.5);
}

// A coordinate limited to [low, high] before it becomes an int (NaN gives low).
inline int Within(double v, int low, int high) {
    if (!(v > low)) return low;
    return v < high ? int(v) : high;
}

void CoverSegment(CoverageArea& area, double x0, double y0, double x1, double y1, double r) {
    double dx = x1 - x0, dy = y1 - y0;
    double lengthSquared = dx * dx + dy * dy;
    double reach = r + 0.5; // beyond this distance a pixel centre gets nothing
    int top = Within(std::floor(std::min(y0, y1) - reach), area.box.top, area.box.bottom);
    int bottom = Within(std::ceil(std::max(y0, y1) + reach), area.box.top, area.box.bottom);
    for (int y = top; y < bottom; ++y) {
        double cy = y + 0.5;
        // The part of the segment within `reach` rows of this row bounds the pixels to test.
        double t0 = 0.0, t1 = 1.0;
        if (dy != 0.0) {
            double ta = (cy - reach - y0) / dy, tb = (cy + reach - y0) / dy;
            t0 = std::max(0.0, std::min(ta, tb));
            t1 = std::min(1.0, std::max(ta, tb));
            if (t0 > t1) continue;
        } else if (std::fabs(cy - y0) > reach) {
            continue;
        }
        double xa = x0 + dx * t0, xb = x0 + dx * t1;
        int left = Within(std::floor(std::min(xa, xb) - reach), area.box.left, area.box.right);
        int right = Within(std::ceil(std::max(xa, xb) + reach), area.box.left, area.box.right);
        for (int x = left; x < right; ++x) {
            double cx = x + 0.5;
            double t =
                lengthSquared > 0.0 ? ((cx - x0) * dx + (cy - y0) * dy) / lengthSquared : 0.0;
            t = std::min(1.0, std::max(0.0, t));
            double ex = cx - (x0 + dx * t), ey = cy - (y0 + dy * t);
            int c = Coverage(std::sqrt(ex * ex + ey * ey), r);
            uint16_t& cell = area.at(x, y);
            if (c > cell) cell = uint16_t(c);
        }
    }
}

} // namespace

void LICE_DrawPolyline(LICE_IBitmap* dest, const LICE_Point* points, size_t count, LICE_pixel color,
                       float width, float alpha, int mode, const LICE_Rect* clip) {
    LICE_Rect drawable = DrawableArea(dest, clip);
    int weight = Weight256(alpha);
    if (drawable.empty() || !points || count == 0 || weight == 0 || !(width > 0.0f)) return;
    double r = std::min(double(width), 1e4) / 2.0;

    // Only the points' bounding box (cut to what may be drawn) needs coverage cells.
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) continue;
        minX = std::min(minX, double(points[i].x));
        maxX = std::max(maxX, double(points[i].x));
        minY = std::min(minY, double(points[i].y));
        maxY = std::max(maxY, double(points[i].y));
    }
    if (minX > maxX) return;
    auto limit = [](double v) { return int(std::min(std::max(v, -2e9), 2e9)); };
    LICE_Rect box(limit(std::floor(minX - r - 1)), limit(std::floor(minY - r - 1)),
                  limit(std::ceil(maxX + r + 1)), limit(std::ceil(maxY + r + 1)));
    CoverageArea area;
    area.box = LICE_Intersect(box, drawable);
    if (area.box.empty()) return;
    area.cover.assign(size_t(area.box.width()) * size_t(area.box.height()), 0);

    // A single point, or a run of points that are not finite, draws a dot where it can.
    const LICE_Point* previous = nullptr;
    for (size_t i = 0; i < count; ++i) {
        const LICE_Point& p = points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            previous = nullptr;
            continue;
        }
        const LICE_Point& from = previous ? *previous : p;
        CoverSegment(area, from.x, from.y, p.x, p.y, r);
        previous = &p;
    }
    for (int y = area.box.top; y < area.box.bottom; ++y)
        BlendSpan(Row(dest, y) + area.box.left, area.box.width(), color, weight, mode,
                  &area.at(area.box.left, y));
}
