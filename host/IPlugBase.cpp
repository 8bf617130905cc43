#include "host/IPlugBase.h"

#include "host/FxFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr size_t kPresetNameCapacity = 255;
constexpr int kPresetStateCapacity = 1024;
const char kUserPresetName[] = "user preset";
} // namespace

IPlugBase::IPlugBase(const PlugIdentity& identity)
    : effectName_(identity.effectName ? identity.effectName : ""),
      productName_(identity.productName ? identity.productName : ""),
      vendorName_(identity.vendorName ? identity.vendorName : ""), uniqueID_(identity.uniqueID),
      makerID_(identity.makerID), version_(identity.version), isInstrument_(identity.isInstrument),
      doesMidi_(identity.doesMidi), doesChunks_(identity.doesChunks),
      params_(std::max(0, identity.parameterCount)), presets_(std::max(0, identity.presetCount)) {
    effectName_ = effectName_.substr(0, 127);
    vendorName_ = vendorName_.substr(0, 127);
    latency_ = identity.latency;
    ParseChannelIO(identity.channelIO);
    // Room for any program state, so that storing one (which SysEx may ask for while audio
    // runs) does not allocate.
    for (IPresetSlot& preset : presets_)
        preset.state.Reserve(kPresetStateCapacity);
}

IPlugBase::~IPlugBase() {
    // The editor goes first: it may still refer to parameters while it closes.
    editor_.reset();
}

void IPlugBase::ParseChannelIO(const char* text) {
    int inputs = 0, outputs = 0;
    for (const char* p = text ? text : ""; *p;) {
        ChannelIOPair pair;
        if (std::sscanf(p, "%d-%d", &pair.in, &pair.out) != 2) break;
        channelIO_.push_back(pair);
        inputs = std::max(inputs, pair.in);
        outputs = std::max(outputs, pair.out);
        const char* blank = std::strchr(p, ' ');
        if (!blank) break;
        p = blank + 1;
    }
    inChannels_.resize(inputs);
    outChannels_.resize(outputs);
    inputPointers_.assign(inputs, nullptr);
    outputPointers_.assign(outputs, nullptr);
    for (int i = 0; i < inputs; ++i) {
        inChannels_[i].slot = i;
        inChannels_[i].connected = true;
    }
    for (int i = 0; i < outputs; ++i) {
        outChannels_[i].slot = i;
        outChannels_[i].connected = true;
    }
}

bool IPlugBase::LegalIO(int in, int out) const {
    for (const ChannelIOPair& pair : channelIO_)
        if ((in == -1 || pair.in == in) && (out == -1 || pair.out == out)) return true;
    return false;
}

int IPlugBase::GetDecimalVersion() const {
    return (version_ >> 16) * 10000 + ((version_ >> 8) & 0xFF) * 100 + (version_ & 0xFF);
}

// --- Default operations.

void IPlugBase::OnReset() {
    InstanceLock lock(mutex_);
}

void IPlugBase::OnParameterChanged(int) {
    InstanceLock lock(mutex_);
}

void IPlugBase::OnActivate(bool) {
    InstanceLock lock(mutex_);
}

void IPlugBase::ProcessBlock(double** inputs, double** outputs, int frames) {
    int through = std::min(NInChannels(), NOutChannels());
    for (int i = 0; i < NOutChannels(); ++i) {
        if (!outputs[i]) continue;
        if (i < through && inputs[i])
            std::memmove(outputs[i], inputs[i], sizeof(double) * frames);
        else
            std::fill(outputs[i], outputs[i] + frames, 0.0);
    }
}

void IPlugBase::ProcessMidiMessage(const IMidiMessage& message) {
    SendMidiMessage(message);
}

bool IPlugBase::GetMidiKeyName(int, char* text) {
    if (text) *text = '\0';
    return false;
}

bool IPlugBase::SerializeState(ChunkBuffer& chunk) {
    return SerializeParams(chunk);
}

int IPlugBase::UnserializeState(const ChunkBuffer& chunk, int position) {
    return UnserializeParams(chunk, position);
}

