// The format-independent core of a plug-in instance: parameters, presets, audio channels, state
// chunks and program/bank files, and the virtual operations an instrument overrides. The VST 2
// binding (effect record, dispatcher, host calls) is IPlugVST.
#pragma once

#include "host/ChunkBuffer.h"
#include "host/IParameter.h"
#include "host/Os.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/IEditor.h"

// A MIDI short message; offset counts frames from the start of the current block.
struct IMidiMessage {
    int offset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

// A system-exclusive message as the host delivers it, F0 and F7 included.
struct ISysExMessage {
    int offset = 0;
    int size = 0;
    const uint8_t* data = nullptr;
};

struct ITransportInfo {
    double tempo = 0.0;
    double samplePosition = 0.0;
    double ppqPosition = 0.0;
    double lastBarStart = 0.0;
    double cycleStart = 0.0;
    double cycleEnd = 0.0;
    int numerator = 0;
    int denominator = 0;
    bool playing = false;
    bool cycleActive = false;
};

struct IPresetSlot {
    bool initialized = false;
    std::string name = "empty";
    ChunkBuffer state;
};

struct ChannelIOPair {
    int in;
    int out;
};

struct IInputChannel {
    bool connected = false;
    int slot = 0; // entry of the input pointer array
    std::vector<double> scratch;
    std::string label;
};

struct IOutputChannel {
    bool connected = false;
    int slot = 0; // entry of the output pointer array
    float* floatDestination = nullptr;
    std::vector<double> scratch;
    std::string label;
};

// The fixed facts an instrument gives the framework at construction.
struct PlugIdentity {
    const char* effectName;
    const char* productName;
    const char* vendorName;
    int32_t uniqueID;
    int32_t makerID;
    int32_t version; // 0xMMMMmmrr: major, minor, revision
    int parameterCount;
    int presetCount;
    const char* channelIO; // "in-out" pairs separated by blanks
    int latency;
    bool isInstrument;
    bool doesMidi;
    bool doesChunks;
};

typedef std::lock_guard<os::RecursiveLock> InstanceLock;

class IPlugBase {
public:
    explicit IPlugBase(const PlugIdentity& identity);
    virtual ~IPlugBase();
    IPlugBase(const IPlugBase&) = delete;
    IPlugBase& operator=(const IPlugBase&) = delete;

    // --- Notifications and operations an instrument overrides.
    virtual void OnReset();
    virtual void OnParameterChanged(int index);
    virtual void ProcessBlock(double** inputs, double** outputs, int frames);
    virtual void OnEditorOpened() {}
    virtual void OnEditorClosing() {}
    virtual void OnIdle() {}
    virtual void OnActivate(bool active);
    virtual void ProcessMidiMessage(const IMidiMessage& message);
    virtual void ProcessSysExMessage(const ISysExMessage&) {}
    virtual bool GetMidiKeyName(int key, char* text);
    virtual bool SerializeState(ChunkBuffer& chunk);
    virtual int UnserializeState(const ChunkBuffer& chunk, int position);
    virtual bool StateMatches(const double* values, int start) const;
    virtual void OnEditorResized() {}
    virtual void OnHostIdentified() {}
    // Makes everything random in the instance repeatable (hosts that render for tests).
    virtual void SeedRandomness(uint32_t) {}
    virtual void SetParameterFromEditor(int index, double normalized);

    // --- Calls into the host; the plug-in format implements them.
    virtual void BeginParameterEdit(int) {}
    virtual void NotifyHostOfParameter(int, double) {}
    virtual void EndParameterEdit(int) {}
    virtual void NotifyHostOfProgramChange() {}
    virtual bool IsRenderingOffline() { return false; }
    virtual int GetSamplePosition() { return 0; }
    virtual double GetTempo() { return 0.0; }
    virtual void GetTimeSignature(int* numerator, int* denominator);
    virtual void GetTransportInfo(ITransportInfo*) {}
    virtual int IdentifyHost() { return hostKind_; }
    virtual int GetFormatCode() const { return 0; }
    virtual void ResizeEditor() {}
    virtual void InitForHost() {}
    // Takes ownership of the editor.
    virtual void AttachEditor(IEditor* editor);
    virtual void SetLatency(int samples) { latency_ = samples; }
    virtual bool SendMidiMessage(const IMidiMessage&) { return false; }
    virtual bool SendSysExMessage(const ISysExMessage&) { return false; }
    virtual void RefreshParameterControls();
    virtual int UnserializePresets(const ChunkBuffer& chunk, int position);
    // Stores the live state into the current preset, and the name when one is given.
    virtual void ModifyCurrentPreset(const char* name = nullptr);
    virtual void OnPresetsChanged() {}
    virtual void SetSampleRate(double rate) { sampleRate_ = rate; }
    virtual void SetBlockSize(int frames);

