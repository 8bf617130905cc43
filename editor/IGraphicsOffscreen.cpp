#include "editor/IGraphicsOffscreen.h"

#include <mutex>

void IGraphicsOffscreen::DrawEverything() {
    std::lock_guard<os::RecursiveLock> lock(ControlLock());
    for (int i = 0; i < NControls(); ++i)
        GetControl(i)->SetDirty();
    Draw(IRect(0, 0, Width(), Height()));
}

bool IGraphicsOffscreen::OpenEditorWindow(void*) {
    open_ = true;
    MarkAllControlsChanged();
    return true;
}

void IGraphicsOffscreen::InvalidateRect(const IRect& rect) {
    ++shown.repaints;
    shown.repainted = LICE_Union(shown.repainted, rect);
    Draw(rect);
}

PopupMenuModel* IGraphicsOffscreen::ShowPopupMenu(PopupMenuModel* menu, const IRect& rect) {
    if (!menu) return nullptr;
    shown.menuRect = rect;
    shown.menuLabels.clear();
    for (int i = 0; i < menu->NItems(); ++i)
        shown.menuLabels.push_back(menu->ItemLabel(i));
    const int id = menuResponder ? menuResponder(*menu) : 0;
    return id > 0 ? menu->ChooseById(id, 1) : nullptr;
}

void IGraphicsOffscreen::ShowTextEntry(IControl* control, const IText&, const IRect& rect,
                                       const std::string& initialText, const IParameter* param) {
    shown.textRect = rect;
    shown.textInitial = initialText;
    shown.textTyped = initialText;
    shown.textBoxOpen = true;
    if (!textResponder) return;
    const Typing typing = textResponder(initialText);
    const size_t limit = control && control->TextEntryLength() > 0
                             ? static_cast<size_t>(control->TextEntryLength())
                             : std::string::npos;
    std::string text = initialText;
    bool selected = true; // the box opens with all its text selected
    for (char key : typing.keys) {
        if (!TextEntryAccepts(param, static_cast<unsigned char>(key))) continue;
        if (selected) text.clear();
        selected = false;
        if (key == '\b') {
            if (!text.empty()) text.pop_back();
        } else if (text.size() < limit) {
            text += key;
        }
    }
    shown.textTyped = text;
    if (typing.commit)
        RequestTextEntryCommit(text);
    else
        RequestTextEntryCancel();
}

bool IGraphicsOffscreen::AskForFile(bool, const char*, const char*, const char*,
                                    std::string* path) {
    if (path) path->clear();
    return false;
}

bool IGraphicsOffscreen::OpenWebPage(const char* url) {
    shown.webPage = url ? url : "";
    return false;
}
