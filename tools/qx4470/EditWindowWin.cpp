// `qx4470 edit` on Windows: a top-level window whose client area holds the plug-in's editor,
// idled by a timer as a host does, and an optional screenshot of it.
#include "tools/qx4470/EditWindow.h"

#include "lice/LICE.h"
#include "tools/qx4470/Commands.h"

#include <windows.h>

#include <string>

namespace {

const char* const kWindowClass = "QX4470EditHost";
const UINT_PTR kIdleTimer = 1;
const UINT kIdleMs = 33; // about 30 idle calls a second, the common host rate

struct EditSession {
    PluginHost* host = nullptr;
    const EditOptions* options = nullptr;
    HWND window = nullptr;
    DWORD openedAt = 0;
    bool editorOpen = false;
    bool screenshotFailed = false;
    int width = 0, height = 0;
};

// Copies what the client area shows, the editor's child window included, to a PNG file.
// BitBlt from the window's DC after a forced repaint of all children works both on Windows
// and under wine; PrintWindow would need every plug-in to answer WM_PRINTCLIENT.
bool SaveClientArea(HWND window, const std::string& path) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left, height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, as LICE bitmaps are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (memoryDc && section && bits) {
        HGDIOBJ old = SelectObject(memoryDc, section);
        BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        SelectObject(memoryDc, old);
        // GDI leaves the fourth byte undefined: the screen is opaque.
        LICE_pixel* pixels = static_cast<LICE_pixel*>(bits);
        for (size_t i = 0; i < size_t(width) * size_t(height); ++i)
            pixels[i] |= 0xff000000u;
        LICE_WrapperBitmap image(pixels, width, height, width);
        saved = LICE_SavePNG(path, &image);
    }
    if (section) DeleteObject(section);
    if (memoryDc) DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return saved;
}

void CloseEditor(EditSession* session) {
    if (!session->editorOpen) return;
    session->editorOpen = false;
    session->host->Dispatch(effEditClose);
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    EditSession* session = reinterpret_cast<EditSession*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_TIMER:
        if (!session || wParam != kIdleTimer) break;
        if (session->editorOpen) session->host->Dispatch(effEditIdle);
        if (!session->options->screenshotPath.empty() &&
            GetTickCount() - session->openedAt >= DWORD(session->options->afterMs)) {
            KillTimer(window, kIdleTimer);
            session->screenshotFailed = !SaveClientArea(window, session->options->screenshotPath);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_CLOSE:
        if (session) CloseEditor(session);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The editor's size from effEditGetRect; 0 × 0 when the plug-in gives none.
void EditorSize(PluginHost& host, int* width, int* height) {
    ERect* rect = nullptr;
    *width = *height = 0;
    if (host.Dispatch(effEditGetRect, 0, 0, &rect) && rect) {
        *width = rect->right - rect->left;
        *height = rect->bottom - rect->top;
    }
}

void SetClientSize(HWND window, DWORD style, int width, int height) {
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

int RunEditorWindow(PluginHost& host, const EditOptions& options) {
    if (!host.HasFlag(effFlagsHasEditor)) {
        ReportError("the plug-in has no editor");
        return kExitFailure;
    }
    EditSession session;
    session.host = &host;
    session.options = &options;
    EditorSize(host, &session.width, &session.height);
    if (session.width <= 0 || session.height <= 0) {
        // Some editors know their size only once open: start small and follow them.
        session.width = 400;
        session.height = 300;
    }

    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);

    std::string title = host.Text(effGetEffectName);
    if (title.empty()) title = host.Text(effGetProductString);
    if (title.empty()) title = "qx4470 edit";
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame = {0, 0, session.width, session.height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExA(0, kWindowClass, title.c_str(), style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                  nullptr, nullptr, module, nullptr);
    if (!window) {
        ReportError("cannot create a window");
        return kExitFailure;
    }
    session.window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&session));
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);

    const VstIntPtr opened = host.Dispatch(effEditOpen, 0, 0, window);
    // Editors disagree about what effEditOpen returns; a child window is what counts.
    if (!opened && !GetWindow(window, GW_CHILD)) {
        DestroyWindow(window);
        MSG pending;
        while (PeekMessageA(&pending, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&pending);
        ReportError("the plug-in did not open its editor");
        return kExitFailure;
    }
    session.editorOpen = true;
    int width = 0, height = 0;
    EditorSize(host, &width, &height);
    if (width > 0 && height > 0 && (width != session.width || height != session.height))
        SetClientSize(window, style, width, height);

    session.openedAt = GetTickCount();
    SetTimer(window, kIdleTimer, kIdleMs, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    CloseEditor(&session);
    UnregisterClassA(kWindowClass, module);
    if (session.screenshotFailed) {
        ReportError("cannot save the screenshot to " + options.screenshotPath);
        return kExitFailure;
    }
    return kExitOk;
}
