#include "dsp/VoiceRenderer.h"

#include <cstdint>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Sample by sample, each voice in turn: what the fast path reproduces, and the path for
// voices it cannot take and for builds without SSE2.
void RenderPlain(VoicePath* const* voices, int count, int frames, double* mix) {
    for (int i = 0; i < frames; ++i)
        for (int v = 0; v < count; ++v)
            mix[i] += voices[v]->sample();
}

} // namespace

#if !defined(__SSE2__)

void RenderVoices(VoicePath* const* voices, int count, int frames, double* mix) {
    RenderPlain(voices, count, frames, mix);
}

#else

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

// Read by an oscillator that has not fetched a table yet: the plain path plays 0 then too.
const float kSilentTable[kWaveTableSize] = {};

// Two lanes from two scalars: lane 0 is the first voice of a pair.
inline __m128d Lanes(double first, double second) {
    return _mm_set_pd(second, first);
}
inline double Lane0(__m128d v) {
    return _mm_cvtsd_f64(v);
}
inline double Lane1(__m128d v) {
    return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
}
inline __m128d IsNaN(__m128d v) {
    return _mm_cmpunord_pd(v, v);
}
inline __m128d FlipSign(__m128d d) {
    return _mm_xor_pd(d, _mm_set1_pd(-0.0));
}

// The units' step for every recursive state: isnan(s) ? 0 : s + d, which keeps NaN from
// spreading and the state out of the denormal range. Unguarded it is s + d alone, the same
// whenever s is not NaN; a pass that runs unguarded checks its states at the end (a NaN, once
// in, stays in every state of these recursions) and is redone guarded if one got in.
template <bool Guarded> inline __m128d Offset(__m128d s, __m128d d) {
    const __m128d sum = _mm_add_pd(s, d);
    return Guarded ? _mm_andnot_pd(IsNaN(s), sum) : sum;
}

// Two of the 80 Hz envelope smoothers (Filter::process) in the lanes of one register.
struct BiquadPair {
    __m128d a, b, c0, c1, x1, x2, y1, y2, d;

    template <bool Guarded> __m128d process(__m128d x) {
        x = Offset<Guarded>(x, d);
        x1 = Offset<Guarded>(x1, d);
        x2 = Offset<Guarded>(x2, d);
        y1 = Offset<Guarded>(y1, d);
        y2 = Offset<Guarded>(y2, d);
        d = FlipSign(d);
        __m128d y = _mm_mul_pd(_mm_add_pd(x, x2), c0);
        y = _mm_add_pd(y, _mm_mul_pd(x1, c1));
        y = _mm_add_pd(y, _mm_mul_pd(y1, a));
        y = _mm_add_pd(y, _mm_mul_pd(y2, b));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    __m128d nan() const {
        return _mm_or_pd(_mm_or_pd(IsNaN(x1), IsNaN(x2)), _mm_or_pd(IsNaN(y1), IsNaN(y2)));
    }
};

// The ladder filter's recursion (LadderFilter::process after its tuning) for two voices, with
// the amplifier stage that follows it.
struct LadderPair {
    __m128d s1, s2, s3, s4, d;
    __m128d gainComp, vcaGain;

    __m128d nan() const {
        return _mm_or_pd(_mm_or_pd(IsNaN(s1), IsNaN(s2)), _mm_or_pd(IsNaN(s3), IsNaN(s4)));
    }
};

} // namespace

// Active voices go in lanes, two per pair, up to kMaxPairs pairs per group. For each block of
// up to kBlock samples and each group: the envelopes and the oscillator mix run ahead into the
// pairs' blocks, then the filters run pair by pair per sample, then the outputs join the mix
// in voice order. A friend of Oscillator, LadderFilter and Filter, whose state it reads and
// writes directly.
class VoiceRenderer {
public:
    static void Render(VoicePath* const* voices, int count, int frames, double* mix);

private:
    static constexpr int kBlock = 64;   // samples per pass; one control tick at up to 64 kHz
    static constexpr int kMaxPairs = 4; // pairs of voices whose filters run in lockstep

    // One voice in a lane; the spare lane of an odd count holds a silent stand-in.
    struct Lane {
        VoicePath* voice;
        uint32_t noise; // the noise value of its first sample (when it is noisy)
    };

