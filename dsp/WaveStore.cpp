#include "dsp/WaveStore.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

float WaveStore::tables_[kWaveTableCount][kWaveTableSize];

namespace {

constexpr double kTwoPi = 6.283185307179586;

std::atomic<bool> storeBuilt{false};

} // namespace

int HarmonicsInBand(int band) {
    int n = 2048;
    for (int b = 0; b <= band; ++b) {
        n /= 2;
        if (n >= kHarmonicCount) n = kHarmonicCount;
    }
    return n;
}

void ComputeWaveTables(const float* amplitudes, float* tables) {
    std::memset(tables, 0, sizeof(float) * kWaveTableCount * kWaveTableSize);
    std::vector<double> sine(kWaveTableSize);
    std::vector<float> row(kWaveTableSize);
    // Harmonic by harmonic, so that each sine is computed once for every band and set that
    // keeps it; each table still receives its harmonics in ascending order.
    for (int k = 0; k < kHarmonicCount; ++k) {
        for (int l = 0; l < kWaveTableSize; ++l)
            sine[l] = std::sin(kTwoPi * (k + 1) * l / kWaveTableSize);
        for (int band = 0; band < kWaveBands; ++band) {
            const int n = HarmonicsInBand(band);
            if (k >= n) break; // the higher bands keep fewer harmonics
            // The taper keeps the band's top harmonics from ringing at the wave's edges.
            const float weight = 1.0f - std::pow(float(k) / float(n), 2.0f);
            for (int l = 0; l < kWaveTableSize; ++l)
                row[l] = float(sine[l] * weight);
            for (int set = 0; set < kWaveSets; ++set) {
                for (int v = 0; v < kWaveformsPerSet; ++v) {
                    const float a = amplitudes[WaveAmplitudeIndex(set, v, k + 1)];
                    float* table =
                        tables +
                        size_t((set * kWaveformsPerSet + v) * kWaveBands + band) * kWaveTableSize;
                    for (int l = 0; l < kWaveTableSize; ++l)
                        table[l] += a * row[l];
                }
            }
        }
    }
}

bool WaveStore::Build(const std::vector<float>& amplitudes) {
    if (amplitudes.size() != kWaveAmplitudeCount) return false;
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    if (!storeBuilt.load(std::memory_order_acquire)) {
        ComputeWaveTables(amplitudes.data(), &tables_[0][0]);
        storeBuilt.store(true, std::memory_order_release);
    }
    return true;
}

bool WaveStore::IsBuilt() {
    return storeBuilt.load(std::memory_order_acquire);
}
