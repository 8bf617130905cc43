// The window of `qx4470 edit` on Linux: a top-level X11 window whose id the plug-in gets as
// the parent of its editor.
#include "tools/qx4470/Commands.h"
#include "tools/qx4470/EditWindow.h"

#include "lice/LICE.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <poll.h>

namespace {

constexpr int kIdleIntervalMs = 33; // about 30 idle calls a second, as hosts do

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// A plug-in's X errors on its own connection are its own business; ours (a window that went
// away under a screenshot) must not end the process through Xlib's default handler.
int errorsSeen = 0;
int CountError(Display*, XErrorEvent*) {
    ++errorsSeen;
    return 0;
}

int ChannelShift(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int Channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    const unsigned long value = (pixel & mask) >> ChannelShift(mask);
    const unsigned long maximum = mask >> ChannelShift(mask);
    return int((value * 255 + maximum / 2) / maximum);
}

// The window's pixels as the server shows them, children included (they share the parent's
// area on the screen).
bool CaptureWindow(Display* display, Window window, int width, int height, LICE_MemBitmap* out) {
    XImage* image =
        XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return false;
    out->resize(width, height);
    LICE_pixel* pixels = out->getBits();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            pixels[size_t(y) * size_t(out->getRowSpan()) + size_t(x)] =
                LICE_RGBA(Channel(pixel, image->red_mask), Channel(pixel, image->green_mask),
                          Channel(pixel, image->blue_mask), 255);
        }
    }
    XDestroyImage(image);
    return true;
}

void EditorSize(PluginHost& host, int* width, int* height) {
    ERect* rect = nullptr;
    host.Dispatch(effEditGetRect, 0, 0, &rect);
    if (rect && rect->right > rect->left && rect->bottom > rect->top) {
        *width = rect->right - rect->left;
        *height = rect->bottom - rect->top;
    }
}

bool WaitForMap(Display* display, Window window) {
    const double deadline = NowMs() + 3000.0;
    while (NowMs() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.window == window) return true;
        }
        pollfd descriptor = {ConnectionNumber(display), POLLIN, 0};
        poll(&descriptor, 1, 20);
    }
    return false;
}

} // namespace

int RunEditorWindow(PluginHost& host, const EditOptions& options) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        ReportError("cannot open the X display (is DISPLAY set?): the editor needs a window");
        return kExitFailure;
    }
    XSetErrorHandler(CountError);
    int width = 400, height = 300;
    EditorSize(host, &width, &height);

    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(
        display, RootWindow(display, screen), 0, 0, unsigned(width), unsigned(height), 0,
        BlackPixel(display, screen), BlackPixel(display, screen));
    std::string title = host.Text(effGetEffectName);
    if (title.empty()) title = host.Text(effGetProductString);
    if (title.empty()) title = "Plug-in editor";
    XStoreName(display, window, title.c_str());
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    WaitForMap(display, window);

    const VstIntPtr opened =
        host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(window)));
    // Some plug-ins answer 0 however it went: a child window tells.
    Window root, parent, *children = nullptr;
    unsigned int childCount = 0;
    XSync(display, False);
    if (XQueryTree(display, window, &root, &parent, &children, &childCount) && children)
        XFree(children);
    if (!opened && childCount == 0) {
        ReportError("the plug-in did not open its editor (no X display for it?)");
        XDestroyWindow(display, window);
        XCloseDisplay(display);
        return kExitFailure;
    }
    // The editor may know its size only once it is open.
    int openWidth = width, openHeight = height;
    EditorSize(host, &openWidth, &openHeight);
    if (openWidth != width || openHeight != height) {
        width = openWidth;
        height = openHeight;
        XResizeWindow(display, window, unsigned(width), unsigned(height));
    }

    int status = kExitOk;
    const double start = NowMs();
    double nextIdle = start;
    bool running = true;
    while (running) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && Atom(event.xclient.data.l[0]) == deleteWindow)
                running = false;
            if (event.type == DestroyNotify && event.xdestroywindow.window == window)
                running = false;
        }
        const double now = NowMs();
        if (now >= nextIdle) {
            host.Dispatch(effEditIdle);
            nextIdle += kIdleIntervalMs;
            if (nextIdle < now) nextIdle = now + kIdleIntervalMs;
        }
        if (running && !options.screenshotPath.empty() && now - start >= options.afterMs) {
            LICE_MemBitmap pixels;
            XSync(display, False);
            if (!CaptureWindow(display, window, width, height, &pixels)) {
                ReportError("cannot read the window's pixels");
                status = kExitFailure;
            } else if (!LICE_SavePNG(options.screenshotPath, &pixels)) {
                ReportError("cannot write " + options.screenshotPath);
                status = kExitFailure;
            }
            running = false;
        }
        if (running) {
            pollfd descriptor = {ConnectionNumber(display), POLLIN, 0};
            poll(&descriptor, 1, std::max(1, int(nextIdle - NowMs())));
        }
    }
    host.Dispatch(effEditClose);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return status;
}
