// Text from the fonts embedded in the module, rasterised by stb_truetype. Every step is plain
// IEEE arithmetic on floats and integers, so the pixels are the same on every target.
#include "lice/Clip.h"

#include "host/Os.h"

#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

using namespace lice;

namespace {

// Sizes beyond this are drawn at this size: glyphs are cached and must stay small.
constexpr int kMaxTextSize = 400;
// How far italic text leans: the horizontal shift per pixel of height.
constexpr float kItalicSlant = 0.2f;
// Glyphs are placed at quarter pixels.
constexpr int kSubpixelSteps = 4;
// More glyphs than this in the cache start it afresh.
constexpr size_t kMaxCachedGlyphs = 4096;

enum FaceId { kDejaVu, kDejaVuBold, kLiberation, kLiberationBold, kFaceCount };
const char* const kFaceResources[kFaceCount] = {"DEJAVU_SANS", "DEJAVU_SANS_BOLD",
                                                "LIBERATION_SANS", "LIBERATION_SANS_BOLD"};

struct Face {
    bool loaded = false;
    bool usable = false;
    stbtt_fontinfo info;
    int ascent = 0, descent = 0, lineGap = 0;
};

struct Glyph {
    int left = 0, top = 0; // offset of the coverage box from the pen on the baseline
    int width = 0, height = 0;
    std::vector<uint8_t> coverage;
};

// Everything a text size needs, once the face and size are known.
struct Metrics {
    const Face* face = nullptr;
    FaceId id = kDejaVu;
    float scale = 0;
    int lineHeight = 0;
    int baseline = 0; // from the top of a line
    bool italic = false;
    int size = 0;
};

std::mutex gTextMutex; // guards the faces and the glyph cache
Face gFaces[kFaceCount];
std::map<std::tuple<int, int, int, int, bool>, Glyph> gGlyphs;

bool NameContains(const std::string& name, const char* word) {
    std::string lower;
    for (char c : name)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(word) != std::string::npos;
}

const Face* LoadFace(FaceId id) {
    Face& face = gFaces[id];
    if (face.loaded) return face.usable ? &face : nullptr;
    face.loaded = true;
    os::ResourceData data = os::FindModuleResource("TTF", kFaceResources[id]);
    if (!data.data || data.size < 12) return nullptr;
    int offset = stbtt_GetFontOffsetForIndex(data.data, 0);
    if (offset < 0 || !stbtt_InitFont(&face.info, data.data, offset)) return nullptr;
    stbtt_GetFontVMetrics(&face.info, &face.ascent, &face.descent, &face.lineGap);
    face.usable = face.ascent > face.descent;
    return face.usable ? &face : nullptr;
}

bool MetricsFor(const LICE_TextStyle& style, Metrics* m) {
    if (style.size <= 0) return false;
    bool liberation = NameContains(style.font, "arial") || NameContains(style.font, "liberation") ||
                      NameContains(style.font, "helvetica");
    bool bold = (style.style & LICE_TEXT_BOLD) != 0;
    m->id = liberation ? (bold ? kLiberationBold : kLiberation) : (bold ? kDejaVuBold : kDejaVu);
    m->face = LoadFace(m->id);
    if (!m->face) return false;
    m->size = std::min(style.size, kMaxTextSize);
    m->scale = stbtt_ScaleForPixelHeight(&m->face->info, float(m->size));
    m->baseline = int(std::lround(m->face->ascent * m->scale));
    m->lineHeight = m->size + int(std::lround(m->face->lineGap * m->scale));
    m->italic = (style.style & LICE_TEXT_ITALIC) != 0;
    return true;
}

// UTF-8 decoding; a byte that does not start a valid sequence stands for itself (Latin-1).
std::vector<std::vector<int>> SplitLines(const std::string& text) {
    std::vector<std::vector<int>> lines(1);
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    for (size_t i = 0; i < n;) {
        int c = s[i], extra = 0, cp = c;
        if (c >= 0xc2 && c <= 0xdf)
            extra = 1, cp = c & 0x1f;
        else if (c >= 0xe0 && c <= 0xef)
            extra = 2, cp = c & 0x0f;
        else if (c >= 0xf0 && c <= 0xf4)
            extra = 3, cp = c & 0x07;
        bool valid = i + size_t(extra) < n;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xc0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3f);
        }
        bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (!valid || overlong || cp > 0x10ffff || (cp >= 0xd800 && cp < 0xe000)) {
            extra = 0;
            cp = c;
        }
        i += size_t(extra) + 1;
        if (cp == '\n')
            lines.emplace_back();
        else if (cp != '\r')
            lines.back().push_back(cp);
    }
    return lines;
}

float LineAdvance(const Metrics& m, const std::vector<int>& line) {
    float width = 0;
    for (int cp : line) {
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&m.face->info, cp, &advance, &bearing);
        width += advance * m.scale;
    }
    return width;
}

