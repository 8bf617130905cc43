#include "tools/panelart/Shapes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace panelart {

namespace {

constexpr int kMode = LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
constexpr double kPi = 3.14159265358979323846;

// Points around a circle, enough that the chords stay within a hundredth of a pixel of it.
int StepsFor(float radius, double sweepDegrees) {
    int full = std::max(32, int(std::ceil(double(radius))) * 8);
    return std::max(2, int(std::ceil(full * std::fabs(sweepDegrees) / 360.0)));
}

LICE_Point OnCircle(float cx, float cy, float radius, double degrees) {
    double s, c;
    PanelSinCos(degrees, &s, &c);
    return LICE_Point{float(cx + radius * s), float(cy - radius * c)};
}

void AppendArc(std::vector<LICE_Point>& points, float cx, float cy, float radius, double from,
               double to) {
    int steps = StepsFor(radius, to - from);
    for (int i = 0; i <= steps; ++i)
        points.push_back(OnCircle(cx, cy, radius, from + (to - from) * i / steps));
}

} // namespace

void PanelSinCos(double degrees, double* sine, double* cosine) {
    // Reduce to [-45°, 45°] around a quarter turn, then Taylor series: only exact IEEE steps.
    double turn = std::fmod(degrees, 360.0);
    int quadrant = int(std::floor(turn / 90.0 + 0.5));
    double x = (turn - 90.0 * quadrant) * (kPi / 180.0), x2 = x * x;
    double s = 0, c = 0, termS = x, termC = 1;
    for (int n = 1; n <= 10; ++n) {
        s += termS;
        c += termC;
        termS *= -x2 / ((2 * n) * (2 * n + 1));
        termC *= -x2 / ((2 * n - 1) * (2 * n));
    }
    switch (((quadrant % 4) + 4) % 4) {
    case 0:
        *sine = s, *cosine = c;
        break;
    case 1:
        *sine = c, *cosine = -s;
        break;
    case 2:
        *sine = -s, *cosine = -c;
        break;
    default:
        *sine = -c, *cosine = s;
        break;
    }
}

void FillDisc(LICE_IBitmap* dest, float cx, float cy, float radius, LICE_pixel color) {
    // A polyline of one point is a dot of the line's width.
    LICE_Point centre{cx, cy};
    LICE_DrawPolyline(dest, &centre, 1, color, 2 * radius, 1.0f, kMode);
}

void DrawRing(LICE_IBitmap* dest, float cx, float cy, float radius, float width, LICE_pixel color) {
    DrawArc(dest, cx, cy, radius, 0, 360, width, color);
}

void DrawArc(LICE_IBitmap* dest, float cx, float cy, float radius, double fromDegrees,
             double toDegrees, float width, LICE_pixel color) {
    std::vector<LICE_Point> points;
    AppendArc(points, cx, cy, radius, fromDegrees, toDegrees);
    LICE_DrawPolyline(dest, points.data(), points.size(), color, width, 1.0f, kMode);
}

void DrawSpoke(LICE_IBitmap* dest, float cx, float cy, float r0, float r1, double degrees,
               float width, LICE_pixel color) {
    LICE_Point ends[2] = {OnCircle(cx, cy, r0, degrees), OnCircle(cx, cy, r1, degrees)};
    LICE_DrawPolyline(dest, ends, 2, color, width, 1.0f, kMode);
}

void FillRoundRect(LICE_IBitmap* dest, const LICE_Rect& rect, int radius, LICE_pixel color) {
    radius = std::max(0, std::min(radius, std::min(rect.width(), rect.height()) / 2));
    if (rect.empty()) return;
    const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom, k = radius;
    // Three bands and four quarter discs cut to their corners: no pixel is mixed twice, so a
    // translucent colour stays even.
    LICE_FillRect(dest, LICE_Rect(l + k, t, r - k, b), color, 1.0f, kMode);
    LICE_FillRect(dest, LICE_Rect(l, t + k, l + k, b - k), color, 1.0f, kMode);
    LICE_FillRect(dest, LICE_Rect(r - k, t + k, r, b - k), color, 1.0f, kMode);
    if (k == 0) return;
    const LICE_Rect corners[4] = {LICE_Rect(l, t, l + k, t + k), LICE_Rect(r - k, t, r, t + k),
                                  LICE_Rect(l, b - k, l + k, b), LICE_Rect(r - k, b - k, r, b)};
    for (const LICE_Rect& corner : corners) {
        LICE_Point centre{float(corner.left == l ? l + k : r - k),
                          float(corner.top == t ? t + k : b - k)};
        LICE_DrawPolyline(dest, &centre, 1, color, 2.0f * k, 1.0f, kMode, &corner);
    }
}

