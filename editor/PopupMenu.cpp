#include "editor/PopupMenu.h"

#include <cstdio>

PopupMenuModel::Item& PopupMenuModel::AddItem(const std::string& text, int flags) {
    items_.emplace_back();
    Item& item = items_.back();
    item.text = text;
    item.flags = flags;
    return item;
}

PopupMenuModel::Item& PopupMenuModel::AddSeparator() {
    return AddItem(std::string(), kSeparator);
}

PopupMenuModel::Item& PopupMenuModel::AddSubMenu(const std::string& text, PopupMenuModel* subMenu,
                                                 int flags) {
    Item& item = AddItem(text, flags);
    item.subMenu.reset(subMenu);
    return item;
}

std::string PopupMenuModel::ItemLabel(int index) const {
    if (index < 0 || index >= NItems()) return std::string();
    const Item& item = items_[index];
    static const char* const kFormats[] = {nullptr, "%1d: %s", "%02d: %s", "%03d: %s"};
    if (item.IsSeparator() || numbering_ < kNumber1 || numbering_ > kNumber3) return item.text;
    const int size = std::snprintf(nullptr, 0, kFormats[numbering_], index + 1, item.text.c_str());
    if (size < 0) return item.text;
    std::string label(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(&label[0], label.size(), kFormats[numbering_], index + 1, item.text.c_str());
    label.resize(static_cast<size_t>(size));
    return label;
}

namespace {

// Walks the menu as ChooseById numbers it: every item takes the next identifier, and the items
// of its sub-menu follow it.
PopupMenuModel* Find(PopupMenuModel& menu, int id, int* next) {
    for (int i = 0; i < menu.NItems(); ++i) {
        PopupMenuModel::Item& item = menu.GetItem(i);
        if ((*next)++ == id) {
            // A sub-menu's own entry only opens it: it is no choice.
            if (item.subMenu || !item.IsEnabled()) return nullptr;
            menu.SetChosenIndex(i);
            return &menu;
        }
        if (item.subMenu)
            if (PopupMenuModel* found = Find(*item.subMenu, id, next)) return found;
    }
    return nullptr;
}

} // namespace

PopupMenuModel* PopupMenuModel::ChooseById(int id, int first) {
    if (id < first) return nullptr;
    int next = first;
    return Find(*this, id, &next);
}
