// The X11 editor's small top-level windows: popup menus, the tooltip and the drawn dialogs.
// Each is an override-redirect window (no window-manager frame, shown where it is put) whose
// content is drawn with LICE, so it looks the same on every desktop.
#pragma once

#include "editor/PopupMenu.h"
#include "editor/X11Surface.h"
#include "editor/XlibApi.h"
#include "lice/LICE.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the popups need of the editor's display connection.
struct X11Context {
    const XlibApi* x = nullptr;
    Display* display = nullptr;
    Window editorWindow = 0;
    // Repaints part of the editor window (its content may be exposed while a popup runs).
    std::function<void(const LICE_Rect&)> repaintEditor;
};

// An override-redirect window on the root window, with a bitmap of its size.
class X11PopupWindow {
public:
    X11PopupWindow(const X11Context& context, const LICE_Rect& screenRect, long eventMask);
    ~X11PopupWindow();
    X11PopupWindow(const X11PopupWindow&) = delete;
    X11PopupWindow& operator=(const X11PopupWindow&) = delete;

    Window Handle() const { return window_; }
    const LICE_Rect& ScreenRect() const { return rect_; }
    LICE_MemBitmap& Bitmap() { return bitmap_; }
    void MoveResize(const LICE_Rect& screenRect);
    void Show();
    void Hide();
    bool Visible() const { return visible_; }
    // Puts the whole bitmap on the window.
    void Present();

private:
    const X11Context& context_;
    Window window_ = 0;
    GC gc_ = nullptr;
    LICE_Rect rect_;
    LICE_MemBitmap bitmap_;
    std::unique_ptr<X11Surface> surface_;
    bool visible_ = false;
};

// Popup menu geometry (the window tests click items by it).
constexpr int kMenuBorder = 3;      // frame and margin above the first item
constexpr int kMenuItemHeight = 20; // an item; separators are kMenuSeparatorHeight
constexpr int kMenuSeparatorHeight = 8;
constexpr int kMenuTextSize = 13;

// Shows the menu with its top-left corner at (screenX, screenY), grabs the pointer and the
// keyboard, and runs a modal loop until an item is chosen (returns the (sub)menu holding it,
// its chosen index set) or the menu is cancelled (null).
PopupMenuModel* RunPopupMenu(const X11Context& context, PopupMenuModel* menu, int screenX,
                             int screenY);

// The tooltip: a small window with one line of text, shown below-right of a point.
class X11Tooltip {
public:
    explicit X11Tooltip(const X11Context& context) : context_(context) {}
    void Show(int screenX, int screenY, const std::string& text);
    void Hide();
    bool Visible() const { return window_ && window_->Visible(); }
    // Repaints after an Expose event; false when the event is not for the tooltip.
    bool HandleExpose(Window window);

private:
    const X11Context& context_;
    std::unique_ptr<X11PopupWindow> window_;
};

// A dialog drawn by the editor, for desktops without zenity or kdialog: the text, an optional
// one-line text field (for file paths) and a row of buttons. Returns the index of the chosen
// button (Return chooses the first, Escape the last), or -1 when it could not be shown.
int RunDrawnDialog(const X11Context& context, const std::string& caption, const std::string& text,
                   const std::vector<std::string>& buttons, std::string* field);

// Removes the last UTF-8 character of a text being typed (Backspace in the editor's text boxes).
void PopUtf8Character(std::string* text);
