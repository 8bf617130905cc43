// The window of `qx4470 edit`: a small top-level window that hosts a plug-in's editor. Each
// platform has its own implementation (EditWindowX11.cpp, EditWindowWin.cpp).
#pragma once

#include "tools/qx4470/PluginHost.h"

#include <string>

struct EditOptions {
    int program = -1;
    std::string screenshotPath;
    int afterMs = 1000;
};

// Opens the loaded plug-in's editor in a top-level window and idles it (effEditIdle about 30
// times a second) until the window is closed, or until the screenshot is written. Exit code.
int RunEditorWindow(PluginHost& host, const EditOptions& options);
