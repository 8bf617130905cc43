#include "tests/fuzz/FuzzInstance.h"

#include "host/PluginEntry.h"
#include "instrument/ParameterTable.h"
#include "tests/support/VstEventBuilder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzz {
namespace {

// Far above anything the instrument plays (unison at full resonance stays below 10), far below
// what a runaway filter or an uninitialised value gives.
constexpr float kOutputBound = 64.0f;
constexpr int kMaxBlock = 1024;
constexpr size_t kPresetNameCapacity = 255;

bool programChunkHostWanted = false;

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr,
                                   float) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetVendorString:
        std::strcpy(static_cast<char*>(ptr), programChunkHostWanted ? "JUCE VST Host" : "Fuzz");
        return 1;
    case audioMasterGetProductString:
        std::strcpy(static_cast<char*>(ptr), "Fuzz Host");
        return 1;
    case audioMasterGetSampleRate:
        return 44100;
    case audioMasterGetBlockSize:
        return 256;
    case audioMasterProcessEvents:
        return 1;
    default:
        return 0;
    }
}

} // namespace

void Fail(const char* what, int detail) {
    std::fprintf(stderr, "fuzz check failed: %s (%d)\n", what, detail);
    std::fflush(stderr);
    std::abort();
}

Instance::Instance(bool programChunkHost) : left_(kMaxBlock), right_(kMaxBlock) {
    programChunkHostWanted = programChunkHost;
    effect_ = CreateEffectInstance(HostCallback);
    Require(effect_ != nullptr, "instance created");
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(effSetBlockSize, 0, 256);
    Dispatch(effMainsChanged, 0, 1);
}

Instance::~Instance() {
    Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);
}

QX4470& Instance::Synth() const {
    return *static_cast<QX4470*>(static_cast<IPlugVST*>(effect_->object));
}

VstIntPtr Instance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Instance::SendEvents(const std::vector<VstEvent*>& events) {
    std::vector<VstIntPtr> list(2 + events.size() + 1);
    VstEvents* header = reinterpret_cast<VstEvents*>(list.data());
    header->numEvents = static_cast<VstInt32>(events.size());
    VstEvent** entries = header->events; // the list runs past the two entries declared
    for (size_t i = 0; i < events.size(); ++i)
        entries[i] = events[i];
    Dispatch(effProcessEvents, 0, 0, header);
}

void Instance::SendMidi(uint8_t status, uint8_t data1, uint8_t data2, int offset) {
    VstMidiEvent event = MidiEvent(offset, status, data1, data2);
    SendEvents({reinterpret_cast<VstEvent*>(&event)});
}

void Instance::SendSysEx(const uint8_t* bytes, int size, int offset) {
    VstMidiSysexEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstSysExType;
    event.byteSize = sizeof(event);
    event.deltaFrames = offset;
    event.dumpBytes = size;
    event.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes));
    SendEvents({reinterpret_cast<VstEvent*>(&event)});
}

void Instance::Render(int frames) {
    Require(frames >= 0 && frames <= kMaxBlock, "block size", frames);
    float* outputs[2] = {left_.data(), right_.data()};
    effect_->processReplacing(effect_, nullptr, outputs, frames);
    for (int i = 0; i < frames; ++i)
        for (const float* channel : outputs)
            Require(std::isfinite(channel[i]) && std::fabs(channel[i]) <= kOutputBound,
                    "output finite and bounded", i);
}

void Instance::CheckParameters() {
    QX4470& synth = Synth();
    Require(effect_->numParams == synth.NParams(), "parameter count");
    for (int i = 0; i < synth.NParams(); ++i) {
        const IParameter* param = synth.GetParameter(i);
        const double value = param->Value();
        Require(std::isfinite(value) && value >= param->Min() && value <= param->Max(),
                "parameter in range", i);
        const float normalized = effect_->getParameter(effect_, i);
        Require(std::isfinite(normalized) && normalized >= 0.0f && normalized <= 1.0f,
                "normalised parameter in range", i);
        char display[256];
        std::memset(display, 0, sizeof(display));
        Dispatch(effGetParamDisplay, i, 0, display);
        Require(std::strlen(display) < 64, "display text fits", i);
    }
}