void DrawRoundRect(LICE_IBitmap* dest, const LICE_Rect& rect, int radius, float width,
                   LICE_pixel color) {
    radius = std::max(0, std::min(radius, std::min(rect.width(), rect.height()) / 2));
    if (rect.empty() || !(width > 0)) return;
    const float h = width / 2, k = float(radius);
    const float l = rect.left + h, t = rect.top + h, r = rect.right - h, b = rect.bottom - h;
    // The centre line of the outline, corner by corner, clockwise from the top left.
    std::vector<LICE_Point> points;
    if (radius <= h) {
        points = {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}};
    } else {
        const float a = k - h; // radius of the centre line at the corners
        AppendArc(points, rect.left + k, rect.top + k, a, -90, 0);
        AppendArc(points, rect.right - k, rect.top + k, a, 0, 90);
        AppendArc(points, rect.right - k, rect.bottom - k, a, 90, 180);
        AppendArc(points, rect.left + k, rect.bottom - k, a, 180, 270);
        points.push_back(points.front());
    }
    LICE_DrawPolyline(dest, points.data(), points.size(), color, width, 1.0f, kMode);
}

void FillTriangle(LICE_IBitmap* dest, const LICE_Point corners[3], LICE_pixel color) {
    // Coverage from 4 × 4 samples per pixel, each pixel then filled at that weight.
    auto side = [&](int i, double x, double y) {
        const LICE_Point& p = corners[i];
        const LICE_Point& q = corners[(i + 1) % 3];
        return (double(q.x) - p.x) * (y - p.y) - (double(q.y) - p.y) * (x - p.x);
    };
    const double orientation = side(0, corners[2].x, corners[2].y);
    if (orientation == 0) return;
    float minX = std::min({corners[0].x, corners[1].x, corners[2].x});
    float maxX = std::max({corners[0].x, corners[1].x, corners[2].x});
    float minY = std::min({corners[0].y, corners[1].y, corners[2].y});
    float maxY = std::max({corners[0].y, corners[1].y, corners[2].y});
    int x0 = std::max(0, int(std::floor(minX))),
        x1 = std::min(dest->getWidth(), int(std::ceil(maxX)));
    int y0 = std::max(0, int(std::floor(minY))),
        y1 = std::min(dest->getHeight(), int(std::ceil(maxY)));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
                    bool in = true;
                    for (int i = 0; i < 3 && in; ++i)
                        in = side(i, px, py) * orientation >= 0;
                    inside += in;
                }
            if (inside)
                LICE_FillRect(dest, LICE_Rect(x, y, x + 1, y + 1), color, inside / 16.0f, kMode);
        }
}

void DrawSevenSegment(LICE_IBitmap* dest, const LICE_Rect& rect, float thickness, float slant,
                      const std::string& lit, LICE_pixel litColor, LICE_pixel unlitColor) {
    // The face's corners lie half a stroke inside the rectangle; segments stop short of each
    // other so that the lit ones read as separate bars.
    const float h = thickness / 2 + 0.5f;
    const float left = rect.left + h, right = rect.right - h - slant * rect.height() / 2;
    const float top = rect.top + h, bottom = rect.bottom - h, middle = (top + bottom) / 2;
    const float gap = thickness * 0.9f;
    auto at = [&](float x, float y) { return LICE_Point{x + slant * (middle - y), y}; };
    struct Segment {
        char name;
        LICE_Point from, to;
    };
    const Segment segments[7] = {
        {'a', at(left + gap, top), at(right - gap, top)},
        {'b', at(right, top + gap), at(right, middle - gap)},
        {'c', at(right, middle + gap), at(right, bottom - gap)},
        {'d', at(left + gap, bottom), at(right - gap, bottom)},
        {'e', at(left, middle + gap), at(left, bottom - gap)},
        {'f', at(left, top + gap), at(left, middle - gap)},
        {'g', at(left + gap, middle), at(right - gap, middle)},
    };
    // Lit and unlit segments each as one polyline broken by non-finite points.
    const float gapMark = std::numeric_limits<float>::quiet_NaN();
    std::vector<LICE_Point> on, off;
    for (const Segment& s : segments) {
        std::vector<LICE_Point>& run = lit.find(s.name) != std::string::npos ? on : off;
        run.insert(run.end(), {s.from, s.to, LICE_Point{gapMark, gapMark}});
    }
    LICE_DrawPolyline(dest, off.data(), off.size(), unlitColor, thickness, 1.0f, kMode);
    LICE_DrawPolyline(dest, on.data(), on.size(), litColor, thickness, 1.0f, kMode);
}

} // namespace panelart
