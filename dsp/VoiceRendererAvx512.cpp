// The chunk renderer's voices, eight per AVX-512 register. As with AVX, only the code between the
// target pragmas may use these instructions, and the driver calls it only where the processor
// and the system have them. AVX-512 Foundation alone, without FMA (see VoiceRendererAvx.cpp).
//
// Comparisons give mask registers here: lane masks are those, and a mask applied to values
// keeps them where it is set and gives 0 elsewhere.
#include "dsp/VoiceRendererInternal.h"

#if defined(QX_VOICE_RENDERER_LANES)

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

#pragma GCC pop_options

void VoiceRenderer::RenderPacks(const Lane* lanes, int packs, int n, PackBlock<8>* blocks) {
    RenderAvx512(lanes, packs, n, blocks);
}

#endif
