// The editor: a stack of controls drawn into one off-screen bitmap, shown in a window that a
// platform back end provides (Win32 on Windows, X11 on Linux, none in tests).
//
// IGraphics holds everything that does not depend on the window system: the control list and
// its dirty tracking, the drawing cycle, mouse and key dispatch, the idle counter, value entry
// and the binding to the instance's parameters. A back end turns window-system events into the
// On... calls below, calls OnTimerTick every 1000 / FrameRate() ms, and implements the pure
// virtual window operations.
//
// Threads: everything here runs on the host's user-interface thread, except
// SetParameterFromPlug, which hosts also call from the audio thread. It only stores the value
// (no allocation, no lock); the next timer tick shows it.
#pragma once

#include "editor/IControl.h"
#include "editor/PopupMenu.h"
#include "host/IEditor.h"
#include "host/Os.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class IParameter;

class IGraphics : public IEditor {
public:
    IGraphics(IPlugBase* plug, int width, int height, int frameRate = 25);
    ~IGraphics() override;

    // --- IEditor.
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetParameterFromPlug(int index, double value, bool normalized) override;
    bool OpenWindow(void* parent) override;
    void CloseWindow() override;
    void OnAttached() override;

    // --- Controls. The graphics owns them; AddControl returns its index.
    int AddControl(IControl* control);
    // Inserts a bitmap control showing resource `id` at index 0.
    void SetBackground(int resourceId, const char* fileName);
    int NControls() const { return static_cast<int>(controls_.size()); }
    IControl* GetControl(int index) const;
    void SetKeyCatcher(IControl* control) { keyCatcher_ = control; }
    void SetStrictDrawing(bool strict) { strictDrawing_ = strict; }
    void HandleMouseOver(bool handle) { handleMouseOver_ = handle; }
    void EnableTooltips(bool enable) { tooltips_ = enable; }
    bool TooltipsEnabled() const { return tooltips_; }
    // The editor's own lock, held while instrument code changes controls from outside. The
    // editor holds it only while it draws and while the control list changes, never while it
    // waits for the instance lock: code that holds the instance lock may take it.
    os::RecursiveLock& ControlLock() { return controlLock_; }

    // --- Binding to parameters.
    void ShowParameterValue(int index, double value, bool normalized);
    void MarkAllControlsChanged();
    IPlugBase* Plug() const { return plug_; }

    // --- Drawing cycle.
    // One timer tick: finishes a pending text entry, counts idle ticks (the instance's OnIdle
    // after 21 clean ticks in a row), shows values the instance sent, and asks the back end to
    // repaint what is dirty.
    void OnTimerTick();
    // The union of the dirty controls' rectangles; false when nothing is dirty.
    bool NeedsRedraw(IRect* rect);
    // Draws the controls that the rectangle needs into the drawing bitmap.
    void Draw(const IRect& rect);
    int FrameRate() const { return frameRate_; }
    int IdleCount() const { return idleCount_; }
    LICE_IBitmap* DrawBitmap() { return &drawBitmap_; }
    const IRect& DrawnRegion() const { return drawnRegion_; }
    void Resize(int width, int height);

    // --- Drawing primitives for controls, cut to the current drawing region. Frames of a
    // strip count from 1; a null bitmap draws nothing.
    void DrawBitmapFrame(const LICE_IBitmap* strip, int frameCount, bool horizontal, int frame,
                         const IRect& rect, const IBlend& blend);
    void FillRect(LICE_pixel color, const IRect& rect, const IBlend& blend = IBlend());
    void DrawRect(LICE_pixel color, const IRect& rect, const IBlend& blend = IBlend());
    void DrawPolyline(const LICE_Point* points, size_t count, LICE_pixel color, float width,
                      const IBlend& blend = IBlend());
    // Draws the text into the rectangle; with `measure` only sets the rectangle to the extent.
    void DrawText(const IText& text, const char* string, IRect* rect, bool measure = false);
    // Resource `id` of the module (PNG 101..116), decoded once; null when missing.
    const LICE_IBitmap* LoadBitmap(int resourceId, const char* fileName);

    // --- Input from the back end, in window coordinates.
    void OnMouseDown(int x, int y, const IMouseMod& mod);
    void OnMouseUp(int x, int y, const IMouseMod& mod);
    void OnMouseDrag(int x, int y, const IMouseMod& mod);
    void OnMouseOver(int x, int y, const IMouseMod& mod);
    void OnMouseOut();
    void OnDoubleClick(int x, int y, const IMouseMod& mod);
    void OnMouseWheel(int x, int y, const IMouseMod& mod, int notches);
    // The hover timer fired over (x, y): shows the tooltip of the control there.
    void OnMouseHover(int x, int y);
    // A key in the codes below; false when nobody took it (the back end passes it to the host).
    bool OnKeyDown(int x, int y, int keyCode);
    // Key codes: space 0, up 1, down 2, left 3, right 4, '0'..'9' 5..14, 'A'..'Z' 15..40.
    enum { kKeySpace = 0, kKeyUp, kKeyDown, kKeyLeft, kKeyRight, kKeyDigit0, kKeyA = 15 };
    // Windows virtual-key code (also 'a'..'z') to key code; -1 when the key has none.
    static int KeyCodeFromVirtualKey(int virtualKey);
    // The control hit-testing finds at (x, y): the last visible, ungreyed one containing it.
    int FindControl(int x, int y) const;
    int CapturedControl() const { return mouseCapture_; }
    int MouseOverControl() const { return mouseOver_; }

