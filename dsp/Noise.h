// The white-noise source of all voices: one multiplicative generator (seed x 16807, wrapping
// at 32 bits) whose seed the whole process shares, so every noisy voice takes the next value.
#pragma once

#include <atomic>
#include <cstdint>

class SharedNoise {
public:
    // Scales a seed to about -1..1.
    static constexpr double kScale = 4.6566129e-10;

    // Advances the shared seed and returns it. Voices of different instances may call this at
    // the same time; the plain loads and stores then only make the sequence less regular.
    static int32_t Next() {
        const uint32_t seed = static_cast<uint32_t>(seed_.load(std::memory_order_relaxed));
        const uint32_t next = seed * 16807u;
        seed_.store(static_cast<int32_t>(next), std::memory_order_relaxed);
        return static_cast<int32_t>(next);
    }
    // The seed starts at 1; tests set it to make noise repeatable.
    static void SetSeed(int32_t seed) { seed_.store(seed, std::memory_order_relaxed); }
    static int32_t Seed() { return seed_.load(std::memory_order_relaxed); }

private:
    static std::atomic<int32_t> seed_;
};
