#include "dsp/RateTables.h"

#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Halves a quarter of the whole table samples skipped per output sample until it is at most
// 1; the count of halvings is the band. Pitches far above the sample rate (only reachable at
// very low rates) play the silent band instead of the full-range one.
uint8_t BandForIncrement(int64_t increment) {
    double c = static_cast<double>(increment >> 16) * 0.25;
    if (std::floor(c) >= 2048) return 9;
    int count = 0;
    while (c > 1) {
        c *= 0.5;
        ++count;
    }
    return static_cast<uint8_t>(count >= 10 ? 9 : count);
}

// The ladder's feedback for self-oscillation drifts slightly with the cutoff.
double LadderFeedbackScale(double frequency) {
    if (frequency < 500) return 4.01;
    if (frequency > 2000) return 4.005;
    return 4.01 - (frequency - 500) * 0.004999999999999893 / 1500;
}

void Build(RateTables& tables, double sampleRate) {
    tables.sampleRate = sampleRate;
    for (int i = 0; i < kPitchCount; ++i) {
        const double frequency = PitchToFrequency(i);
        const int64_t increment =
            static_cast<int64_t>(std::trunc(frequency * 134217728.0 / sampleRate));
        // Only the low 27 bits move the phase; pitches above the sample rate would not fit.
        tables.increment[i] = static_cast<int32_t>(increment & kPhaseMask);
        tables.band[i] = BandForIncrement(increment);
        tables.ladderW[i] = frequency * kTwoPi / sampleRate;
        tables.ladderC[i] = LadderFeedbackScale(frequency);
    }
}

} // namespace

const RateTables& RateTables::ForRate(double sampleRate) {
    if (!(sampleRate >= 1000.0)) sampleRate = 1000.0;
    static std::mutex lock;
    static std::vector<std::unique_ptr<RateTables>> built;
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& tables : built)
        if (tables->sampleRate == sampleRate) return *tables;
    auto tables = std::make_unique<RateTables>();
    Build(*tables, sampleRate);
    built.push_back(std::move(tables));
    return *built.back();
}
