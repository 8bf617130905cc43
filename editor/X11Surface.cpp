#include "editor/X11Surface.h"

#include <cstring>

namespace {

void MaskShape(unsigned long mask, int* shift, int* bits) {
    *shift = 0;
    *bits = 0;
    if (!mask) return;
    while (!(mask & 1)) {
        mask >>= 1;
        ++*shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++*bits;
    }
}

unsigned long Scale(int value8, int shift, int bits) {
    if (bits <= 0) return 0;
    unsigned long value =
        bits >= 8 ? (unsigned long)value8 << (bits - 8) : (unsigned long)value8 >> (8 - bits);
    return value << shift;
}

} // namespace

X11Surface::X11Surface(const XlibApi* x, Display* display, Visual* visual, int depth)
    : x_(x), display_(display), visual_(visual), depth_(depth) {
    direct_ = (depth == 24 || depth == 32) && visual->c_class == TrueColor &&
              visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
              visual->blue_mask == 0xff;
    MaskShape(visual->red_mask, &redShift_, &redBits_);
    MaskShape(visual->green_mask, &greenShift_, &greenBits_);
    MaskShape(visual->blue_mask, &blueShift_, &blueBits_);
}

unsigned long X11Surface::ConvertPixel(LICE_pixel pixel) const {
    return Scale(LICE_GETR(pixel), redShift_, redBits_) |
           Scale(LICE_GETG(pixel), greenShift_, greenBits_) |
           Scale(LICE_GETB(pixel), blueShift_, blueBits_);
}

void X11Surface::Put(Window window, GC gc, const LICE_IBitmap* bitmap, const LICE_Rect& rect,
                     int dx, int dy) {
    const LICE_Rect r = LICE_Intersect(rect, bitmap->bounds());
    if (r.empty() || !bitmap->getBits()) return;
    char* bits = reinterpret_cast<char*>(const_cast<LICE_pixel*>(bitmap->getBits()));
    if (direct_) {
        // An image over the whole bitmap; XPutImage sends only the rectangle's rows.
        XImage* image =
            x_->CreateImage(display_, visual_, depth_, ZPixmap, 0, bits, bitmap->getWidth(),
                            bitmap->getHeight(), 32, bitmap->getRowSpan() * 4);
        if (image && image->bits_per_pixel != 32) { // a packed 24-bit server format
            image->data = nullptr;
            XDestroyImage(image);
            direct_ = false;
            image = nullptr;
        }
        if (image) {
            image->byte_order = LSBFirst; // the pixels are B, G, R, A in memory on every host
            x_->PutImage(display_, window, gc, image, r.left, r.top, r.left + dx, r.top + dy,
                         r.width(), r.height());
            image->data = nullptr; // the pixels belong to the bitmap
            XDestroyImage(image);
            return;
        }
    }
    // Any other visual: one row at a time through an image of the server's own format.
    XImage* image =
        x_->CreateImage(display_, visual_, depth_, ZPixmap, 0, nullptr, r.width(), 1, 32, 0);
    if (!image) return;
    rowBuffer_.assign(size_t(image->bytes_per_line), 0);
    image->data = rowBuffer_.data();
    const int span = bitmap->getRowSpan();
    const LICE_pixel* pixels = bitmap->getBits();
    for (int y = r.top; y < r.bottom; ++y) {
        const LICE_pixel* row = pixels + size_t(y) * span;
        for (int xx = r.left; xx < r.right; ++xx)
            XPutPixel(image, xx - r.left, 0, ConvertPixel(row[xx]));
        x_->PutImage(display_, window, gc, image, 0, 0, r.left + dx, y + dy, r.width(), 1);
    }
    image->data = nullptr;
    XDestroyImage(image);
}
