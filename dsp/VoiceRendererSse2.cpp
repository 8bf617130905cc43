// The chunk renderer's voices, two per SSE2 register, the baseline of every x86 build.
#include "dsp/VoiceRendererInternal.h"

#if defined(QX_VOICE_RENDERER_LANES)

#include <emmintrin.h>

namespace {

struct Sse2Lanes : Index128 {
    using V = __m128d;
    using M = V;
    static constexpr int kWidth = 2;

    static V Load(const double* p) { return _mm_load_pd(p); }
    using Index128::Store;
    static void Store(double* p, V v) { _mm_store_pd(p, v); }
    static V Set(double x) { return _mm_set1_pd(x); }
    static V Join(const double* x) { return _mm_set_pd(x[1], x[0]); }
    static V Min(V a, V b) { return _mm_min_pd(a, b); }
    static V Max(V a, V b) { return _mm_max_pd(a, b); }
    static V IsNaN(V v) { return _mm_cmpunord_pd(v, v); }
    static V Less(V a, V b) { return _mm_cmplt_pd(a, b); }
    static V LessEqual(V a, V b) { return _mm_cmple_pd(a, b); }
    static V Equal(V a, V b) { return _mm_cmpeq_pd(a, b); }
    static V And(V mask, V v) { return _mm_and_pd(mask, v); }
    static V AndNot(V mask, V v) { return _mm_andnot_pd(mask, v); }
    static V Blend(V mask, V a, V b) {
        return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
    }
    static V Or(V a, V b) { return _mm_or_pd(a, b); }
    static M None() { return _mm_setzero_pd(); }
    static bool Any(V mask) { return _mm_movemask_pd(mask) != 0; }
    static __m128i Truncate(V v) { return _mm_cvttpd_epi32(v); }
    static V ToDouble(__m128i i) { return _mm_cvtepi32_pd(i); }
};

} // namespace

#include "dsp/VoiceRendererKernel.h"

void VoiceRenderer::RenderPacks(const Lane* lanes, int packs, int n, PackBlock<2>* blocks) {
    Kernel<Sse2Lanes>::Render(lanes, packs, n, blocks);
}

#endif
