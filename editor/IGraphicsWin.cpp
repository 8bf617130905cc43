#include "editor/IGraphicsWin.h"

#include "host/IParameter.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

const UINT_PTR kTimerId = 2;
const UINT_PTR kTooltipId = 1;

// The window class is shared by every editor of the process (hosts open several instances,
// sometimes on different threads): registered with the first window, unregistered after the
// last one closes, so that unloading the module leaves no class behind.
std::mutex classLock;
int openWindows = 0;

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

bool AcquireWindowClass(HINSTANCE module, WNDPROC proc) {
    std::lock_guard<std::mutex> hold(classLock);
    if (openWindows == 0) {
        WNDCLASSA windowClass = {};
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = proc;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = IGraphicsWin::WindowClassName();
        if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return false;
    }
    ++openWindows;
    return true;
}

void ReleaseWindowClass(HINSTANCE module) {
    std::lock_guard<std::mutex> hold(classLock);
    if (openWindows > 0 && --openWindows == 0)
        UnregisterClassA(IGraphicsWin::WindowClassName(), module);
}

IMouseMod ModifiersFrom(WPARAM keyState) {
    IMouseMod mod;
    mod.left = (keyState & MK_LBUTTON) != 0;
    mod.right = (keyState & MK_RBUTTON) != 0;
    mod.shift = (keyState & MK_SHIFT) != 0;
    mod.control = (keyState & MK_CONTROL) != 0;
    return mod;
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    const int copied = GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

// Gives the items of the menu and its sub-menus consecutive command identifiers, depth first,
// the numbering PopupMenuModel::ChooseById maps back.
HMENU BuildMenu(const PopupMenuModel& model, int* nextId) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    for (int i = 0; i < model.NItems(); ++i) {
        const PopupMenuModel::Item& item = model.GetItem(i);
        const int id = (*nextId)++;
        if (item.IsSeparator()) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING;
        if (item.flags & PopupMenuModel::kGreyed) flags |= MF_GRAYED;
        if (item.flags & PopupMenuModel::kDisabled) flags |= MF_DISABLED;
        if (item.flags & PopupMenuModel::kChecked) flags |= MF_CHECKED;
        const std::string label = model.ItemLabel(i);
        if (item.subMenu) {
            HMENU subMenu = BuildMenu(*item.subMenu, nextId);
            if (subMenu) {
                AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(subMenu),
                            label.c_str());
                continue;
            }
        }
        AppendMenuA(menu, flags, static_cast<UINT_PTR>(id), label.c_str());
    }
    return menu;
}

} // namespace

IGraphicsWin::IGraphicsWin(IPlugBase* plug, int width, int height, int frameRate)
    : IGraphics(plug, width, height, frameRate), module_(ThisModule()) {}

IGraphicsWin::~IGraphicsWin() {
    // A host may destroy the instance with the editor still open.
    if (window_) CloseEditorWindow();
}

bool IGraphicsWin::OpenEditorWindow(void* parent) {
    HWND parentWindow = static_cast<HWND>(parent);
    if (!parentWindow || !IsWindow(parentWindow)) return false;
    if (window_) {
        if (parentWindow == parent_) return true;
        CloseEditorWindow();
    }
    if (drawBitmap_.getWidth() != width_ || drawBitmap_.getHeight() != height_) MakeBitmaps();
    if (!AcquireWindowClass(module_, WindowProc)) return false;

    int x = 0, y = 0, w = width_, h = height_;
    if (hasLastPlace_) {
        x = lastPlace_.left;
        y = lastPlace_.top;
        // The old size only while the editor kept its size: a resized panel needs its own.
        if (placeWidth_ == width_ && placeHeight_ == height_) {
            w = lastPlace_.right - lastPlace_.left;
            h = lastPlace_.bottom - lastPlace_.top;
        }
    }
    parent_ = parentWindow;
    // The text box is a child: clipping children keeps repaints from drawing over it.
    window_ = CreateWindowExA(0, WindowClassName(), "IPlug",
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y, w, h,
                              parentWindow, nullptr, module_, this);
    if (!window_) {
        parent_ = nullptr;
        ReleaseWindowClass(module_);
        return false;
    }
    SetTimer(window_, kTimerId, static_cast<UINT>(1000 / std::max(1, FrameRate())), nullptr);
    for (auto& control : controls_)
        control->SetDirty();
    if (TooltipsEnabled()) CreateTooltipWindow();
    return true;
}