    // One pass of a pair of voices, two lanes per sample. The run-ahead fills the first
    // three, which stay as they are for a guarded second try.
    struct alignas(16) PairBlock {
        double vcfEnv[kBlock][2], vcaEnv[kBlock][2];
        double input[kBlock][2]; // oscillators and noise
        double out[kBlock][2];
    };

    // The envelope smoothers and the ladder tuning of a pair of voices.
    struct TuningPair {
        BiquadPair vcfSmooth, vcaSmooth;
        __m128d cutoffTerms, egAmount, baseCutoff, resonance;
        const RateTables* tables[2];
        int index[2];
        // The coefficients of the last index, reused while it stays.
        __m128d g, a, g4, k, norm;
    };

    static void RenderBlock(VoicePath* const* voices, int count, int n, double* mix,
                            uint32_t noiseSeed, uint32_t noiseStep, int activeCount,
                            VoicePath& standIn);
    static void RenderGroup(const Lane* lanes, int pairs, int n, uint32_t noiseStep,
                            PairBlock* blocks);
    static void MixOscillators(const Lane& lane, int n, uint32_t noiseStep, PairBlock& block,
                               int j);
    template <bool Guarded>
    static bool FilterGroup(const Lane* lanes, int pairs, int n, PairBlock* blocks);

    static TuningPair LoadTuning(const VoicePath& first, const VoicePath& second);
    template <bool Guarded>
    static void FilterStep(TuningPair& t, LadderPair& s, PairBlock& block, int i);
    static void StoreTuning(const TuningPair& t, VoicePath& first, VoicePath& second);
    static BiquadPair LoadBiquads(const Filter& first, const Filter& second);
    static void StoreBiquads(const BiquadPair& pair, Filter& first, Filter& second);
    static LadderPair LoadLadders(const VoicePath& first, const VoicePath& second);
    static void StoreLadders(const LadderPair& pair, VoicePath& first, VoicePath& second);
};

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
    // One voice alone gains nothing from lanes: its chain of steps is the whole cost.
    if (activeCount <= 1) return RenderPlain(voices, count, frames, mix);
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
        RenderBlock(voices, count, n, mix + start, seed, noiseStep, activeCount, standIn);
        seed *= PowerMod32(noiseStep, uint64_t(n));
    }
    SharedNoise::SetSeed(static_cast<int32_t>(seed));
}

