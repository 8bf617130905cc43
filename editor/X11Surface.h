// Puts LICE pixels on an X11 window. When the window's visual is 24/32-bit TrueColor with the
// usual masks, an XImage is laid over the bitmap's own pixels (BGRA in memory is what such a
// visual expects); for any other visual each row is converted through the visual's masks.
#pragma once

#include "editor/XlibApi.h"
#include "lice/LICE.h"

#include <vector>

class X11Surface {
public:
    X11Surface(const XlibApi* x, Display* display, Visual* visual, int depth);
    // Copies `rect` of the bitmap (cut to it) to the window at the same position plus (dx, dy).
    void Put(Window window, GC gc, const LICE_IBitmap* bitmap, const LICE_Rect& rect, int dx = 0,
             int dy = 0);
    bool DirectPixels() const { return direct_; }

private:
    unsigned long ConvertPixel(LICE_pixel pixel) const;

    const XlibApi* x_;
    Display* display_;
    Visual* visual_;
    int depth_;
    bool direct_;
    int redShift_, greenShift_, blueShift_;
    int redBits_, greenBits_, blueBits_;
    std::vector<char> rowBuffer_;
};
