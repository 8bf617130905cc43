#include "synth/Synth.h"

#include "host/FxFormat.h"

#include <algorithm>
#include <cmath>

Synth::Synth(const PlugIdentity& identity, audioMasterCallback hostCallback)
    : IPlugVST(identity, hostCallback) {
    copyBuffer.Reserve(4096);
    config.Open();
    mtsClient = std::make_unique<TuningClient>();
}

Synth::~Synth() {
    heldNotes.Clear();
}

void Synth::OnReset() {
    InstanceLock lock(Mutex());
    // The queue holds at least a block's worth of messages; a dense block with more messages
    // than frames must not lose any.
    midiQueue.Resize(std::max(GetBlockSize(), static_cast<int>(MidiQueue::kDefaultCapacity)));
    heldNotes.Clear();
    learnArmed = false;
    samplesPerMillisecond = static_cast<int>(GetSampleRate()) / 1000;
}

void Synth::OnParameterChanged(int index) {
    InstanceLock lock(Mutex());
    if (index >= 0 && index < NParams() && learnArmed) {
        learnParameter = index;
        CompleteLearn();
    }
}

void Synth::OnActivate(bool active) {
    InstanceLock lock(Mutex());
    if (active) NotifyAllParametersChanged();
}

void Synth::CompleteLearn() {
    if (!learnArmed) return;
    int* first = config.ccMap;
    int* last = config.ccMap + Configuration::kControllerCount;
    bool knownController =
        learnController >= 0 && learnController < Configuration::kControllerCount;
    if (!learnForget) {
        if (knownController && learnParameter != -1) {
            // A parameter follows one controller at most.
            std::replace(first, last, learnParameter, -1);
            config.ccMap[learnController] = learnParameter;
            learnArmed = false;
        }
    } else if (knownController || learnParameter != -1) {
        if (knownController)
            config.ccMap[learnController] = -1;
        else
            std::replace(first, last, learnParameter, -1);
        learnArmed = false;
        learnForget = false;
    }
}

void Synth::ToggleMidiThru() {
    config.midiThru = !config.midiThru;
    config.WriteConfiguration(Configuration::kGroupMidiThru);
}

void Synth::ToggleIgnoreProgramChange() {
    config.ignoreProgramChange = !config.ignoreProgramChange;
    config.WriteConfiguration(Configuration::kGroupIgnoreProgramChange);
}

void Synth::ToggleSendParamChangeSysEx() {
    config.sendParamChangeSysEx = !config.sendParamChangeSysEx;
    config.WriteConfiguration(Configuration::kGroupSendParamChangeSysEx);
}

bool Synth::LoadStartupBank() {
    if (!config.startupBankPath.empty() && LoadBankFile(config.startupBankPath)) return true;
    config.startupBankPath.clear();
    os::ResourceData bank = os::FindModuleResource("BANK_A", "PROGINIT");
    return LoadBankImage(bank.data, static_cast<int>(bank.size));
}

bool Synth::LoadBankImage(const uint8_t* bytes, int size) {
    if (!bytes || size < fx::kBankHeaderSize) return false;
    InstanceLock lock(Mutex());
    ChunkBuffer image(bytes, size);
    int start = fx::kBankHeaderSize;
    int32_t magic = 0;
    image.ReadInt32(start, &magic);
    if (magic == fx::kFrameworkMagic) start += fx::kFrameworkHeaderSize;
    int end = UnserializePresets(image, start);
    NotifyHostOfProgramChange();
    return end >= 0;
}

void Synth::InitCurrentProgram() {
    InstanceLock lock(Mutex());
    for (int i = 0; i < NParams(); ++i) {
        IParameter* param = GetParameter(i);
        param->SetFromNormalized(param->ToNormalized(param->Default()));
        OnParameterChanged(i);
    }
    ModifyCurrentPreset("Init");
    RefreshParameterControls();
    NotifyHostOfAllParameters();
}

void Synth::CopyProgram() {
    InstanceLock lock(Mutex());
    ModifyCurrentPreset();
    copyProgramIndex = GetCurrentPresetIndex();
    copyBuffer.Clear();
    SerializeState(copyBuffer);
}

void Synth::PasteProgram() {
    if (copyBuffer.Empty()) return;
    InstanceLock lock(Mutex());
    UnserializeState(copyBuffer, 0);
    std::string name = GetPresetName(copyProgramIndex);
    ModifyCurrentPreset(name.c_str());
    RefreshParameterControls();
    NotifyHostOfAllParameters();
}

void Synth::SelectProgram(int index) {
    InstanceLock lock(Mutex());
    ModifyCurrentPreset();
    ApplyPreset(index);
    NotifyHostOfProgramChange();
    NotifyHostOfAllParameters();
}

void Synth::StepProgram(int delta) {
    const int count = NPresets();
    SelectProgram(((GetCurrentPresetIndex() + delta) % count + count) % count);
}
