#include "editor/IGraphicsX11.h"

#include "editor/ExternalProgram.h"
#include "host/IParameter.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kDoubleClickMs = 400;
constexpr int kDoubleClickDistance = 4;
constexpr int kHoverMs = 500;
constexpr long kEditorEvents =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
    LeaveWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask;

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// XLookupString gives Latin-1 for the keys beyond ASCII; the editor's texts are UTF-8.
std::string Utf8FromLatin1(const char* text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

} // namespace

IGraphicsX11::IGraphicsX11(IPlugBase* plug, int width, int height, int frameRate)
    : IGraphics(plug, width, height, frameRate) {}

IGraphicsX11::~IGraphicsX11() {
    CloseEditorWindow();
}

void* IGraphicsX11::GetEditorWindow() const {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window_));
}

bool IGraphicsX11::OpenEditorWindow(void* parent) {
    if (window_) CloseEditorWindow();
    const Window parentWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
    x_ = LoadXlib();
    if (!x_ || !parentWindow) return false;
    // A connection of our own: the host's may be used by another thread, and Xlib
    // connections are not shared safely without XInitThreads, which only the host can call.
    display_ = x_->OpenDisplay(nullptr);
    if (!display_) return false;
    X11RegisterConnection(x_, display_);

    const int errorsBefore = X11ErrorCount();
    XWindowAttributes parentAttributes;
    bool ok = x_->GetWindowAttributes(display_, parentWindow, &parentAttributes) != 0;
    if (ok) {
        XSetWindowAttributes attributes = {};
        attributes.event_mask = kEditorEvents;
        attributes.background_pixmap = None; // the editor paints every pixel
        window_ = x_->CreateWindow(display_, parentWindow, 0, 0, unsigned(std::max(1, Width())),
                                   unsigned(std::max(1, Height())), 0, CopyFromParent, InputOutput,
                                   CopyFromParent, CWEventMask | CWBackPixmap, &attributes);
        x_->MapWindow(display_, window_);
        x_->Sync(display_, False);
        ok = window_ != 0 && X11ErrorCount() == errorsBefore;
    }
    if (!ok) { // no such parent window, or the server refused the child
        ReleaseWindow(window_ != 0);
        return false;
    }
    windowWidth_ = Width();
    windowHeight_ = Height();
    gc_ = x_->CreateGC(display_, window_, 0, nullptr);
    surface_.reset(new X11Surface(x_, display_, parentAttributes.visual, parentAttributes.depth));
    context_.x = x_;
    context_.display = display_;
    context_.editorWindow = window_;
    context_.repaintEditor = [this](const LICE_Rect& rect) { Present(rect); };
    tooltip_.reset(new X11Tooltip(context_));
    nextTickMs_ = NowMs();
    lastPressValid_ = false;
    hoverPending_ = false;
    forwardedPresses_ = 0;
    return true;
}

void IGraphicsX11::CloseEditorWindow() {
    if (display_) ReleaseWindow(window_ != 0);
}

void IGraphicsX11::ReleaseWindow(bool destroyWindow) {
    entry_ = TextBox();
    tooltip_.reset();
    surface_.reset();
    if (gc_) x_->FreeGC(display_, gc_);
    gc_ = nullptr;
    if (destroyWindow) x_->DestroyWindow(display_, window_);
    window_ = 0;
    context_ = X11Context();
    // Errors for the window (the host may have destroyed its own window already) must arrive
    // while the connection is still trapped.
    x_->Sync(display_, False);
    X11UnregisterConnection(x_, display_);
    x_->CloseDisplay(display_);
    display_ = nullptr;
}

// ---- Drawing --------------------------------------------------------------------------------

void IGraphicsX11::InvalidateRect(const IRect& rect) {
    if (!window_) return;
    const IRect r = LICE_Intersect(rect, IRect(0, 0, Width(), Height()));
    if (r.empty()) return;
    Draw(r);
    Present(r);
}

void IGraphicsX11::Present(const IRect& rect) {
    if (!window_ || !surface_) return;
    const IRect r = LICE_Intersect(rect, DrawBitmap()->bounds());
    if (r.empty()) return;
    if (entry_.open && !LICE_Intersect(r, entry_.rect).empty()) {
        composite_.resize(r.width(), r.height());
        LICE_Blit(&composite_, DrawBitmap(), 0, 0, r);
        DrawTextEntry(&composite_, -r.left, -r.top);
        surface_->Put(window_, gc_, &composite_, composite_.bounds(), r.left, r.top);
    } else {
        surface_->Put(window_, gc_, DrawBitmap(), r);
    }
    x_->Flush(display_);
}

