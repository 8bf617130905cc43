#include "editor/IControls.h"

#include "editor/IGraphics.h"
#include "host/IParameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

double WheelStep(const IMouseMod& mod) {
    return mod.shift || mod.control ? 0.001 : 0.01;
}

} // namespace

void IPanelControl::Draw(IGraphics* graphics) {
    graphics->FillRect(color_, rect_, blend_);
}

// --- Bitmaps.

IBitmapControl::IBitmapControl(IPlugBase* plug, const IRect& rect, int paramIndex, int resourceId,
                               const char* fileName, int frameCount, bool horizontal, IBlend blend)
    : IControl(plug, rect, paramIndex, blend), resourceId_(resourceId), fileName_(fileName),
      frameCount_(frameCount), horizontal_(horizontal) {}

int IBitmapControl::FrameOf(double value, int frameCount) {
    if (frameCount < 2) return 1;
    const double scaled = (frameCount - 1) * value + 0.5;
    // Compared before converting, so that no value (NaN, huge) converts out of range.
    if (!(scaled >= 0.0)) return 1;
    if (scaled >= frameCount - 1) return frameCount;
    return std::min(std::max(static_cast<int>(scaled) + 1, 1), frameCount);
}

const LICE_IBitmap* IBitmapControl::Bitmap(IGraphics* graphics) const {
    return graphics->LoadBitmap(resourceId_, fileName_);
}

void IBitmapControl::Draw(IGraphics* graphics) {
    graphics->DrawBitmapFrame(Bitmap(graphics), frameCount_, horizontal_,
                              FrameOf(value_, frameCount_), rect_, blend_);
}

void ISwitchControl::OnMouseDown(int x, int y, const IMouseMod& mod) {
    if (mod.right) {
        IBitmapControl::OnMouseDown(x, y, mod);
        return;
    }
    if (frameCount_ < 2) {
        value_ = value_ < 0.5 ? 1.0 : 0.0;
    } else {
        value_ += 1.0 / (frameCount_ - 1);
        if (value_ > 1.001) value_ = 0.0;
    }
    MarkChanged(true);
}

void IContactControl::OnMouseDown(int x, int y, const IMouseMod& mod) {
    if (mod.right) {
        IBitmapControl::OnMouseDown(x, y, mod);
        return;
    }
    value_ = 1.0;
    MarkChanged(true);
}

void IContactControl::OnMouseUp(int, int, const IMouseMod&) {
    if (value_ == 0.0) return;
    value_ = 0.0;
    MarkChanged(true);
}

void IInvisibleSwitchControl::OnMouseDown(int x, int y, const IMouseMod& mod) {
    if (mod.right) {
        IControl::OnMouseDown(x, y, mod);
        return;
    }
    value_ = value_ < 0.5 ? 1.0 : 0.0;
    MarkChanged(true);
}

// --- Knobs.

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, const IMouseMod& mod) {
    double gearing = gearing_;
    if (mod.shift || mod.control) gearing *= 10.0;
    if (horizontal_) {
        if (rect_.width() > 0) value_ += dX / static_cast<double>(rect_.width()) / gearing;
    } else {
        // Screen y grows downward: moving up (negative dY) raises the value.
        if (rect_.height() > 0) value_ += dY / static_cast<double>(-rect_.height()) / gearing;
    }
    MarkChanged(true);
}

void IKnobControl::OnMouseWheel(int, int, const IMouseMod& mod, int notches) {
    value_ += notches * WheelStep(mod);
    MarkChanged(true);
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, const IRect& rect, int paramIndex,
                                     int resourceId, const char* fileName, int frameCount,
                                     bool horizontal, double gearing)
    : IKnobControl(plug, rect, paramIndex, horizontal, gearing), resourceId_(resourceId),
      fileName_(fileName), frameCount_(frameCount) {}

void IKnobMultiControl::Draw(IGraphics* graphics) {
    graphics->DrawBitmapFrame(graphics->LoadBitmap(resourceId_, fileName_), frameCount_, false,
                              IBitmapControl::FrameOf(value_, frameCount_), rect_, blend_);
}

// --- Fader.

IFaderControl::IFaderControl(IPlugBase* plug, const IRect& track, int paramIndex,
                             int handleResourceId, const char* handleFileName, bool horizontal)
    : IControl(plug, track, paramIndex), handleResourceId_(handleResourceId),
      handleFileName_(handleFileName), horizontal_(horizontal) {}

const LICE_IBitmap* IFaderControl::Handle() const {
    return LICE_LoadPNGResource(handleResourceId_);
}

int IFaderControl::HandleLength() const {
    const LICE_IBitmap* handle = Handle();
    if (!handle) return 0;
    return horizontal_ ? handle->getWidth() : handle->getHeight();
}

IRect IFaderControl::HandleRect() const {
    const LICE_IBitmap* handle = Handle();
    const int length = HandleLength();
    const int trackLength = horizontal_ ? rect_.width() : rect_.height();
    const double travel = std::max(0, trackLength - length);
    const double value = std::min(std::max(value_, 0.0), 1.0);
    if (horizontal_) {
        const int left = rect_.left + static_cast<int>(std::lround(value * travel));
        const int height = handle ? handle->getHeight() : 0;
        return IRect(left, rect_.top, left + length, rect_.top + height);
    }
    const int top = rect_.top + static_cast<int>(std::lround((1.0 - value) * travel));
    const int width = handle ? handle->getWidth() : 0;
    return IRect(rect_.left, top, rect_.left + width, top + length);
}

void IFaderControl::MoveHandleToPointer(int x, int y) {
    const int length = HandleLength();
    const double travel = (horizontal_ ? rect_.width() : rect_.height()) - length;
    if (travel <= 0.0) return;
    if (horizontal_)
        value_ = (x - length / 2.0 - rect_.left) / travel;
    else
        value_ = 1.0 - (y - length / 2.0 - rect_.top) / travel;
    MarkChanged(true);
}

void IFaderControl::OnMouseDown(int x, int y, const IMouseMod& mod) {
    if (mod.right) {
        IControl::OnMouseDown(x, y, mod);
        return;
    }
    if (mod.left) MoveHandleToPointer(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int, int, const IMouseMod&) {
    MoveHandleToPointer(x, y);
}

void IFaderControl::OnMouseWheel(int, int, const IMouseMod& mod, int notches) {
    value_ += notches * WheelStep(mod);
    MarkChanged(true);
}

void IFaderControl::Draw(IGraphics* graphics) {
    graphics->DrawBitmapFrame(graphics->LoadBitmap(handleResourceId_, handleFileName_), 1, false, 1,
                              HandleRect(), blend_);
}

// --- Text.

ITextControl::ITextControl(IPlugBase* plug, const IRect& rect, const IText& text,
                           const char* string)
    : IControl(plug, rect) {
    text_ = text;
    CopyText(string_, string ? string : "", kControlTextCapacity);
}

void ITextControl::SetTextFromPlug(const char* string) {
    if (!string) string = "";
    if (std::strncmp(string_, string, kControlTextCapacity - 1) == 0) return;
    CopyText(string_, string, kControlTextCapacity);
    SetDirty();
}

void ITextControl::Draw(IGraphics* graphics) {
    if (!string_[0]) return;
    IText text = text_;
    // A greyed text fades like a greyed bitmap.
    if (blend_.weight < 1.0f) {
        const int alpha = static_cast<int>(LICE_GETA(text.color) * blend_.weight + 0.5f);
        text.color = (text.color & 0x00ffffffu) | (LICE_pixel(alpha) << 24);
    }
    IRect rect = rect_;
    graphics->DrawText(text, string_, &rect);
}
