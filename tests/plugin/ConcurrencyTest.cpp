// A host calls the dispatcher from its user-interface thread while its audio thread processes:
// the instance lock keeps them apart. Instances of one process also render on several threads at
// once and share the waveform store, the rate tables and the noise generator. The ThreadSanitizer
// build runs these tests to find data races; a watchdog turns a deadlock into a failure.
#include "tests/plugin/TestHost.h"
#include "tests/support/VstEventBuilder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlock = 256;
constexpr int kNoiseLevel = 12;
constexpr int kNumParams = 69;
// Each test runs for this long (and at least a few rounds on each thread), long enough for the
// threads to interleave in many ways, short enough for the sanitizer build.
constexpr auto kRunTime = std::chrono::milliseconds(1500);
constexpr int kMinRounds = 40;
// Far beyond what a run takes even under the sanitizer or wine: only a deadlock gets here.
constexpr auto kDeadlockLimit = std::chrono::seconds(120);

// Ends the whole program when a test's threads are not done in time: threads stuck on a lock
// can be neither joined nor abandoned, and a hanging test would only stop at the CI time-out.
class Watchdog {
public:
    explicit Watchdog(const char* what)
        : thread_([this, what] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, kDeadlockLimit, [this] { return finished_; })) {
                  std::fprintf(stderr, "%s: threads still running after %d s: deadlock\n", what,
                               static_cast<int>(kDeadlockLimit.count()));
                  std::fflush(stderr);
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

// What a player does over a run of blocks: a held chord, a note that moves each block, the mod
// wheel, pitch bend, aftertouch and the sustain pedal, all at different offsets in the block.
class Player {
public:
    explicit Player(int firstKey) : firstKey_(firstKey) {}

    // The event list of block number `block`, built in fixed storage (the caller sends it
    // before the block's audio call, as hosts do).
    VstEvents* EventsFor(int block) {
        count_ = 0;
        if (block == 0)
            for (int key : {0, 4, 7, 12})
                Add(0x90, firstKey_ + key, 90, 0);
        int moving = firstKey_ + 24 + block % 24;
        Add(0x80, moving - 1, 0, 5);
        Add(0x90, moving, 40 + block % 80, 17);
        Add(0xB0, 1, block * 5 % 128, 64);             // mod wheel
        Add(0xE0, 0, 64 + (block % 32 - 16) * 2, 100); // pitch bend around the centre
        Add(0xD0, block * 3 % 128, 0, 150);            // channel aftertouch
        if (block % 16 == 8) Add(0xB0, 64, 127, 200);  // sustain down...
        if (block % 16 == 15) Add(0xB0, 64, 0, 255);   // ...and up
        return List();
    }

    // The list that releases everything still held.
    VstEvents* AllOff() {
        count_ = 0;
        Add(0xB0, 64, 0, 0);
        Add(0xB0, 123, 0, 0);
        return List();
    }

private:
    static constexpr int kMaxEvents = 16;
    void Add(uint8_t status, int data1, int data2, int offset) {
        events_[count_++] =
            MidiEvent(offset, status, static_cast<uint8_t>(data1), static_cast<uint8_t>(data2));
    }
    VstEvents* List() {
        auto* list = reinterpret_cast<VstEvents*>(storage_);
        list->numEvents = count_;
        for (int i = 0; i < count_; ++i)
            list->events[i] = reinterpret_cast<VstEvent*>(&events_[i]);
        return list;
    }

    int firstKey_;
    int count_ = 0;
    VstMidiEvent events_[kMaxEvents];
    alignas(VstEvents) uint8_t storage_[sizeof(VstEvents) + kMaxEvents * sizeof(VstEvent*)];
};

// What the audio thread saw.
struct AudioResult {
    int blocks = 0;
    bool clean = true; // no NaN, infinity or denormal reached the host
    float peak = 0.0f;
};

// One block: the event list, then the audio call, as hosts do it.
void RenderBlock(AEffect* effect, VstEvents* events, float** outputs, AudioResult& result) {
    effect->dispatcher(effect, effProcessEvents, 0, 0, events, 0.0f);
    effect->processReplacing(effect, nullptr, outputs, kBlock);
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < kBlock; ++i) {
            float sample = outputs[channel][i];
            if (!std::isfinite(sample) || (sample != 0.0f && std::fabs(sample) < 1e-30f))
                result.clean = false;
            else
                result.peak = std::max(result.peak, std::fabs(sample));
        }
    ++result.blocks;
}

void Start(TestHost& host, AEffect* effect, float sampleRate) {
    host.Call(effect, effOpen);
    host.Call(effect, effSetSampleRate, 0, 0, nullptr, sampleRate);
    host.Call(effect, effSetBlockSize, 0, kBlock);
    host.Call(effect, effMainsChanged, 0, 1);
}

// Whether one instance, left alone, makes any sound from a chord. The threaded runs must then
// sound too: that proves their notes reached the voices.
bool InstrumentPlays(TestHost& host) {
    AEffect* effect = host.Create();
    if (!effect) return false;
    Start(host, effect, 44100.0f);
    Player player(48);
    std::vector<float> left(kBlock), right(kBlock);
    float* outputs[2] = {left.data(), right.data()};
    AudioResult result;
    for (int block = 0; block < 40; ++block)
        RenderBlock(effect, player.EventsFor(block), outputs, result);
    host.Close(effect);
    return result.peak > 0.0f;
}

} // namespace

