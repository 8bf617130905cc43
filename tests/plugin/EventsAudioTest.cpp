// MIDI and SysEx events from the host, and the audio callbacks.
#include "tests/plugin/TestHost.h"
#include "tests/support/VstEventBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

namespace {

struct Events : OpenPluginTest {
    void SetUp() override {
        OpenPluginTest::SetUp();
        host.Call(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        host.Call(effect, effSetBlockSize, 0, 512);
        host.Call(effect, effMainsChanged, 0, 1);
    }
};

VstMidiEvent Midi(uint8_t status, uint8_t data1, uint8_t data2, int offset = 0) {
    return MidiEvent(offset, status, data1, data2);
}

VstMidiSysexEvent SysEx(std::vector<uint8_t>& bytes) {
    VstMidiSysexEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstSysExType;
    event.byteSize = sizeof(event);
    event.dumpBytes = static_cast<VstInt32>(bytes.size());
    event.sysexDump = reinterpret_cast<char*>(bytes.data());
    return event;
}

} // namespace

TEST_F(Events, EventsAreHandledInListOrder) {
    std::vector<uint8_t> setCutoff = {0xF0, 0x42, 0x30, 0x03, 0x41, 0x0F, 0x20, 0xF7};
    std::vector<uint8_t> request = {0xF0, 0x42, 0x30, 0x03, 0x10, 0xF7};
    std::vector<uint8_t> setAgain = {0xF0, 0x42, 0x30, 0x03, 0x41, 0x0F, 0x05, 0xF7};
    VstMidiSysexEvent first = SysEx(setCutoff), second = SysEx(request), third = SysEx(setAgain);
    VstMidiEvent note = Midi(0x90, 60, 100, 3);
    EXPECT_EQ(host.SendEvents(effect, {reinterpret_cast<VstEvent*>(&first), nullptr,
                                       reinterpret_cast<VstEvent*>(&note),
                                       reinterpret_cast<VstEvent*>(&second),
                                       reinterpret_cast<VstEvent*>(&third)}),
              1);
    ASSERT_EQ(host.sysexReceived.size(), 1u) << "the dump request is answered at once";
    const std::vector<uint8_t>& dump = host.sysexReceived[0];
    ASSERT_EQ(dump.size(), 57u);
    EXPECT_EQ(dump[15 + 5], 0x20) << "the dump reflects the change sent before the request";
    EXPECT_EQ(host.ParamDisplay(effect, 15), "5") << "and the change after it came last";
    EXPECT_EQ(host.Call(effect, effProcessEvents, 0, 0, nullptr), 0);
}

TEST_F(Events, OtherEventTypesAndBrokenSysExAreIgnored) {
    VstEvent other;
    std::memset(&other, 0, sizeof(other));
    other.type = 2;
    VstMidiSysexEvent empty;
    std::memset(&empty, 0, sizeof(empty));
    empty.type = kVstSysExType;
    empty.dumpBytes = 100; // with no data pointer
    std::vector<uint8_t> cut = {0xF0, 0x42, 0x30, 0x03, 0x40, 0x01};
    VstMidiSysexEvent cutDump = SysEx(cut);
    const std::string before = host.ParamDisplay(effect, 15);
    EXPECT_EQ(host.SendEvents(effect, {&other, reinterpret_cast<VstEvent*>(&empty),
                                       reinterpret_cast<VstEvent*>(&cutDump)}),
              1);
    EXPECT_EQ(host.ParamDisplay(effect, 15), before);
}

TEST_F(Events, NoNotesIsSilenceInEveryCallbackThatAsksForMidiEveryBlock) {
    // Silent means far below anything audible; the filters' anti-denormal offsets may leave
    // traces around 1e-15.
    const auto silent = [](double x) { return std::fabs(x) < 1e-9; };
    const int frames = 512;
    std::vector<float> left(frames, 0.25f), right(frames, 0.25f);
    float* outputs[2] = {left.data(), right.data()};
    host.opcodes.clear();
    for (int block = 0; block < 3; ++block)
        effect->processReplacing(effect, nullptr, outputs, frames);
    EXPECT_EQ(host.Count(audioMasterWantMidi), 3);
    EXPECT_TRUE(std::all_of(left.begin(), left.end(), silent));

    // The accumulating callback adds to what the host has.
    std::fill(left.begin(), left.end(), 0.25f);
    effect->process(effect, nullptr, outputs, frames);
    EXPECT_NEAR(left[100], 0.25f, 1e-6);

    std::vector<double> dleft(frames, 1.0), dright(frames, 1.0);
    double* doubles[2] = {dleft.data(), dright.data()};
    effect->processDoubleReplacing(effect, nullptr, doubles, frames);
    EXPECT_TRUE(std::all_of(dleft.begin(), dleft.end(), silent));
    EXPECT_EQ(host.Count(audioMasterWantMidi), 5);

    // Zero frames and a host that sends more frames than its block size.
    effect->processReplacing(effect, nullptr, outputs, 0);
    std::vector<float> longLeft(3000, 1.0f), longRight(3000, 1.0f);
    float* longOutputs[2] = {longLeft.data(), longRight.data()};
    effect->processReplacing(effect, nullptr, longOutputs, 3000);
    EXPECT_TRUE(std::all_of(longRight.begin(), longRight.end(), silent));
}

TEST_F(Events, ManyEventsInOneBlockAreSafe) {
    std::vector<VstMidiEvent> notes;
    for (int i = 0; i < 5000; ++i)
        notes.push_back(Midi(i % 2 ? 0x80 : 0x90, i % 128, 64, i % 512));
    std::vector<VstEvent*> list;
    for (VstMidiEvent& note : notes)
        list.push_back(reinterpret_cast<VstEvent*>(&note));
    EXPECT_EQ(host.SendEvents(effect, list), 1);
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, 512);
    for (float sample : left)
        ASSERT_TRUE(std::isfinite(sample));
}
