// LICE: the small graphics library under the editor. It draws into 32-bit ARGB bitmaps with
// plain integer arithmetic, so that one drawing gives the same pixels on every target.
//
// Pixels are LICE_pixel values 0xAARRGGBB with straight (not premultiplied) alpha. In memory on
// little-endian machines that is B, G, R, A: the layout of a 32-bit top-down DIB section and of
// a 24/32-bit TrueColor XImage, so a window's back buffer can be wrapped without conversion.
//
// Coordinates are pixels, x to the right and y down; rectangles are LICE_Rect (left, top,
// right, bottom) with right and bottom exclusive. Every drawing operation takes an optional
// clip rectangle in destination coordinates and never touches a pixel outside the clip or the
// destination bitmap, whatever its arguments: a rectangle, frame or clip that lies partly or
// wholly outside is cut, one that is empty or inverted draws nothing.
//
// Not thread-safe per bitmap; the caches (fonts, glyphs, resource bitmaps) are process-wide and
// guarded, so several editors may draw at once.
//
// Typical use by an editor: wrap the window's back buffer in a LICE_WrapperBitmap, and let
// each control draw into it with the region being redrawn as the clip, for example
//   const LICE_IBitmap* knob = LICE_LoadPNGResource(115);   // cached; null when missing
//   LICE_BlitFrame(&backBuffer, knob, frame, 31, false, controlRect, greyed ? 0.25f : 1.0f,
//                  LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA, &dirtyRect);
//   LICE_DrawText(&backBuffer, "Cutoff", labelRect, style, &dirtyRect);
// PNG resources are listed in resources/CMakeLists.txt with type PNG and their number as name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef uint32_t LICE_pixel;

inline LICE_pixel LICE_RGBA(int r, int g, int b, int a) {
    return (LICE_pixel(a & 255) << 24) | (LICE_pixel(r & 255) << 16) | (LICE_pixel(g & 255) << 8) |
           LICE_pixel(b & 255);
}
inline int LICE_GETA(LICE_pixel p) {
    return int(p >> 24);
}
inline int LICE_GETR(LICE_pixel p) {
    return int((p >> 16) & 255);
}
inline int LICE_GETG(LICE_pixel p) {
    return int((p >> 8) & 255);
}
inline int LICE_GETB(LICE_pixel p) {
    return int(p & 255);
}

struct LICE_Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    LICE_Rect() = default;
    LICE_Rect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    // Limited to the int range: a rectangle may reach from INT_MIN to INT_MAX.
    int width() const { return Span(left, right); }
    int height() const { return Span(top, bottom); }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const LICE_Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const LICE_Rect& o) const { return !(*this == o); }

private:
    static int Span(int from, int to) {
        int64_t span = int64_t(to) - from;
        return span > INT32_MAX ? INT32_MAX : span < INT32_MIN ? INT32_MIN : int(span);
    }
};
// The overlap of two rectangles (empty when they do not meet).
LICE_Rect LICE_Intersect(const LICE_Rect& a, const LICE_Rect& b);
// The smallest rectangle holding both; an empty rectangle adds nothing.
LICE_Rect LICE_Union(const LICE_Rect& a, const LICE_Rect& b);

// A bitmap: width × height pixels, rows `rowSpan` pixels apart (rowSpan ≥ width).
class LICE_IBitmap {
public:
    virtual ~LICE_IBitmap() = default;
    virtual LICE_pixel* getBits() = 0;
    const LICE_pixel* getBits() const { return const_cast<LICE_IBitmap*>(this)->getBits(); }
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    virtual int getRowSpan() const = 0;

    LICE_Rect bounds() const { return LICE_Rect(0, 0, getWidth(), getHeight()); }
    // Reading a pixel outside the bitmap gives 0 (transparent black).
    LICE_pixel getPixel(int x, int y) const;
};

