// A control on the editor panel: a rectangle that draws itself into the editor's bitmap, takes
// mouse and keys, and may be bound to one parameter of the instance (and to further parameters
// through auxiliary bindings). Values are normalised, 0..1.
//
// The virtual operations are the control family's extension points; the stock controls of
// IControls.h and the instrument's own controls override them.
#pragma once

#include "lice/LICE.h"

#include <string>
#include <vector>

class IGraphics;
class IPlugBase;

typedef LICE_Rect IRect;

// Buttons and modifier keys held with a mouse event.
struct IMouseMod {
    bool left = false, right = false, shift = false, control = false;
};

// How a control is mixed into the panel: a LICE blit mode and a weight (0.25 when greyed).
struct IBlend {
    int mode = LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
    float weight = 1.0f;
};

// A control's text style; also used for its text-entry box.
struct IText {
    enum { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
    enum { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
    std::string font = "Verdana";
    int size = 12;
    LICE_pixel color = LICE_RGBA(0, 0, 0, 255);
    LICE_pixel entryBackground = LICE_RGBA(255, 255, 255, 255);
    LICE_pixel entryColor = LICE_RGBA(0, 0, 0, 255);
    int style = kStyleNormal;
    int align = kAlignCenter;
    int orientation = 0;
    int quality = 0;

    LICE_TextStyle ToLice() const;
};

// Longest text a display control shows, and the longest name or value text it is given.
constexpr int kControlTextCapacity = 64;

class ITextControl;

class IControl {
public:
    IControl(IPlugBase* plug, const IRect& rect, int paramIndex = -1, IBlend blend = IBlend());
    virtual ~IControl() = default;
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // Mouse and keys, in window coordinates. The default right-button action asks for a value.
    virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
    virtual void OnMouseUp(int, int, const IMouseMod&) {}
    virtual void OnMouseDrag(int, int, int, int, const IMouseMod&) {}
    virtual void OnDoubleClick(int x, int y, const IMouseMod& mod);
    virtual void OnMouseWheel(int, int, const IMouseMod&, int) {}
    virtual bool OnKeyDown(int, int, int) { return false; }
    virtual void OnMouseOver(int, int, const IMouseMod&) {}
    virtual void OnMouseOut() {}

    // Draws into the graphics' drawing bitmap, inside the current drawing region.
    virtual void Draw(IGraphics* graphics) = 0;

    // A value from the instance (never sent back); the first one also becomes the default.
    virtual void TakeInstanceValue(double value);
    // A value the user chose (sent to the instance).
    virtual void TakeUserValue(double value);
    virtual void OnTextEntered(const char*) {}
    virtual void Hide(bool hidden);
    virtual void SetGreyed(bool greyed);
    virtual bool ContainsPoint(int x, int y) const;
    virtual void MarkChanged(bool pushToPlug);
    virtual void MarkDrawn();
    virtual bool NeedsRedraw() const { return dirty_; }
    virtual void OnReserved() {}
    virtual void TakeInstanceAuxValue(int auxIndex, double value);

    // --- Set-up, normally right after construction.
    void SetTargetRect(const IRect& rect) { targetRect_ = rect; }
    void SetText(const IText& text) { text_ = text; }
    void SetTextEntryLength(int length) { textEntryLength_ = length; }
    void SetClamp(double low, double high);
    void SetPromptEnabled(bool enabled) { promptDisabled_ = !enabled; }
    void SetDoubleClickAsClick(bool asClick) { doubleClickAsClick_ = asClick; }
    void SetMouseOverWhenGreyed(bool overWhenGreyed) { mouseOverWhenGreyed_ = overWhenGreyed; }
    void SetTooltip(const std::string& tooltip) { tooltip_ = tooltip; }
    // Text controls that mirror this control's parameter value (with its label) and name.
    void SetValueDisplay(ITextControl* display) { valueDisplay_ = display; }
    void SetNameDisplay(ITextControl* display) { nameDisplay_ = display; }
    void AddAuxParameter(int paramIndex);

    // --- State.
    IPlugBase* Plug() const { return plug_; }
    const IRect& Rect() const { return rect_; }
    const IRect& TargetRect() const { return targetRect_; }
    int ParamIndex() const { return paramIndex_; }
    bool IsBound() const { return paramIndex_ >= 0; }
    double Value() const { return value_; }
    void SetValue(double value) { value_ = value; }
    double DefaultValue() const { return defaultValue_; }
    const IText& Text() const { return text_; }
    int TextEntryLength() const { return textEntryLength_; }
    const IBlend& Blend() const { return blend_; }
    bool IsHidden() const { return hidden_; }
    bool IsGreyed() const { return greyed_; }
    bool PromptDisabled() const { return promptDisabled_; }
    bool DoubleClickAsClick() const { return doubleClickAsClick_; }
    bool MouseOverWhenGreyed() const { return mouseOverWhenGreyed_; }
    const std::string& Tooltip() const { return tooltip_; }
    void SetDirty() { dirty_ = true; }

    struct AuxParameter {
        double value;
        int paramIndex;
    };
    const std::vector<AuxParameter>& AuxParameters() const { return aux_; }

protected:
    IGraphics* Graphics() const;
    // Refreshes the linked value and name displays from the bound parameter.
    void UpdateDisplays();

    int textEntryLength_ = 7;
    IText text_;
    IPlugBase* plug_;
    IRect rect_;
    IRect targetRect_;
    int paramIndex_;
    std::vector<AuxParameter> aux_;
    double value_ = 0.0;
    double defaultValue_ = -1.0;
    double clampLow_ = 0.0, clampHigh_ = 1.0;
    bool dirty_ = true;
    bool hidden_ = false;
    bool greyed_ = false;
    bool redrawPending_ = false;
    bool promptDisabled_ = true;
    bool doubleClickAsClick_ = false;
    bool mouseOverWhenGreyed_ = false;
    IBlend blend_;
    ITextControl* valueDisplay_ = nullptr;
    ITextControl* nameDisplay_ = nullptr;
    std::string tooltip_;
};