const Glyph& GlyphFor(const Metrics& m, int cp, int subpixel) {
    auto key = std::make_tuple(int(m.id), m.size, cp, subpixel, m.italic);
    auto found = gGlyphs.find(key);
    if (found != gGlyphs.end()) return found->second;
    if (gGlyphs.size() >= kMaxCachedGlyphs) gGlyphs.clear();
    Glyph& g = gGlyphs[key];
    float shift = float(subpixel) / kSubpixelSteps;
    int x0, y0, x1, y1;
    stbtt_GetCodepointBitmapBoxSubpixel(&m.face->info, cp, m.scale, m.scale, shift, 0, &x0, &y0,
                                        &x1, &y1);
    if (x1 <= x0 || y1 <= y0) return g;
    int w = x1 - x0, h = y1 - y0;
    std::vector<uint8_t> upright(size_t(w) * size_t(h), 0);
    stbtt_MakeCodepointBitmapSubpixel(&m.face->info, upright.data(), w, h, w, m.scale, m.scale,
                                      shift, 0, cp);
    if (!m.italic) {
        g.left = x0, g.top = y0, g.width = w, g.height = h;
        g.coverage = std::move(upright);
        return g;
    }
    // Slant: each row moves right by its height above the baseline, split between two pixels.
    int lean = int(std::ceil(std::max(std::fabs(y0), std::fabs(y1)) * kItalicSlant)) + 1;
    g.left = x0 - lean, g.top = y0, g.width = w + 2 * lean, g.height = h;
    g.coverage.assign(size_t(g.width) * size_t(h), 0);
    for (int row = 0; row < h; ++row) {
        float offset = -(float(y0 + row) + 0.5f) * kItalicSlant + float(lean);
        int whole = int(std::floor(offset));
        int part = int((offset - float(whole)) * 256.0f + 0.5f);
        for (int col = 0; col < w; ++col) {
            int c = upright[size_t(row) * w + col];
            if (!c) continue;
            int x = col + whole;
            uint8_t* out = &g.coverage[size_t(row) * g.width];
            if (x >= 0 && x < g.width)
                out[x] = uint8_t(std::min(255, out[x] + ((c * (256 - part)) >> 8)));
            if (x + 1 >= 0 && x + 1 < g.width)
                out[x + 1] = uint8_t(std::min(255, out[x + 1] + ((c * part) >> 8)));
        }
    }
    return g;
}

LICE_TextExtent Extent(const Metrics& m, const std::vector<std::vector<int>>& lines,
                       std::vector<float>* widths) {
    LICE_TextExtent extent;
    for (const auto& line : lines) {
        float w = LineAdvance(m, line);
        if (widths) widths->push_back(w);
        extent.width = std::max(extent.width, int(std::ceil(w)));
    }
    extent.height = int(lines.size()) * m.lineHeight;
    return extent;
}

} // namespace

LICE_TextExtent LICE_MeasureText(const std::string& text, const LICE_TextStyle& style) {
    if (text.empty()) return LICE_TextExtent();
    std::lock_guard<std::mutex> lock(gTextMutex);
    Metrics m;
    if (!MetricsFor(style, &m)) return LICE_TextExtent();
    return Extent(m, SplitLines(text), nullptr);
}

LICE_TextExtent LICE_DrawText(LICE_IBitmap* dest, const std::string& text, const LICE_Rect& rect,
                              const LICE_TextStyle& style, const LICE_Rect* clip) {
    if (text.empty()) return LICE_TextExtent();
    std::lock_guard<std::mutex> lock(gTextMutex);
    Metrics m;
    if (!MetricsFor(style, &m)) return LICE_TextExtent();
    std::vector<std::vector<int>> lines = SplitLines(text);
    std::vector<float> widths;
    LICE_TextExtent extent = Extent(m, lines, &widths);
    LICE_Rect area = LICE_Intersect(rect, DrawableArea(dest, clip));
    if (area.empty()) return extent;

    int64_t top = int64_t(rect.top) + (int64_t(rect.bottom) - rect.top - extent.height) / 2;
    for (size_t i = 0; i < lines.size(); ++i) {
        int64_t baseline = top + int64_t(i) * m.lineHeight + m.baseline;
        if (baseline - m.lineHeight > area.bottom || baseline + m.lineHeight < area.top) continue;
        int64_t start = rect.left;
        int64_t spare = int64_t(rect.right) - rect.left - int64_t(std::ceil(widths[i]));
        if (style.align == LICE_ALIGN_CENTER)
            start += spare / 2;
        else if (style.align == LICE_ALIGN_FAR)
            start += spare;
        float pen = 0;
        for (int cp : lines[i]) {
            int advance = 0, bearing = 0;
            stbtt_GetCodepointHMetrics(&m.face->info, cp, &advance, &bearing);
            int whole = int(std::floor(pen));
            int subpixel = int((pen - float(whole)) * kSubpixelSteps + 0.5f);
            if (subpixel == kSubpixelSteps) ++whole, subpixel = 0;
            pen += advance * m.scale;
            int64_t gx = start + whole;
            if (gx > int64_t(area.right) + m.size) break; // no glyph reaches back that far
            const Glyph& g = GlyphFor(m, cp, subpixel);
            // The glyph's box cut to the area, in glyph coordinates.
            int64_t left = gx + g.left, gtop = baseline + g.top;
            int64_t c0 = std::max<int64_t>(0, area.left - left);
            int64_t c1 = std::min<int64_t>(g.width, area.right - left);
            int64_t r0 = std::max<int64_t>(0, area.top - gtop);
            int64_t r1 = std::min<int64_t>(g.height, area.bottom - gtop);
            for (int64_t r = r0; r < r1; ++r) {
                LICE_pixel* row = Row(dest, int(gtop + r));
                const uint8_t* cover = &g.coverage[size_t(r) * size_t(g.width)];
                for (int64_t c = c0; c < c1; ++c) {
                    int v = cover[c];
                    if (v)
                        row[left + c] = LICE_BlendPixel(row[left + c], style.color, v + (v >> 7),
                                                        LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
                }
            }
        }
    }
    return extent;
}
