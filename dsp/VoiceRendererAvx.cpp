// The chunk renderer's voices, four per AVX register. Only the code between the
// target pragmas may use AVX, and the driver calls it only where the processor has AVX. The
// headers come first so that their inline functions stay baseline code: a copy compiled for AVX
// could otherwise be the one the linker keeps for every caller.
//
// No FMA and no AVX2: a fused multiply-add rounds once where the scalar code rounds twice, so
// the target is plain "avx", and the library is built with -ffp-contract=off besides.
#include "dsp/VoiceRendererInternal.h"

#if defined(QX_VOICE_RENDERER_LANES)

#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx")

namespace {

struct AvxLanes : Index128 {
    using V = __m256d;
    using M = V;
    static constexpr int kWidth = 4;

    static V Load(const double* p) { return _mm256_load_pd(p); }
    using Index128::Store;
    static void Store(double* p, V v) { _mm256_store_pd(p, v); }
    static V Set(double x) { return _mm256_set1_pd(x); }
    static V Join(const double* x) { return _mm256_set_pd(x[3], x[2], x[1], x[0]); }
    static V Min(V a, V b) { return _mm256_min_pd(a, b); }
    static V Max(V a, V b) { return _mm256_max_pd(a, b); }
    static V IsNaN(V v) { return _mm256_cmp_pd(v, v, _CMP_UNORD_Q); }
    static V Less(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static V LessEqual(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    static V Equal(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static V And(V mask, V v) { return _mm256_and_pd(mask, v); }
    static V AndNot(V mask, V v) { return _mm256_andnot_pd(mask, v); }
    // Not blendv: the compiler turns that into a branch per lane where it can see the mask.
    static V Blend(V mask, V a, V b) {
        return _mm256_or_pd(_mm256_and_pd(mask, a), _mm256_andnot_pd(mask, b));
    }
    static V Or(V a, V b) { return _mm256_or_pd(a, b); }
    static M None() { return _mm256_setzero_pd(); }
    static bool Any(V mask) { return _mm256_movemask_pd(mask) != 0; }
    static __m128i Truncate(V v) { return _mm256_cvttpd_epi32(v); }
    static V ToDouble(__m128i i) { return _mm256_cvtepi32_pd(i); }
};

} // namespace

#include "dsp/VoiceRendererKernel.h"

namespace {

void RenderAvx(const VoiceRenderer::Lane* lanes, int packs, int n,
               VoiceRenderer::PackBlock<4>* blocks) {
    VoiceRenderer::Kernel<AvxLanes>::Render(lanes, packs, n, blocks);
    // The SSE code that runs next would otherwise wait on the upper halves of the registers,
    // and the compiler does not clear them on every way out of the kernel.
    _mm256_zeroupper();
}

} // namespace

#pragma GCC pop_options

void VoiceRenderer::RenderPacks(const Lane* lanes, int packs, int n, PackBlock<4>* blocks) {
    RenderAvx(lanes, packs, n, blocks);
}

#endif
