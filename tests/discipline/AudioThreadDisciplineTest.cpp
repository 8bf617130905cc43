// The audio callbacks (processReplacing, processDoubleReplacing and effProcessEvents) neither
// allocate, nor touch files, nor take any lock but the instance lock, while notes, controllers,
// program changes and SysEx of every kind stream in. Nothing is warmed up first: a buffer that
// grows on its first use on the audio thread counts.
#include "host/PluginEntry.h"
#include "instrument/QX4470.h"
#include "tests/discipline/ThreadActivity.h"

#include "tests/support/VstEventBuilder.h"
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kBlock = 256;
constexpr int kBlocks = 240;

// Dump messages the instrument sent back (answers to dump requests), counted by the host.
std::atomic<int> dumpsSent(0);

// Answers like a host without allocating: the callback runs inside the counted calls.
VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    static VstTimeInfo time = [] {
        VstTimeInfo t;
        std::memset(&t, 0, sizeof(t));
        t.sampleRate = 44100.0;
        t.tempo = 120.0;
        t.flags = kVstTempoValid;
        return t;
    }();
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&time);
    case audioMasterProcessEvents: {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        const VstEvent* event = events && events->numEvents > 0 ? events->events[0] : nullptr;
        if (event && event->type == kVstSysExType &&
            reinterpret_cast<const VstMidiSysexEvent*>(event)->dumpBytes > 20)
            ++dumpsSent;
        return 1;
    }
    default:
        return 0;
    }
}

// One block's events, built before counting starts.
struct BlockEvents {
    std::vector<VstMidiEvent> midi;
    std::vector<VstMidiSysexEvent> sysex;
    std::vector<VstEvent*> pointers;
    std::vector<uint8_t> list;

    void Midi(int offset, uint8_t status, uint8_t data1, uint8_t data2 = 0) {
        midi.push_back(MidiEvent(offset, status, data1, data2));
    }
    void SysEx(int offset, std::vector<uint8_t>& bytes) {
        VstMidiSysexEvent event;
        std::memset(&event, 0, sizeof(event));
        event.type = kVstSysExType;
        event.byteSize = sizeof(event);
        event.deltaFrames = offset;
        event.dumpBytes = static_cast<VstInt32>(bytes.size());
        event.sysexDump = reinterpret_cast<char*>(bytes.data());
        sysex.push_back(event);
    }
    VstEvents* Finish() {
        for (VstMidiEvent& event : midi)
            pointers.push_back(reinterpret_cast<VstEvent*>(&event));
        for (VstMidiSysexEvent& event : sysex)
            pointers.push_back(reinterpret_cast<VstEvent*>(&event));
        list.assign(sizeof(VstEvents) + pointers.size() * sizeof(VstEvent*), 0);
        VstEvents* events = reinterpret_cast<VstEvents*>(list.data());
        events->numEvents = static_cast<VstInt32>(pointers.size());
        for (size_t i = 0; i < pointers.size(); ++i)
            events->events[i] = pointers[i];
        return events;
    }
};

// The SysEx a librarian sends: dumps, requests and parameter changes in both dialects (each
// heard in the engine mode that speaks it).
struct SysExSet {
    std::vector<uint8_t> dump8000, dump6000, request8000, request6000, change8000, change6000;
};