void Instance::CheckProgramNames() {
    QX4470& synth = Synth();
    Require(effect_->numPrograms == synth.NPresets(), "program count");
    const int current = static_cast<int>(Dispatch(effGetProgram));
    Require(current >= 0 && current < synth.NPresets(), "current program", current);
    for (int i = 0; i < synth.NPresets(); ++i) {
        Require(std::strlen(synth.GetPresetName(i)) <= kPresetNameCapacity, "stored name", i);
        // The host's buffer holds kVstMaxProgNameLen characters and the terminator; a byte
        // written past it would land in the host's memory.
        char name[64];
        std::memset(name, 0x55, sizeof(name));
        Dispatch(effGetProgramNameIndexed, i, 0, name);
        Require(std::memchr(name, 0, kVstMaxProgNameLen + 1) != nullptr, "name terminated", i);
        for (size_t b = kVstMaxProgNameLen + 1; b < sizeof(name); ++b)
            Require(name[b] == 0x55, "name stays in the host's buffer", i);
    }
}

// What a program holds: its name, whether it is set, and its values. The stored state also
// names the program that was current when it was stored, which a reload may change.
static std::vector<std::string> ProgramContents(const QX4470& synth) {
    constexpr int kValueBytes = kNumParams * 8 + 8; // the values, marker and trailer
    std::vector<std::string> contents;
    for (int i = 0; i < synth.NPresets(); ++i) {
        const IPresetSlot* preset = synth.GetPreset(i);
        std::string values;
        if (preset->initialized && preset->state.Size() >= kValueBytes)
            values.assign(reinterpret_cast<const char*>(preset->state.Data()) +
                              preset->state.Size() - kValueBytes,
                          kValueBytes);
        contents.push_back(preset->name + '\n' + char(preset->initialized) + values);
    }
    return contents;
}

void Instance::CheckChunkRoundTrip() {
    void* data = nullptr;
    const int size = static_cast<int>(Dispatch(effGetChunk, 0, 0, &data));
    Require(size > 0 && data != nullptr, "bank chunk given");
    const std::vector<uint8_t> chunk(static_cast<uint8_t*>(data),
                                     static_cast<uint8_t*>(data) + size);
    const std::vector<std::string> before = ProgramContents(Synth());
    std::vector<double> live;
    for (int i = 0; i < Synth().NParams(); ++i)
        live.push_back(Synth().GetParameter(i)->Value());
    Require(Dispatch(effSetChunk, 0, size, const_cast<uint8_t*>(chunk.data())) == 1,
            "own bank chunk taken back");
    const std::vector<std::string> after = ProgramContents(Synth());
    for (size_t i = 0; i < before.size(); ++i)
        Require(before[i] == after[i], "program unchanged by its own bank chunk", int(i));
    for (int i = 0; i < Synth().NParams(); ++i)
        Require(live[i] == Synth().GetParameter(i)->Value(), "live value unchanged", i);
}

void Instance::CheckNoteRenders() {
    Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(effMainsChanged, 0, 1);
    SendMidi(0x90, 60, 100);
    SendMidi(0x90, 67, 90, 100);
    for (int block = 0; block < 6; ++block)
        Render(512);
    SendMidi(0x80, 60, 0);
    SendMidi(0x80, 67, 0);
    Render(512);
    SendMidi(0xB0, 123, 0);
}

void Instance::CheckWhole() {
    char name[256] = {0};
    Dispatch(effGetEffectName, 0, 0, name);
    Require(std::strcmp(name, "QX-4470") == 0, "instance answers");
    CheckParameters();
    CheckProgramNames();
    CheckNoteRenders();
    CheckParameters(); // controllers and notes moved nothing out of range
    CheckChunkRoundTrip();
}

} // namespace fuzz
