// The X11 back end of the editor (Linux): a child window of the host's window on a display
// connection of its own. X11 has no timer that calls back into a plug-in, so the host's idle
// calls (effEditIdle) drive everything: events are drained and the drawing cycle runs from
// OnHostIdle, on the host's user-interface thread.
#pragma once

#include "editor/IGraphics.h"
#include "editor/X11Popup.h"
#include "editor/XlibApi.h"

#include <memory>
#include <string>

class IGraphicsX11 : public IGraphics {
public:
    IGraphicsX11(IPlugBase* plug, int width, int height, int frameRate);
    ~IGraphicsX11() override;

    void OnHostIdle() override;

    bool OpenEditorWindow(void* parent) override;
    void CloseEditorWindow() override;
    bool WindowIsOpen() const override { return window_ != 0; }
    void* GetEditorWindow() const override;
    const char* DrawingApiName() const override { return "X11"; }
    void InvalidateRect(const IRect& rect) override;
    PopupMenuModel* ShowPopupMenu(PopupMenuModel* menu, const IRect& rect) override;
    void ShowTextEntry(IControl* control, const IText& text, const IRect& rect,
                       const std::string& initialText, const IParameter* param) override;
    void DestroyTextEntry() override;
    void ShowTooltip(const IRect& near, const std::string& text) override;
    void HideTooltip() override;
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    bool AskForFile(bool save, const char* extension, const char* proposedName,
                    const char* startFolder, std::string* path) override;
    bool OpenWebPage(const char* url) override;

    // Windows virtual-key code of an X keysym (the keys the editor knows), or -1.
    static int VirtualKeyFromKeySym(unsigned long keysym);

private:
    void HandleEvent(XEvent& event);
    void HandleButtonPress(const XButtonEvent& event);
    void HandleButtonRelease(const XButtonEvent& event);
    void HandleMotion(const XMotionEvent& event);
    void HandleKey(XKeyEvent& event);
    void HandleTextEntryKey(unsigned long keysym, const char* typed, int count);
    void HandleExpose(const LICE_Rect& rect);
    // Destroys what is left after the window went away, with or without the server's help.
    void ReleaseWindow(bool destroyWindow);
    // Puts the drawing bitmap's rectangle on the window, with the text entry over it.
    void Present(const IRect& rect);
    void DrawTextEntry(LICE_IBitmap* target, int dx, int dy) const;
    bool ToScreen(int x, int y, int* screenX, int* screenY) const;
    IMouseMod ModifiersOf(unsigned int state, unsigned int pressedButton) const;
    void FinishModalClick(unsigned int button, int x, int y);

    const XlibApi* x_ = nullptr;
    Display* display_ = nullptr;
    Window window_ = 0;
    GC gc_ = nullptr;
    std::unique_ptr<X11Surface> surface_;
    X11Context context_;
    std::unique_ptr<X11Tooltip> tooltip_;
    LICE_MemBitmap composite_;

    int windowWidth_ = 0, windowHeight_ = 0; // follows the editor's size (Resize)
    double nextTickMs_ = 0.0;
    bool modalRan_ = false; // a menu or dialog ran its own loop during the current event
    unsigned int forwardedPresses_ = 0; // bit per button whose press reached the framework
    // Double clicks: the last left press.
    Time lastPressTime_ = 0;
    int lastPressX_ = 0, lastPressY_ = 0;
    bool lastPressValid_ = false;
    // Hover: where and when the pointer last moved.
    double lastMotionMs_ = 0.0;
    int hoverX_ = 0, hoverY_ = 0;
    bool hoverPending_ = false;

    struct TextBox {
        bool open = false;
        bool requested = false; // commit or cancel asked for; input is over
        bool allSelected = true;
        IRect rect;
        std::string text;
        int maxLength = 7;
        const IParameter* param = nullptr;
        IText style;
        Window previousFocus = 0;
    } entry_;
};
