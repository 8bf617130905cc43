// The X11 popup menu: one override-redirect window per open (sub)menu level, drawn with LICE.
#include "editor/X11Modal.h"
#include "editor/X11Popup.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const LICE_pixel kMenuBack = LICE_RGBA(242, 242, 242, 255);
const LICE_pixel kMenuFrame = LICE_RGBA(120, 120, 120, 255);
const LICE_pixel kMenuHighlight = LICE_RGBA(51, 102, 204, 255);
const LICE_pixel kMenuText = LICE_RGBA(0, 0, 0, 255);
const LICE_pixel kMenuGreyText = LICE_RGBA(150, 150, 150, 255);
const int kCheckColumn = 22, kArrowColumn = 18;

LICE_TextStyle MenuStyle(LICE_pixel color) {
    LICE_TextStyle style;
    style.size = kMenuTextSize;
    style.align = LICE_ALIGN_NEAR;
    style.color = color;
    return style;
}

// The command identifier ChooseById gives item `index` of `target`, numbering depth first from
// 1 over `menu` and its sub-menus; -1 when the item is not in the tree.
int IdentifierOf(const PopupMenuModel& menu, const PopupMenuModel* target, int index, int* next) {
    for (int i = 0; i < menu.NItems(); ++i) {
        const int id = (*next)++;
        if (&menu == target && i == index) return id;
        const PopupMenuModel::Item& item = menu.GetItem(i);
        if (item.subMenu) {
            const int found = IdentifierOf(*item.subMenu, target, index, next);
            if (found >= 0) return found;
        }
    }
    return -1;
}

struct MenuLevel {
    PopupMenuModel* menu = nullptr;
    std::unique_ptr<X11PopupWindow> window;
    std::vector<int> tops; // item tops within the window; one more entry: the end
    int highlight = -1;

    int ItemAt(int screenX, int screenY) const {
        const LICE_Rect& r = window->ScreenRect();
        if (screenX < r.left || screenX >= r.right) return -1;
        const int y = screenY - r.top;
        for (int i = 0; i < menu->NItems(); ++i)
            if (y >= tops[i] && y < tops[i + 1]) return i;
        return -1;
    }
    bool Contains(int screenX, int screenY) const {
        const LICE_Rect& r = window->ScreenRect();
        return screenX >= r.left && screenX < r.right && screenY >= r.top && screenY < r.bottom;
    }
};

class MenuSession {
public:
    explicit MenuSession(const X11Context& context) : context_(context) {
        const int screen = DefaultScreen(context.display);
        screenWidth_ = DisplayWidth(context.display, screen);
        screenHeight_ = DisplayHeight(context.display, screen);
    }

    PopupMenuModel* Run(PopupMenuModel* menu, int screenX, int screenY);

private:
    void Open(PopupMenuModel* menu, int screenX, int screenY, int avoidLeft);
    void CloseAbove(size_t depth) { levels_.resize(std::min(levels_.size(), depth + 1)); }
    void Paint(MenuLevel& level);
    void SetHighlight(size_t depth, int item);
    // The level that keys act on: the deepest one with a highlighted item.
    size_t KeyLevel() const;
    void Step(int direction);
    // Chooses the item or opens its sub-menu; true when the menu is done.
    bool Activate(size_t depth, int item);
    int LevelAt(int screenX, int screenY) const;

    const X11Context& context_;
    int screenWidth_, screenHeight_;
    std::vector<MenuLevel> levels_;
    PopupMenuModel* chosen_ = nullptr;
};