    // --- Parameters.
    int NParams() const { return static_cast<int>(params_.size()); }
    IParameter* GetParameter(int index);
    const IParameter* GetParameter(int index) const;
    void NotifyAllParametersChanged();
    void NotifyHostOfAllParameters();

    // --- Presets.
    int NPresets() const { return static_cast<int>(presets_.size()); }
    int GetCurrentPresetIndex() const { return currentPreset_; }
    const char* GetPresetName(int index) const;
    const IPresetSlot* GetPreset(int index) const;
    bool ApplyPreset(int index);
    void FillEmptyPresets(int count);
    bool SerializePresets(ChunkBuffer& chunk);

    // --- State forms.
    bool SerializeParams(ChunkBuffer& chunk);
    int UnserializeParams(const ChunkBuffer& chunk, int position);
    static void WriteChunkHeader(ChunkBuffer& chunk);
    // The framework version when the magic is at position (position then moves past the
    // header); 0 when it is not, leaving position; 0 with position -1 when the version is cut.
    static int32_t ReadChunkHeader(const ChunkBuffer& chunk, int& position);

    // --- Program and bank files (FXP/FXB). Empty or unopenable paths give false.
    bool SaveProgramFile(const std::string& path);
    bool SaveBankFile(const std::string& path);
    bool LoadProgramFile(const std::string& path);
    bool LoadBankFile(const std::string& path);
    // The same forms as bytes held in memory.
    bool WriteProgramData(ChunkBuffer& data);
    bool WriteBankData(ChunkBuffer& data);
    bool LoadProgramData(const ChunkBuffer& data);
    bool LoadBankData(const ChunkBuffer& data);

    // --- Identity and host facts.
    const char* GetEffectName() const { return effectName_.c_str(); }
    const char* GetProductName() const { return productName_.c_str(); }
    const char* GetVendorName() const { return vendorName_.c_str(); }
    int32_t GetUniqueID() const { return uniqueID_; }
    int32_t GetMakerID() const { return makerID_; }
    int32_t GetVersion() const { return version_; }
    int GetDecimalVersion() const;
    bool IsInstrument() const { return isInstrument_; }
    bool DoesMidi() const { return doesMidi_; }
    bool DoesStateChunks() const { return doesChunks_; }
    int GetLatency() const { return latency_; }
    int GetTailSize() const { return tailSize_; }
    double GetSampleRate() const { return sampleRate_; }
    int GetBlockSize() const { return blockSize_; }
    int GetHostKind() const { return hostKind_; }
    int GetHostVersion() const { return hostVersion_; }
    bool LegalIO(int in, int out) const;
    IEditor* GetEditor() const { return editor_.get(); }

    // --- Channels.
    int NInChannels() const { return static_cast<int>(inChannels_.size()); }
    int NOutChannels() const { return static_cast<int>(outChannels_.size()); }
    IInputChannel& InChannel(int index) { return inChannels_[index]; }
    IOutputChannel& OutChannel(int index) { return outChannels_[index]; }
    double** InputPointers() { return inputPointers_.data(); }
    double** OutputPointers() { return outputPointers_.data(); }

    // The instance lock: held for every host call, every block and every program change.
    os::RecursiveLock& Mutex() { return mutex_; }

protected:
    int hostKind_ = -1;
    int hostVersion_ = 0;
    int tailSize_ = 0;
    double sampleRate_ = 44100.0;
    int blockSize_ = 0;
    int latency_ = 0;

private:
    void ParseChannelIO(const char* text);
    bool LoadParameterListBank(const ChunkBuffer& data);
    int CountPresetsNamed(const char* text) const;

    os::RecursiveLock mutex_;
    std::string effectName_;
    std::string productName_;
    std::string vendorName_;
    int32_t uniqueID_;
    int32_t makerID_;
    int32_t version_;
    bool isInstrument_;
    bool doesMidi_;
    bool doesChunks_;
    std::vector<IParameter> params_;
    std::vector<IPresetSlot> presets_;
    int currentPreset_ = 0;
    std::vector<ChannelIOPair> channelIO_;
    std::vector<IInputChannel> inChannels_;
    std::vector<IOutputChannel> outChannels_;
    std::vector<double*> inputPointers_;
    std::vector<double*> outputPointers_;
    std::unique_ptr<IEditor> editor_;
};
