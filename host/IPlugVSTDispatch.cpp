// The dispatcher and the audio and parameter callbacks. Each runs under the instance lock, and
// no exception ever leaves them: the host's frames cannot be unwound.
#include "host/IPlugVST.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Hosts give texts room for at least these lengths.
constexpr int kProgramNameCapacity = kVstMaxProgNameLen + 1;
constexpr int kNameCapacity = 64;

IPlugVST* Instance(AEffect* effect) {
    return effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
}

// Values that are not numbers, tiny enough to be denormal as floats, or infinite never reach the
// host.
inline double Clean(double x) {
    double magnitude = std::fabs(x);
    return magnitude >= 1e-30 && magnitude <= 1e30 ? x : 0.0;
}

} // namespace

// --- Static entry points given to the host.

VstIntPtr VSTCALLBACK IPlugVST::DispatcherProc(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt) {
    IPlugVST* plug = Instance(effect);
    if (!plug) return 0;
    try {
        if (opcode == effClose) {
            // Wait for any block in progress, then let go of the lock and destroy.
            plug->Mutex().lock();
            plug->Mutex().unlock();
            delete plug;
            return 0;
        }
        if (opcode == effEditIdle) {
            // The editor's own work (repaints, a popup menu's loop) runs outside the instance
            // lock, so that it never holds up the audio thread.
            if (IEditor* editor = plug->GetEditor()) editor->OnHostIdle();
        }
        InstanceLock lock(plug->Mutex());
        return plug->Dispatch(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void VSTCALLBACK IPlugVST::AccumulateProc(AEffect* effect, float** inputs, float** outputs,
                                          VstInt32 frames) {
    IPlugVST* plug = Instance(effect);
    if (!plug) return;
    try {
        plug->ProcessFloat(inputs, outputs, frames, true);
    } catch (...) {
    }
}

void VSTCALLBACK IPlugVST::ReplaceProc(AEffect* effect, float** inputs, float** outputs,
                                       VstInt32 frames) {
    IPlugVST* plug = Instance(effect);
    if (!plug) return;
    try {
        plug->ProcessFloat(inputs, outputs, frames, false);
    } catch (...) {
    }
}

void VSTCALLBACK IPlugVST::ReplaceDoubleProc(AEffect* effect, double** inputs, double** outputs,
                                             VstInt32 frames) {
    IPlugVST* plug = Instance(effect);
    if (!plug) return;
    try {
        plug->ProcessDouble(inputs, outputs, frames);
    } catch (...) {
    }
}

void VSTCALLBACK IPlugVST::SetParameterProc(AEffect* effect, VstInt32 index, float value) {
    IPlugVST* plug = Instance(effect);
    if (!plug) return;
    try {
        plug->SetParameterFromHost(index, value);
    } catch (...) {
    }
}

float VSTCALLBACK IPlugVST::GetParameterProc(AEffect* effect, VstInt32 index) {
    IPlugVST* plug = Instance(effect);
    if (!plug) return 0.0f;
    try {
        InstanceLock lock(plug->Mutex());
        const IParameter* param = plug->GetParameter(index);
        return param ? static_cast<float>(param->GetAsNormalized()) : 0.0f;
    } catch (...) {
        return 0.0f;
    }
}

// --- Audio.

void IPlugVST::ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate) {
    InstanceLock lock(Mutex());
    if (DoesMidi()) HostCall(audioMasterWantMidi);
    // A host that sends more frames than it announced is served in pieces that the scratch
    // buffers hold.
    for (int done = 0; done < frames && GetBlockSize() > 0;) {
        int count = std::min(frames - done, GetBlockSize());
        int hostBuffer = 0;
        for (int i = 0; i < NInChannels(); ++i) {
            IInputChannel& channel = InChannel(i);
            if (!channel.connected) continue;
            const float* source = inputs ? inputs[hostBuffer++] : nullptr;
            for (int s = 0; s < count; ++s)
                channel.scratch[s] = source ? source[done + s] : 0.0;
            InputPointers()[channel.slot] = channel.scratch.data();
        }
        hostBuffer = 0;
        for (int i = 0; i < NOutChannels(); ++i) {
            IOutputChannel& channel = OutChannel(i);
            if (!channel.connected) continue;
            OutputPointers()[channel.slot] = channel.scratch.data();
            float* destination = outputs ? outputs[hostBuffer++] : nullptr;
            channel.floatDestination = destination ? destination + done : nullptr;
        }
        ProcessBlock(InputPointers(), OutputPointers(), count);
        for (int i = 0; i < NOutChannels(); ++i) {
            IOutputChannel& channel = OutChannel(i);
            if (!channel.connected || !channel.floatDestination) continue;
            float* destination = channel.floatDestination;
            const double* source = channel.scratch.data();
            if (accumulate)
                for (int s = 0; s < count; ++s)
                    destination[s] += static_cast<float>(Clean(source[s]));
            else
                for (int s = 0; s < count; ++s)
                    destination[s] = static_cast<float>(Clean(source[s]));
        }
        done += count;
    }
}

void IPlugVST::ProcessDouble(double** inputs, double** outputs, int frames) {
    InstanceLock lock(Mutex());
    if (DoesMidi()) HostCall(audioMasterWantMidi);
    if (frames <= 0) return;
    int hostBuffer = 0;
    for (int i = 0; i < NInChannels(); ++i) {
        IInputChannel& channel = InChannel(i);
        if (channel.connected)
            InputPointers()[channel.slot] = inputs ? inputs[hostBuffer++] : nullptr;
    }
    hostBuffer = 0;
    for (int i = 0; i < NOutChannels(); ++i) {
        IOutputChannel& channel = OutChannel(i);
        if (channel.connected)
            OutputPointers()[channel.slot] = outputs ? outputs[hostBuffer++] : nullptr;
    }
    ProcessBlock(InputPointers(), OutputPointers(), frames);
    for (int i = 0; i < NOutChannels(); ++i) {
        IOutputChannel& channel = OutChannel(i);
        double* output = OutputPointers()[channel.slot];
        if (!channel.connected || !output) continue;
        for (int s = 0; s < frames; ++s)
            output[s] = Clean(output[s]);
    }
}

// --- Parameters.

void IPlugVST::SetParameterFromHost(int index, float value) {
    InstanceLock lock(Mutex());
    IParameter* param = GetParameter(index);
    if (!param) return;
    if (IEditor* editor = GetEditor()) editor->SetParameterFromPlug(index, value, true);
    param->SetFromNormalized(value);
    OnParameterChanged(index);
}

VstIntPtr IPlugVST::StringToParameter(int index, const char* text) {
    IParameter* param = GetParameter(index);
    if (!param) return 0;
    if (!text) return 1;
    double value = 0.0;
    if (!param->ValueOfHostText(text, &value)) return 0;
    if (IEditor* editor = GetEditor()) editor->SetParameterFromPlug(index, value, false);
    param->SetValueLimited(value);
    OnParameterChanged(index);
    return 1;
}

// --- Channels.

VstIntPtr IPlugVST::PinProperties(bool input, int index, VstPinProperties* properties) {
    int count = input ? NInChannels() : NOutChannels();
    if (index < 0 || index >= count || !properties) return 0;
    properties->flags = kVstPinIsActive;
    if (index % 2 == 0 && index < count - 1) properties->flags |= kVstPinIsStereo;
    const std::string& label = input ? InChannel(index).label : OutChannel(index).label;
    if (!label.empty())
        CopyText(properties->label, label.c_str(), sizeof(properties->label));
    else
        std::snprintf(properties->label, sizeof(properties->label), "%s %d",
                      input ? "Input" : "Output", index + 1);
    return 1;
}

void IPlugVST::ArrangeChannels(bool input, const VstSpeakerArrangement* arrangement) {
    if (!arrangement) return;
    int count = input ? NInChannels() : NOutChannels();
    int wanted = std::max(0, static_cast<int>(arrangement->numChannels));
    for (int i = 0; i < count; ++i) {
        bool connected = i < wanted;
        if (input) {
            IInputChannel& channel = InChannel(i);
            channel.connected = connected;
            if (!connected)
                InputPointers()[channel.slot] =
                    channel.scratch.empty() ? nullptr : channel.scratch.data();
        } else {
            IOutputChannel& channel = OutChannel(i);
            channel.connected = connected;
            if (!connected)
                OutputPointers()[channel.slot] =
                    channel.scratch.empty() ? nullptr : channel.scratch.data();
        }
    }
}

VstIntPtr IPlugVST::CanDo(const char* text) {
    if (!text) return 0;
    if (std::strcmp(text, "receiveVstTimeInfo") == 0) return 1;
    if (DoesMidi()) {
        for (const char* midi :
             {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
            if (std::strcmp(text, midi) == 0) return 1;
    }
    if (std::strcmp(text, "hasCockosExtensions") == 0) {
        hostExtensions_ |= 1;
        return static_cast<VstIntPtr>(0xBEEF0000);
    }
    if (std::strcmp(text, "hasCockosViewAsConfig") == 0) {
        hostExtensions_ |= 2;
        return static_cast<VstIntPtr>(0xBEEF0000);
    }
    return 0;
}

// --- The dispatcher.

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        InitForHost();
        NotifyAllParametersChanged();
        return 0;
    case effSetProgram:
        ModifyCurrentPreset();
        ApplyPreset(static_cast<int>(value));
        return 0;
    case effGetProgram:
        return GetCurrentPresetIndex();
    case effSetProgramName:
        if (text) {
            ModifyCurrentPreset(text);
            OnPresetsChanged();
        }
        return 0;
    case effGetProgramName:
        if (text) CopyText(text, GetPresetName(GetCurrentPresetIndex()), kProgramNameCapacity);
        return 0;
    case effGetParamLabel:
        if (const IParameter* param = GetParameter(index))
            if (text) CopyText(text, param->GetLabel(), kNameCapacity);
        return 0;
    case effGetParamDisplay:
        if (const IParameter* param = GetParameter(index))
            if (text) param->FormatValue(param->Value(), false, text, true);
        return 0;
    case effGetParamName:
        if (const IParameter* param = GetParameter(index))
            if (text) CopyText(text, param->Name(), kNameCapacity);
        return 0;
    case effSetSampleRate:
        SetSampleRate(opt);
        OnReset();
        return 0;
    case effSetBlockSize:
        SetBlockSize(static_cast<int>(std::min<VstIntPtr>(value, 1 << 20)));
        OnReset();
        return 0;
    case effMainsChanged:
        if (value) {
            OnActivate(true);
        } else {
            OnActivate(false);
            OnReset();
        }
        return 0;
    case effEditGetRect:
        if (!GetEditor() || !ptr) return 0;
        *static_cast<ERect**>(ptr) = &editRect_;
        return 1;
    case effEditOpen:
        if (!GetEditor() || !GetEditor()->OpenWindow(ptr)) return 0;
        OnEditorOpened();
        return 1;
    case effEditClose:
        if (!GetEditor()) return 0;
        OnEditorClosing();
        GetEditor()->CloseWindow();
        return 1;
    case effEditIdle:
    case effIdle:
        OnIdle();
        return 0;
    case effIdentify:
        return VstFourCC('N', 'v', 'E', 'f');
    case effGetChunk:
        return GetChunk(index, static_cast<void**>(ptr));
    case effSetChunk:
        return SetChunk(index, ptr, static_cast<int>(std::min<VstIntPtr>(value, 1 << 30)));
    case effProcessEvents: {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        if (!events) return 0;
        // The host's list runs past the two entries the structure declares: index through a
        // pointer, since indexing the declared array beyond them is undefined.
        VstEvent* const* list = events->events;
        for (int i = 0; i < events->numEvents; ++i) {
            const VstEvent* event = list[i];
            if (!event) continue;
            if (event->type == kVstMidiType) {
                const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
                IMidiMessage message;
                message.offset = midi->deltaFrames;
                message.status = static_cast<uint8_t>(midi->midiData[0]);
                message.data1 = static_cast<uint8_t>(midi->midiData[1]);
                message.data2 = static_cast<uint8_t>(midi->midiData[2]);
                ProcessMidiMessage(message);
            } else if (event->type == kVstSysExType) {
                const VstMidiSysexEvent* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
                if (!sysex->sysexDump || sysex->dumpBytes < 0) continue;
                ISysExMessage message;
                message.offset = sysex->deltaFrames;
                message.size = sysex->dumpBytes;
                message.data = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
                ProcessSysExMessage(message);
            }
        }
        return 1;
    }
    case effCanBeAutomated:
        return 1;
    case effString2Parameter:
        return StringToParameter(index, text);
    case effGetProgramNameIndexed:
        if (!text) return 0;
        CopyText(text, GetPresetName(index), kProgramNameCapacity);
        return text[0] != '\0';
    case effGetInputProperties:
        return PinProperties(true, index, static_cast<VstPinProperties*>(ptr));
    case effGetOutputProperties:
        return PinProperties(false, index, static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
        return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effSetSpeakerArrangement:
        ArrangeChannels(true, reinterpret_cast<const VstSpeakerArrangement*>(value));
        ArrangeChannels(false, static_cast<const VstSpeakerArrangement*>(ptr));
        return 1;
    case effGetEffectName:
        if (!text) return 0;
        CopyText(text, GetEffectName(), kVstMaxEffectNameLen + 1);
        return 1;
    case effGetVendorString:
        if (!text) return 0;
        CopyText(text, GetVendorName(), kVstMaxVendorStrLen + 1);
        return 1;
    case effGetProductString:
        if (!text) return 0;
        CopyText(text, GetProductName(), kVstMaxProductStrLen + 1);
        return 1;
    case effGetVendorVersion:
        return GetDecimalVersion();
    case effVendorSpecific:
        if (index == 7) {
            if (!text) return 0;
            if (const IParameter* param = GetParameter(static_cast<int>(value)))
                param->FormatValue(opt, true, text, true);
            return 0xBEEF;
        }
        if (index == 8) {
            const IParameter* param = GetParameter(static_cast<int>(value));
            return param && param->Type() != ParamTypeDouble ? 0xBEEF : 0;
        }
        if (index == kSeedRandomnessCode) {
            SeedRandomness(static_cast<uint32_t>(value));
            return 1;
        }
        return 0;
    case effCanDo:
        return CanDo(text);
    case effGetTailSize:
        return GetTailSize();
    case effGetVstVersion:
        return 2400;
    case effGetMidiKeyName: {
        if (!ptr) return 0;
        MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
        key->keyName[0] = '\0';
        return GetMidiKeyName(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }
    case effGetSpeakerArrangement:
        if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &inputArrangement_;
        if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &outputArrangement_;
        return 1;
    default:
        return 0;
    }
}