// A bitmap that owns its pixels. A new or resized bitmap is transparent black.
class LICE_MemBitmap : public LICE_IBitmap {
public:
    LICE_MemBitmap(int width = 0, int height = 0) { resize(width, height); }
    // Negative sizes count as 0. Keeps nothing of the old pixels.
    void resize(int width, int height);
    using LICE_IBitmap::getBits;
    LICE_pixel* getBits() override { return pixels_.empty() ? nullptr : pixels_.data(); }
    int getWidth() const override { return width_; }
    int getHeight() const override { return height_; }
    int getRowSpan() const override { return width_; }

private:
    std::vector<LICE_pixel> pixels_;
    int width_ = 0, height_ = 0;
};

// A bitmap over pixels owned by someone else (a DIB section, an XImage). The memory must hold
// height rows of rowSpan pixels and outlive the wrapper.
class LICE_WrapperBitmap : public LICE_IBitmap {
public:
    LICE_WrapperBitmap(LICE_pixel* bits, int width, int height, int rowSpan)
        : bits_(bits), width_(bits && width > 0 ? width : 0),
          height_(bits && height > 0 ? height : 0), rowSpan_(rowSpan < width_ ? width_ : rowSpan) {}
    using LICE_IBitmap::getBits;
    LICE_pixel* getBits() override { return bits_; }
    int getWidth() const override { return width_; }
    int getHeight() const override { return height_; }
    int getRowSpan() const override { return rowSpan_; }

private:
    LICE_pixel* bits_;
    int width_, height_, rowSpan_;
};

// ---- Blending -------------------------------------------------------------------------------
// Every blit and fill mixes a source colour s into a destination pixel d with a weight
// (0..1, the "alpha" argument) turned into w = round(weight · 256). Per channel c:
//   LICE_BLIT_MODE_COPY: d = (s·a + d·(256 − a) + 128) >> 8
//   LICE_BLIT_MODE_ADD:  d = min(255, d + ((s·a + 128) >> 8))
// where a = w, or with LICE_BLIT_USE_ALPHA a = (w · source alpha + 127) / 255. Without
// LICE_BLIT_USE_ALPHA the alpha channel is mixed like the others (so a full-weight copy copies
// the pixel exactly); with it, it is composited "over": d = (255·a + d·(256 − a) + 128) >> 8.
enum {
    LICE_BLIT_MODE_COPY = 0,
    LICE_BLIT_MODE_ADD = 1,
    LICE_BLIT_MODE_MASK = 0xff,
    LICE_BLIT_USE_ALPHA = 0x10000,
};

// Mixes one pixel as the blits do; `weight256` is 0..256.
LICE_pixel LICE_BlendPixel(LICE_pixel dest, LICE_pixel src, int weight256, int mode);

// Copies src's rectangle `srcRect` (cut to src) to dest with its top-left at (x, y).
void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int x, int y, const LICE_Rect& srcRect,
               float alpha = 1.0f, int mode = LICE_BLIT_MODE_COPY, const LICE_Rect* clip = nullptr);

// The rectangle of frame `frame` (0-based) of a strip of `frameCount` equal frames stacked
// vertically, or side by side when `horizontal`. Frames out of range are limited to the strip.
LICE_Rect LICE_FrameRect(const LICE_IBitmap* strip, int frame, int frameCount, bool horizontal);
// Draws one frame of a strip with its top-left at the top-left of `destRect`, cut to destRect.
void LICE_BlitFrame(LICE_IBitmap* dest, const LICE_IBitmap* strip, int frame, int frameCount,
                    bool horizontal, const LICE_Rect& destRect, float alpha = 1.0f,
                    int mode = LICE_BLIT_MODE_COPY, const LICE_Rect* clip = nullptr);