SysExSet MakeSysEx() {
    SysExSet set;
    AEffect* effect = CreateEffectInstance(QuietHost);
    QX4470* synth = static_cast<QX4470*>(effect->object);
    ChunkBuffer chunk;
    for (bool dw6000 : {false, true}) {
        synth->InitializeProgram(dw6000);
        chunk.Clear();
        synth->BuildProgramDump(chunk);
        (dw6000 ? set.dump6000 : set.dump8000).assign(chunk.Data(), chunk.Data() + chunk.Size());
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    set.request8000 = {0xF0, 0x42, 0x30, 0x03, 0x10, 0xF7};
    set.request6000 = {0xF0, 0x42, 0x40, 0x04, 0x10, 0xF7};
    set.change8000 = {0xF0, 0x42, 0x30, 0x03, 0x41, kVcfCutoff, 40, 0xF7};
    set.change6000 = {0xF0, 0x42, 0x40, 0x04, 0x41, 5, 30, 0xF7};
    return set;
}

// What a busy performance sends in block `block`: chords at changing offsets, wheels, pedal,
// bend, pressure, a learnt controller, program changes, all-notes-off, and every SysEx kind.
void Perform(BlockEvents& events, int block, SysExSet& sysex) {
    const int key = 36 + block * 7 % 48;
    events.Midi(block % kBlock, 0x90, key, 30 + block % 90);
    events.Midi((block * 37) % kBlock, 0x90, key + 4, 100);
    events.Midi((block * 53) % kBlock, 0x80, 36 + (block + 40) * 7 % 48, 0);
    events.Midi(11, 0xB0, 1, block % 128);
    events.Midi(23, 0xB0, 2, (block * 3) % 128);
    events.Midi(40, 0xB0, 20, (block * 5) % 128); // bound by MIDI learn to the cutoff
    events.Midi(77, 0xE0, 0, (block * 9) % 128);
    events.Midi(90, 0xD0, (block * 11) % 128);
    events.Midi(101, 0xA0, key, 64);
    if (block % 16 == 3) events.Midi(130, 0xB0, 64, 127);
    if (block % 16 == 11) events.Midi(140, 0xB0, 64, 0);
    if (block % 24 == 11) events.Midi(150, 0xC0, block / 24 * 9 % 64);
    if (block % 60 == 59) events.Midi(200, 0xB0, 123, 0);
    if (block % 60 == 29) events.Midi(210, 0xB0, 120, 0);
    // The host holds the engine mode at the DW-6000 in blocks 5 to 9 of each 12, at the
    // DW-8000 in the others; program changes come where no SysEx follows in their mode.
    switch (block % 12) {
    case 2:
        events.SysEx(5, sysex.change8000);
        break;
    case 4:
        events.SysEx(60, sysex.request8000);
        break;
    case 5:
        events.SysEx(7, sysex.dump6000);
        break;
    case 7:
        events.SysEx(9, sysex.change6000);
        break;
    case 8:
        events.SysEx(70, sysex.request6000);
        break;
    case 10:
        events.SysEx(3, sysex.dump8000);
        break;
    }
}

struct Instance {
    AEffect* effect = nullptr;
    QX4470* synth = nullptr;

    Instance() {
        effect = CreateEffectInstance(QuietHost);
        synth = static_cast<QX4470*>(effect->object);
        Call(effOpen);
        Call(effSetSampleRate, 0, 0, 44100.0f);
        Call(effSetBlockSize, 0, kBlock);
        Call(effMainsChanged, 0, 1);
        Call(effVendorSpecific, kSeedRandomnessCode, 7);
        // The options that make the audio thread send MIDI and SysEx back to the host.
        synth->config.midiThru = true;
        synth->config.sendParamChangeSysEx = true;
        synth->config.ccMap[20] = kVcfCutoff;
        // Names too long for a string's inline room: storing one must still not allocate.
        char name[] = "A program name longer than any inline string";
        for (int program = 63; program >= 0; --program) {
            Call(effSetProgram, 0, program);
            Call(effSetProgramName, 0, 0, 0.0f, name);
        }
    }
    ~Instance() { Call(effClose); }
    VstIntPtr Call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, float opt = 0.0f,
                   void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    const void* Lock() { return &synth->Mutex(); }
};

void Add(ThreadActivity& total, const ThreadActivity& part) {
    total.allocations += part.allocations;
    total.fileOperations += part.fileOperations;
    total.foreignLocks += part.foreignLocks;
    total.allowedWaits += part.allowedWaits;
}

// Plays the performance on the calling thread, counting inside each callback only. Returns the
// counts and whether the output stayed finite and sounded at all.
ThreadActivity PlayCounted(Instance& instance, std::vector<BlockEvents>& blocks, bool* sounded) {
    ThreadActivity total = {0, 0, 0, 0};
    std::vector<float> left(kBlock), right(kBlock);
    std::vector<double> leftDouble(kBlock), rightDouble(kBlock);
    float* outputs[2] = {left.data(), right.data()};
    double* doubleOutputs[2] = {leftDouble.data(), rightDouble.data()};
    double peak = 0;
    bool finite = true;
    for (size_t b = 0; b < blocks.size(); ++b) {
        VstEvents* events = reinterpret_cast<VstEvents*>(blocks[b].list.data());
        // Each dialect is heard in the engine mode that speaks it (see Perform).
        const bool dw6000Phase = b % 12 >= 5 && b % 12 <= 9;
        instance.effect->setParameter(instance.effect, kEngineMode, dw6000Phase ? 1.0f : 0.0f);
        ThreadActivityBegin(instance.Lock());
        instance.Call(effProcessEvents, 0, 0, 0.0f, events);
        Add(total, ThreadActivityEnd());
        ThreadActivityBegin(instance.Lock());
        if (b % 3 == 2)
            instance.effect->processDoubleReplacing(instance.effect, nullptr, doubleOutputs,
                                                    kBlock);
        else
            instance.effect->processReplacing(instance.effect, nullptr, outputs, kBlock);
        Add(total, ThreadActivityEnd());
        for (int i = 0; i < kBlock; ++i) {
            double l = b % 3 == 2 ? leftDouble[i] : left[i];
            finite = finite && std::isfinite(l);
            peak = std::max(peak, std::fabs(l));
        }
    }
    *sounded = finite && peak > 0.0;
    return total;
}

std::vector<BlockEvents> Performance(SysExSet& sysex) {
    std::vector<BlockEvents> blocks(kBlocks);
    for (int b = 0; b < kBlocks; ++b) {
        Perform(blocks[b], b, sysex);
        blocks[b].Finish();
    }
    return blocks;
}

} // namespace

