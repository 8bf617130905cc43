// The chunk renderer's parts shared by its source files. The driver (VoiceRenderer.cpp) puts the
// active voices into packs of lanes and runs their oscillators ahead; the envelopes and filters
// of each pack width are compiled for its own instruction set (VoiceRendererSse2.cpp,
// VoiceRendererAvx.cpp, VoiceRendererAvx512.cpp) from the lane-generic code in
// VoiceRendererKernel.h and VoiceRendererEnvelopes.h.
#pragma once

#include "dsp/VoicePath.h"

#include <cstdint>

// The packed paths need x86 vector registers: SSE2 in the build's baseline, AVX and AVX-512
// compiled per function and taken only where the processor has them. Other builds render
// plainly, and so do clang builds (the fuzzers), which do not honour the GCC target pragmas.
#if defined(__GNUC__) && !defined(__clang__) && defined(__SSE2__) &&                               \
    (defined(__x86_64__) || defined(__i386__))
#define QX_VOICE_RENDERER_LANES 1
#endif

#if defined(QX_VOICE_RENDERER_LANES)
#include <emmintrin.h>

// The integer part of the lane types whose kWidth 32-bit integers fit in an SSE2 register.
struct Index128 {
    using I = __m128i;
    static I NoIndex() { return _mm_set1_epi32(-1); }
    static bool Same(I a, I b) { return _mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) == 0xFFFF; }
    static void Store(int* at, I i) { _mm_store_si128(reinterpret_cast<__m128i*>(at), i); }
};
#endif

// A friend of Oscillator, LadderFilter, Filter and Envelope, whose state it reads and writes
// directly.
class VoiceRenderer {
public:
    static constexpr int kBlock = 64; // samples per pass; one control tick at up to 64 kHz

    // One voice in a lane. Spare lanes of the last pack hold a silent stand-in that is not
    // active.
    struct Lane {
        VoicePath* voice;
        uint32_t noise; // the noise value of its first sample (when it is noisy)
    };

    // One pass of a pack of Width voices, one lane per voice, sample by sample. The first three
    // are filled before the filters run and stay as they are for a guarded second try.
    template <int Width> struct alignas(8 * Width) PackBlock {
        double vcfEnv[kBlock][Width], vcaEnv[kBlock][Width];
        double input[kBlock][Width]; // oscillators and noise
        double out[kBlock][Width];
    };

    // What RenderVoices does, with Width voices per pack; the matching RenderPacks must be able
    // to run on this processor.
    template <int Width>
    static void Render(VoicePath* const* voices, int count, int frames, double* mix);

    // The voices of a group of packs over n samples, their filter inputs in the blocks: the
    // envelopes over the n samples, then for each sample the envelope smoothers, the cutoff, the
    // ladder and the amplifier of every pack in turn, so that the packs' long chains of steps
    // overlap. Works on the voices of lanes[0 .. Width * packs - 1] and leaves their envelopes
    // and filters as n calls of VoicePath::sample() would; the outputs go to the blocks. Each is
    // compiled for its own instruction set from the lane-generic Kernel
    // (VoiceRendererKernel.h).
    static void RenderPacks(const Lane* lanes, int packs, int n, PackBlock<2>* blocks); // SSE2
    static void RenderPacks(const Lane* lanes, int packs, int n, PackBlock<4>* blocks); // AVX
    static void RenderPacks(const Lane* lanes, int packs, int n, PackBlock<8>* blocks); // AVX-512

    template <class Lanes> struct Kernel;
    template <class Lanes> struct EnvelopeLanes;

    // Packs whose filters run in lockstep: eight voices with SSE2 or AVX, enough independent
    // chains to keep the processor busy, few enough that their state stays close (more measured
    // no faster); sixteen with AVX-512, whose 32 registers hold more.
    static constexpr int MaxPacks(int width) { return width == 2 ? 4 : 2; }

private:
    template <int Width>
    static void RenderBlock(VoicePath* const* voices, int count, int n, double* mix,
                            uint32_t noiseSeed, uint32_t noiseStep, int activeCount,
                            VoicePath& standIn);
    template <int Width>
    static void RenderGroup(const Lane* lanes, int packs, int n, uint32_t noiseStep,
                            PackBlock<Width>* blocks);
    template <int Width>
    static void MixOscillators(const Lane& lane, int start, int n, uint32_t noiseStep,
                               PackBlock<Width>& block, int j);
    // The same eight samples at a time, with AVX-512, over as many whole eights as n holds;
    // returns their number, with the lane's oscillators and noise moved on past them.
    static int MixOscillatorsAvx512(Lane& lane, int n, uint32_t noiseStep, PackBlock<8>& block,
                                    int j);

    // Read by an oscillator that has not fetched a table yet: the plain path plays 0 then too.
    static const float kSilentTable[kWaveTableSize];
};