void MenuSession::Open(PopupMenuModel* menu, int screenX, int screenY, int avoidLeft) {
    MenuLevel level;
    level.menu = menu;
    int width = 80, y = kMenuBorder;
    const LICE_TextStyle style = MenuStyle(kMenuText);
    for (int i = 0; i < menu->NItems(); ++i) {
        level.tops.push_back(y);
        const PopupMenuModel::Item& item = menu->GetItem(i);
        if (item.IsSeparator()) {
            y += kMenuSeparatorHeight;
            continue;
        }
        y += kMenuItemHeight;
        const int textWidth = LICE_MeasureText(menu->ItemLabel(i), style).width;
        width = std::max(width, kCheckColumn + textWidth + kArrowColumn + 2 * kMenuBorder);
    }
    level.tops.push_back(y);
    const int height = y + kMenuBorder;
    // Keep the menu on the screen: a sub-menu that does not fit on the right opens to the left
    // of its parent, a menu that does not fit below moves up.
    int left = screenX;
    if (left + width > screenWidth_)
        left = avoidLeft >= 0 ? avoidLeft - width : screenWidth_ - width;
    int top = std::min(screenY, screenHeight_ - height);
    left = std::max(0, left);
    top = std::max(0, top);
    level.window.reset(
        new X11PopupWindow(context_, LICE_Rect(left, top, left + width, top + height),
                           ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask));
    levels_.push_back(std::move(level));
    Paint(levels_.back());
    levels_.back().window->Show();
}

void MenuSession::Paint(MenuLevel& level) {
    LICE_MemBitmap& bitmap = level.window->Bitmap();
    const int width = bitmap.getWidth();
    LICE_FillRect(&bitmap, bitmap.bounds(), kMenuBack);
    LICE_DrawRect(&bitmap, bitmap.bounds(), kMenuFrame);
    for (int i = 0; i < level.menu->NItems(); ++i) {
        const PopupMenuModel::Item& item = level.menu->GetItem(i);
        const LICE_Rect row(kMenuBorder, level.tops[i], width - kMenuBorder, level.tops[i + 1]);
        if (item.IsSeparator()) {
            const int middle = (row.top + row.bottom) / 2;
            LICE_FillRect(&bitmap, LICE_Rect(row.left + 4, middle, row.right - 4, middle + 1),
                          LICE_RGBA(190, 190, 190, 255));
            continue;
        }
        const bool enabled = item.IsEnabled();
        const bool lit = i == level.highlight && enabled;
        if (lit) LICE_FillRect(&bitmap, row, kMenuHighlight);
        const LICE_pixel color = lit       ? LICE_RGBA(255, 255, 255, 255)
                                 : enabled ? kMenuText
                                           : kMenuGreyText;
        LICE_DrawText(
            &bitmap, level.menu->ItemLabel(i),
            LICE_Rect(row.left + kCheckColumn, row.top, row.right - kArrowColumn, row.bottom),
            MenuStyle(color));
        const float cy = (row.top + row.bottom) * 0.5f;
        if (item.flags & PopupMenuModel::kChecked) {
            const float cx = row.left + 6.0f;
            const LICE_Point tick[] = {{cx, cy}, {cx + 3.5f, cy + 4.0f}, {cx + 10.0f, cy - 5.0f}};
            LICE_DrawPolyline(&bitmap, tick, 3, color, 2.0f);
        }
        if (item.subMenu) {
            const float ax = row.right - 12.0f;
            const LICE_Point arrow[] = {{ax, cy - 4.0f}, {ax + 4.0f, cy}, {ax, cy + 4.0f}};
            LICE_DrawPolyline(&bitmap, arrow, 3, color, 1.5f);
        }
    }
    level.window->Present();
}

int MenuSession::LevelAt(int screenX, int screenY) const {
    for (int depth = int(levels_.size()) - 1; depth >= 0; --depth)
        if (levels_[size_t(depth)].Contains(screenX, screenY)) return depth;
    return -1;
}

void MenuSession::SetHighlight(size_t depth, int item) {
    MenuLevel& level = levels_[depth];
    if (level.highlight == item) return;
    level.highlight = item;
    Paint(level);
    // Pointing at another item closes a sub-menu opened from the previous one; pointing at an
    // item with a sub-menu opens it.
    CloseAbove(depth);
    if (item >= 0) {
        const PopupMenuModel::Item& entry = level.menu->GetItem(item);
        if (entry.subMenu && entry.IsEnabled() && entry.subMenu->NItems() > 0) {
            const LICE_Rect& r = level.window->ScreenRect();
            Open(entry.subMenu.get(), r.right - 2, r.top + level.tops[size_t(item)] - kMenuBorder,
                 r.left + 2);
        }
    }
}