TEST(Concurrency, DispatcherAndAudioThreadsTogether) {
    TestHost host;
    const bool plays = InstrumentPlays(host);
    AEffect* effect = host.Create();
    ASSERT_NE(effect, nullptr);
    Start(host, effect, 44100.0f);
    const std::vector<uint8_t> bank = host.GetChunk(effect, 0);
    ASSERT_FALSE(bank.empty());

    Watchdog watchdog("Concurrency.DispatcherAndAudioThreadsTogether");
    std::atomic<bool> stop(false);
    AudioResult audio;
    std::thread audioThread([&] {
        std::vector<float> left(kBlock), right(kBlock);
        float* outputs[2] = {left.data(), right.data()};
        Player player(36);
        while (!stop || audio.blocks < kMinRounds)
            RenderBlock(effect, player.EventsFor(audio.blocks), outputs, audio);
        RenderBlock(effect, player.AllOff(), outputs, audio);
    });

    // The user-interface thread: the editor's and the host's calls in a mix that touches
    // parameters, programs, names and chunks.
    const Clock::time_point end = Clock::now() + kRunTime;
    int rounds = 0;
    for (; Clock::now() < end || rounds < kMinRounds; ++rounds) {
        const int index = rounds * 7 % kNumParams;
        effect->setParameter(effect, index, static_cast<float>(rounds * 13 % 101) / 100.0f);
        EXPECT_GE(effect->getParameter(effect, index), 0.0f);
        host.ParamDisplay(effect, index);
        host.Text(effect, effGetParamName, index);
        host.Text(effect, effGetParamLabel, index);
        host.Call(effect, effEditIdle); // the editor idles outside the instance lock
        if (rounds % 8 == 0) {
            host.Call(effect, effSetProgram, 0, rounds / 8 % 64);
            host.Call(effect, effGetProgram);
            host.ProgramName(effect, rounds % 64);
            char name[32];
            std::snprintf(name, sizeof(name), "Round %d", rounds);
            host.Call(effect, effSetProgramName, 0, 0, name);
            host.Text(effect, effGetProgramName);
        }
        if (rounds % 16 == 4) host.SetChunk(effect, 1, host.GetChunk(effect, 1));
        if (rounds % 64 == 12) host.SetChunk(effect, 0, host.GetChunk(effect, 0));
        if (rounds % 64 == 44) host.SetChunk(effect, 0, bank);
        // Hosts that resize the block while playing get it served in pieces.
        if (rounds % 32 == 20)
            host.Call(effect, effSetBlockSize, 0, rounds % 64 == 20 ? 128 : kBlock);
    }
    stop = true;
    audioThread.join();

    EXPECT_TRUE(audio.clean);
    EXPECT_GE(audio.blocks, kMinRounds);
    EXPECT_GE(rounds, kMinRounds);
    if (plays) {
        EXPECT_GT(audio.peak, 0.0f) << "the notes sent while the dispatcher ran were lost";
    }
    host.Close(effect);
}

// Two instances created and rendering on two threads at once, at different sample rates, with
// noisy programs: the process-wide waveform store, rate tables and noise seed are shared.
TEST(Concurrency, TwoNoisyInstancesRenderOnTwoThreads) {
    TestHost host;
    const bool plays = InstrumentPlays(host);
    Watchdog watchdog("Concurrency.TwoNoisyInstancesRenderOnTwoThreads");
    std::atomic<int> running(2);
    AudioResult results[2];
    bool created[2] = {false, false};
    auto play = [&](int which) {
        AEffect* effect = host.Create();
        created[which] = effect != nullptr;
        if (!effect) {
            --running;
            return;
        }
        Start(host, effect, which == 0 ? 44100.0f : 48000.0f);
        host.Call(effect, effSetProgram, 0, 5 + which);
        effect->setParameter(effect, kNoiseLevel, 1.0f);
        std::vector<float> left(kBlock), right(kBlock);
        float* outputs[2] = {left.data(), right.data()};
        Player player(40 + which * 7);
        AudioResult& result = results[which];
        const Clock::time_point end = Clock::now() + kRunTime;
        while (Clock::now() < end || result.blocks < kMinRounds)
            RenderBlock(effect, player.EventsFor(result.blocks), outputs, result);
        // Neither stops until both have played: the two really overlap.
        --running;
        while (running > 0)
            RenderBlock(effect, player.EventsFor(result.blocks), outputs, result);
        host.Call(effect, effMainsChanged, 0, 0);
        host.Close(effect);
    };
    std::thread first(play, 0), second(play, 1);
    first.join();
    second.join();

    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which);
        ASSERT_TRUE(created[which]);
        EXPECT_TRUE(results[which].clean);
        EXPECT_GE(results[which].blocks, kMinRounds);
        if (plays) {
            EXPECT_GT(results[which].peak, 0.0f);
        }
    }
}
