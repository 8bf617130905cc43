// The chunk renderer against voices asked for one sample at a time and summed in voice order:
// two identical sets of voices get the same changes, one is rendered each way, and every
// sample, the voices' state and the shared noise generator must agree to the last bit. Every
// test runs once per path of the renderer that this build and processor can take.
#include "TestSupport.h"

#include "dsp/Noise.h"
#include "dsp/VoiceRenderer.h"

#include <gtest/gtest.h>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#endif

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

uint64_t Bits(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// The same double to the last bit (so +0 and -0 differ); any NaN matches any NaN.
bool Same(double a, double b) {
    return Bits(a) == Bits(b) || (std::isnan(a) && std::isnan(b));
}

// Two sets of voices built alike: `plain` is rendered by VoicePath::sample, `fast` by
// RenderVoices along `path`.
class TwinVoices {
public:
    TwinVoices(VoiceRendererPath path, double sampleRate, int count, uint64_t seed)
        : plain(count), fast(count), path_(path) {
        EnsureWaveStore();
        Random first(seed), second(seed);
        for (int v = 0; v < count; ++v) {
            plain[v].reset(sampleRate, first);
            fast[v].reset(sampleRate, second);
            fastPointers.push_back(&fast[v]);
        }
        for (int v = 0; v < count; ++v)
            both(v, SetUpPlainVoice);
    }

    int count() const { return int(plain.size()); }

    // Applies the same change to voice v of both sets.
    void both(int v, const std::function<void(VoicePath&)>& change) {
        change(plain[v]);
        change(fast[v]);
    }
    void noteOn(int v) {
        both(v, [](VoicePath& voice) {
            voice.vcfEnv.gate();
            voice.vcaEnv.gate();
        });
    }
    void noteOff(int v) {
        both(v, [](VoicePath& voice) {
            voice.vcfEnv.release();
            voice.vcaEnv.release();
        });
    }
    // A control tick as the voice object gives it.
    void controlTick(int v, double note, double velocity, double pitch1, double pitch2,
                     double cutoffMod) {
        both(v, [&](VoicePath& voice) {
            voice.refreshNoteTerms(note, velocity);
            voice.followPitch(pitch1, pitch2);
            voice.cutoffMod = cutoffMod;
            voice.refreshActive();
        });
    }

    // Renders `frames` samples onto `start` both ways, from the same noise seed. Fails at the
    // first sample, noise seed or voice state that differs.
    ::testing::AssertionResult render(const std::vector<double>& start) {
        const int frames = int(start.size());
        const int32_t seed = SharedNoise::Seed();
        std::vector<double> expected(start), actual(start);
        for (int i = 0; i < frames; ++i)
            for (VoicePath& voice : plain)
                expected[i] += voice.sample();
        const int32_t plainSeed = SharedNoise::Seed();
        SharedNoise::SetSeed(seed);
        RenderVoices(fastPointers.data(), count(), frames, actual.data(), path_);
        if (SharedNoise::Seed() != plainSeed)
            return ::testing::AssertionFailure()
                   << "noise seed " << SharedNoise::Seed() << " instead of " << plainSeed;
        output = actual;
        for (int i = 0; i < frames; ++i)
            if (!Same(actual[i], expected[i]))
                return ::testing::AssertionFailure() << "sample " << i << " of " << frames << ": "
                                                     << actual[i] << " instead of " << expected[i];
        for (int v = 0; v < count(); ++v)
            if (!SameState(plain[v], fast[v]))
                return ::testing::AssertionFailure() << "state of voice " << v << " differs";
        return ::testing::AssertionSuccess();
    }

    std::vector<VoicePath> plain, fast;
    std::vector<double> output; // the fast path's last chunk

private:
    static bool SameState(const VoicePath& a, const VoicePath& b) {
        return a.osc1.phase() == b.osc1.phase() && a.osc2.phase() == b.osc2.phase() &&
               SameState(a.vcfEnv, b.vcfEnv) && SameState(a.vcaEnv, b.vcaEnv);
    }
    static bool SameState(const Envelope& a, const Envelope& b) {
        return Same(a.out(), b.out()) && Same(a.position(), b.position()) &&
               Same(a.step(), b.step()) && a.stage() == b.stage();
    }

    std::vector<VoicePath*> fastPointers;
    VoiceRendererPath path_;
};

std::vector<double> RandomMix(Random& random, int frames) {
    std::vector<double> mix(frames);
    for (double& x : mix) {
        const int kind = random.below(8);
        x = kind == 0 ? 0.0 : (kind == 1 ? -0.0 : (random.below(2001) - 1000) / 300.0);
    }
    return mix;
}

// A control tick for every voice: pitch with a little bend and detune, and a cutoff
// modulation that now and then runs far outside the tables (and once in a while is NaN).
void RandomControlTick(TwinVoices& twins, Random& random, std::vector<int>& notes) {
    for (int v = 0; v < twins.count(); ++v) {
        const double pitch = notes[v] * 128.0 + random.below(257) - 128;
        const int extreme = random.below(200);
        const double cutoffMod = extreme == 0   ? 3e9
                                 : extreme == 1 ? -3e9
                                 : extreme == 2 ? std::numeric_limits<double>::quiet_NaN()
                                                : random.below(20001) - 10000.0;
        twins.controlTick(v, notes[v], (random.below(127) + 1) / 127.0, pitch,
                          pitch + random.below(65), cutoffMod);
    }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// The register states the system saves, from XCR0.
unsigned SavedRegisterStates() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_OSXSAVE)) return 0;
    unsigned low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return low;
}
#endif