void IGraphicsX11::HandleExpose(const LICE_Rect& rect) {
    // The first exposure comes before the first tick: draw what is dirty so the window never
    // shows an empty bitmap.
    IRect dirty;
    if (NeedsRedraw(&dirty)) Draw(dirty);
    Present(rect);
}

void IGraphicsX11::DrawTextEntry(LICE_IBitmap* target, int dx, int dy) const {
    const IRect box(entry_.rect.left + dx, entry_.rect.top + dy, entry_.rect.right + dx,
                    entry_.rect.bottom + dy);
    LICE_FillRect(target, box, entry_.style.entryBackground);
    LICE_DrawRect(target, box, LICE_RGBA(96, 96, 96, 255));
    LICE_TextStyle style = entry_.style.ToLice();
    style.color = entry_.style.entryColor;
    const IRect inside(box.left + 3, box.top + 1, box.right - 3, box.bottom - 1);
    const int textWidth = std::min(LICE_MeasureText(entry_.text, style).width, inside.width());
    int left = inside.left;
    if (style.align == LICE_ALIGN_CENTER) left += (inside.width() - textWidth) / 2;
    if (style.align == LICE_ALIGN_FAR) left = inside.right - textWidth;
    style.align = LICE_ALIGN_NEAR;
    const IRect textRect(left, inside.top, left + textWidth + 1, inside.bottom);
    if (entry_.allSelected && !entry_.text.empty()) {
        LICE_FillRect(target, textRect, LICE_RGBA(51, 102, 204, 255), 1.0f, LICE_BLIT_MODE_COPY,
                      &inside);
        style.color = LICE_RGBA(255, 255, 255, 255);
    }
    LICE_DrawText(target, entry_.text, textRect, style, &inside);
    if (!entry_.allSelected) {
        const int caret = std::min(left + textWidth + 1, inside.right - 1);
        LICE_FillRect(target, IRect(caret, inside.top + 2, caret + 1, inside.bottom - 2),
                      style.color);
    }
}

// ---- Events ---------------------------------------------------------------------------------

void IGraphicsX11::OnHostIdle() {
    if (!window_) return;
    while (window_ && x_->Pending(display_)) {
        XEvent event;
        x_->NextEvent(display_, &event);
        HandleEvent(event);
    }
    if (!window_) return;
    if (Width() != windowWidth_ || Height() != windowHeight_) { // the editor was resized
        windowWidth_ = Width();
        windowHeight_ = Height();
        x_->MoveResizeWindow(display_, window_, 0, 0, unsigned(std::max(1, windowWidth_)),
                             unsigned(std::max(1, windowHeight_)));
    }
    const double now = NowMs();
    if (hoverPending_ && now - lastMotionMs_ >= kHoverMs) {
        hoverPending_ = false;
        OnMouseHover(hoverX_, hoverY_);
    }
    // Ticks keep their average rate when the host idles at a rate that is not a multiple of
    // the frame rate; after a stall the schedule restarts instead of catching up.
    const double period = 1000.0 / std::max(1, FrameRate());
    if (now >= nextTickMs_) {
        OnTimerTick();
        nextTickMs_ += period;
        if (nextTickMs_ < now) nextTickMs_ = now + period;
    }
    if (display_) x_->Flush(display_);
}

void IGraphicsX11::HandleEvent(XEvent& event) {
    if (event.type == Expose && tooltip_ && tooltip_->HandleExpose(event.xexpose.window)) return;
    if (event.xany.window != window_) return;
    switch (event.type) {
    case Expose: {
        const XExposeEvent& e = event.xexpose;
        HandleExpose(LICE_Rect(e.x, e.y, e.x + e.width, e.y + e.height));
        break;
    }
    case ButtonPress:
        HandleButtonPress(event.xbutton);
        break;
    case ButtonRelease:
        HandleButtonRelease(event.xbutton);
        break;
    case MotionNotify:
        HandleMotion(event.xmotion);
        break;
    case EnterNotify:
        hoverX_ = event.xcrossing.x;
        hoverY_ = event.xcrossing.y;
        break;
    case LeaveNotify:
        // Leaving while a button is held (the drag goes on outside) or into a popup's grab is
        // no leave for the controls.
        if (event.xcrossing.mode == NotifyNormal && event.xcrossing.detail != NotifyInferior &&
            !(event.xcrossing.state & (Button1Mask | Button3Mask))) {
            hoverPending_ = false;
            HideTooltip();
            OnMouseOut();
        }
        break;
    case KeyPress:
        HandleKey(event.xkey);
        break;
    case FocusOut:
        if (entry_.open && !entry_.requested && event.xfocus.mode == NotifyNormal &&
            event.xfocus.detail != NotifyInferior && event.xfocus.detail != NotifyPointer) {
            entry_.requested = true;
            RequestTextEntryCommit(entry_.text);
        }
        break;
    case DestroyNotify: // the host destroyed its window, and ours with it
        if (event.xdestroywindow.window == window_) ReleaseWindow(false);
        break;
    default:
        break;
    }
}

