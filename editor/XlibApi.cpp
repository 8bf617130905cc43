#include "editor/XlibApi.h"

#include <algorithm>
#include <atomic>
#include <dlfcn.h>
#include <mutex>
#include <vector>

namespace {

template <typename Function> bool Resolve(void* library, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(dlsym(library, name));
    return *function != nullptr;
}

bool ResolveAll(void* library, XlibApi* x) {
    bool ok = true;
#define QX_RESOLVE(name) ok = Resolve(library, "X" #name, &x->name) && ok
    QX_RESOLVE(OpenDisplay);
    QX_RESOLVE(CloseDisplay);
    QX_RESOLVE(CreateWindow);
    QX_RESOLVE(DestroyWindow);
    QX_RESOLVE(MapRaised);
    QX_RESOLVE(MapWindow);
    QX_RESOLVE(UnmapWindow);
    QX_RESOLVE(MoveResizeWindow);
    QX_RESOLVE(SelectInput);
    QX_RESOLVE(Pending);
    QX_RESOLVE(NextEvent);
    QX_RESOLVE(Flush);
    QX_RESOLVE(Sync);
    QX_RESOLVE(CreateGC);
    QX_RESOLVE(FreeGC);
    QX_RESOLVE(CreateImage);
    QX_RESOLVE(PutImage);
    QX_RESOLVE(GetWindowAttributes);
    QX_RESOLVE(TranslateCoordinates);
    QX_RESOLVE(LookupString);
    QX_RESOLVE(LookupKeysym);
    QX_RESOLVE(GrabPointer);
    QX_RESOLVE(UngrabPointer);
    QX_RESOLVE(GrabKeyboard);
    QX_RESOLVE(UngrabKeyboard);
    QX_RESOLVE(SetInputFocus);
    QX_RESOLVE(SetErrorHandler);
    QX_RESOLVE(GetInputFocus);
    QX_RESOLVE(QueryPointer);
    QX_RESOLVE(Free);
#undef QX_RESOLVE
    return ok;
}

} // namespace

const XlibApi* LoadXlib() {
    // Function-local statics are initialised once even when several threads get here.
    static const XlibApi* const api = []() -> const XlibApi* {
        void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (!library) return nullptr;
        static XlibApi table;
        if (!ResolveAll(library, &table)) return nullptr; // the handle stays open: harmless
        return &table;
    }();
    return api;
}

namespace {

std::mutex trapLock;
std::vector<Display*> trappedDisplays;
XErrorHandler previousHandler = nullptr;
std::atomic<int> trappedErrors{0};

int TrapError(Display* display, XErrorEvent* error) {
    XErrorHandler previous;
    {
        std::lock_guard<std::mutex> lock(trapLock);
        if (std::find(trappedDisplays.begin(), trappedDisplays.end(), display) !=
            trappedDisplays.end()) {
            ++trappedErrors;
            return 0;
        }
        previous = previousHandler;
    }
    return previous ? previous(display, error) : 0;
}

} // namespace

void X11RegisterConnection(const XlibApi* x, Display* display) {
    std::lock_guard<std::mutex> lock(trapLock);
    if (trappedDisplays.empty()) previousHandler = x->SetErrorHandler(TrapError);
    trappedDisplays.push_back(display);
}

void X11UnregisterConnection(const XlibApi* x, Display* display) {
    std::lock_guard<std::mutex> lock(trapLock);
    trappedDisplays.erase(std::remove(trappedDisplays.begin(), trappedDisplays.end(), display),
                          trappedDisplays.end());
    if (!trappedDisplays.empty()) return;
    // Put the previous handler back, unless the host has installed one of its own since.
    XErrorHandler current = x->SetErrorHandler(previousHandler);
    if (current != TrapError) x->SetErrorHandler(current);
    previousHandler = nullptr;
}

int X11ErrorCount() {
    return trappedErrors.load();
}
