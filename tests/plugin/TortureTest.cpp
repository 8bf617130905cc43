// The plug-in driven as hosts really behave, not as they should: scanners that create instances
// and never open them, programs carried between instances in chunks, automation between blocks
// of any size, sample rates switched under held notes, both precisions, and instances rendering
// on several threads. The sound stays finite and bounded throughout, and falls silent once the
// notes are released.
#include "host/IPlugVST.h"
#include "instrument/ParameterTable.h"
#include "tests/plugin/TestHost.h"
#include "tests/support/SignalMeasure.h"

#include "tests/support/VstEventBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// Far above anything a program reaches (random automation of every parameter peaks near 1),
// far below what a runaway filter or delay produces.
constexpr double kLoudest = 16.0;

struct Stereo {
    std::vector<double> left, right;
};

// An instance started as a host starts it, with the events of the next block collected here.
class Rig {
public:
    Rig(TestHost& host, double rate, int maxBlock = 4096, uint32_t seed = 5)
        : rate(rate), host_(host) {
        effect = host.Create();
        if (!effect) return;
        host.Call(effect, effOpen);
        host.Call(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        host.Call(effect, effSetBlockSize, 0, maxBlock);
        host.Call(effect, effMainsChanged, 0, 1);
        host.Call(effect, effVendorSpecific, kSeedRandomnessCode, seed);
    }
    ~Rig() { host_.Close(effect); }

    void Midi(int offset, uint8_t status, uint8_t data1, uint8_t data2 = 0) {
        pending_.push_back(MidiEvent(offset, status, data1, data2));
    }
    void Set(int index, double normalized) {
        effect->setParameter(effect, index, static_cast<float>(normalized));
    }
    // Sets a parameter by its panel value.
    void SetValue(int index, double value) {
        const ParameterInfo& info = kParameterTable[index];
        Set(index, (value - info.min) / (info.max - info.min));
    }

    // Delivers the collected events, then renders one block of `frames` (0 included) into the
    // end of `out`. The host's buffers start as NaN: every sample must be written.
    void Block(int frames, bool useDouble, Stereo& out) {
        std::vector<VstEvent*> list;
        for (VstMidiEvent& event : pending_)
            list.push_back(reinterpret_cast<VstEvent*>(&event));
        host_.SendEvents(effect, list);
        pending_.clear();
        if (useDouble) {
            std::vector<double> left(frames, NAN), right(frames, NAN);
            double* outputs[2] = {left.data(), right.data()};
            effect->processDoubleReplacing(effect, nullptr, outputs, frames);
            out.left.insert(out.left.end(), left.begin(), left.end());
            out.right.insert(out.right.end(), right.begin(), right.end());
        } else {
            std::vector<float> left(frames, NAN), right(frames, NAN);
            float* outputs[2] = {left.data(), right.data()};
            effect->processReplacing(effect, nullptr, outputs, frames);
            out.left.insert(out.left.end(), left.begin(), left.end());
            out.right.insert(out.right.end(), right.begin(), right.end());
        }
    }
    Stereo Render(long frames, int block = 512, bool useDouble = false) {
        Stereo out;
        for (long done = 0; done < frames; done += block)
            Block(static_cast<int>(std::min<long>(block, frames - done)), useDouble, out);
        return out;
    }

    // Every key and the pedal released the way a player releases them (no all-notes-off), then
    // settings under which any voice still held would sound: sustain and level up, release and
    // delay off. After a short wait the instrument must be silent.
    double PeakAfterRelease() {
        for (int key = 0; key < 128; ++key)
            Midi(0, 0x80, key, 64);
        Midi(0, 0xB0, 64, 0);
        for (int index : {kVcaEgSustain, kVcfCutoff, kOsc1Level, kVolume})
            Set(index, 1.0);
        for (int index : {kVcaEgRelease, kVcaEgAttack, kDelayLevel})
            Set(index, 0.0);
        const long wait = std::lround(rate * 0.4), listen = std::lround(rate * 0.1);
        Render(wait);
        Stereo tail = Render(listen);
        return std::max(measure::Peak(tail.left), measure::Peak(tail.right));
    }

    AEffect* effect = nullptr;
    double rate;

private:
    TestHost& host_;
    std::vector<VstMidiEvent> pending_;
};

// The first sample that is not finite or lies beyond kLoudest, or -1.
long FirstWild(const Stereo& sound) {
    for (size_t i = 0; i < sound.left.size(); ++i)
        for (double x : {sound.left[i], sound.right[i]})
            if (!std::isfinite(x) || std::fabs(x) > kLoudest) return static_cast<long>(i);
    return -1;
}

std::vector<float> Parameters(AEffect* effect) {
    std::vector<float> values;
    for (int i = 0; i < kNumParams; ++i)
        values.push_back(effect->getParameter(effect, i));
    return values;
}

bool AllNormalized(const std::vector<float>& values) {
    return std::all_of(values.begin(), values.end(),
                       [](float v) { return std::isfinite(v) && v >= 0.0f && v <= 1.0f; });
}

} // namespace

