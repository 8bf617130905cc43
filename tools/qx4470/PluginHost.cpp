// Plug-in loading and the host callback.
#include "tools/qx4470/PluginHost.h"

#include "host/Os.h"

#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace {

const char kHostProduct[] = "qx4470";
const char kHostVendor[] = "Marten Hollow Lab";
constexpr VstIntPtr kHostVersion = 10106;
constexpr VstIntPtr kVstVersion = 2400;
constexpr size_t kTextBufferSize = 1024;

// The callback carries no context of its own, so each host is found through its effect record.
// While an entry point runs the record is not known yet (it may even call with a null effect),
// so the host being loaded answers those calls.
std::mutex gHostsMutex;
std::vector<std::pair<AEffect*, PluginHost*>> gHosts;
PluginHost* gLoadingHost = nullptr;

PluginHost* FindHost(AEffect* effect) {
    std::lock_guard<std::mutex> guard(gHostsMutex);
    for (auto& entry : gHosts)
        if (entry.first == effect) return entry.second;
    return gLoadingHost;
}

// The host's capabilities, answered to audioMasterCanDo.
bool HostCanDo(const char* what) {
    static const char* const kCanDo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                         "receiveVstEvents", "receiveVstMidiEvent"};
    if (!what) return false;
    for (const char* entry : kCanDo)
        if (std::strcmp(entry, what) == 0) return true;
    return false;
}

void CopyText(void* ptr, const char* text) {
    if (!ptr) return;
    // Vendor and product buffers are 64 bytes long by the interface.
    std::strncpy(static_cast<char*>(ptr), text, kVstMaxVendorStrLen - 1);
    static_cast<char*>(ptr)[kVstMaxVendorStrLen - 1] = '\0';
}

// dlopen searches the library path for a bare file name; a host means the file in the
// current folder.
std::string LibraryPath(const std::string& path) {
    if (path.find('/') != std::string::npos || path.find('\\') != std::string::npos) return path;
    return std::string(".") + os::kPathSeparator + path;
}

} // namespace

PluginHost::PluginHost(double sampleRate, int blockSize)
    : sampleRate_(sampleRate), blockSize_(blockSize) {
    std::memset(&timeInfo_, 0, sizeof timeInfo_);
    timeInfo_.sampleRate = sampleRate_;
    timeInfo_.tempo = 120.0;
    timeInfo_.timeSigNumerator = 4;
    timeInfo_.timeSigDenominator = 4;
    timeInfo_.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid | kVstBarsValid;
}

PluginHost::~PluginHost() {
    Unload();
}

bool PluginHost::Load(const std::string& path, std::string* error) {
    Unload();
    if (!os::FileExists(path)) {
        *error = "no such plug-in file: " + path;
        return false;
    }
    std::string reason;
    library_ = os::OpenLibrary(LibraryPath(path), &reason);
    if (!library_) {
        *error = "cannot load " + path + ": " + reason;
        return false;
    }
    auto entry = reinterpret_cast<VstPluginMainProc>(os::LibrarySymbol(library_, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<VstPluginMainProc>(os::LibrarySymbol(library_, "main"));
    if (!entry) {
        *error = path + " is not a VST 2 plug-in: it exports neither VSTPluginMain nor main";
        Unload();
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(gHostsMutex);
        gLoadingHost = this;
    }
    AEffect* effect = entry(&PluginHost::Callback);
    {
        std::lock_guard<std::mutex> guard(gHostsMutex);
        gLoadingHost = nullptr;
        if (effect) gHosts.emplace_back(effect, this);
    }
    effect_ = effect;
    if (!effect) {
        *error = path + " did not create a plug-in instance";
        Unload();
        return false;
    }
    if (effect->magic != kEffectMagic || !effect->dispatcher) {
        // Nothing of a record that is not an effect can be trusted, effClose included.
        *error = path + " returned something that is not a VST 2 effect";
        effect_ = nullptr;
        Unload();
        return false;
    }
    return true;
}

void PluginHost::Unload() {
    if (effect_) {
        Dispatch(effClose);
        effect_ = nullptr;
    }
    {
        std::lock_guard<std::mutex> guard(gHostsMutex);
        for (size_t i = 0; i < gHosts.size(); ++i)
            if (gHosts[i].second == this) gHosts.erase(gHosts.begin() + (long)i--);
    }
    if (library_) {
        os::CloseLibrary(library_);
        library_ = nullptr;
    }
}

VstIntPtr PluginHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
    if (!effect_) return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginHost::Text(VstInt32 opcode, VstInt32 index, VstIntPtr* result) {
    std::vector<char> buffer(kTextBufferSize, '\0');
    VstIntPtr answer = Dispatch(opcode, index, 0, buffer.data());
    if (result) *result = answer;
    buffer.back() = '\0';
    return std::string(buffer.data());
}

void PluginHost::Open() {
    Dispatch(effOpen);
}

void PluginHost::SetSampleRate(double rate) {
    sampleRate_ = rate;
    timeInfo_.sampleRate = rate;
    Dispatch(effSetSampleRate, 0, 0, nullptr, (float)rate);
}

void PluginHost::SetBlockSize(int frames) {
    blockSize_ = frames;
    Dispatch(effSetBlockSize, 0, frames);
}

VstIntPtr VSTCALLBACK PluginHost::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt) {
    PluginHost* host = FindHost(effect);
    if (host) return host->Answer(opcode, index, value, ptr, opt);
    // A call that reaches no known host (from a thread of the plug-in's own after its host has
    // gone, say) still gets the plain offline answers.
    static PluginHost* const fallback = new PluginHost();
    return fallback->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr PluginHost::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    (void)index;
    (void)value;
    (void)opt;
    switch (opcode) {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterGetSampleRate:
        return (VstIntPtr)sampleRate_;
    case audioMasterGetBlockSize:
        return blockSize_;
    case audioMasterGetCurrentProcessLevel:
        return kVstProcessLevelOffline;
    case audioMasterGetProductString:
        CopyText(ptr, kHostProduct);
        return 1;
    case audioMasterGetVendorString:
        CopyText(ptr, kHostVendor);
        return 1;
    case audioMasterGetVendorVersion:
        return kHostVersion;
    case audioMasterCanDo:
        return HostCanDo(static_cast<const char*>(ptr)) ? 1 : 0;
    case audioMasterProcessEvents:
        // Events the plug-in sends out have nowhere to go in an offline render.
        ++eventListsFromPlugin_;
        return 1;
    case audioMasterWantMidi:
    case audioMasterIOChanged:
    case audioMasterUpdateDisplay:
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    default:
        return 0;
    }
}
