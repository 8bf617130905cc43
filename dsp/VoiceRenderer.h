// Renders many voices over a stretch of samples at once. One voice's path is a long chain of
// dependent steps (the ladder's recursion alone takes about a hundred cycles per sample), so
// asking each voice for one sample at a time leaves the processor waiting. Here each voice's
// envelopes and oscillators run ahead over the stretch, and the smoothers and ladders of several
// voices share vector registers (two voices per SSE2 register, four per AVX register, eight per
// AVX-512 register), several such packs taking turns sample by sample so that independent voices
// overlap.
//
// Every voice's arithmetic is the same as VoicePath::sample()'s, operation for operation, so
// the result is bit-identical to
//     for each sample i: for v = 0 .. count - 1: mix[i] += voices[v]->sample();
// including the order in which noisy voices draw from the shared noise generator.
#pragma once

#include "dsp/VoicePath.h"

// The ways of rendering, slowest first. All give the same result to the last bit.
enum class VoiceRendererPath {
    kPlain,  // one voice and one sample at a time
    kSse2,   // voices in pairs
    kAvx,    // voices in fours
    kAvx512, // voices in eights
};

// Whether this build and this processor can take a path (the plain one always).
bool VoiceRendererPathAvailable(VoiceRendererPath path);
// The fastest available path, chosen once per process.
VoiceRendererPath BestVoiceRendererPath();

// Adds `frames` samples of `count` voices to mix[0 .. frames - 1], per sample in voice index
// order, by the best path. The voices must be distinct, and their control inputs (pitch,
// active, cutoff terms, gains and levels) stay as they are for the whole call, as they do
// between two control ticks or note events. Never allocates; takes about 40 kilobytes of stack.
void RenderVoices(VoicePath* const* voices, int count, int frames, double* mix);

// The same by a given path, or by the fastest available one below it; for tests and
// benchmarks.
void RenderVoices(VoicePath* const* voices, int count, int frames, double* mix,
                  VoiceRendererPath path);
