// Helpers of the popups' modal event loops on the editor's display connection.
#pragma once

#include "editor/X11Popup.h"

// Grabs pointer and keyboard for the window (retrying while it becomes viewable).
bool X11GrabInput(const X11Context& context, Window window);
void X11ReleaseInput(const X11Context& context);
// The next event, waiting at most timeoutMs; false when none came. Expose events of the editor
// window are also handled here (repainted) before the caller sees them.
bool X11NextEvent(const X11Context& context, XEvent* event, int timeoutMs);