void VoiceRenderer::RenderBlock(VoicePath* const* voices, int count, int n, double* mix,
                                uint32_t noiseSeed, uint32_t noiseStep, int activeCount,
                                VoicePath& standIn) {
    PairBlock blocks[kMaxPairs];
    Lane lanes[2 * kMaxPairs];
    const int pairs = (activeCount + 1) / 2;
    const int groups = (pairs + kMaxPairs - 1) / kMaxPairs;
    uint32_t noise = noiseSeed * kNoiseFactor; // the value the next noisy voice takes first
    int scan = 0;                              // next voice to place in a lane
    int summed = 0;                            // next voice to add to the mix
    for (int group = 0; group < groups; ++group) {
        const int groupPairs = pairs / groups + (group < pairs % groups ? 1 : 0);
        int last = -1; // the highest voice index in this group
        for (int l = 0; l < 2 * groupPairs; ++l) {
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
        RenderGroup(lanes, groupPairs, n, noiseStep, blocks);
        // Into the mix in voice order; idle voices add 0 as their sample() does.
        int l = 0;
        for (; summed <= last; ++summed) {
            if (voices[summed]->active) {
                const PairBlock& block = blocks[l / 2];
                const int j = l % 2;
                for (int i = 0; i < n; ++i)
                    mix[i] += block.out[i][j];
                ++l;
            } else {
                for (int i = 0; i < n; ++i)
                    mix[i] += 0.0;
            }
        }
    }
    for (; summed < count; ++summed)
        for (int i = 0; i < n; ++i)
            mix[i] += 0.0;
}

void VoiceRenderer::RenderGroup(const Lane* lanes, int pairs, int n, uint32_t noiseStep,
                                PairBlock* blocks) {
    // First what does not depend on the filters: both envelopes and the filter input.
    for (int l = 0; l < 2 * pairs; ++l) {
        VoicePath& voice = *lanes[l].voice;
        PairBlock& block = blocks[l / 2];
        voice.vcfEnv.run(&block.vcfEnv[0][l % 2], 2, n);
        voice.vcaEnv.run(&block.vcaEnv[0][l % 2], 2, n);
        MixOscillators(lanes[l], n, noiseStep, block, l % 2);
    }
    if (!FilterGroup<false>(lanes, pairs, n, blocks)) FilterGroup<true>(lanes, pairs, n, blocks);
}

// The oscillator and noise mix that is a voice's filter input.
void VoiceRenderer::MixOscillators(const Lane& lane, int n, uint32_t noiseStep, PairBlock& block,
                                   int j) {
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
    for (int i = 0; i < n; ++i) {
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

// The smoothers, the ladder tuning and the ladder of the group, one sample of every pair in
// turn, so that the pairs' long chains of steps overlap. Reads the filters' state from the
// voices and writes it back only when done; unguarded, it gives up (and writes nothing) when a
// NaN got into any state.
template <bool Guarded>
bool VoiceRenderer::FilterGroup(const Lane* lanes, int pairs, int n, PairBlock* blocks) {
    TuningPair tuning[kMaxPairs];
    for (int p = 0; p < pairs; ++p)
        tuning[p] = LoadTuning(*lanes[2 * p].voice, *lanes[2 * p + 1].voice);
    LadderPair ladders[kMaxPairs];
    for (int p = 0; p < pairs; ++p)
        ladders[p] = LoadLadders(*lanes[2 * p].voice, *lanes[2 * p + 1].voice);
    for (int i = 0; i < n; ++i)
        for (int p = 0; p < pairs; ++p)
            FilterStep<Guarded>(tuning[p], ladders[p], blocks[p], i);

    if (!Guarded) {
        __m128d nan = _mm_setzero_pd();
        for (int p = 0; p < pairs; ++p)
            nan = _mm_or_pd(
                nan, _mm_or_pd(_mm_or_pd(tuning[p].vcfSmooth.nan(), tuning[p].vcaSmooth.nan()),
                               ladders[p].nan()));
        if (_mm_movemask_pd(nan) != 0) return false;
    }
    for (int p = 0; p < pairs; ++p) {
        VoicePath& first = *lanes[2 * p].voice;
        VoicePath& second = *lanes[2 * p + 1].voice;
        StoreTuning(tuning[p], first, second);
        StoreLadders(ladders[p], first, second);
    }
    return true;
}

// A pair's envelope smoothers and what its cutoff and ladder tuning need.
VoiceRenderer::TuningPair VoiceRenderer::LoadTuning(const VoicePath& v0, const VoicePath& v1) {
    TuningPair t;
    t.vcfSmooth = LoadBiquads(v0.vcfSmooth, v1.vcfSmooth);
    t.vcaSmooth = LoadBiquads(v0.vcaSmooth, v1.vcaSmooth);
    t.cutoffTerms = Lanes(v0.kbdTerm + v0.cutoffMod, v1.kbdTerm + v1.cutoffMod);
    t.egAmount = Lanes(v0.egAmount, v1.egAmount);
    t.baseCutoff = Lanes(v0.filter.baseCutoff_, v1.filter.baseCutoff_);
    t.resonance = Lanes(v0.filter.resonance_, v1.filter.resonance_);
    t.tables[0] = v0.filter.tables_;
    // The stand-in was never reset; it borrows the tables of its partner.
    t.tables[1] = v1.filter.tables_ ? v1.filter.tables_ : v0.filter.tables_;
    t.index[0] = t.index[1] = -1; // nothing computed yet
    t.g = t.a = t.g4 = t.k = t.norm = _mm_setzero_pd();
    return t;
}

// One sample of a pair: the envelope smoothers, the cutoff index, the ladder's coefficients
// (VoicePath::sample, LadderFilter::tune), the ladder (LadderFilter::process from its stage
// offsets on) and the amplifier.
template <bool Guarded>
inline void VoiceRenderer::FilterStep(TuningPair& t, LadderPair& s, PairBlock& block, int i) {
    const __m128d ef = t.vcfSmooth.process<Guarded>(_mm_load_pd(block.vcfEnv[i]));
    const __m128d ea = t.vcaSmooth.process<Guarded>(_mm_load_pd(block.vcaEnv[i]));

    // VoicePath::CutoffIndex: truncated, held at +-1e9 (NaN at -1e9: max and min give their
    // second operand when one is NaN).
    const __m128d sum = _mm_add_pd(t.cutoffTerms, _mm_mul_pd(ef, t.egAmount));
    const __m128d held = _mm_min_pd(_mm_max_pd(sum, _mm_set1_pd(-1e9)), _mm_set1_pd(1e9));
    const __m128d cutoff = _mm_cvtepi32_pd(_mm_cvttpd_epi32(held));
    // The ladder's table index, truncated; below 0 (or NaN) 0, the top held.
    const __m128d pitch = _mm_max_pd(_mm_add_pd(cutoff, t.baseCutoff), _mm_setzero_pd());
    const __m128i index = _mm_cvttpd_epi32(_mm_min_pd(pitch, _mm_set1_pd(double(kMaxPitch))));
    const int index0 = _mm_cvtsi128_si32(index);
    const int index1 = _mm_cvtsi128_si32(_mm_shuffle_epi32(index, 1));
    // The coefficients depend on nothing but the index, the resonance and the tables; they
    // are computed again only when an index moves (the cutoff mostly moves slowly).
    if (index0 != t.index[0] || index1 != t.index[1]) {
        t.index[0] = index0;
        t.index[1] = index1;
        const __m128d one = _mm_set1_pd(1), two = _mm_set1_pd(2);
        const __m128d w = Lanes(t.tables[0]->ladderW[index0], t.tables[1]->ladderW[index1]);
        t.k = _mm_mul_pd(t.resonance,
                         Lanes(t.tables[0]->ladderC[index0], t.tables[1]->ladderC[index1]));
        const __m128d h = _mm_div_pd(one, _mm_add_pd(w, two));
        t.a = _mm_mul_pd(_mm_sub_pd(w, two), h);
        t.g = _mm_mul_pd(w, h);
        t.g4 = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(t.g, t.g), t.g), t.g);
        t.norm = _mm_div_pd(one, _mm_add_pd(one, _mm_mul_pd(t.g4, t.k)));
    }
    const __m128d g = t.g, a = t.a;

    const __m128d x = _mm_load_pd(block.input[i]);
    s.s1 = Offset<Guarded>(s.s1, s.d);
    s.s2 = Offset<Guarded>(s.s2, s.d);
    s.s3 = Offset<Guarded>(s.s3, s.d);
    s.s4 = Offset<Guarded>(s.s4, s.d);
    s.d = FlipSign(s.d);

    __m128d y = _mm_add_pd(_mm_mul_pd(s.s1, g), s.s2);
    y = _mm_add_pd(_mm_mul_pd(y, g), s.s3);
    y = _mm_add_pd(_mm_mul_pd(y, g), s.s4);
    y = _mm_add_pd(y, _mm_mul_pd(x, t.g4));
    y = _mm_mul_pd(y, t.norm);

    // The feedback limiter, LadderFilter::Limit(0.2 * y). Its curve reaches exactly +-5 at
    // q = +-3, so holding q there gives its flat ends (min and max pass a NaN q on).
    __m128d q = _mm_mul_pd(_mm_set1_pd(0.2), y);
    q = _mm_max_pd(_mm_set1_pd(-3), _mm_min_pd(_mm_set1_pd(3), q));
    const __m128d q2 = _mm_mul_pd(q, q);
    const __m128d o =
        _mm_div_pd(_mm_mul_pd(_mm_mul_pd(_mm_set1_pd(5), q), _mm_add_pd(q2, _mm_set1_pd(27))),
                   _mm_add_pd(_mm_mul_pd(_mm_set1_pd(9), q2), _mm_set1_pd(27)));

    const __m128d u = _mm_mul_pd(g, _mm_sub_pd(x, _mm_mul_pd(t.k, o)));
    const __m128d y1 = _mm_add_pd(s.s1, u);
    s.s1 = _mm_sub_pd(u, _mm_mul_pd(a, y1));
    const __m128d gy1 = _mm_mul_pd(g, y1);
    const __m128d y2 = _mm_add_pd(s.s2, gy1);
    s.s2 = _mm_sub_pd(gy1, _mm_mul_pd(a, y2));
    const __m128d gy2 = _mm_mul_pd(g, y2);
    const __m128d y3 = _mm_add_pd(s.s3, gy2);
    s.s3 = _mm_sub_pd(gy2, _mm_mul_pd(a, y3));
    const __m128d gy3 = _mm_mul_pd(g, y3);
    const __m128d y4 = _mm_add_pd(s.s4, gy3);
    s.s4 = _mm_sub_pd(gy3, _mm_mul_pd(a, y4));

    const __m128d out = _mm_mul_pd(_mm_mul_pd(y, s.gainComp), ea);
    _mm_store_pd(block.out[i], _mm_mul_pd(out, s.vcaGain));
}

void VoiceRenderer::StoreTuning(const TuningPair& t, VoicePath& v0, VoicePath& v1) {
    StoreBiquads(t.vcfSmooth, v0.vcfSmooth, v1.vcfSmooth);
    StoreBiquads(t.vcaSmooth, v0.vcaSmooth, v1.vcaSmooth);
    // Leave each ladder tuned to its last index, as the plain path leaves it.
    for (int j = 0; j < 2; ++j) {
        LadderFilter& f = (j == 0 ? v0 : v1).filter;
        f.cachedIndex_ = t.index[j];
        f.g_ = j == 0 ? Lane0(t.g) : Lane1(t.g);
        f.a_ = j == 0 ? Lane0(t.a) : Lane1(t.a);
        f.g4_ = j == 0 ? Lane0(t.g4) : Lane1(t.g4);
        f.k_ = j == 0 ? Lane0(t.k) : Lane1(t.k);
        f.norm_ = j == 0 ? Lane0(t.norm) : Lane1(t.norm);
        f.gainComp_ = LadderFilter::GainCompensation(f.resonance_);
    }
}

BiquadPair VoiceRenderer::LoadBiquads(const Filter& f0, const Filter& f1) {
    return {Lanes(f0.a_, f1.a_),   Lanes(f0.b_, f1.b_),   Lanes(f0.c0_, f1.c0_),
            Lanes(f0.c1_, f1.c1_), Lanes(f0.x1_, f1.x1_), Lanes(f0.x2_, f1.x2_),
            Lanes(f0.y1_, f1.y1_), Lanes(f0.y2_, f1.y2_), Lanes(f0.d_, f1.d_)};
}

void VoiceRenderer::StoreBiquads(const BiquadPair& pair, Filter& f0, Filter& f1) {
    f0.x1_ = Lane0(pair.x1);
    f1.x1_ = Lane1(pair.x1);
    f0.x2_ = Lane0(pair.x2);
    f1.x2_ = Lane1(pair.x2);
    f0.y1_ = Lane0(pair.y1);
    f1.y1_ = Lane1(pair.y1);
    f0.y2_ = Lane0(pair.y2);
    f1.y2_ = Lane1(pair.y2);
    f0.d_ = Lane0(pair.d);
    f1.d_ = Lane1(pair.d);
}

LadderPair VoiceRenderer::LoadLadders(const VoicePath& v0, const VoicePath& v1) {
    const LadderFilter& f0 = v0.filter;
    const LadderFilter& f1 = v1.filter;
    return {Lanes(f0.s1_, f1.s1_),
            Lanes(f0.s2_, f1.s2_),
            Lanes(f0.s3_, f1.s3_),
            Lanes(f0.s4_, f1.s4_),
            Lanes(f0.d_, f1.d_),
            Lanes(LadderFilter::GainCompensation(f0.resonance_),
                  LadderFilter::GainCompensation(f1.resonance_)),
            Lanes(v0.vcaGain, v1.vcaGain)};
}

void VoiceRenderer::StoreLadders(const LadderPair& pair, VoicePath& v0, VoicePath& v1) {
    LadderFilter& f0 = v0.filter;
    LadderFilter& f1 = v1.filter;
    f0.s1_ = Lane0(pair.s1);
    f1.s1_ = Lane1(pair.s1);
    f0.s2_ = Lane0(pair.s2);
    f1.s2_ = Lane1(pair.s2);
    f0.s3_ = Lane0(pair.s3);
    f1.s3_ = Lane1(pair.s3);
    f0.s4_ = Lane0(pair.s4);
    f1.s4_ = Lane1(pair.s4);
    f0.d_ = Lane0(pair.d);
    f1.d_ = Lane1(pair.d);
}

void RenderVoices(VoicePath* const* voices, int count, int frames, double* mix) {
    VoiceRenderer::Render(voices, count, frames, mix);
}

#endif