// A scanner creates instances and closes them unopened; other hosts open, start, play and stop
// them, or keep several alive at once. None of that may disturb the instances that follow.
TEST(HostTorture, TwoHundredInstancesComeAndGo) {
    TestHost host;
    std::vector<AEffect*> alive;
    for (int i = 0; i < 200; ++i) {
        AEffect* effect = host.Create();
        ASSERT_NE(effect, nullptr) << "instance " << i;
        ASSERT_EQ(effect->magic, kEffectMagic);
        switch (i % 4) {
        case 0: // a scanner: the record's facts only
            EXPECT_EQ(effect->numParams, kNumParams);
            host.Close(effect);
            break;
        case 1: // a scanner that opens and asks for names
            host.Call(effect, effOpen);
            EXPECT_EQ(host.Text(effect, effGetEffectName), "QX-4470");
            EXPECT_FALSE(host.ProgramName(effect, 63).empty());
            host.Close(effect);
            break;
        case 2: { // a host that plays a note and stops
            host.Call(effect, effOpen);
            host.Call(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
            host.Call(effect, effSetBlockSize, 0, 64);
            host.Call(effect, effMainsChanged, 0, 1);
            VstMidiEvent note;
            std::memset(&note, 0, sizeof(note));
            note.type = kVstMidiType;
            note.byteSize = sizeof(note);
            note.midiData[0] = char(0x90), note.midiData[1] = 60, note.midiData[2] = 100;
            host.SendEvents(effect, {reinterpret_cast<VstEvent*>(&note)});
            std::vector<float> left(64, NAN), right(64, NAN);
            float* outputs[2] = {left.data(), right.data()};
            effect->processReplacing(effect, nullptr, outputs, 64);
            EXPECT_TRUE(std::isfinite(left[63]) && std::isfinite(right[63]));
            host.Call(effect, effMainsChanged, 0, 0);
            host.Close(effect);
            break;
        }
        default: // kept alive among up to eight others, the oldest closed
            host.Call(effect, effOpen);
            alive.push_back(effect);
            if (alive.size() > 8) {
                host.Close(alive.front());
                alive.erase(alive.begin());
            }
            break;
        }
    }
    for (AEffect* effect : alive) {
        EXPECT_TRUE(AllNormalized(Parameters(effect)));
        host.Close(effect);
    }
    Rig after(host, 44100.0);
    after.Midi(0, 0x90, 57, 100);
    Stereo sound = after.Render(4410);
    EXPECT_EQ(FirstWild(sound), -1);
    EXPECT_GT(measure::Peak(sound.left), 0.01);
}

// Each of the 64 programs, made distinct first, is saved from one instance as a program chunk
// and restored into the same program of another; then the whole bank travels. The second
// instance must end up with every value and name, and sound the same.
TEST(HostTorture, EveryProgramSurvivesSaveAndRestoreAcrossInstances) {
    TestHost host;
    Rig source(host, 44100.0), target(host, 44100.0);
    ASSERT_NE(source.effect, nullptr);
    ASSERT_NE(target.effect, nullptr);
    auto distinct = [](int program) {
        return std::make_pair(program / 64.0, "Torture " + std::to_string(program));
    };
    for (int program = 0; program < 64; ++program) {
        SCOPED_TRACE(program);
        host.Call(source.effect, effSetProgram, 0, program);
        source.Set(kVcfCutoff, distinct(program).first);
        source.Set(kOsc2Detune, (program % 7) / 6.0);
        std::string name = distinct(program).second;
        host.Call(source.effect, effSetProgramName, 0, 0, &name[0]);
        const std::vector<uint8_t> chunk = host.GetChunk(source.effect, 1);
        ASSERT_FALSE(chunk.empty());

        host.Call(target.effect, effSetProgram, 0, program);
        ASSERT_EQ(host.SetChunk(target.effect, 1, chunk), 1);
        EXPECT_EQ(Parameters(target.effect), Parameters(source.effect));
        EXPECT_EQ(host.Text(target.effect, effGetProgramName), name);
    }

    Rig bankTarget(host, 44100.0);
    ASSERT_EQ(host.SetChunk(bankTarget.effect, 0, host.GetChunk(source.effect, 0)), 1);
    for (int program = 0; program < 64; ++program) {
        SCOPED_TRACE(program);
        EXPECT_EQ(host.ProgramName(bankTarget.effect, program), distinct(program).second);
        host.Call(source.effect, effSetProgram, 0, program);
        host.Call(bankTarget.effect, effSetProgram, 0, program);
        EXPECT_EQ(Parameters(bankTarget.effect), Parameters(source.effect));
    }
    // Program 63 is selected in both: the same notes give the same sound.
    for (Rig* rig : {&source, &bankTarget}) {
        host.Call(rig->effect, effVendorSpecific, kSeedRandomnessCode, 9);
        rig->Midi(10, 0x90, 48, 90);
        rig->Midi(200, 0x90, 55, 70);
    }
    Stereo a = source.Render(8000), b = bankTarget.Render(8000);
    EXPECT_EQ(FirstWild(a), -1);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
}

// Blocks of 0, 1, 7, 64, 1023 and 4096 frames in random order and precision, with every
// parameter automated to random values between them and notes at random offsets: a random
// (seeded) walk through what hosts do. Then the same sizes announced with effSetBlockSize,
// 0 included, and more frames sent than announced.
TEST(HostTorture, RandomAutomationAtRandomBlockBoundaries) {
    const int kSizes[] = {0, 1, 7, 64, 1023, 4096};
    TestHost host;
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto below = [&](int n) { return static_cast<int>(random() % n); };
        Rig rig(host, 44100.0, 4096, seed);
        host.Call(rig.effect, effSetProgram, 0, below(64));
        Stereo sound;
        while (sound.left.size() < 3 * 44100) {
            const int frames = kSizes[below(6)];
            for (int n = below(4); n > 0; --n)
                rig.Set(below(kNumParams), below(1001) / 1000.0);
            for (int n = below(3); n > 0; --n)
                rig.Midi(frames ? below(frames) : 0, below(2) ? 0x90 : 0x80, 24 + below(80),
                         1 + below(127));
            if (below(8) == 0) rig.Midi(0, 0xB0, 1 + below(2), below(128));
            if (below(8) == 0) rig.Midi(0, 0xE0, 0, below(128));
            if (below(40) == 0) rig.Midi(0, 0xC0, below(64));
            if (below(40) == 0) host.Call(rig.effect, effSetProgram, 0, below(64));
            rig.Block(frames, below(2) == 0, sound);
        }
        EXPECT_EQ(FirstWild(sound), -1);
        EXPECT_TRUE(AllNormalized(Parameters(rig.effect)));
        EXPECT_LT(rig.PeakAfterRelease(), 1e-6) << "a voice hangs after release";
    }

    for (int announced : kSizes) {
        SCOPED_TRACE(announced);
        Rig rig(host, 48000.0, announced);
        rig.Midi(0, 0x90, 60, 100);
        Stereo sound;
        for (int frames : {announced, 512, 1, announced * 2 + 3})
            rig.Block(frames, false, sound);
        rig.Block(700, true, sound);
        EXPECT_EQ(FirstWild(sound), -1);
        EXPECT_GT(measure::Peak(sound.left), 0.01);
    }
}