// Whether the processor has AVX and the system saves its registers, asked of the processor
// itself rather than through the renderer's own check.
bool ProcessorHasAvx() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_AVX)) return false;
    return (SavedRegisterStates() & 6) == 6; // the SSE and AVX register states
#else
    return false;
#endif
}

// The same for AVX-512 Foundation: its three register states besides those of AVX.
bool ProcessorHasAvx512() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) || !(ebx & bit_AVX512F)) return false;
    return ProcessorHasAvx() && (SavedRegisterStates() & 0xE6) == 0xE6;
#else
    return false;
#endif
}

const char* Name(VoiceRendererPath path) {
    switch (path) {
    case VoiceRendererPath::kPlain:
        return "Plain";
    case VoiceRendererPath::kSse2:
        return "Sse2";
    case VoiceRendererPath::kAvx:
        return "Avx";
    case VoiceRendererPath::kAvx512:
        return "Avx512";
    }
    return "Unknown";
}

std::string PathName(const ::testing::TestParamInfo<VoiceRendererPath>& info) {
    return Name(info.param);
}

class VoiceRendererByPath : public ::testing::TestWithParam<VoiceRendererPath> {
protected:
    void SetUp() override {
        if (!VoiceRendererPathAvailable(GetParam()))
            GTEST_SKIP() << "this path is not available on this build or processor";
    }
};

} // namespace

// How failure messages name a path.
void PrintTo(VoiceRendererPath path, std::ostream* out) {
    *out << Name(path);
}

INSTANTIATE_TEST_SUITE_P(Paths, VoiceRendererByPath,
                         ::testing::Values(VoiceRendererPath::kPlain, VoiceRendererPath::kSse2,
                                           VoiceRendererPath::kAvx, VoiceRendererPath::kAvx512),
                         PathName);

TEST(VoiceRendererPaths, TheWidestPathTheProcessorCanRunIsTaken) {
    EXPECT_TRUE(VoiceRendererPathAvailable(VoiceRendererPath::kPlain));
#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
    EXPECT_TRUE(VoiceRendererPathAvailable(VoiceRendererPath::kSse2));
    EXPECT_EQ(VoiceRendererPathAvailable(VoiceRendererPath::kAvx), ProcessorHasAvx());
    EXPECT_EQ(VoiceRendererPathAvailable(VoiceRendererPath::kAvx512), ProcessorHasAvx512());
    EXPECT_EQ(BestVoiceRendererPath(), ProcessorHasAvx512() ? VoiceRendererPath::kAvx512
                                       : ProcessorHasAvx()  ? VoiceRendererPath::kAvx
                                                            : VoiceRendererPath::kSse2);
#endif
    if (!ProcessorHasAvx()) std::printf("note: no AVX here; the AVX paths' tests are skipped\n");
    if (!ProcessorHasAvx512())
        std::printf("note: no AVX-512 here; the AVX-512 path's tests are skipped\n");
}

