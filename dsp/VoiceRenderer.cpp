// The chunk renderer's driver: the choice of path, the plain path, and for the packed paths the
// grouping of voices into lanes, the run-ahead of envelopes and oscillators, and the mix.
#include "dsp/VoiceRenderer.h"

#include "dsp/VoiceRendererInternal.h"

#include <initializer_list>

namespace {

// Sample by sample, each voice in turn: what the packed paths reproduce, and the path for
// voices they cannot take.
void RenderPlain(VoicePath* const* voices, int count, int frames, double* mix) {
    for (int i = 0; i < frames; ++i)
        for (int v = 0; v < count; ++v)
            mix[i] += voices[v]->sample();
}

VoiceRendererPath DetectBestPath() {
#if defined(QX_VOICE_RENDERER_LANES)
    // The check covers the operating system too: it must save the wide registers.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return VoiceRendererPath::kAvx512;
    if (__builtin_cpu_supports("avx")) return VoiceRendererPath::kAvx;
    return VoiceRendererPath::kSse2;
#else
    return VoiceRendererPath::kPlain;
#endif
}

// Decided once while the library initialises; until then it reads as the plain path (0).
const VoiceRendererPath gBestPath = DetectBestPath();

} // namespace

bool VoiceRendererPathAvailable(VoiceRendererPath path) {
    return static_cast<int>(path) <= static_cast<int>(gBestPath);
}

VoiceRendererPath BestVoiceRendererPath() {
    return gBestPath;
}

void RenderVoices(VoicePath* const* voices, int count, int frames, double* mix) {
    RenderVoices(voices, count, frames, mix, gBestPath);
}

void RenderVoices(VoicePath* const* voices, int count, int frames, double* mix,
                  VoiceRendererPath path) {
    if (!VoiceRendererPathAvailable(path)) path = gBestPath;
    switch (path) {
#if defined(QX_VOICE_RENDERER_LANES)
    case VoiceRendererPath::kAvx512:
        return VoiceRenderer::Render<8>(voices, count, frames, mix);
    case VoiceRendererPath::kAvx:
        return VoiceRenderer::Render<4>(voices, count, frames, mix);
    case VoiceRendererPath::kSse2:
        return VoiceRenderer::Render<2>(voices, count, frames, mix);
#endif
    default:
        return RenderPlain(voices, count, frames, mix);
    }
}

#if defined(QX_VOICE_RENDERER_LANES)

const float VoiceRenderer::kSilentTable[kWaveTableSize] = {};

namespace {

constexpr uint32_t kNoiseFactor = 16807; // the shared noise generator's multiplier

// x^n modulo 2^32.
uint32_t PowerMod32(uint32_t x, uint64_t n) {
    uint32_t result = 1;
    for (; n != 0; n >>= 1) {
        if (n & 1) result *= x;
        x *= x;
    }
    return result;
}

} // namespace

// Active voices go in lanes, Width per pack, up to MaxPacks(Width) packs per group. For each
// block of up to kBlock samples and each group: the envelopes and the oscillator mix run ahead
// into the packs' blocks, then the filters run pack by pack per sample, then the outputs join
// the mix in voice order.
template <int Width>
void VoiceRenderer::Render(VoicePath* const* voices, int count, int frames, double* mix) {
    if (count <= 0 || frames <= 0) return;
    int activeCount = 0, noisyCount = 0;
    for (int v = 0; v < count; ++v) {
        const VoicePath& voice = *voices[v];
        if (!voice.active) continue;
        // A voice that was never reset keeps its ladder coefficients as they are; leave that
        // case to the plain path rather than copy the rule.
        if (voice.filter.tables_ == nullptr) return RenderPlain(voices, count, frames, mix);
        ++activeCount;
        if (voice.noiseLevel > 0) ++noisyCount;
    }
    // One voice alone gains nothing from lanes: its chain of steps is the whole cost. Voices
    // that would leave half of a pack running empty go in narrower packs.
    if (activeCount <= 1) return RenderPlain(voices, count, frames, mix);
    if constexpr (Width > 2)
        if (activeCount <= Width / 2) return Render<Width / 2>(voices, count, frames, mix);
    // Idle voices only run their oscillators on: a millisecond's step per sample, frames times
    // (modulo 2^27 the steps add up exactly, even past 64 bits).
    for (int v = 0; v < count; ++v) {
        VoicePath& voice = *voices[v];
        if (voice.active) continue;
        for (Oscillator* osc : {&voice.osc1, &voice.osc2})
            osc->phase_ = static_cast<uint32_t>(
                (osc->phase_ + uint64_t(osc->increment_) * osc->samplesPerMs_ * uint64_t(frames)) &
                kPhaseMask);
    }
    // Per sample, every noisy voice takes the next value of the shared generator in voice
    // order, so a voice's own values are noisyCount steps apart.
    const uint32_t noiseStep = PowerMod32(kNoiseFactor, uint64_t(noisyCount));
    uint32_t seed = static_cast<uint32_t>(SharedNoise::Seed());
    VoicePath standIn;
    for (int start = 0; start < frames; start += kBlock) {
        const int n = frames - start < kBlock ? frames - start : kBlock;
        RenderBlock<Width>(voices, count, n, mix + start, seed, noiseStep, activeCount, standIn);
        seed *= PowerMod32(noiseStep, uint64_t(n));
    }
    SharedNoise::SetSeed(static_cast<int32_t>(seed));
}