// A host changes the sample rate under held notes, from 22.05 to 192 kHz and back, sometimes
// stopping the instrument around the change and sometimes not. The sound stays sane, notes
// played after each change have their right pitch, and all falls silent after release.
TEST(HostTorture, SampleRateChangesInTheMiddleOfNotes) {
    const double kRates[] = {22050, 192000, 44100, 96000, 22050, 88200, 176400, 48000, 192000};
    TestHost host;
    Rig rig(host, 44100.0, 512);
    // A plain sine on oscillator 1 that ends at once: its pitch is easy to measure.
    for (int i = 0; i < kNumParams; ++i)
        rig.SetValue(i, kParameterTable[i].defaultValue);
    rig.SetValue(kOsc1Waveform, 16);
    rig.SetValue(kOsc2Level, 0);
    rig.SetValue(kVcfCutoff, 63);
    rig.SetValue(kVcfKbdTrack, 0);
    rig.SetValue(kVcaEgRelease, 0);
    rig.SetValue(kDelayLevel, 0);
    rig.SetValue(kModWheelOscMg, 0);
    rig.SetValue(kVolume, 1);
    rig.Midi(0, 0x90, 48, 100);
    rig.Midi(100, 0x90, 52, 100);
    rig.Render(4000);
    for (size_t i = 0; i < sizeof(kRates) / sizeof(kRates[0]); ++i) {
        const double rate = kRates[i];
        SCOPED_TRACE(rate);
        const bool polite = i % 2 == 0;
        if (polite) host.Call(rig.effect, effMainsChanged, 0, 0);
        host.Call(rig.effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        if (polite) host.Call(rig.effect, effMainsChanged, 0, 1);
        rig.rate = rate;
        // The chord goes up, A4 sounds alone for its pitch, then the chord is held again
        // for the next change.
        for (int key : {48, 52, 69})
            rig.Midi(3, 0x80, key, 0);
        rig.Midi(5, 0x90, 69, 100);
        Stereo sound = rig.Render(std::lround(rate * 0.15));
        ASSERT_EQ(FirstWild(sound), -1);
        const double hz =
            measure::Frequency(sound.left, rate, std::lround(rate * 0.05), sound.left.size());
        EXPECT_NEAR(measure::Semitones(hz, 440.0), 0.0, 0.1) << hz << " Hz";
        rig.Midi(0, 0x90, 48, 100);
        rig.Midi(9, 0x90, 52, 100);
        ASSERT_EQ(FirstWild(rig.Render(std::lround(rate * 0.03))), -1);
    }
    EXPECT_LT(rig.PeakAfterRelease(), 1e-6) << "a voice hangs after release";
}

// The same performance through processReplacing and processDoubleReplacing, on two instances
// seeded alike: the float output is the double output rounded to float.
TEST(HostTorture, FloatAndDoubleProcessingAgree) {
    TestHost host;
    for (int program : {0, 13, 37, 60}) {
        SCOPED_TRACE(program);
        Stereo out[2];
        for (int precision = 0; precision < 2; ++precision) {
            Rig rig(host, 44100.0, 333, 21);
            host.Call(rig.effect, effSetProgram, 0, program);
            host.Call(rig.effect, effVendorSpecific, kSeedRandomnessCode, 21);
            rig.Midi(0, 0x90, 48, 100);
            rig.Midi(17, 0x90, 55, 80);
            rig.Midi(40, 0xB0, 1, 90);
            rig.Midi(300, 0x80, 48, 0);
            out[precision] = rig.Render(20000, 333, precision == 1);
        }
        ASSERT_EQ(FirstWild(out[1]), -1);
        ASSERT_GT(measure::Peak(out[1].left), 0.001);
        int differing = 0;
        for (size_t i = 0; i < out[0].left.size(); ++i)
            for (int side = 0; side < 2; ++side) {
                const double f = (side ? out[0].right : out[0].left)[i];
                const double d = (side ? out[1].right : out[1].left)[i];
                differing += std::fabs(f - d) > std::fabs(d) * 6e-8 + 1e-30;
            }
        EXPECT_EQ(differing, 0);
    }
}

// Two instances at different sample rates render at once on two threads. Each must sound
// exactly as it does alone: the state the instances share (waveform store, rate tables) is
// only ever read while they play.
TEST(HostTorture, TwoInstancesAtDifferentRatesOnTwoThreadsSoundAsAlone) {
    TestHost host;
    const double kRatesOf[2] = {44100.0, 192000.0};
    auto play = [&](int which, Stereo& out) {
        Rig rig(host, kRatesOf[which], 256, 30 + which);
        host.Call(rig.effect, effSetProgram, 0, 3 + 20 * which);
        rig.Set(kNoiseLevel, 0.0); // the noise generator is shared by design
        host.Call(rig.effect, effVendorSpecific, kSeedRandomnessCode, 30 + which);
        for (int n = 0; n < 6; ++n)
            rig.Midi(n * 37, 0x90, 40 + n * 5 + which, 100);
        out = rig.Render(std::lround(kRatesOf[which] * 0.7), 256, which == 1);
    };
    Stereo alone[2], together[2];
    play(0, alone[0]);
    play(1, alone[1]);
    std::thread first(play, 0, std::ref(together[0])), second(play, 1, std::ref(together[1]));
    first.join();
    second.join();
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which);
        EXPECT_EQ(FirstWild(together[which]), -1);
        EXPECT_GT(measure::Peak(together[which].left), 0.01);
        EXPECT_TRUE(together[which].left == alone[which].left &&
                    together[which].right == alone[which].right);
    }
}
