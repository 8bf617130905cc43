// The framework's stock controls. The instrument's own controls derive from them.
#pragma once

#include "editor/IControl.h"

// Fills its rectangle with one colour.
class IPanelControl : public IControl {
public:
    IPanelControl(IPlugBase* plug, const IRect& rect, LICE_pixel color, IBlend blend = IBlend())
        : IControl(plug, rect, -1, blend), color_(color) {}
    void Draw(IGraphics* graphics) override;
    void SetColor(LICE_pixel color) { color_ = color; }

private:
    LICE_pixel color_;
};

// Shows one frame of a strip of equal frames (PNG resource `resourceId`), stacked vertically or
// side by side; the frame follows the value. A missing bitmap draws nothing.
class IBitmapControl : public IControl {
public:
    IBitmapControl(IPlugBase* plug, const IRect& rect, int paramIndex, int resourceId,
                   const char* fileName, int frameCount, bool horizontal = false,
                   IBlend blend = IBlend());
    void Draw(IGraphics* graphics) override;

    // The 1-based frame of an n-frame strip that shows `value`.
    static int FrameOf(double value, int frameCount);
    int FrameCount() const { return frameCount_; }
    int ResourceId() const { return resourceId_; }

protected:
    const LICE_IBitmap* Bitmap(IGraphics* graphics) const;

    int resourceId_;
    const char* fileName_;
    int frameCount_;
    bool horizontal_;
};

// A click steps through the frames and wraps to the first after the last; a two-frame switch
// toggles. A right click asks for a value as any control does.
class ISwitchControl : public IBitmapControl {
public:
    using IBitmapControl::IBitmapControl;
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void OnDoubleClick(int x, int y, const IMouseMod& mod) override { OnMouseDown(x, y, mod); }
};

// On (the last frame) while the button is held, off when it is let go.
class IContactControl : public ISwitchControl {
public:
    using ISwitchControl::ISwitchControl;
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void OnMouseUp(int x, int y, const IMouseMod& mod) override;
};

// A switch without a picture: a click toggles the value between 0 and 1.
class IInvisibleSwitchControl : public IControl {
public:
    using IControl::IControl;
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void Draw(IGraphics*) override {}
};

// A knob turned by dragging: up (or right, when horizontal) raises the value. The gearing is
// how many control heights (widths) a full turn takes; shift or control gives ten times finer
// movement. Each wheel notch moves it 0.01 (0.001 with shift or control).
class IKnobControl : public IControl {
public:
    static constexpr double kDefaultGearing = 4.0;
    IKnobControl(IPlugBase* plug, const IRect& rect, int paramIndex, bool horizontal = false,
                 double gearing = kDefaultGearing)
        : IControl(plug, rect, paramIndex), horizontal_(horizontal), gearing_(gearing) {}
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
    void OnMouseWheel(int x, int y, const IMouseMod& mod, int notches) override;
    void SetGearing(double gearing) { gearing_ = gearing; }

protected:
    bool horizontal_;
    double gearing_;
};

// A knob drawn as one frame of a strip (PNG resource), the frame following the value.
class IKnobMultiControl : public IKnobControl {
public:
    IKnobMultiControl(IPlugBase* plug, const IRect& rect, int paramIndex, int resourceId,
                      const char* fileName, int frameCount, bool horizontal = false,
                      double gearing = kDefaultGearing);
    void Draw(IGraphics* graphics) override;

private:
    int resourceId_;
    const char* fileName_;
    int frameCount_;
};

// A handle bitmap moved along a track (the control's rectangle). A click or a drag puts the
// handle's centre under the pointer; the wheel moves it by 0.01 a notch (0.001 with shift or
// control); a right click asks for a value. Without its bitmap it draws nothing and its handle
// has no length.
class IFaderControl : public IControl {
public:
    IFaderControl(IPlugBase* plug, const IRect& track, int paramIndex, int handleResourceId,
                  const char* handleFileName, bool horizontal = false);
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
    void OnMouseWheel(int x, int y, const IMouseMod& mod, int notches) override;
    void Draw(IGraphics* graphics) override;
    virtual void MoveHandleToPointer(int x, int y);

    // Where the handle is drawn at the present value.
    IRect HandleRect() const;

protected:
    const LICE_IBitmap* Handle() const;
    int HandleLength() const;

    int handleResourceId_;
    const char* handleFileName_;
    bool horizontal_;
};

// Draws a text with its text style. The text lives in a fixed array, so setting it never
// allocates; setting the text it already shows leaves the control clean.
class ITextControl : public IControl {
public:
    ITextControl(IPlugBase* plug, const IRect& rect, const IText& text, const char* string = "");
    void Draw(IGraphics* graphics) override;
    void SetTextFromPlug(const char* string);
    const char* GetTextString() const { return string_; }

private:
    char string_[kControlTextCapacity];
};