TEST_P(VoiceRendererByPath, MatchesThePlainPathOverLongRandomSequences) {
    struct Run {
        double sampleRate;
        int voices;
    } runs[] = {{44100, 64}, {48000, 17}, {96000, 8}, {44100, 3}, {48000, 1}, {96000, 33}};
    uint64_t seed = 11;
    for (const Run& run : runs) {
        SCOPED_TRACE(::testing::Message() << run.sampleRate << " Hz, " << run.voices << " voices");
        SharedNoise::SetSeed(1);
        TwinVoices twins(GetParam(), run.sampleRate, run.voices, seed);
        Random random(seed++);
        // Each voice its own program: every setting at random, both engine modes and wave
        // sets, the resonance now and then full, some voices without noise.
        std::vector<int> notes(run.voices);
        for (int v = 0; v < run.voices; ++v) {
            for (int which = 0; which < kVoiceSettingCount; ++which)
                twins.both(v, RandomSettingChange(random, which));
            if (random.below(3) == 0)
                twins.both(v, [](VoicePath& voice) { voice.filter.setResonance(1); });
            if (random.below(3) == 0) twins.both(v, [](VoicePath& voice) { voice.noiseLevel = 0; });
            // Some voices get an input far hotter than the panel allows, which drives the
            // ladder's feedback limiter into its flat ends.
            if (random.below(6) == 0) {
                const double level = 4 + random.below(9);
                twins.both(v, [&](VoicePath& voice) { voice.osc1Level = voice.osc2Level = level; });
            }
            notes[v] = 24 + random.below(80);
            // Some voices start before their first control tick (no table fetched yet).
            if (random.below(8) == 0) {
                twins.noteOn(v);
                twins.both(v, [](VoicePath& voice) { voice.refreshActive(); });
            }
        }
        const int chunks = 24000 / run.voices + 200;
        for (int chunk = 0; chunk < chunks; ++chunk) {
            // Between chunks: notes start and end, and now and then a setting moves.
            for (int v = 0; v < run.voices; ++v) {
                const int event = random.below(100);
                if (event < 4) {
                    notes[v] = 24 + random.below(80);
                    twins.noteOn(v);
                } else if (event < 8) {
                    twins.noteOff(v);
                } else if (event < 10) {
                    twins.both(v, RandomSettingChange(random, random.below(kVoiceSettingCount)));
                }
            }
            // Most chunks begin a control tick; the others continue one after a note event,
            // with the voices' active flags as they were.
            if (random.below(4) != 0) RandomControlTick(twins, random, notes);
            const int frames = 1 + random.below(192);
            ASSERT_TRUE(twins.render(RandomMix(random, frames))) << "chunk " << chunk;
        }
    }
}

TEST_P(VoiceRendererByPath, ChunksOfOneSample) {
    SharedNoise::SetSeed(1);
    TwinVoices twins(GetParam(), 44100, 6, 3);
    Random random(3);
    std::vector<int> notes = {40, 47, 52, 59, 64, 71};
    for (int v = 0; v < 6; ++v) {
        twins.both(v, [v](VoicePath& voice) {
            voice.noiseLevel = v % 2 ? 20 / 31.0 : 0;
            voice.filter.setResonance(1);
            voice.settings.egInt = 1;
            voice.filter.setBaseCutoff(48 * 128.0);
        });
        if (v != 2) twins.noteOn(v); // one voice stays idle
    }
    for (int sample = 0; sample < 3000; ++sample) {
        if (sample % 44 == 0) RandomControlTick(twins, random, notes);
        ASSERT_TRUE(twins.render({0.25})) << "sample " << sample;
    }
    EXPECT_TRUE(twins.fast[0].active);
    EXPECT_FALSE(twins.fast[2].active);
}

TEST_P(VoiceRendererByPath, IdleVoicesOnlyRunTheirOscillatorsOn) {
    SharedNoise::SetSeed(1);
    TwinVoices twins(GetParam(), 48000, 5, 8);
    Random random(8);
    std::vector<int> notes = {30, 50, 70, 90, 110};
    for (int v = 0; v < 5; ++v)
        twins.both(v, [](VoicePath& voice) { voice.noiseLevel = 1; });
    RandomControlTick(twins, random, notes);
    const uint32_t phase = twins.fast[3].osc2.phase();
    const uint32_t step = twins.fast[3].osc2.increment();
    const int32_t seed = SharedNoise::Seed();
    // A mix at -0 comes back as +0, as adding each idle voice's 0 makes it.
    ASSERT_TRUE(twins.render({-0.0, 1.5, -2.0, 0.0, -0.0, 3.25, 0.0}));
    EXPECT_EQ(SharedNoise::Seed(), seed); // idle voices draw no noise
    // 7 samples of a millisecond's step each (48 samples at 48 kHz), modulo one cycle.
    EXPECT_EQ(twins.fast[3].osc2.phase(), (phase + 7 * 48 * uint64_t(step)) % (1u << 27));
    ASSERT_TRUE(twins.render(std::vector<double>(192, 0.5)));
}

