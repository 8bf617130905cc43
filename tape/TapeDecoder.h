// Turning a tape recording's samples into the bytes the hardware wrote.
//
// The hardware writes each bit as one half-wave: a short one for 1, a long one (twice as long)
// for 0. A byte travels as an 11-bit frame, least significant bit first: a start bit 0, eight
// data bits, two stop bits 1. A dump is a leader of 0xFF bytes, the data, and a trailer of 0xFF
// bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How the signal is prepared before the half-waves are measured.
struct TapeSettings {
    bool highpassEnabled = false;
    bool lowpassEnabled = false;
    double highpassFrequency = 330; // Hz, against hum and rumble
    double lowpassFrequency = 5000; // Hz, against hiss; skipped above half the sample rate
    double threshold = 50;          // percent of the mean level an extreme must pass

    // The process-wide settings the tape dialog edits.
    static TapeSettings FromProcess();
};

// The samples through the enabled pre-filters (the low-pass left out where the sample rate
// cannot carry its cutoff), into out, which may be samples itself.
void FilterTapeSamples(const double* samples, size_t count, double sampleRate,
                       const TapeSettings& settings, double* out);

// The DC offset and the mean absolute level (around that offset) of the pre-filtered samples;
// they depend on the filters only, not on the threshold.
struct TapeLevels {
    double mean = 0;
    double meanAbs = 0;
};
TapeLevels MeasureTapeLevels(const double* samples, size_t count, double sampleRate,
                             const TapeSettings& settings);

// Half-wave bits (1 short, 0 long) of the recording's samples after the pre-filters, DC removal
// and the relative threshold. The samples are not changed, so one recording can be measured
// with several settings.
std::vector<uint8_t> ClassifyHalfWaves(const double* samples, size_t count, double sampleRate,
                                       const TapeSettings& settings);
std::vector<uint8_t> ClassifyHalfWaves(const double* samples, size_t count, double sampleRate,
                                       const TapeSettings& settings, const TapeLevels& levels);

// A frame inside the data whose start or stop bits were wrong; its byte is kept all the same.
struct FrameError {
    size_t halfWave; // index of its first half-wave
    bool startOk, stop1Ok, stop2Ok;
};

// The bytes between leader and trailer (the trailer removed), or none when there is no sync,
// no leader of more than ten 0xFF bytes or no trailer of more than twenty.
std::vector<uint8_t> FrameBytes(const std::vector<uint8_t>& halfWaveBits,
                                std::vector<FrameError>* errors);