template <int Width>
void VoiceRenderer::RenderBlock(VoicePath* const* voices, int count, int n, double* mix,
                                uint32_t noiseSeed, uint32_t noiseStep, int activeCount,
                                VoicePath& standIn) {
    constexpr int kMaxPacks = MaxPacks(Width);
    PackBlock<Width> blocks[kMaxPacks];
    Lane lanes[Width * kMaxPacks];
    const int packs = (activeCount + Width - 1) / Width;
    const int groups = (packs + kMaxPacks - 1) / kMaxPacks;
    uint32_t noise = noiseSeed * kNoiseFactor; // the value the next noisy voice takes first
    int scan = 0;                              // next voice to place in a lane
    int summed = 0;                            // next voice to add to the mix
    // Idle voices add 0 as their sample() does. That turns a sum of -0 into +0 and changes
    // nothing else, and a sum that is not -0 never becomes -0 again by adding, so only the
    // first idle voice in voice order needs to add it.
    bool idleAdded = false;
    const auto addIdle = [&] {
        if (idleAdded) return;
        for (int i = 0; i < n; ++i)
            mix[i] += 0.0;
        idleAdded = true;
    };
    for (int group = 0; group < groups; ++group) {
        const int groupPacks = packs / groups + (group < packs % groups ? 1 : 0);
        int last = -1; // the highest voice index in this group
        for (int l = 0; l < Width * groupPacks; ++l) {
            while (scan < count && !voices[scan]->active)
                ++scan;
            if (scan == count) {
                lanes[l] = {&standIn, 0};
                continue;
            }
            VoicePath* voice = voices[scan];
            lanes[l] = {voice, noise};
            if (voice->noiseLevel > 0) noise *= kNoiseFactor;
            last = scan++;
        }
        RenderGroup<Width>(lanes, groupPacks, n, noiseStep, blocks);
        // Into the mix in voice order.
        int l = 0;
        while (summed <= last) {
            if (!voices[summed]->active) {
                addIdle();
                ++summed;
                continue;
            }
            const PackBlock<Width>& block = blocks[l / Width];
            int run = 1; // a whole pack of voices next to each other goes in one pass
            if (l % Width == 0 && summed + Width - 1 <= last) {
                while (run < Width && voices[summed + run]->active)
                    ++run;
            }
            if (run == Width) {
                for (int i = 0; i < n; ++i) {
                    double sum = mix[i];
                    for (int j = 0; j < Width; ++j)
                        sum += block.out[i][j];
                    mix[i] = sum;
                }
            } else {
                run = 1;
                for (int i = 0; i < n; ++i)
                    mix[i] += block.out[i][l % Width];
            }
            summed += run;
            l += run;
        }
    }
    if (summed < count) addIdle();
}

template <int Width>
void VoiceRenderer::RenderGroup(const Lane* lanes, int packs, int n, uint32_t noiseStep,
                                PackBlock<Width>* blocks) {
    // First the filter inputs, which depend on nothing else.
    for (int l = 0; l < Width * packs; ++l) {
        VoicePath& voice = *lanes[l].voice;
        PackBlock<Width>& block = blocks[l / Width];
        const int j = l % Width;
        if (!voice.active) {
            // The stand-in of a spare lane: silent, whatever its filters do with it.
            for (int i = 0; i < n; ++i)
                block.input[i][j] = 0;
            continue;
        }
        Lane lane = lanes[l];
        int mixed = 0; // samples mixed so far
        if constexpr (Width == 8) mixed = MixOscillatorsAvx512(lane, n, noiseStep, block, j);
        MixOscillators<Width>(lane, mixed, n, noiseStep, block, j);
    }
    RenderPacks(lanes, packs, n, blocks);
}

// The oscillator and noise mix that is a voice's filter input, samples start .. n - 1. A plain
// loop per voice: a voice's samples follow one table each, which lanes of several voices would
// have to read one by one all the same (measured no faster).
template <int Width>
void VoiceRenderer::MixOscillators(const Lane& lane, int start, int n, uint32_t noiseStep,
                                   PackBlock<Width>& block, int j) {
    VoicePath& voice = *lane.voice;
    Oscillator& osc1 = voice.osc1;
    Oscillator& osc2 = voice.osc2;
    const float* table1 = osc1.table_ ? osc1.table_ : kSilentTable;
    const float* table2 = osc2.table_ ? osc2.table_ : kSilentTable;
    uint32_t phase1 = osc1.phase_, phase2 = osc2.phase_;
    const uint32_t step1 = osc1.increment_, step2 = osc2.increment_;
    const double level1 = voice.osc1Level, level2 = voice.osc2Level, noiseLevel = voice.noiseLevel;
    const bool on1 = level1 > 0, on2 = level2 > 0, noisy = noiseLevel > 0;
    uint32_t noise = lane.noise;
    for (int i = start; i < n; ++i) {
        double s = 0;
        if (on1) {
            s = double(table1[phase1 >> 16]) * level1;
            phase1 = (phase1 + step1) & kPhaseMask;
        }
        if (on2) {
            s += double(table2[phase2 >> 16]) * level2;
            phase2 = (phase2 + step2) & kPhaseMask;
        }
        if (noisy) {
            s += double(static_cast<int32_t>(noise)) * SharedNoise::kScale * noiseLevel;
            noise *= noiseStep;
        }
        block.input[i][j] = s;
    }
    osc1.phase_ = phase1;
    osc2.phase_ = phase2;
}

#endif
