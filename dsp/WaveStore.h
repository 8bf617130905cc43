// The band-limited single-cycle tables the oscillators read: for every waveform of both sets,
// ten versions with fewer and fewer harmonics, so that high notes do not alias.
#pragma once

#include "dsp/WaveData.h"

constexpr int kWaveBands = 10;
constexpr int kWaveTableSize = 2048;
constexpr int kWaveTableCount = kWaveSets * kWaveformsPerSet * kWaveBands; // 320

// Harmonics kept in a band: 319, 159, 79, 39, 19, 9, 4, 2, 1, 0 (band 9 is silent).
int HarmonicsInBand(int band);

// Computes all 320 tables (kWaveTableCount x kWaveTableSize floats, table number
// (set * 16 + waveform) * 10 + band) from the decoded amplitudes, in single precision: each
// harmonic is a sine row tapered by 1 - (k/N)^2 across the band, added in ascending order.
void ComputeWaveTables(const float* amplitudes, float* tables);

// The process-wide store. It is built once, before any instance renders; until then (or when
// the data was missing) every table is silent.
class WaveStore {
public:
    // Builds the store from decoded amplitudes (kWaveAmplitudeCount of them) the first time it
    // is called; later calls change nothing. False when the amplitudes have the wrong count.
    static bool Build(const std::vector<float>& amplitudes);
    static bool IsBuilt();
    // The table of a set (0, 1), waveform (0..15) and band (0..9).
    static const float* Table(int set, int waveform, int band) {
        return tables_[(set * kWaveformsPerSet + waveform) * kWaveBands + band];
    }

private:
    static float tables_[kWaveTableCount][kWaveTableSize];
};
