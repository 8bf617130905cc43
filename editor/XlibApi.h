// The Xlib functions the X11 editor uses, loaded from libX11.so.6 at run time. The plug-in
// thus has no link-time dependency on X11 and still loads (and plays) on a machine without it.
// Only the types and macros of the Xlib headers are used at compile time; the structure
// layouts they describe are the library's stable binary interface.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

struct XlibApi {
    decltype(&::XOpenDisplay) OpenDisplay;
    decltype(&::XCloseDisplay) CloseDisplay;
    decltype(&::XCreateWindow) CreateWindow;
    decltype(&::XDestroyWindow) DestroyWindow;
    decltype(&::XMapRaised) MapRaised;
    decltype(&::XMapWindow) MapWindow;
    decltype(&::XUnmapWindow) UnmapWindow;
    decltype(&::XMoveResizeWindow) MoveResizeWindow;
    decltype(&::XSelectInput) SelectInput;
    decltype(&::XPending) Pending;
    decltype(&::XNextEvent) NextEvent;
    decltype(&::XFlush) Flush;
    decltype(&::XSync) Sync;
    decltype(&::XCreateGC) CreateGC;
    decltype(&::XFreeGC) FreeGC;
    decltype(&::XCreateImage) CreateImage;
    decltype(&::XPutImage) PutImage;
    decltype(&::XGetWindowAttributes) GetWindowAttributes;
    decltype(&::XTranslateCoordinates) TranslateCoordinates;
    decltype(&::XLookupString) LookupString;
    decltype(&::XLookupKeysym) LookupKeysym;
    decltype(&::XGrabPointer) GrabPointer;
    decltype(&::XUngrabPointer) UngrabPointer;
    decltype(&::XGrabKeyboard) GrabKeyboard;
    decltype(&::XUngrabKeyboard) UngrabKeyboard;
    decltype(&::XSetInputFocus) SetInputFocus;
    decltype(&::XSetErrorHandler) SetErrorHandler;
    decltype(&::XGetInputFocus) GetInputFocus;
    decltype(&::XQueryPointer) QueryPointer;
    decltype(&::XFree) Free;
};

// The table, or null when libX11.so.6 (or one of the functions) is missing. The library is
// loaded once and stays loaded for the life of the process: editors may be opened and closed
// many times, and unloading Xlib under a host that uses it too would be fatal.
const XlibApi* LoadXlib();

// While an editor's connection is registered, X errors on it (a host that destroys its window
// before closing the editor, a popup whose grab races the pointer) are counted instead of
// reaching Xlib's default handler, which would end the host's process. Errors on any other
// connection go to the handler that was there before. Callers register on the UI thread.
void X11RegisterConnection(const XlibApi* x, Display* display);
void X11UnregisterConnection(const XlibApi* x, Display* display);
// Errors seen on registered connections so far.
int X11ErrorCount();