bool IPlugBase::StateMatches(const double* values, int start) const {
    for (int i = 0; i < NParams(); ++i)
        if (params_[i].Value() != values[start + i]) return false;
    return true;
}

void IPlugBase::GetTimeSignature(int* numerator, int* denominator) {
    *numerator = 0;
    *denominator = 0;
}

void IPlugBase::AttachEditor(IEditor* editor) {
    InstanceLock lock(mutex_);
    editor_.reset(editor);
    if (editor_) editor_->OnAttached();
}

void IPlugBase::SetBlockSize(int frames) {
    // A host that announces no frames at all still sends audio calls: the buffers it had stay,
    // and longer calls are served in pieces of their size. Without them nothing would be
    // written into the host's buffers.
    if (frames == blockSize_ || frames <= 0) return;
    // Build the new buffers first, so a failed allocation leaves the old ones intact.
    std::vector<std::vector<double>> inputs(inChannels_.size(), std::vector<double>(frames, 0.0));
    std::vector<std::vector<double>> outputs(outChannels_.size(), std::vector<double>(frames, 0.0));
    for (size_t i = 0; i < inChannels_.size(); ++i) {
        IInputChannel& channel = inChannels_[i];
        bool onScratch = inputPointers_[channel.slot] == channel.scratch.data();
        channel.scratch.swap(inputs[i]);
        // A slot that pointed at the old scratch buffer must follow it to the new one.
        if (onScratch || !channel.connected)
            inputPointers_[channel.slot] =
                channel.scratch.empty() ? nullptr : channel.scratch.data();
    }
    for (size_t i = 0; i < outChannels_.size(); ++i) {
        IOutputChannel& channel = outChannels_[i];
        bool onScratch = outputPointers_[channel.slot] == channel.scratch.data();
        channel.scratch.swap(outputs[i]);
        if (onScratch || !channel.connected)
            outputPointers_[channel.slot] =
                channel.scratch.empty() ? nullptr : channel.scratch.data();
    }
    blockSize_ = frames;
}

// --- Parameters.

IParameter* IPlugBase::GetParameter(int index) {
    return index >= 0 && index < NParams() ? &params_[index] : nullptr;
}

const IParameter* IPlugBase::GetParameter(int index) const {
    return index >= 0 && index < NParams() ? &params_[index] : nullptr;
}

void IPlugBase::SetParameterFromEditor(int index, double normalized) {
    InstanceLock lock(mutex_);
    IParameter* param = GetParameter(index);
    if (!param) return;
    param->SetFromNormalized(normalized);
    NotifyHostOfParameter(index, normalized);
    OnParameterChanged(index);
}

void IPlugBase::NotifyAllParametersChanged() {
    for (int i = 0; i < NParams(); ++i)
        OnParameterChanged(i);
}

void IPlugBase::NotifyHostOfAllParameters() {
    InstanceLock lock(mutex_);
    for (int i = 0; i < NParams(); ++i)
        NotifyHostOfParameter(i, params_[i].GetAsNormalized());
}

void IPlugBase::RefreshParameterControls() {
    if (!editor_) return;
    for (int i = 0; i < NParams(); ++i)
        editor_->SetParameterFromPlug(i, params_[i].Value(), false);
}

// --- State forms.

bool IPlugBase::SerializeParams(ChunkBuffer& chunk) {
    InstanceLock lock(mutex_);
    bool ok = true;
    for (const IParameter& param : params_)
        ok = chunk.AppendDouble(param.Value()) && ok;
    return ok;
}

int IPlugBase::UnserializeParams(const ChunkBuffer& chunk, int position) {
    InstanceLock lock(mutex_);
    for (IParameter& param : params_) {
        double value = 0.0;
        position = chunk.ReadDouble(position, &value);
        param.SetValueLimited(value); // a missing value reads as 0, limited to the range
        if (position < 0) break;
    }
    NotifyAllParametersChanged();
    return position;
}

void IPlugBase::WriteChunkHeader(ChunkBuffer& chunk) {
    chunk.Clear();
    chunk.AppendInt32(fx::kFrameworkMagic);
    chunk.AppendInt32(fx::kFrameworkVersion);
}

