// The plug-in's exported entry points. The Windows builds export them through qx4470.def
// (VSTPluginMain, and main as its alias); the Linux build marks them visible and names the alias
// "main" at the symbol level, as a C++ function may not be called main.
#include "host/PluginEntry.h"

#if defined(_WIN32)
#define QX_EXPORT
#else
#define QX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QX_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback) {
    return CreateEffectInstance(hostCallback);
}

#if !defined(_WIN32)
extern "C" QX_EXPORT AEffect* MainAlias(audioMasterCallback hostCallback) __asm__("main");
extern "C" AEffect* MainAlias(audioMasterCallback hostCallback) {
    return CreateEffectInstance(hostCallback);
}
#endif
