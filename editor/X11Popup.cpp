#include "editor/X11Popup.h"

#include "editor/X11Modal.h"

#include <algorithm>
#include <poll.h>

X11PopupWindow::X11PopupWindow(const X11Context& context, const LICE_Rect& screenRect,
                               long eventMask)
    : context_(context), rect_(screenRect) {
    Display* display = context.display;
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.event_mask = eventMask | ExposureMask | StructureNotifyMask;
    window_ = context.x->CreateWindow(display, RootWindow(display, screen), rect_.left, rect_.top,
                                      unsigned(std::max(1, rect_.width())),
                                      unsigned(std::max(1, rect_.height())), 0, CopyFromParent,
                                      InputOutput, CopyFromParent,
                                      CWOverrideRedirect | CWSaveUnder | CWEventMask, &attributes);
    gc_ = context.x->CreateGC(display, window_, 0, nullptr);
    surface_.reset(new X11Surface(context.x, display, DefaultVisual(display, screen),
                                  DefaultDepth(display, screen)));
    bitmap_.resize(rect_.width(), rect_.height());
}

X11PopupWindow::~X11PopupWindow() {
    if (gc_) context_.x->FreeGC(context_.display, gc_);
    if (window_) context_.x->DestroyWindow(context_.display, window_);
    context_.x->Flush(context_.display);
}

void X11PopupWindow::MoveResize(const LICE_Rect& screenRect) {
    rect_ = screenRect;
    bitmap_.resize(rect_.width(), rect_.height());
    context_.x->MoveResizeWindow(context_.display, window_, rect_.left, rect_.top,
                                 unsigned(std::max(1, rect_.width())),
                                 unsigned(std::max(1, rect_.height())));
}

void X11PopupWindow::Show() {
    if (!visible_) context_.x->MapRaised(context_.display, window_);
    visible_ = true;
    Present();
}

void X11PopupWindow::Hide() {
    if (visible_) context_.x->UnmapWindow(context_.display, window_);
    visible_ = false;
    context_.x->Flush(context_.display);
}

void X11PopupWindow::Present() {
    if (!visible_) return;
    surface_->Put(window_, gc_, &bitmap_, bitmap_.bounds());
    context_.x->Flush(context_.display);
}

// ---- Modal loops ----------------------------------------------------------------------------

bool X11GrabInput(const X11Context& context, Window window) {
    const XlibApi* x = context.x;
    // A window that was just mapped may not be viewable yet: retry for a moment.
    for (int attempt = 0; attempt < 100; ++attempt) {
        x->Sync(context.display, False);
        const int pointer = x->GrabPointer(context.display, window, True,
                                           ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                           GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (pointer == GrabSuccess) {
            const int keyboard = x->GrabKeyboard(context.display, window, True, GrabModeAsync,
                                                 GrabModeAsync, CurrentTime);
            if (keyboard == GrabSuccess) return true;
            x->UngrabPointer(context.display, CurrentTime);
        }
        poll(nullptr, 0, 5);
    }
    return false;
}

void X11ReleaseInput(const X11Context& context) {
    context.x->UngrabKeyboard(context.display, CurrentTime);
    context.x->UngrabPointer(context.display, CurrentTime);
    context.x->Flush(context.display);
}

bool X11NextEvent(const X11Context& context, XEvent* event, int timeoutMs) {
    if (!context.x->Pending(context.display)) {
        pollfd descriptor = {ConnectionNumber(context.display), POLLIN, 0};
        poll(&descriptor, 1, timeoutMs);
        if (!context.x->Pending(context.display)) return false;
    }
    context.x->NextEvent(context.display, event);
    if (event->type == Expose && event->xexpose.window == context.editorWindow &&
        context.repaintEditor) {
        const XExposeEvent& e = event->xexpose;
        context.repaintEditor(LICE_Rect(e.x, e.y, e.x + e.width, e.y + e.height));
    }
    return true;
}

// ---- Tooltip --------------------------------------------------------------------------------

namespace {
LICE_TextStyle TooltipStyle() {
    LICE_TextStyle style;
    style.size = 12;
    style.align = LICE_ALIGN_NEAR;
    style.color = LICE_RGBA(0, 0, 0, 255);
    return style;
}
} // namespace

void X11Tooltip::Show(int screenX, int screenY, const std::string& text) {
    const LICE_TextStyle style = TooltipStyle();
    const LICE_TextExtent extent = LICE_MeasureText(text, style);
    const LICE_Rect rect(screenX, screenY, screenX + extent.width + 8, screenY + extent.height + 6);
    if (!window_) {
        window_.reset(new X11PopupWindow(context_, rect, 0));
    } else {
        window_->MoveResize(rect);
    }
    LICE_MemBitmap& bitmap = window_->Bitmap();
    LICE_FillRect(&bitmap, bitmap.bounds(), LICE_RGBA(255, 255, 225, 255));
    LICE_DrawRect(&bitmap, bitmap.bounds(), LICE_RGBA(118, 118, 118, 255));
    LICE_DrawText(&bitmap, text, LICE_Rect(4, 3, bitmap.getWidth() - 4, bitmap.getHeight() - 3),
                  style);
    window_->Show();
}

void X11Tooltip::Hide() {
    if (window_) window_->Hide();
}

bool X11Tooltip::HandleExpose(Window window) {
    if (!window_ || window_->Handle() != window) return false;
    window_->Present();
    return true;
}

void PopUtf8Character(std::string* text) {
    while (!text->empty()) {
        const unsigned char last = static_cast<unsigned char>(text->back());
        text->pop_back();
        if ((last & 0xC0) != 0x80) break; // stop after the lead byte
    }
}
