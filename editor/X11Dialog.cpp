// The drawn dialog of the X11 editor: message boxes and a file-path prompt for desktops that
// have neither zenity nor kdialog.
#include "editor/X11Modal.h"
#include "editor/X11Popup.h"

#include <algorithm>

namespace {

const int kPadding = 14, kButtonWidth = 84, kButtonHeight = 26, kFieldHeight = 24;
const int kLineGap = 4;

LICE_TextStyle DialogStyle(int size, int align, bool bold = false) {
    LICE_TextStyle style;
    style.size = size;
    style.align = align;
    style.style = bold ? LICE_TEXT_BOLD : LICE_TEXT_NORMAL;
    return style;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

class Dialog {
public:
    Dialog(const X11Context& context, const std::string& caption, const std::string& text,
           const std::vector<std::string>& buttons, std::string* field)
        : context_(context), caption_(caption), lines_(SplitLines(text)), buttons_(buttons),
          field_(field) {}

    int Run();

private:
    LICE_Rect Layout();
    void Paint();
    int ButtonAt(int x, int y) const;

    const X11Context& context_;
    std::string caption_;
    std::vector<std::string> lines_;
    std::vector<std::string> buttons_;
    std::string* field_;
    std::unique_ptr<X11PopupWindow> window_;
    int lineHeight_ = 0, textTop_ = 0, fieldTop_ = 0, buttonTop_ = 0;
    int pressed_ = -1;
};

LICE_Rect Dialog::Layout() {
    const LICE_TextStyle text = DialogStyle(13, LICE_ALIGN_NEAR);
    int width = std::max(360, int(buttons_.size()) * (kButtonWidth + 8) + 2 * kPadding);
    lineHeight_ = LICE_MeasureText("Ag", text).height + kLineGap;
    for (const std::string& line : lines_)
        width = std::max(width, LICE_MeasureText(line, text).width + 2 * kPadding);
    if (field_) width = std::max(width, 520);
    Display* display = context_.display;
    const int screen = DefaultScreen(display);
    const int screenWidth = DisplayWidth(display, screen);
    const int screenHeight = DisplayHeight(display, screen);
    width = std::min(width, screenWidth);

    textTop_ = kPadding + 22; // below the caption
    int y = textTop_ + int(lines_.size()) * lineHeight_;
    if (field_) {
        fieldTop_ = y + 6;
        y = fieldTop_ + kFieldHeight;
    }
    buttonTop_ = y + kPadding;
    const int height = buttonTop_ + kButtonHeight + kPadding;

    // Centred on the editor window when there is one, else on the screen.
    int centerX = screenWidth / 2, centerY = screenHeight / 2;
    XWindowAttributes attributes;
    Window child;
    int ex = 0, ey = 0;
    if (context_.editorWindow &&
        context_.x->GetWindowAttributes(display, context_.editorWindow, &attributes) &&
        context_.x->TranslateCoordinates(display, context_.editorWindow,
                                         RootWindow(display, screen), 0, 0, &ex, &ey, &child)) {
        centerX = ex + attributes.width / 2;
        centerY = ey + attributes.height / 2;
    }
    const int left = std::max(0, std::min(centerX - width / 2, screenWidth - width));
    const int top = std::max(0, std::min(centerY - height / 2, screenHeight - height));
    return LICE_Rect(left, top, left + width, top + height);
}

int Dialog::ButtonAt(int x, int y) const {
    const int width = window_->ScreenRect().width();
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const int right = width - kPadding - int(buttons_.size() - 1 - i) * (kButtonWidth + 8);
        if (x >= right - kButtonWidth && x < right && y >= buttonTop_ &&
            y < buttonTop_ + kButtonHeight)
            return int(i);
    }
    return -1;
}

void Dialog::Paint() {
    LICE_MemBitmap& bitmap = window_->Bitmap();
    const int width = bitmap.getWidth();
    LICE_FillRect(&bitmap, bitmap.bounds(), LICE_RGBA(238, 238, 238, 255));
    LICE_DrawRect(&bitmap, bitmap.bounds(), LICE_RGBA(90, 90, 90, 255));
    LICE_DrawText(&bitmap, caption_, LICE_Rect(kPadding, kPadding - 4, width - kPadding, textTop_),
                  DialogStyle(13, LICE_ALIGN_NEAR, true));
    const LICE_TextStyle text = DialogStyle(13, LICE_ALIGN_NEAR);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const int top = textTop_ + int(i) * lineHeight_;
        LICE_DrawText(&bitmap, lines_[i],
                      LICE_Rect(kPadding, top, width - kPadding, top + lineHeight_), text);
    }
    if (field_) {
        const LICE_Rect box(kPadding, fieldTop_, width - kPadding, fieldTop_ + kFieldHeight);
        LICE_FillRect(&bitmap, box, LICE_RGBA(255, 255, 255, 255));
        LICE_DrawRect(&bitmap, box, LICE_RGBA(120, 120, 120, 255));
        const LICE_Rect inside(box.left + 4, box.top, box.right - 6, box.bottom);
        // A path wider than the box shows its end, where the caret is.
        LICE_TextStyle fieldStyle = text;
        const int textWidth = LICE_MeasureText(*field_, fieldStyle).width;
        if (textWidth > inside.width()) fieldStyle.align = LICE_ALIGN_FAR;
        LICE_DrawText(&bitmap, *field_, inside, fieldStyle);
        const int caretX = std::min(inside.left + textWidth + 1, inside.right);
        LICE_FillRect(&bitmap, LICE_Rect(caretX, box.top + 4, caretX + 1, box.bottom - 4),
                      LICE_RGBA(0, 0, 0, 255));
    }
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const int right = width - kPadding - int(buttons_.size() - 1 - i) * (kButtonWidth + 8);
        const LICE_Rect button(right - kButtonWidth, buttonTop_, right, buttonTop_ + kButtonHeight);
        LICE_FillRect(&bitmap, button,
                      int(i) == pressed_ ? LICE_RGBA(200, 210, 230, 255)
                                         : LICE_RGBA(252, 252, 252, 255));
        LICE_DrawRect(&bitmap, button, LICE_RGBA(110, 110, 110, 255));
        LICE_DrawText(&bitmap, buttons_[i], button, DialogStyle(13, LICE_ALIGN_CENTER));
    }
    window_->Present();
}