IMouseMod IGraphicsX11::ModifiersOf(unsigned int state, unsigned int pressedButton) const {
    IMouseMod mod;
    mod.left = (state & Button1Mask) || pressedButton == Button1;
    mod.right = (state & Button3Mask) || pressedButton == Button3;
    mod.shift = (state & ShiftMask) != 0;
    mod.control = (state & ControlMask) != 0;
    return mod;
}

void IGraphicsX11::HandleButtonPress(const XButtonEvent& event) {
    hoverPending_ = false;
    const int x = event.x, y = event.y;
    if (event.button == Button4 || event.button == Button5) {
        if (entry_.open) return; // the box has the focus: the controls get no wheel
        OnMouseWheel(x, y, ModifiersOf(event.state, 0), event.button == Button4 ? 1 : -1);
        return;
    }
    if (event.button != Button1 && event.button != Button3) return;
    if (entry_.open) {
        // A click elsewhere in the editor cancels the box; a click inside it stays in it.
        const bool inside = x >= entry_.rect.left && x < entry_.rect.right &&
                            y >= entry_.rect.top && y < entry_.rect.bottom;
        if (!inside && !entry_.requested) {
            entry_.requested = true;
            RequestTextEntryCancel();
        }
        return;
    }
    const IMouseMod mod = ModifiersOf(event.state, event.button);
    const bool doubleClick = event.button == Button1 && lastPressValid_ &&
                             event.time - lastPressTime_ <= Time(kDoubleClickMs) &&
                             std::abs(x - lastPressX_) <= kDoubleClickDistance &&
                             std::abs(y - lastPressY_) <= kDoubleClickDistance;
    lastPressValid_ = event.button == Button1 && !doubleClick; // a third click starts anew
    lastPressTime_ = event.time;
    lastPressX_ = x;
    lastPressY_ = y;
    forwardedPresses_ |= 1u << event.button;
    modalRan_ = false;
    if (doubleClick) {
        OnDoubleClick(x, y, mod);
    } else {
        OnMouseDown(x, y, mod);
    }
    if (modalRan_) FinishModalClick(event.button, x, y);
}

// A popup menu or dialog opened from a press takes the release with it; the framework still
// needs its button-up to release the capture and end the parameter edit.
void IGraphicsX11::FinishModalClick(unsigned int button, int x, int y) {
    modalRan_ = false;
    if (!window_) return;
    Window root, child;
    int rootX, rootY, winX, winY;
    unsigned int state = 0;
    if (!x_->QueryPointer(display_, window_, &root, &child, &rootX, &rootY, &winX, &winY, &state))
        return;
    const unsigned int mask = button == Button1 ? Button1Mask : Button3Mask;
    if (state & mask) return; // still held: the real release will come
    forwardedPresses_ &= ~(1u << button);
    OnMouseUp(x, y, ModifiersOf(state, 0));
}

void IGraphicsX11::HandleButtonRelease(const XButtonEvent& event) {
    if (!(forwardedPresses_ & (1u << event.button))) return;
    forwardedPresses_ &= ~(1u << event.button);
    IMouseMod mod = ModifiersOf(event.state, 0);
    // The state holds the buttons before the release.
    if (event.button == Button1) mod.left = false;
    if (event.button == Button3) mod.right = false;
    OnMouseUp(event.x, event.y, mod);
}

void IGraphicsX11::HandleMotion(const XMotionEvent& event) {
    const IMouseMod mod = ModifiersOf(event.state, 0);
    if ((mod.left || mod.right) && forwardedPresses_) {
        hoverPending_ = false;
        OnMouseDrag(event.x, event.y, mod);
        return;
    }
    OnMouseOver(event.x, event.y, mod);
    if (TooltipsEnabled() && (event.x != hoverX_ || event.y != hoverY_ || !hoverPending_)) {
        hoverX_ = event.x;
        hoverY_ = event.y;
        lastMotionMs_ = NowMs();
        hoverPending_ = true;
    }
}