int32_t IPlugBase::ReadChunkHeader(const ChunkBuffer& chunk, int& position) {
    int32_t magic = 0;
    if (chunk.ReadInt32(position, &magic) < 0 || magic != fx::kFrameworkMagic) return 0;
    int32_t version = 0;
    if (chunk.ReadInt32(position + 4, &version) < 0) {
        position = -1;
        return 0;
    }
    position += fx::kFrameworkHeaderSize;
    return version;
}

// --- Presets.

const char* IPlugBase::GetPresetName(int index) const {
    return index >= 0 && index < NPresets() ? presets_[index].name.c_str() : "";
}

const IPresetSlot* IPlugBase::GetPreset(int index) const {
    return index >= 0 && index < NPresets() ? &presets_[index] : nullptr;
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
    if (currentPreset_ < 0 || currentPreset_ >= NPresets()) return;
    IPresetSlot& preset = presets_[currentPreset_];
    preset.state.Clear();
    SerializeState(preset.state);
    // Assigned in place: the SysEx dump path stores programs on the audio thread, and a name
    // that fits the slot's storage must not allocate.
    if (!name || !*name) return;
    size_t length = 0;
    while (length < kPresetNameCapacity && name[length])
        ++length;
    preset.name.assign(name, length);
}

int IPlugBase::CountPresetsNamed(const char* text) const {
    int count = 0;
    for (const IPresetSlot& preset : presets_)
        if (preset.name.find(text) != std::string::npos) ++count;
    return count;
}

bool IPlugBase::ApplyPreset(int index) {
    if (index < 0 || index >= NPresets()) return false;
    IPresetSlot& preset = presets_[index];
    bool ok;
    if (preset.initialized) {
        ok = UnserializeState(preset.state, 0) > 0;
    } else {
        // An untouched slot takes the live state under a new "user preset" name.
        preset.initialized = true;
        preset.name = std::string(kUserPresetName) + " " +
                      std::to_string(CountPresetsNamed(kUserPresetName) + 1);
        preset.state.Clear();
        ok = SerializeState(preset.state);
    }
    if (ok) {
        currentPreset_ = index;
        OnPresetsChanged();
        RefreshParameterControls();
    }
    return ok;
}

void IPlugBase::FillEmptyPresets(int count) {
    for (int n = 0; n < count; ++n) {
        auto empty = std::find_if(presets_.begin(), presets_.end(),
                                  [](const IPresetSlot& preset) { return !preset.initialized; });
        if (empty == presets_.end()) continue;
        empty->initialized = true;
        empty->name = "Empty";
        empty->state.Clear();
        SerializeState(empty->state);
    }
}

bool IPlugBase::SerializePresets(ChunkBuffer& chunk) {
    for (const IPresetSlot& preset : presets_) {
        chunk.AppendText(preset.name);
        chunk.AppendByte(preset.initialized ? 1 : 0);
        if (preset.initialized) chunk.AppendBytes(preset.state.Data(), preset.state.Size());
    }
    return true;
}

int IPlugBase::UnserializePresets(const ChunkBuffer& chunk, int position) {
    for (IPresetSlot& preset : presets_) {
        if (position < 0) break;
        std::string name;
        position = chunk.ReadText(position, &name);
        // A name that is not wholly there is not taken: the slot keeps what it had. Hosts and
        // files see names as C strings, so a NUL inside ends the name here too; otherwise the
        // bytes after it would live on unseen and change what the program compares as.
        if (position >= 0 && position <= chunk.Size())
            preset.name = name.substr(0, std::min(name.find('\0'), size_t(kPresetNameCapacity)));
        uint8_t initialized = 0;
        position = chunk.ReadByte(position, &initialized);
        if (position < 0) break;
        if (!initialized) {
            preset.initialized = false;
            continue;
        }
        // The state has no length in front: the reader finds its end. A state that breaks
        // off leaves the slot as it was, so no slot is ever marked usable without a state.
        position = UnserializeState(chunk, position);
        if (position > 0) {
            preset.initialized = true;
            preset.state.Clear();
            SerializeState(preset.state);
        }
    }
    ApplyPreset(currentPreset_);
    return position;
}
