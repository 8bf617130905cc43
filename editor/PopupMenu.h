// A popup menu as the editor shows it: items with flags and sub-menus, an optional numbering
// of the items, and the index of the item the user chose.
#pragma once

#include <memory>
#include <string>
#include <vector>

class PopupMenuModel {
public:
    enum Flags { kGreyed = 1, kDisabled = 2, kChecked = 4, kSeparator = 8 };
    // 0 none, 1 "%1d: %s", 2 "%02d: %s", 3 "%03d: %s": the item's 1-based position first.
    enum Numbering { kNumberNone = 0, kNumber1, kNumber2, kNumber3 };

    struct Item {
        std::string text;
        int flags = 0;
        std::unique_ptr<PopupMenuModel> subMenu;
        bool IsSeparator() const { return (flags & kSeparator) != 0; }
        bool IsEnabled() const { return (flags & (kGreyed | kDisabled | kSeparator)) == 0; }
    };

    explicit PopupMenuModel(int numbering = kNumberNone) : numbering_(numbering) {}

    Item& AddItem(const std::string& text, int flags = 0);
    Item& AddSeparator();
    // The menu takes ownership of the sub-menu.
    Item& AddSubMenu(const std::string& text, PopupMenuModel* subMenu, int flags = 0);

    int NItems() const { return static_cast<int>(items_.size()); }
    const Item& GetItem(int index) const { return items_[index]; }
    Item& GetItem(int index) { return items_[index]; }
    // The text shown for an item, with the menu's numbering.
    std::string ItemLabel(int index) const;
    int Numbering() const { return numbering_; }
    int ChosenIndex() const { return chosen_; }
    void SetChosenIndex(int index) { chosen_ = index; }

    // Command identifiers run consecutively over the menu and its sub-menus, depth first, from
    // `first`: every item (separators and sub-menu entries included) takes one, and the items of
    // a sub-menu follow its entry. A back end gives each shown item its identifier and maps the
    // choice back.
    // Returns the (sub)menu holding `id` and sets its chosen index; null for no such item.
    PopupMenuModel* ChooseById(int id, int first = 1);

private:
    int numbering_;
    int chosen_ = -1;
    std::vector<Item> items_;
};
