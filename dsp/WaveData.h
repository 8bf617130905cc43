// The stored harmonic amplitudes of the oscillator waveforms: 2 sets x 16 waveforms x 319
// signed harmonic amplitudes (harmonic 1 first), kept as little-endian 32-bit floats.
#pragma once

#include <cstddef>
#include <vector>

constexpr int kWaveSets = 2;
constexpr int kWaveformsPerSet = 16;
constexpr int kHarmonicCount = 319;
constexpr size_t kWaveAmplitudeCount = size_t(kWaveSets) * kWaveformsPerSet * kHarmonicCount;
constexpr size_t kWaveDataBytes = kWaveAmplitudeCount * 4; // 40832

// Position of one harmonic amplitude (harmonic 1..319) in the decoded list.
inline size_t WaveAmplitudeIndex(int set, int waveform, int harmonic) {
    return (size_t(set) * kWaveformsPerSet + size_t(waveform)) * kHarmonicCount +
           size_t(harmonic - 1);
}

// Decodes the stored bytes into amplitudes, independent of the machine's byte order. Returns
// an empty list when the data does not have exactly the expected size.
std::vector<float> DecodeWaveData(const unsigned char* bytes, size_t size);