    // --- Value entry: a popup menu for parameters with display texts, else a text box.
    void OpenValueEntry(IControl* control, int paramIndex, const IRect& rect);
    // Whether a text box for the parameter takes the character (backspace always).
    static bool TextEntryAccepts(const IParameter* param, int character);
    // Opens a text box for the control; with paramIndex -1 the committed text goes to the
    // control's OnTextEntered (any printable character is taken).
    void OpenTextEntry(IControl* control, int paramIndex, const IRect& rect,
                       const std::string& initialText);
    bool TextEntryOpen() const { return textEntry_.open; }
    // The back end reports the end of a text box; the next timer tick carries it out. A click
    // on the panel while a box is open commits the last text reported (the initial text when
    // none was), so a back end that holds newer text reports it before passing the click on.
    void RequestTextEntryCommit(const std::string& text);
    void RequestTextEntryCancel();

    // --- Window operations of the back end.
    virtual bool OpenEditorWindow(void* parent) = 0;
    virtual void CloseEditorWindow() = 0;
    virtual bool WindowIsOpen() const = 0;
    virtual void* GetEditorWindow() const = 0;
    virtual const char* DrawingApiName() const = 0;
    // Asks for a repaint of the rectangle; the repaint calls Draw and shows the bitmap.
    virtual void InvalidateRect(const IRect& rect) = 0;
    // Shows the menu at the rectangle's left-bottom corner and waits for the choice; returns
    // the (sub)menu that holds the chosen item, with its chosen index set, or null.
    virtual PopupMenuModel* ShowPopupMenu(PopupMenuModel* menu, const IRect& rect) = 0;
    // Opens a text box over the rectangle with the initial text selected. Its character filter
    // is TextEntryAccepts; Return or losing focus commits, Escape cancels (RequestTextEntry...).
    virtual void ShowTextEntry(IControl* control, const IText& text, const IRect& rect,
                               const std::string& initialText, const IParameter* param) = 0;
    // Removes the text box; returns nothing, the text came with the request.
    virtual void DestroyTextEntry() = 0;
    virtual void ShowTooltip(const IRect& near, const std::string& text) = 0;
    virtual void HideTooltip() = 0;
    enum MessageBoxType { kMessageOk = 0, kMessageYesNo = 4 };
    enum MessageBoxResult { kResultOk = 1, kResultYes = 6, kResultNo = 7 };
    virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
    // A file dialog: save or open, with a default extension, a proposed file name and a start
    // folder. False (and an empty path) when cancelled.
    virtual bool AskForFile(bool save, const char* extension, const char* proposedName,
                            const char* startFolder, std::string* path) = 0;
    virtual bool OpenWebPage(const char* url) = 0;

protected:
    // Drawing bitmap and scratch bitmap, made at attach (or at the first open) and on resize.
    void MakeBitmaps();
    void HandleTextEntryRequest();
    void ApplyPendingValues();

    IPlugBase* plug_;
    int width_, height_, frameRate_;
    std::vector<std::unique_ptr<IControl>> controls_;
    os::RecursiveLock controlLock_;
    LICE_MemBitmap drawBitmap_, scratchBitmap_;
    IRect drawnRegion_;
    IRect drawRegion_; // where the controls may draw during Draw
    int mouseCapture_ = -1, mouseOver_ = -1;
    int lastMouseX_ = -1, lastMouseY_ = -1;
    IControl* keyCatcher_ = nullptr;
    bool strictDrawing_ = false, handleMouseOver_ = false, tooltips_ = false;
    int idleCount_ = 0;

    struct TextEntry {
        bool open = false;
        enum { kNone, kCommit, kCancel } request = kNone;
        std::string text;
        IControl* control = nullptr;
        int paramIndex = -1;
        bool skipNextTick = false;
    } textEntry_;

    // Values the instance sent, one slot per parameter: NaN when nothing is pending.
    std::unique_ptr<std::atomic<double>[]> pendingValues_;
    int pendingCount_ = 0;
    std::atomic<bool> anyPending_{false};
};

// The window-system back end of this platform (Win32 or X11) for the instance.
IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height, int frameRate = 25);
