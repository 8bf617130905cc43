// The chunk renderer's voices, eight per AVX-512 register. As with AVX, only the code between the
// target pragmas may use these instructions, and the driver calls it only where the processor
// and the system have them. AVX-512 Foundation alone, without FMA (see VoiceRendererAvx.cpp).
//
// Comparisons give mask registers here: lane masks are those, and a mask applied to values
// keeps them where it is set and gives 0 elsewhere.
#include "dsp/Noise.h"
#include "dsp/VoiceRendererInternal.h"

#if defined(QX_VOICE_RENDERER_LANES)

// The compiler's own AVX-512 header trips its uninitialized-value check on the placeholder
// operands of masked forms (a false alarm); this file's own code has no such case.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx512f")

namespace {

struct Avx512Lanes {
    using V = __m512d;
    using M = __mmask8;
    using I = __m256i;
    static constexpr int kWidth = 8;

    static V Load(const double* p) { return _mm512_load_pd(p); }
    static void Store(double* p, V v) { _mm512_store_pd(p, v); }
    static void Store(int* at, I i) { _mm256_store_si256(reinterpret_cast<__m256i*>(at), i); }
    static V Set(double x) { return _mm512_set1_pd(x); }
    static V Join(const double* x) {
        return _mm512_set_pd(x[7], x[6], x[5], x[4], x[3], x[2], x[1], x[0]);
    }
    static V Min(V a, V b) { return _mm512_min_pd(a, b); }
    static V Max(V a, V b) { return _mm512_max_pd(a, b); }
    static M IsNaN(V v) { return _mm512_cmp_pd_mask(v, v, _CMP_UNORD_Q); }
    static M Less(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static M LessEqual(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    static M Equal(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    static M And(M a, M b) { return M(a & b); }
    static V And(M mask, V v) { return _mm512_maskz_mov_pd(mask, v); }
    static M AndNot(M a, M b) { return M(~a & b); }
    static V AndNot(M mask, V v) { return _mm512_maskz_mov_pd(M(~mask), v); }
    static M Or(M a, M b) { return M(a | b); }
    static V Or(V a, V b) {
        return _mm512_castsi512_pd(_mm512_or_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
    static V Blend(M mask, V a, V b) { return _mm512_mask_blend_pd(mask, b, a); }
    static M None() { return 0; }
    static bool Any(M mask) { return mask != 0; }
    static I Truncate(V v) { return _mm512_cvttpd_epi32(v); }
    static V ToDouble(I i) { return _mm512_cvtepi32_pd(i); }
    static I NoIndex() { return _mm256_set1_epi32(-1); }
    static bool Same(I a, I b) { return _mm256_movemask_epi8(_mm256_cmpeq_epi32(a, b)) == -1; }
};

} // namespace

#include "dsp/VoiceRendererKernel.h"

namespace {

void RenderAvx512(const VoiceRenderer::Lane* lanes, int packs, int n,
                  VoiceRenderer::PackBlock<8>* blocks) {
    VoiceRenderer::Kernel<Avx512Lanes>::Render(lanes, packs, n, blocks);
    _mm256_zeroupper(); // as after the AVX kernel
}

} // namespace

int VoiceRenderer::MixOscillatorsAvx512(Lane& lane, int n, uint32_t noiseStep, PackBlock<8>& block,
                                        int j) {
    const int eights = n / 8;
    if (eights == 0) return 0;
    VoicePath& voice = *lane.voice;
    Oscillator& osc1 = voice.osc1;
    Oscillator& osc2 = voice.osc2;
    const float* table1 = osc1.table_ ? osc1.table_ : kSilentTable;
    const float* table2 = osc2.table_ ? osc2.table_ : kSilentTable;
    const double level1 = voice.osc1Level, level2 = voice.osc2Level, noiseLevel = voice.noiseLevel;
    const bool on1 = level1 > 0, on2 = level2 > 0, noisy = noiseLevel > 0;

    // Eight samples side by side: sample k's phase is k steps on (modulo 2^27, which divides
    // the 2^32 the integer lanes wrap at), and its noise k generator steps on.
    const __m256i mask = _mm256_set1_epi32(int(kPhaseMask));
    const __m256i counts = _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    __m256i phase1 = _mm256_and_si256(
        _mm256_add_epi32(_mm256_set1_epi32(int(osc1.phase_)),
                         _mm256_mullo_epi32(counts, _mm256_set1_epi32(int(osc1.increment_)))),
        mask);
    __m256i phase2 = _mm256_and_si256(
        _mm256_add_epi32(_mm256_set1_epi32(int(osc2.phase_)),
                         _mm256_mullo_epi32(counts, _mm256_set1_epi32(int(osc2.increment_)))),
        mask);
    const __m256i step1 = _mm256_set1_epi32(int(8 * osc1.increment_));
    const __m256i step2 = _mm256_set1_epi32(int(8 * osc2.increment_));
    alignas(32) uint32_t powers[8];
    powers[0] = 1;
    for (int k = 1; k < 8; ++k)
        powers[k] = powers[k - 1] * noiseStep;
    __m256i noise = _mm256_mullo_epi32(_mm256_set1_epi32(int(lane.noise)),
                                       _mm256_load_si256(reinterpret_cast<const __m256i*>(powers)));
    const __m256i noiseStep8 = _mm256_set1_epi32(int(powers[7] * noiseStep));
    // Sample k of the eight goes to the column's row k.
    const __m256i rows = _mm256_mullo_epi32(counts, _mm256_set1_epi32(8));

    for (int e = 0; e < eights; ++e) {
        // As the plain loop sums: from 0, then each source that is on.
        __m512d s = _mm512_setzero_pd();
        if (on1) {
            const __m256 x = _mm256_i32gather_ps(table1, _mm256_srli_epi32(phase1, 16), 4);
            s = _mm512_cvtps_pd(x) * level1;
            phase1 = _mm256_and_si256(_mm256_add_epi32(phase1, step1), mask);
        }
        if (on2) {
            const __m256 x = _mm256_i32gather_ps(table2, _mm256_srli_epi32(phase2, 16), 4);
            s = s + _mm512_cvtps_pd(x) * level2;
            phase2 = _mm256_and_si256(_mm256_add_epi32(phase2, step2), mask);
        }
        if (noisy) {
            s = s + _mm512_cvtepi32_pd(noise) * SharedNoise::kScale * noiseLevel;
            noise = _mm256_mullo_epi32(noise, noiseStep8);
        }
        _mm512_i32scatter_pd(&block.input[8 * e][j], rows, s, 8);
    }
    // A silent oscillator's phase stands still, as in the plain loop.
    if (on1) osc1.phase_ = uint32_t(_mm256_cvtsi256_si32(phase1));
    if (on2) osc2.phase_ = uint32_t(_mm256_cvtsi256_si32(phase2));
    if (noisy) lane.noise = uint32_t(_mm256_cvtsi256_si32(noise));
    _mm256_zeroupper();
    return 8 * eights;
}

#pragma GCC pop_options

void VoiceRenderer::RenderPacks(const Lane* lanes, int packs, int n, PackBlock<8>* blocks) {
    RenderAvx512(lanes, packs, n, blocks);
}

#endif