int Dialog::Run() {
    if (buttons_.empty()) return -1;
    window_.reset(
        new X11PopupWindow(context_, Layout(), ButtonPressMask | ButtonReleaseMask | KeyPressMask));
    window_->Show();
    Paint();
    if (!X11GrabInput(context_, window_->Handle())) return -1;
    int result = -1;
    while (result < 0) {
        XEvent event;
        if (!X11NextEvent(context_, &event, 100)) continue;
        const LICE_Rect& r = window_->ScreenRect();
        if (event.type == Expose && event.xexpose.window == window_->Handle()) {
            window_->Present();
        } else if (event.type == ButtonPress && event.xbutton.button == Button1) {
            pressed_ = ButtonAt(event.xbutton.x_root - r.left, event.xbutton.y_root - r.top);
            Paint();
        } else if (event.type == ButtonRelease && event.xbutton.button == Button1) {
            const int button =
                ButtonAt(event.xbutton.x_root - r.left, event.xbutton.y_root - r.top);
            if (button >= 0 && button == pressed_) result = button;
            pressed_ = -1;
            Paint();
        } else if (event.type == KeyPress) {
            char typed[16] = {};
            KeySym key = 0;
            const int count =
                context_.x->LookupString(&event.xkey, typed, sizeof(typed) - 1, &key, nullptr);
            if (key == XK_Return || key == XK_KP_Enter) {
                result = 0;
            } else if (key == XK_Escape) {
                result = int(buttons_.size()) - 1;
            } else if (field_ && key == XK_BackSpace) {
                PopUtf8Character(field_);
                Paint();
            } else if (field_ && count > 0 && static_cast<unsigned char>(typed[0]) >= 32 &&
                       typed[0] != 127) {
                field_->append(typed, size_t(count));
                Paint();
            }
        }
    }
    X11ReleaseInput(context_);
    window_.reset();
    return result;
}

} // namespace

int RunDrawnDialog(const X11Context& context, const std::string& caption, const std::string& text,
                   const std::vector<std::string>& buttons, std::string* field) {
    Dialog dialog(context, caption, text, buttons, field);
    return dialog.Run();
}