int IGraphicsX11::VirtualKeyFromKeySym(unsigned long keysym) {
    if (keysym >= XK_0 && keysym <= XK_9) return int('0' + (keysym - XK_0));
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return int('0' + (keysym - XK_KP_0));
    if (keysym >= XK_a && keysym <= XK_z) return int('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z) return int('A' + (keysym - XK_A));
    switch (keysym) {
    case XK_space:
        return 0x20;
    case XK_Left:
        return 0x25;
    case XK_Up:
        return 0x26;
    case XK_Right:
        return 0x27;
    case XK_Down:
        return 0x28;
    case XK_Return:
    case XK_KP_Enter:
        return 0x0D;
    case XK_Escape:
        return 0x1B;
    case XK_BackSpace:
        return 0x08;
    default:
        return -1;
    }
}

void IGraphicsX11::HandleKey(XKeyEvent& event) {
    char typed[16] = {};
    KeySym keysym = 0;
    const int count = x_->LookupString(&event, typed, sizeof(typed) - 1, &keysym, nullptr);
    if (entry_.open) {
        HandleTextEntryKey(keysym, typed, count);
        return;
    }
    // Keys are mapped from the unshifted symbol, as the virtual-key codes are.
    const int code = KeyCodeFromVirtualKey(VirtualKeyFromKeySym(x_->LookupKeysym(&event, 0)));
    // There is no host window to pass an unhandled key to: it is dropped.
    if (code >= 0) OnKeyDown(event.x, event.y, code);
}

// ---- Text entry -----------------------------------------------------------------------------

void IGraphicsX11::ShowTextEntry(IControl* control, const IText& text, const IRect& rect,
                                 const std::string& initialText, const IParameter* param) {
    if (!window_) return;
    if (entry_.open) DestroyTextEntry();
    entry_ = TextBox();
    entry_.open = true;
    entry_.rect = LICE_Intersect(rect, IRect(0, 0, Width(), Height()));
    entry_.text = initialText;
    entry_.maxLength = control && control->TextEntryLength() > 0 ? control->TextEntryLength() : 31;
    entry_.param = param;
    entry_.style = text;
    // Typing must reach the box wherever the pointer goes; the focus goes back on close.
    int revert = 0;
    x_->GetInputFocus(display_, &entry_.previousFocus, &revert);
    x_->SetInputFocus(display_, window_, RevertToParent, CurrentTime);
    Present(entry_.rect);
}

void IGraphicsX11::HandleTextEntryKey(unsigned long keysym, const char* typed, int count) {
    if (entry_.requested) return;
    if (keysym == XK_Return || keysym == XK_KP_Enter) {
        entry_.requested = true;
        RequestTextEntryCommit(entry_.text);
        return;
    }
    if (keysym == XK_Escape) {
        entry_.requested = true;
        RequestTextEntryCancel();
        return;
    }
    if (keysym == XK_BackSpace) {
        if (entry_.allSelected)
            entry_.text.clear();
        else
            PopUtf8Character(&entry_.text);
        entry_.allSelected = false;
        Present(entry_.rect);
        return;
    }
    if (count <= 0 || static_cast<unsigned char>(typed[0]) < 32 || typed[0] == 127) return;
    const std::string character = Utf8FromLatin1(typed, 1);
    if (!TextEntryAccepts(entry_.param, static_cast<unsigned char>(typed[0]))) return;
    if (entry_.allSelected) entry_.text.clear(); // typing replaces the selected text
    entry_.allSelected = false;
    if (CharacterCount(entry_.text) < size_t(entry_.maxLength)) entry_.text += character;
    Present(entry_.rect);
}

void IGraphicsX11::DestroyTextEntry() {
    if (!entry_.open) return;
    const IRect rect = entry_.rect;
    const Window previousFocus = entry_.previousFocus;
    entry_ = TextBox();
    if (!window_) return;
    if (previousFocus != None && previousFocus != window_)
        x_->SetInputFocus(display_, previousFocus, RevertToParent, CurrentTime);
    Present(rect);
}

// ---- Popups ---------------------------------------------------------------------------------

bool IGraphicsX11::ToScreen(int x, int y, int* screenX, int* screenY) const {
    Window child;
    return window_ && x_->TranslateCoordinates(display_, window_,
                                               RootWindow(display_, DefaultScreen(display_)), x, y,
                                               screenX, screenY, &child);
}

PopupMenuModel* IGraphicsX11::ShowPopupMenu(PopupMenuModel* menu, const IRect& rect) {
    int screenX = 0, screenY = 0;
    if (!menu || !ToScreen(rect.left, rect.bottom, &screenX, &screenY)) return nullptr;
    HideTooltip();
    hoverPending_ = false;
    modalRan_ = true;
    return RunPopupMenu(context_, menu, screenX, screenY);
}

void IGraphicsX11::ShowTooltip(const IRect& near, const std::string& text) {
    int screenX = 0, screenY = 0;
    if (!tooltip_ || text.empty() || !ToScreen(near.left, near.bottom + 4, &screenX, &screenY))
        return;
    tooltip_->Show(screenX, screenY, text);
}

void IGraphicsX11::HideTooltip() {
    if (tooltip_) tooltip_->Hide();
}

// ---- Dialogs and the browser ----------------------------------------------------------------

int IGraphicsX11::ShowMessageBox(const char* text, const char* caption, int type) {
    const bool yesNo = type == kMessageYesNo;
    const std::string message = text ? text : "";
    const std::string title = caption ? caption : "";
    const bool error = title == "Error";
    modalRan_ = true;
    int status = -1;
    if (const std::string zenity = FindProgram("zenity"); !zenity.empty()) {
        status = RunProgram(zenity,
                            {yesNo   ? "--question"
                             : error ? "--error"
                                     : "--info",
                             "--no-markup", "--title=" + title, "--text=" + message},
                            nullptr);
    } else if (const std::string kdialog = FindProgram("kdialog"); !kdialog.empty()) {
        status = RunProgram(kdialog,
                            {"--title", title,
                             yesNo   ? "--yesno"
                             : error ? "--error"
                                     : "--msgbox",
                             message},
                            nullptr);
    }
    if (status < 0 && display_) { // no dialog program, or it could not run
        const int button = RunDrawnDialog(context_, title, message,
                                          yesNo ? std::vector<std::string>{"Yes", "No"}
                                                : std::vector<std::string>{"OK"},
                                          nullptr);
        status = button < 0 ? 1 : button;
    }
    if (!yesNo) return kResultOk;
    return status == 0 ? kResultYes : kResultNo;
}

bool IGraphicsX11::AskForFile(bool save, const char* extension, const char* proposedName,
                              const char* startFolder, std::string* path) {
    path->clear();
    const std::string ext = extension ? extension : "";
    std::string start = startFolder ? startFolder : "";
    if (!start.empty() && start.back() != '/') start += '/';
    start += proposedName ? proposedName : "";
    const std::string title = save ? "Save file" : "Open file";
    modalRan_ = true;

    std::string chosen;
    int status = -1;
    if (const std::string zenity = FindProgram("zenity"); !zenity.empty()) {
        std::vector<std::string> args = {"--file-selection", "--title=" + title,
                                         "--filename=" + start};
        if (!ext.empty()) args.push_back("--file-filter=*." + ext);
        if (save) {
            args.push_back("--save");
            args.push_back("--confirm-overwrite");
        }
        status = RunProgram(zenity, args, &chosen);
    } else if (const std::string kdialog = FindProgram("kdialog"); !kdialog.empty()) {
        status = RunProgram(kdialog,
                            {"--title", title, save ? "--getsavefilename" : "--getopenfilename",
                             start, ext.empty() ? "*" : "*." + ext},
                            &chosen);
    }
    if (status < 0) {
        if (!display_) return false;
        chosen = start;
        const std::string prompt = "File name" + (ext.empty() ? "" : " (*." + ext + ")") + ":";
        if (RunDrawnDialog(context_, title, prompt, {"OK", "Cancel"}, &chosen) != 0) return false;
        // As a typed name without extension gets the default one.
        const size_t slash = chosen.rfind('/');
        const std::string name = chosen.substr(slash == std::string::npos ? 0 : slash + 1);
        if (save && !ext.empty() && !name.empty() && name.find('.') == std::string::npos)
            chosen += "." + ext;
        status = name.empty() ? 1 : 0;
    }
    while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r'))
        chosen.pop_back();
    if (status != 0 || chosen.empty()) return false;
    *path = chosen;
    return true;
}

bool IGraphicsX11::OpenWebPage(const char* url) {
    const std::string opener = FindProgram("xdg-open");
    return url && *url && !opener.empty() && StartDetached(opener, {url});
}

IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height, int frameRate) {
    return new IGraphicsX11(plug, width, height, frameRate);
}