bool MenuSession::Activate(size_t depth, int item) {
    if (item < 0) return false;
    MenuLevel& level = levels_[depth];
    const PopupMenuModel::Item& entry = level.menu->GetItem(item);
    if (!entry.IsEnabled()) return false;
    if (entry.subMenu) return false; // it opened when the item was highlighted
    // The choice goes through the menu's identifiers, as every back end reports it.
    int next = 1;
    const int id = IdentifierOf(*levels_[0].menu, level.menu, item, &next);
    chosen_ = id >= 0 ? levels_[0].menu->ChooseById(id, 1) : nullptr;
    return chosen_ != nullptr;
}

size_t MenuSession::KeyLevel() const {
    for (size_t depth = levels_.size(); depth-- > 0;)
        if (levels_[depth].highlight >= 0) return depth;
    return 0;
}

void MenuSession::Step(int direction) {
    const size_t depth = KeyLevel();
    MenuLevel& level = levels_[depth];
    const int count = level.menu->NItems();
    int item = level.highlight;
    for (int tries = 0; tries < count; ++tries) {
        item = item < 0 ? (direction > 0 ? 0 : count - 1) : (item + direction + count) % count;
        if (level.menu->GetItem(item).IsEnabled()) break;
    }
    if (item >= 0 && level.menu->GetItem(item).IsEnabled()) SetHighlight(depth, item);
}

PopupMenuModel* MenuSession::Run(PopupMenuModel* menu, int screenX, int screenY) {
    if (!menu || menu->NItems() == 0) return nullptr;
    Open(menu, screenX, screenY, -1);
    if (!X11GrabInput(context_, levels_[0].window->Handle())) return nullptr;
    bool done = false;
    while (!done) {
        XEvent event;
        if (!X11NextEvent(context_, &event, 100)) continue;
        switch (event.type) {
        case Expose:
            for (MenuLevel& level : levels_)
                if (level.window->Handle() == event.xexpose.window) level.window->Present();
            break;
        case MotionNotify: {
            const int depth = LevelAt(event.xmotion.x_root, event.xmotion.y_root);
            if (depth >= 0)
                SetHighlight(size_t(depth), levels_[size_t(depth)].ItemAt(event.xmotion.x_root,
                                                                          event.xmotion.y_root));
            break;
        }
        case ButtonPress:
            // A press outside every level cancels; inside, the release decides.
            if (LevelAt(event.xbutton.x_root, event.xbutton.y_root) < 0) done = true;
            break;
        case ButtonRelease: {
            if (event.xbutton.button != Button1) break; // the right button that opened the menu
            const int depth = LevelAt(event.xbutton.x_root, event.xbutton.y_root);
            if (depth < 0) break;
            const int item =
                levels_[size_t(depth)].ItemAt(event.xbutton.x_root, event.xbutton.y_root);
            done = Activate(size_t(depth), item);
            break;
        }
        case KeyPress: {
            const KeySym key = context_.x->LookupKeysym(&event.xkey, 0);
            if (key == XK_Escape) {
                done = true;
            } else if (key == XK_Up || key == XK_Down) {
                Step(key == XK_Up ? -1 : 1);
            } else if (key == XK_Return || key == XK_KP_Enter) {
                const size_t depth = KeyLevel();
                done = Activate(depth, levels_[depth].highlight);
            }
            break;
        }
        default:
            break;
        }
    }
    X11ReleaseInput(context_);
    levels_.clear();
    return chosen_;
}

} // namespace

PopupMenuModel* RunPopupMenu(const X11Context& context, PopupMenuModel* menu, int screenX,
                             int screenY) {
    MenuSession session(context);
    return session.Run(menu, screenX, screenY);
}
