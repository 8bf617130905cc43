// Loads a VST 2 plug-in from its file the way a host does and answers the plug-in's calls back
// into the host as a plain offline host.
#pragma once

#include "host/vst2.h"

#include <string>

class PluginHost {
public:
    // The sample rate and block size the host reports until SetSampleRate and SetBlockSize
    // change them; a plug-in may ask as soon as it is created.
    explicit PluginHost(double sampleRate = 44100.0, int blockSize = 512);
    ~PluginHost(); // closes the instance and unloads the library when that has not happened
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads the library, calls its entry (VSTPluginMain, else main) and checks the effect
    // record. On failure says why in `error`.
    bool Load(const std::string& path, std::string* error);
    // effClose (an instance that was created is always closed, opened or not), then unloads.
    void Unload();

    AEffect* Effect() const { return effect_; }
    bool HasFlag(VstInt32 flag) const { return effect_ && (effect_->flags & flag) != 0; }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    // Asks for a text (names, labels, displays) into a zeroed buffer far larger than the
    // limits of the interface, so that plug-ins that write past them do no harm.
    std::string Text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr* result = nullptr);

    void Open();                     // effOpen
    void SetSampleRate(double rate); // effSetSampleRate; also what the host reports
    void SetBlockSize(int frames);   // effSetBlockSize; also what the host reports

    // What audioMasterGetTime answers; the renderer updates it before every block.
    VstTimeInfo& TimeInfo() { return timeInfo_; }
    int EventListsFromPlugin() const { return eventListsFromPlugin_; }

private:
    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                          VstIntPtr value, void* ptr, float opt);
    VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    double sampleRate_;
    int blockSize_;
    VstTimeInfo timeInfo_;
    int eventListsFromPlugin_ = 0;
};
