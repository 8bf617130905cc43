#include "host/PluginEntry.h"

#include "host/IPlugVST.h"

#include <mutex>

namespace {
os::RecursiveLock& CreationLock() {
    static os::RecursiveLock lock; // created on first use, thread-safely
    return lock;
}
} // namespace

AEffect* CreateEffectInstance(audioMasterCallback hostCallback) {
    try {
        std::lock_guard<os::RecursiveLock> lock(CreationLock());
        IPlugVST* plug = MakePlug(hostCallback);
        if (!plug) return nullptr;
        plug->FillEmptyPresets(plug->NPresets());
        AEffect* effect = plug->GetAEffect();
        if (effect->numPrograms < 1) effect->numPrograms = 1;
        return effect;
    } catch (...) {
        return nullptr;
    }
}