// ---- Shapes ---------------------------------------------------------------------------------
// Fills a rectangle. A colour with alpha below 255 together with LICE_BLIT_USE_ALPHA, or an
// alpha argument below 1, gives a translucent fill.
void LICE_FillRect(LICE_IBitmap* dest, const LICE_Rect& rect, LICE_pixel color, float alpha = 1.0f,
                   int mode = LICE_BLIT_MODE_COPY, const LICE_Rect* clip = nullptr);
// Draws the one-pixel outline just inside a rectangle.
void LICE_DrawRect(LICE_IBitmap* dest, const LICE_Rect& rect, LICE_pixel color, float alpha = 1.0f,
                   int mode = LICE_BLIT_MODE_COPY, const LICE_Rect* clip = nullptr);

struct LICE_Point {
    float x, y; // pixel centres lie at .5: the pixel (3, 4) is centred on (3.5, 4.5)
};
// An anti-aliased polyline of the given width through the points. Each pixel is mixed once,
// with the coverage of the whole line, so joints of a translucent line do not darken.
void LICE_DrawPolyline(LICE_IBitmap* dest, const LICE_Point* points, size_t count, LICE_pixel color,
                       float width = 1.0f, float alpha = 1.0f, int mode = LICE_BLIT_MODE_COPY,
                       const LICE_Rect* clip = nullptr);

// ---- Text -----------------------------------------------------------------------------------
// Text is drawn from fonts embedded in the module: "Verdana" is DejaVu Sans and "Arial" is
// Liberation Sans, each with a bold face; italic is the upright face slanted. Other names get
// DejaVu Sans. Text is UTF-8; bytes that are not valid UTF-8 are read as Latin-1. Lines are
// split at '\n'.
enum { LICE_TEXT_NORMAL = 0, LICE_TEXT_BOLD = 1, LICE_TEXT_ITALIC = 2 };
enum { LICE_ALIGN_NEAR = 0, LICE_ALIGN_CENTER = 1, LICE_ALIGN_FAR = 2 };

struct LICE_TextStyle {
    std::string font = "Verdana";
    int size = 12; // pixel height from the lowest descender to the highest ascender
    LICE_pixel color = LICE_RGBA(0, 0, 0, 255);
    int style = LICE_TEXT_NORMAL;  // LICE_TEXT_BOLD and LICE_TEXT_ITALIC may be combined
    int align = LICE_ALIGN_CENTER; // horizontal; the lines are always centred vertically
};

// The extent of the text as LICE_DrawText would lay it out: width of the widest line (rounded
// up) and height of all lines. Empty text measures 0 × 0.
struct LICE_TextExtent {
    int width = 0, height = 0;
};
LICE_TextExtent LICE_MeasureText(const std::string& text, const LICE_TextStyle& style);
// Draws the text into `rect`, cut to the rectangle (and the clip); the text colour's alpha and
// the glyph coverage weigh each pixel. Returns the extent, as LICE_MeasureText.
LICE_TextExtent LICE_DrawText(LICE_IBitmap* dest, const std::string& text, const LICE_Rect& rect,
                              const LICE_TextStyle& style, const LICE_Rect* clip = nullptr);

// ---- PNG ------------------------------------------------------------------------------------
// Decodes a PNG (any colour type and depth) into a new bitmap; false and an untouched bitmap
// when the data is not a readable PNG.
bool LICE_LoadPNGFromMemory(const void* data, size_t size, LICE_MemBitmap* out);
bool LICE_LoadPNG(const std::string& path, LICE_MemBitmap* out);
// Encodes the bitmap as an 8-bit RGBA PNG. An empty bitmap cannot be saved.
bool LICE_EncodePNG(const LICE_IBitmap* bitmap, std::vector<unsigned char>* out);
bool LICE_SavePNG(const std::string& path, const LICE_IBitmap* bitmap);
// The PNG stored in this module as resource `id` (type "PNG"), decoded once and kept for the
// life of the process; null when there is no such resource or it does not decode.
const LICE_IBitmap* LICE_LoadPNGResource(int id);