// Voices at gain 0 give +0 or -0. Summed onto a mix of -0, the sign of a zero sum then depends
// on every voice, the idle ones included: their 0 turns -0 into +0.
TEST_P(VoiceRendererByPath, IdleVoicesAmongSoundingOnesStillAddTheirZero) {
    SharedNoise::SetSeed(1);
    TwinVoices twins(GetParam(), 44100, 7, 6);
    Random random(6);
    std::vector<int> notes = {40, 44, 47, 52, 56, 59, 64};
    for (int v = 0; v < 7; v += 2)
        twins.noteOn(v);
    RandomControlTick(twins, random, notes);
    for (int v = 0; v < 7; ++v)
        twins.both(v, [](VoicePath& voice) { voice.vcaGain = 0; });
    ASSERT_TRUE(twins.render(std::vector<double>(128, -0.0)));
    int negative = 0;
    for (double x : twins.output) {
        EXPECT_EQ(x, 0.0);
        negative += std::signbit(x);
    }
    EXPECT_EQ(negative, 0);
}

// Short envelope times, so that every stage begins and ends inside chunks, in lanes that share
// one behaviour; now and then a voice switches behaviour, so that both kinds share a pack.
TEST_P(VoiceRendererByPath, EnvelopesChangeStageInsideChunksInEitherBehaviour) {
    for (int mode = 0; mode < 2; ++mode) {
        SCOPED_TRACE(mode ? "6000" : "8000");
        SharedNoise::SetSeed(1);
        TwinVoices twins(GetParam(), 48000, 11, 40 + mode);
        Random random(40 + mode);
        std::vector<int> notes(11);
        for (int v = 0; v < 11; ++v) {
            const bool singleTrigger = random.below(4) == 0;
            // Times of at most 4/31, levels anywhere, in the order attack, decay, break point,
            // slope, sustain, release; first the filter envelope's, then the amplifier's.
            double settings[12];
            for (int i = 0; i < 12; ++i)
                settings[i] =
                    (i % 6 == 2 || i % 6 == 4 ? random.below(32) : random.below(5)) / 31.0;
            twins.both(v, [&](VoicePath& voice) {
                SetEngine6000(voice, mode == 1);
                SetSingleTrigger(voice, singleTrigger);
                voice.settings.egInt = 1;
                for (int e = 0; e < 2; ++e) {
                    Envelope& envelope = e == 0 ? voice.vcfEnv : voice.vcaEnv;
                    const double* s = settings + 6 * e;
                    envelope.setAttack(s[0]);
                    envelope.setDecay(s[1]);
                    envelope.setBreakPoint(s[2]);
                    envelope.setSlope(s[3]);
                    envelope.setSustain(s[4]);
                    envelope.setRelease(s[5]);
                }
            });
            notes[v] = 30 + random.below(60);
        }
        for (int chunk = 0; chunk < 1500; ++chunk) {
            for (int v = 0; v < 11; ++v) {
                const int event = random.below(100);
                if (event < 6)
                    twins.noteOn(v);
                else if (event < 11)
                    twins.noteOff(v);
                else if (event == 11) {
                    const bool dw6000 = random.below(2) == 1;
                    twins.both(v, [dw6000](VoicePath& voice) { SetEngine6000(voice, dw6000); });
                }
            }
            if (random.below(3) != 0) RandomControlTick(twins, random, notes);
            ASSERT_TRUE(twins.render(RandomMix(random, 1 + random.below(192))))
                << "chunk " << chunk;
        }
    }
}

