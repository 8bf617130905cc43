// An editor without a window, for tests and off-screen drawing. Repaints happen at once into
// the drawing bitmap. What a user would answer (menu choices, typed text, message boxes) comes
// from responders the caller sets; file dialogs are always cancelled.
#pragma once

#include "editor/IGraphics.h"

#include <functional>
#include <string>
#include <vector>

class IGraphicsOffscreen : public IGraphics {
public:
    IGraphicsOffscreen(IPlugBase* plug, int width, int height, int frameRate = 25)
        : IGraphics(plug, width, height, frameRate) {}

    // Chooses from a shown menu: the command identifier (ChooseById numbering from 1), or 0 to
    // dismiss it. Without a responder every menu is dismissed.
    std::function<int(const PopupMenuModel& menu)> menuResponder;
    // What is typed into a shown text box, key by key ('\b' erases) as the box's filter lets it
    // through, replacing the selected initial text; then Return (commit) or Escape (cancel).
    // Without a responder the box stays open.
    struct Typing {
        std::string keys;
        bool commit = true;
    };
    std::function<Typing(const std::string& initialText)> textResponder;
    int messageBoxAnswer = kResultOk;

    // What was shown.
    struct Shown {
        std::vector<std::string> menuLabels; // the last menu's top-level item labels
        IRect menuRect, textRect;
        std::string textInitial, textTyped; // the last text box's initial and final text
        bool textBoxOpen = false;
        std::string tooltip; // empty while none is shown
        std::string webPage;
        int repaints = 0;
        IRect repainted; // union of every repainted rectangle
    } shown;

    // Draws every control into the drawing bitmap, as a newly opened window would.
    void DrawEverything();

    bool OpenEditorWindow(void*) override;
    void CloseEditorWindow() override { open_ = false; }
    bool WindowIsOpen() const override { return open_; }
    void* GetEditorWindow() const override { return nullptr; }
    const char* DrawingApiName() const override { return "Offscreen"; }
    void InvalidateRect(const IRect& rect) override;
    PopupMenuModel* ShowPopupMenu(PopupMenuModel* menu, const IRect& rect) override;
    void ShowTextEntry(IControl* control, const IText& text, const IRect& rect,
                       const std::string& initialText, const IParameter* param) override;
    void DestroyTextEntry() override { shown.textBoxOpen = false; }
    void ShowTooltip(const IRect&, const std::string& text) override { shown.tooltip = text; }
    void HideTooltip() override { shown.tooltip.clear(); }
    int ShowMessageBox(const char*, const char*, int) override { return messageBoxAnswer; }
    bool AskForFile(bool, const char*, const char*, const char*, std::string* path) override;
    bool OpenWebPage(const char* url) override;

private:
    bool open_ = false;
};
