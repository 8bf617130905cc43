// The Win32 back end of the editor: a child window of the host's editor frame, driven by a
// window timer, with native text-entry boxes, popup menus, tooltips and dialogs.
#pragma once

#include "editor/IGraphics.h"

#include <windows.h>

#include <string>

class IGraphicsWin : public IGraphics {
public:
    IGraphicsWin(IPlugBase* plug, int width, int height, int frameRate);
    ~IGraphicsWin() override;

    bool OpenEditorWindow(void* parent) override;
    void CloseEditorWindow() override;
    bool WindowIsOpen() const override { return window_ != nullptr; }
    void* GetEditorWindow() const override { return window_; }
    const char* DrawingApiName() const override { return "Windows GDI"; }
    void InvalidateRect(const IRect& rect) override;
    PopupMenuModel* ShowPopupMenu(PopupMenuModel* menu, const IRect& rect) override;
    void ShowTextEntry(IControl* control, const IText& text, const IRect& rect,
                       const std::string& initialText, const IParameter* param) override;
    void DestroyTextEntry() override;
    void ShowTooltip(const IRect& anchor, const std::string& text) override;
    void HideTooltip() override;
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    bool AskForFile(bool save, const char* extension, const char* proposedName,
                    const char* startFolder, std::string* path) override;
    bool OpenWebPage(const char* url) override;

    // The editor window's class, registered while any editor window of the process is open.
    static const char* WindowClassName() { return "IPlugWndClass"; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK TextEntryProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleTextEntryMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void MouseDown(int x, int y, const IMouseMod& mod);
    void TrackMouse();
    // Keys the editor does not use go to the host's top-level window, as if the editor
    // were not there, so that the host's shortcuts keep working.
    void PassKeyToHost(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateTooltipWindow();
    void EndTextEntry(bool commit);

    HINSTANCE module_ = nullptr;
    HWND window_ = nullptr, parent_ = nullptr;
    RECT lastPlace_ = {0, 0, 0, 0}; // where the window was when it last closed, in its parent
    int placeWidth_ = 0, placeHeight_ = 0; // the editor's size then
    bool hasLastPlace_ = false;
    bool trackingMouse_ = false;

    HWND textEntry_ = nullptr;
    HFONT textEntryFont_ = nullptr;
    WNDPROC textEntryPreviousProc_ = nullptr;
    const IParameter* textEntryParam_ = nullptr;
    bool textEntryEnded_ = false; // a commit or cancel was requested (or the box is going away)

    HWND tooltipWindow_ = nullptr;
    bool tooltipShown_ = false;
    std::string tooltipText_;
};