TEST_P(VoiceRendererByPath, VoiceEndingItsReleaseInsideAChunkStaysActiveUntilTheNextTick) {
    SharedNoise::SetSeed(1);
    TwinVoices twins(GetParam(), 44100, 3, 5);
    Random random(5);
    std::vector<int> notes = {48, 55, 60};
    for (int v = 0; v < 3; ++v) {
        twins.both(v, [](VoicePath& voice) {
            voice.vcaEnv.setRelease(0); // the release lasts a few hundred samples at most
            voice.noiseLevel = 12 / 31.0;
        });
        twins.noteOn(v);
    }
    RandomControlTick(twins, random, notes);
    ASSERT_TRUE(twins.render(std::vector<double>(150, 0.0)));
    twins.noteOff(1);
    int chunks = 0;
    while (twins.fast[1].vcaEnv.stage() != Envelope::kIdle && chunks < 20) {
        ASSERT_TRUE(twins.render(std::vector<double>(192, 0.0)));
        ++chunks;
    }
    ASSERT_LT(chunks, 20);
    // The envelope ended inside the last chunk, but the voice renders on until a tick.
    EXPECT_TRUE(twins.fast[1].active);
    ASSERT_TRUE(twins.render(std::vector<double>(100, 0.0)));
    RandomControlTick(twins, random, notes);
    EXPECT_FALSE(twins.fast[1].active);
    EXPECT_TRUE(twins.fast[0].active);
    ASSERT_TRUE(twins.render(std::vector<double>(100, 0.0)));
}

TEST_P(VoiceRendererByPath, NaNInTheFiltersIsClearedAsThePlainPathClearsIt) {
    SharedNoise::SetSeed(1);
    TwinVoices twins(GetParam(), 44100, 5, 9);
    Random random(9);
    std::vector<int> notes = {45, 52, 57, 64, 69};
    for (int v = 0; v < 5; ++v) {
        twins.both(v, [](VoicePath& voice) { voice.filter.setResonance(1); });
        twins.noteOn(v);
    }
    RandomControlTick(twins, random, notes);
    ASSERT_TRUE(twins.render(std::vector<double>(100, 0.0)));
    // Each voice in turn, so that every lane of a pack gets one: infinite levels on two
    // different waveforms give an infinite filter input, and a NaN one (infinity - infinity)
    // where their signs differ; NaN gets into the ladder's states, and each sample the plain
    // path clears them again.
    for (int poisoned = 0; poisoned < 5; ++poisoned) {
        SCOPED_TRACE(::testing::Message() << "voice " << poisoned);
        const int waveform = int(twins.plain[poisoned].osc2.waveform());
        twins.both(poisoned, [](VoicePath& voice) {
            voice.osc2.setWaveform(8);
            voice.osc1Level = voice.osc2Level = HUGE_VAL;
        });
        ASSERT_TRUE(twins.render(std::vector<double>(60, 0.0)));
        int nans = 0;
        for (double x : twins.output)
            nans += std::isnan(x);
        EXPECT_GT(nans, 0);
        twins.both(poisoned, [waveform](VoicePath& voice) {
            voice.osc2.setWaveform(waveform);
            voice.osc1Level = voice.osc2Level = 0.5;
        });
        for (int chunk = 0; chunk < 4; ++chunk)
            ASSERT_TRUE(twins.render(std::vector<double>(44, 0.0))) << "chunk " << chunk;
        for (double x : twins.output)
            EXPECT_TRUE(std::isfinite(x));
    }
}

// The packed paths leave each ladder tuned to its own last cutoff. A voice rendered plainly
// afterwards (alone now) at the cutoff another lane had must be tuned afresh, not take the
// coefficients it holds for its old cutoff.
TEST_P(VoiceRendererByPath, ALadderKeepsItsOwnTuningAfterAPackedChunk) {
    SharedNoise::SetSeed(1);
    TwinVoices twins(GetParam(), 48000, 4, 12);
    for (int v = 0; v < 4; ++v) {
        twins.both(v, [v](VoicePath& voice) {
            voice.settings.egInt = 0;
            voice.filter.setResonance(0.85);
            voice.filter.setBaseCutoff((v == 0 ? 28 : 88) * 128.0);
        });
        twins.noteOn(v);
        twins.controlTick(v, 60, 1, 60 * 128, 60 * 128, 0);
    }
    ASSERT_TRUE(twins.render(std::vector<double>(48, 0.0)));
    for (int v : {0, 2, 3})
        twins.both(v, [](VoicePath& voice) { voice.active = false; });
    twins.both(1, [](VoicePath& voice) { voice.filter.setBaseCutoff(28 * 128.0); });
    ASSERT_TRUE(twins.render(std::vector<double>(48, 0.0)));
}
