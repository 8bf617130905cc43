// Everything the oscillators and the ladder filter look up by pitch index at one sample rate.
#pragma once

#include "dsp/PitchTable.h"

#include <cstdint>

// One set per sample rate, built on the first request for that rate and kept for the life of
// the process. A set never changes once built, so instances running at different rates in one
// process each read their own tables and never one that is being rebuilt.
struct RateTables {
    double sampleRate = 0;
    // Oscillator phase step per sample; 2^27 is one cycle of the waveform.
    int32_t increment[kPitchCount];
    // The band-limited version of the waveforms a pitch plays: 0 (all 319 harmonics) to 9
    // (silent), about log2 of a quarter of the table samples skipped per output sample.
    uint8_t band[kPitchCount];
    // Ladder filter: the cutoff as angular frequency per sample, and the feedback that makes
    // the filter ring at full resonance.
    double ladderW[kPitchCount];
    double ladderC[kPitchCount];

    // The tables for a rate, built now if this is the first request for it. Takes a
    // process-wide lock: call it from reset or setup, never per sample. Rates below 1000 Hz
    // (outside what the instrument plays) get the tables of 1000 Hz.
    static const RateTables& ForRate(double sampleRate);
};

// One oscillator cycle in phase units.
constexpr int64_t kPhaseCycle = 134217728; // 2^27
constexpr uint32_t kPhaseMask = 0x7FFFFFF;
