// A small deterministic random generator for everything in the engine that should merely be
// unpredictable (an oscillator's starting phase, a note's pitch spread). Each instrument owns
// one; tests seed it to make renders repeatable. Not for the noise source, which has its own.
#pragma once

#include <cstdint>

class Random {
public:
    explicit Random(uint64_t seed = 1) : state_(seed) {}
    void seed(uint64_t seed) { state_ = seed; }

    // The next 32 uniformly distributed bits (the high half of a 64-bit linear congruential
    // step, whose low bits would repeat too soon).
    uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 32);
    }
    // A uniform integer in 0..n-1, for n >= 1.
    int below(int n) {
        return static_cast<int>((static_cast<uint64_t>(next()) * static_cast<uint32_t>(n)) >> 32);
    }

private:
    uint64_t state_;
};