void IGraphicsWin::CreateTooltipWindow() {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    tooltipWindow_ =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, module_, nullptr);
    if (!tooltipWindow_) {
        EnableTooltips(false);
        return;
    }
    SetWindowPos(tooltipWindow_, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(tooltipWindow_, TTM_SETMAXTIPWIDTH, 0, 400);
}

void IGraphicsWin::CloseEditorWindow() {
    if (!window_) return;
    DestroyTextEntry();
    if (tooltipWindow_) {
        HideTooltip();
        DestroyWindow(tooltipWindow_);
        tooltipWindow_ = nullptr;
    }
    // Remember the place, so that a re-opened editor comes back where the host had put it.
    RECT place;
    if (GetWindowRect(window_, &place)) {
        MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&place), 2);
        lastPlace_ = place;
        placeWidth_ = width_;
        placeHeight_ = height_;
        hasLastPlace_ = true;
    }
    KillTimer(window_, kTimerId);
    if (GetCapture() == window_) ReleaseCapture();
    DestroyWindow(window_);
    window_ = nullptr;
    parent_ = nullptr;
    trackingMouse_ = false;
    ReleaseWindowClass(module_);
}

void IGraphicsWin::InvalidateRect(const IRect& rect) {
    if (!window_ || rect.empty()) return;
    RECT area = {rect.left, rect.top, rect.right, rect.bottom};
    ::InvalidateRect(window_, &area, FALSE);
}