// Zero counts mean something only if the counting sees what it should.
TEST(AudioThreadDiscipline, TheCountingSeesAllocationsFilesAndLocks) {
    if (!ThreadActivityAvailable()) GTEST_SKIP() << "counting needs a build without sanitizers";
    std::mutex allowed, other;
    ThreadActivityBegin(&allowed);
    std::unique_ptr<std::vector<int>> allocated(new std::vector<int>(100)); // two blocks
    asm volatile("" : : "r"(allocated->data()) : "memory"); // kept, whatever the optimiser
    { std::lock_guard<std::mutex> guard(allowed); }
    { std::lock_guard<std::mutex> guard(other); }
    ThreadActivity counted = ThreadActivityEnd();
    EXPECT_EQ(counted.allocations, 2);
    EXPECT_EQ(counted.fileOperations, 0);
    EXPECT_EQ(counted.foreignLocks, 1);
    EXPECT_EQ(counted.allowedWaits, 0);

    ThreadActivityBegin(nullptr);
    std::FILE* file = std::fopen("no such folder/no such file", "rb");
    counted = ThreadActivityEnd();
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(counted.fileOperations, 1);
}

TEST(AudioThreadDiscipline, CallbacksNeitherAllocateNorTouchFilesNorTakeOtherLocks) {
    if (!ThreadActivityAvailable()) GTEST_SKIP() << "counting needs a build without sanitizers";
    SysExSet sysex = MakeSysEx();
    std::vector<BlockEvents> blocks = Performance(sysex);
    Instance instance;
    // Then again after the host changed the sample rate and announced shorter blocks than it
    // sends (the audio calls then serve them in pieces).
    const struct {
        float rate;
        int announcedBlock;
    } kSettings[] = {{44100.0f, kBlock}, {96000.0f, 64}};
    for (const auto& setting : kSettings) {
        SCOPED_TRACE(setting.rate);
        instance.Call(effMainsChanged, 0, 0);
        instance.Call(effSetSampleRate, 0, 0, setting.rate);
        instance.Call(effSetBlockSize, 0, setting.announcedBlock);
        instance.Call(effMainsChanged, 0, 1);
        dumpsSent = 0;
        bool sounded = false;
        ThreadActivity counted = PlayCounted(instance, blocks, &sounded);
        EXPECT_TRUE(sounded);
        EXPECT_EQ(dumpsSent, 2 * (kBlocks / 12)) << "every dump request is answered";
        EXPECT_EQ(counted.allocations, 0);
        EXPECT_EQ(counted.fileOperations, 0);
        EXPECT_EQ(counted.foreignLocks, 0);
        EXPECT_EQ(counted.allowedWaits, 0); // nothing else runs
    }
}

// While the host's other thread works the dispatcher, the audio thread may wait for the
// instance lock (the only wait it is allowed), but takes no other lock.
TEST(AudioThreadDiscipline, OnlyTheInstanceLockIsWaitedForWhileTheDispatcherWorks) {
    if (!ThreadActivityAvailable()) GTEST_SKIP() << "counting needs a build without sanitizers";
    SysExSet sysex = MakeSysEx();
    std::vector<BlockEvents> blocks = Performance(sysex);
    Instance instance;
    std::atomic<bool> stop(false);
    std::thread dispatcher([&] {
        char text[256];
        for (int round = 0; !stop; ++round) {
            void* chunk = nullptr;
            instance.Call(effGetChunk, round % 2, 0, 0.0f, &chunk);
            instance.Call(effGetParamDisplay, round % kNumParams, 0, 0.0f, text);
            instance.Call(effGetProgramNameIndexed, round % 64, 0, 0.0f, text);
            if (round % 8 == 0) instance.Call(effSetProgram, 0, round / 8 % 64);
        }
    });
    // Several passes, so that the two threads overlap for a while.
    ThreadActivity counted = {0, 0, 0, 0};
    bool sounded = true;
    for (int pass = 0; pass < 8; ++pass) {
        bool passSounded = false;
        Add(counted, PlayCounted(instance, blocks, &passSounded));
        sounded = sounded && passSounded;
    }
    stop = true;
    dispatcher.join();
    EXPECT_TRUE(sounded);
    EXPECT_EQ(counted.allocations, 0);
    EXPECT_EQ(counted.fileOperations, 0);
    EXPECT_EQ(counted.foreignLocks, 0);
    std::printf("instance lock waits of the audio thread in %d blocks: %ld\n", 8 * kBlocks,
                counted.allowedWaits);
}
