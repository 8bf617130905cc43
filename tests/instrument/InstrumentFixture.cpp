#include "tests/instrument/InstrumentFixture.h"

namespace {
RecordingHost* recording = nullptr;

VstIntPtr VSTCALLBACK Record(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr,
                             float opt) {
    if (!recording) return 0;
    if (opcode == audioMasterAutomate) recording->automation.emplace_back(index, opt);
    if (opcode == audioMasterUpdateDisplay) ++recording->programChanges;
    if (opcode == audioMasterProcessEvents) {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        for (int i = 0; i < events->numEvents; ++i) {
            if (events->events[i]->type == kVstMidiType) {
                const char* data =
                    reinterpret_cast<const VstMidiEvent*>(events->events[i])->midiData;
                recording->midi.push_back({static_cast<uint8_t>(data[0]),
                                           static_cast<uint8_t>(data[1]),
                                           static_cast<uint8_t>(data[2])});
                continue;
            }
            if (events->events[i]->type != kVstSysExType) continue;
            const VstMidiSysexEvent* sysex =
                reinterpret_cast<const VstMidiSysexEvent*>(events->events[i]);
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
            recording->sysex.emplace_back(bytes, bytes + sysex->dumpBytes);
        }
        return 1;
    }
    return 0;
}
} // namespace

void InstrumentTest::SetUp() {
    recording = &host;
    plug_ = NewInstrument();
    ASSERT_TRUE(plug_);
}

void InstrumentTest::TearDown() {
    plug_.reset();
    recording = nullptr;
}

std::unique_ptr<QX4470> InstrumentTest::NewInstrument() {
    return std::unique_ptr<QX4470>(static_cast<QX4470*>(MakePlug(Record)));
}

void InstrumentTest::SetValue(int index, double value) {
    plug_->GetParameter(index)->SetValueLimited(value);
    plug_->OnParameterChanged(index);
}

void InstrumentTest::Send(std::vector<uint8_t> message) {
    ISysExMessage sysex;
    sysex.size = static_cast<int>(message.size());
    sysex.data = message.data();
    plug_->ProcessSysExMessage(sysex);
}