LRESULT CALLBACK IGraphicsWin::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    IGraphicsWin* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || self->window_ != window) {
        if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    // No exception may unwind into the host's frames.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT IGraphicsWin::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (message) {
    case WM_TIMER:
        if (wParam != kTimerId) break;
        OnTimerTick();
        if (window_) UpdateWindow(window_);
        return 0;
    case WM_ERASEBKGND:
        return 1; // every pixel comes from the drawing bitmap
    case WM_PAINT:
        Paint();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        MouseDown(x, y, ModifiersFrom(wParam));
        return 0;
    case WM_LBUTTONDBLCLK:
        if (TextEntryOpen()) {
            MouseDown(x, y, ModifiersFrom(wParam));
        } else {
            SetFocus(window_);
            SetCapture(window_);
            OnDoubleClick(x, y, ModifiersFrom(wParam));
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (GetCapture() == window_) ReleaseCapture();
        OnMouseUp(x, y, ModifiersFrom(wParam));
        return 0;
    case WM_MOUSEMOVE:
        if ((wParam & (MK_LBUTTON | MK_RBUTTON)) && GetCapture() == window_) {
            OnMouseDrag(x, y, ModifiersFrom(wParam));
        } else {
            OnMouseOver(x, y, ModifiersFrom(wParam));
            TrackMouse();
        }
        return 0;
    case WM_MOUSEHOVER:
        OnMouseHover(x, y);
        return 0;
    case WM_MOUSELEAVE:
        trackingMouse_ = false;
        OnMouseOut();
        return 0;
    case WM_MOUSEWHEEL: {
        if (TextEntryOpen()) {
            // The box keeps the wheel while it has the focus; a wheel elsewhere ends it.
            if (GetFocus() != textEntry_) EndTextEntry(false);
            return 0;
        }
        POINT at = {x, y}; // the wheel message carries screen coordinates
        ScreenToClient(window_, &at);
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        if (notches != 0)
            OnMouseWheel(at.x, at.y, ModifiersFrom(GET_KEYSTATE_WPARAM(wParam)), notches);
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN: {
        const int code = KeyCodeFromVirtualKey(static_cast<int>(wParam));
        POINT at = {-1, -1};
        GetCursorPos(&at);
        ScreenToClient(window_, &at);
        if (code < 0 || !OnKeyDown(at.x, at.y, code)) PassKeyToHost(message, wParam, lParam);
        return 0;
    }
    case WM_KEYUP:
        PassKeyToHost(message, wParam, lParam);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

void IGraphicsWin::MouseDown(int x, int y, const IMouseMod& mod) {
    if (TextEntryOpen()) {
        // A click beside a box that still has the focus throws the typing away; when the
        // focus had already left the box, the box has committed, as leaving it does.
        if (GetFocus() == textEntry_) {
            EndTextEntry(false);
        } else {
            IGraphics::OnMouseDown(x, y, mod);
        }
        return;
    }
    SetFocus(window_);
    SetCapture(window_);
    IGraphics::OnMouseDown(x, y, mod);
}

void IGraphicsWin::TrackMouse() {
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = window_;
    track.dwHoverTime = HOVER_DEFAULT;
    trackingMouse_ = TrackMouseEvent(&track) != FALSE;
}

void IGraphicsWin::PassKeyToHost(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND root = GetAncestor(window_, GA_ROOT);
    if (root && root != window_) PostMessageA(root, message, wParam, lParam);
}

void IGraphicsWin::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    if (!dc) return;
    const IRect update(paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right,
                       paint.rcPaint.bottom);
    if (!update.empty()) Draw(update);
    LICE_IBitmap* bitmap = DrawBitmap();
    const IRect area = LICE_Intersect(update, bitmap->bounds());
    if (bitmap->getBits() && !area.empty()) {
        // The bitmap is B, G, R, A rows from the top: a 32-bit DIB with a negative height.
        // Only the updated rows go out, passed as a DIB of their own, which leaves no doubt
        // about where a top-down DIB's source origin lies.
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = bitmap->getRowSpan();
        info.bmiHeader.biHeight = -area.height();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        const LICE_pixel* rows = bitmap->getBits() + size_t(area.top) * bitmap->getRowSpan();
        SetDIBitsToDevice(dc, area.left, area.top, static_cast<DWORD>(area.width()),
                          static_cast<DWORD>(area.height()), area.left, 0, 0,
                          static_cast<UINT>(area.height()), rows, &info, DIB_RGB_COLORS);
    }
    EndPaint(window_, &paint);
}

// --- Text entry -----------------------------------------------------------------------------

void IGraphicsWin::ShowTextEntry(IControl* control, const IText& text, const IRect& rect,
                                 const std::string& initialText, const IParameter* param) {
    if (!window_) return;
    DestroyTextEntry();
    DWORD align = ES_CENTER;
    if (text.align == IText::kAlignNear) align = ES_LEFT;
    if (text.align == IText::kAlignFar) align = ES_RIGHT;
    // The rectangle's right and bottom edges belong to the box.
    textEntry_ = CreateWindowExA(
        0, "EDIT", initialText.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | align, rect.left,
        rect.top, rect.width() + 1, rect.height() + 1, window_, nullptr, module_, nullptr);
    if (!textEntry_) {
        RequestTextEntryCancel();
        return;
    }
    textEntryParam_ = param;
    textEntryEnded_ = false;
    textEntryFont_ = CreateFontA(
        text.size, 0, 0, 0, (text.style & IText::kStyleBold) ? FW_BOLD : FW_NORMAL,
        (text.style & IText::kStyleItalic) ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, text.font.c_str());
    if (textEntryFont_)
        SendMessageA(textEntry_, WM_SETFONT, reinterpret_cast<WPARAM>(textEntryFont_), FALSE);
    const int limit = control ? control->TextEntryLength() : 0;
    if (limit > 0) SendMessageA(textEntry_, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
    SetWindowLongPtrA(textEntry_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    textEntryPreviousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(textEntry_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextEntryProc)));
    SendMessageA(textEntry_, EM_SETSEL, 0, -1);
    SetFocus(textEntry_);
}

void IGraphicsWin::EndTextEntry(bool commit) {
    if (textEntryEnded_) return;
    textEntryEnded_ = true;
    if (commit) {
        RequestTextEntryCommit(textEntry_ ? WindowText(textEntry_) : std::string());
    } else {
        RequestTextEntryCancel();
    }
}

void IGraphicsWin::DestroyTextEntry() {
    if (!textEntry_) return;
    // Losing the focus while going away is no commit.
    textEntryEnded_ = true;
    HWND box = textEntry_;
    const bool hadFocus = GetFocus() == box;
    if (hadFocus && window_) SetFocus(window_);
    DestroyWindow(box);
    textEntry_ = nullptr;
    textEntryParam_ = nullptr;
    if (textEntryFont_) DeleteObject(textEntryFont_);
    textEntryFont_ = nullptr;
    if (window_) ::InvalidateRect(window_, nullptr, FALSE);
}

LRESULT CALLBACK IGraphicsWin::TextEntryProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    IGraphicsWin* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(box, GWLP_USERDATA));
    if (!self || self->textEntry_ != box) return DefWindowProcA(box, message, wParam, lParam);
    try {
        return self->HandleTextEntryMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT IGraphicsWin::HandleTextEntryMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND box = textEntry_;
    WNDPROC previous = textEntryPreviousProc_;
    switch (message) {
    case WM_GETDLGCODE:
        // Return and Escape belong to the box, not to a host's dialog manager.
        return DLGC_WANTALLKEYS | CallWindowProcA(previous, box, message, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            EndTextEntry(true);
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            EndTextEntry(false);
            return 0;
        }
        break;
    case WM_CHAR: {
        const int character = static_cast<int>(wParam);
        if (character == '\r' || character == '\n' || character == 27) return 0; // done above
        if (character == '\b' || TextEntryAccepts(textEntryParam_, character)) break;
        return 0;
    }
    case WM_KILLFOCUS:
        EndTextEntry(true);
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        SetWindowLongPtrA(box, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return CallWindowProcA(previous, box, message, wParam, lParam);
}

// --- Menus, tooltips and dialogs ------------------------------------------------------------

PopupMenuModel* IGraphicsWin::ShowPopupMenu(PopupMenuModel* menu, const IRect& rect) {
    if (!window_ || !menu) return nullptr;
    int nextId = 1;
    HMENU shown = BuildMenu(*menu, &nextId);
    if (!shown) return nullptr;
    POINT at = {rect.left, rect.bottom};
    ClientToScreen(window_, &at);
    // The menu takes the mouse for itself; a capture left from the click would fight it.
    if (GetCapture() == window_) ReleaseCapture();
    const int id = TrackPopupMenu(shown, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, at.x, at.y,
                                  0, window_, nullptr);
    DestroyMenu(shown);
    PopupMenuModel* chosen = id > 0 ? menu->ChooseById(id, 1) : nullptr;
    if (window_) ::InvalidateRect(window_, nullptr, FALSE);
    return chosen;
}

void IGraphicsWin::ShowTooltip(const IRect& anchor, const std::string& text) {
    if (!tooltipWindow_ || !window_ || text.empty()) return;
    HideTooltip();
    tooltipText_ = text;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE; // understood by every version of the common controls
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = window_;
    tool.uId = kTooltipId;
    tool.hinst = module_;
    tool.lpszText = &tooltipText_[0];
    tool.rect = {anchor.left, anchor.top, anchor.right, anchor.bottom};
    if (!SendMessageA(tooltipWindow_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool))) {
        // This system's tooltips do not work with the editor: stop asking.
        DestroyWindow(tooltipWindow_);
        tooltipWindow_ = nullptr;
        EnableTooltips(false);
        return;
    }
    POINT at = {anchor.left, anchor.bottom};
    ClientToScreen(window_, &at);
    SendMessageA(tooltipWindow_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    SendMessageA(tooltipWindow_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    tooltipShown_ = true;
}

void IGraphicsWin::HideTooltip() {
    if (!tooltipWindow_ || !tooltipShown_) return;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = window_;
    tool.uId = kTooltipId;
    SendMessageA(tooltipWindow_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(tooltipWindow_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    tooltipShown_ = false;
}

int IGraphicsWin::ShowMessageBox(const char* text, const char* caption, int type) {
    const UINT style = type == kMessageYesNo ? MB_YESNO : MB_OK;
    return MessageBoxA(window_ ? window_ : parent_, text ? text : "", caption ? caption : "",
                       style);
}

bool IGraphicsWin::AskForFile(bool save, const char* extension, const char* proposedName,
                              const char* startFolder, std::string* path) {
    if (path) path->clear();
    if (!path) return false;
    std::vector<char> name(32768, '\0');
    if (proposedName) strncpy(name.data(), proposedName, name.size() - 1);

    // "EXT files (*.ext)", "*.ext", "All files", "*.*", each ending in a zero, then one more.
    std::string filter;
    const std::string ext = extension && *extension ? extension : "";
    if (!ext.empty()) {
        filter += ext + " files (*." + ext + ")";
        filter.push_back('\0');
        filter += "*." + ext;
        filter.push_back('\0');
    }
    filter += "All files (*.*)";
    filter.push_back('\0');
    filter += "*.*";
    filter.push_back('\0');
    filter.push_back('\0');

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window_ ? window_ : parent_;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = startFolder && *startFolder ? startFolder : nullptr;
    dialog.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    BOOL chosen;
    if (save) {
        dialog.Flags |= OFN_OVERWRITEPROMPT;
        chosen = GetSaveFileNameA(&dialog);
    } else {
        dialog.Flags |= OFN_FILEMUSTEXIST;
        chosen = GetOpenFileNameA(&dialog);
    }
    if (!chosen) return false;
    *path = name.data();
    return !path->empty();
}

bool IGraphicsWin::OpenWebPage(const char* url) {
    // The shell's "open" verb runs whatever it is given: only web addresses go through.
    if (!url || (_strnicmp(url, "http://", 7) != 0 && _strnicmp(url, "https://", 8) != 0))
        return false;
    HINSTANCE result = ShellExecuteA(window_, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height, int frameRate) {
    return new IGraphicsWin(plug, width, height, frameRate);
}
