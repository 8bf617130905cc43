// The biquad filters and the ladder filter: responses measured from rendered sines, guards
// against NaN and denormals, and agreement with the plain reference model.
#include "ReferenceModels.h"

#include "dsp/Filter.h"
#include "dsp/LadderFilter.h"
#include "dsp/Random.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>

namespace {

// Steady-state gain of a filter for a sine: the peak output over the last 40% of the run.
double SineGain(const std::function<double(double)>& process, double frequency, double fs,
                double amplitude = 0.1, double seconds = 1.0) {
    seconds = std::max(seconds, 8 / frequency); // at least three periods measured
    const int settle = int(0.6 * seconds * fs), measure = int(0.4 * seconds * fs);
    double peak = 0;
    for (int n = 0; n < settle + measure; ++n) {
        const double y = process(amplitude * std::sin(2 * M_PI * frequency * n / fs));
        if (n >= settle) peak = std::max(peak, std::fabs(y));
    }
    return peak / amplitude;
}

// The frequency where a low-pass response has fallen by 3 dB, by bisection on a log scale.
double MinusThreeDb(const std::function<std::function<double(double)>()>& make, double low,
                    double high, double fs) {
    const double target = std::pow(10.0, -3.0 / 20);
    for (int i = 0; i < 22; ++i) {
        const double mid = std::sqrt(low * high);
        if (SineGain(make(), mid, fs, 0.1, 0.3) > target)
            low = mid;
        else
            high = mid;
    }
    return std::sqrt(low * high);
}

// Cutoff of four cascaded bilinear one-poles tuned to angular frequency w (radians per
// sample, without prewarping), where the cascade is down by 3 dB.
double LadderMinusThreeDb(double w, double fs) {
    const double analog = w * std::sqrt(std::pow(2.0, 0.25) - 1); // each pole down by 3/4 dB
    return 2 * std::atan(analog / 2) * fs / (2 * M_PI);
}

} // namespace

TEST(Biquad, LowAndHighPassAreThreeDbDownAtTheirCutoff) {
    for (double fs : {44100.0, 96000.0}) {
        for (double cutoff : {80.0, 1000.0, 8000.0}) {
            LowPass low;
            low.setup(fs, cutoff);
            EXPECT_NEAR(SineGain([&](double x) { return low.process(x); }, cutoff, fs), 0.7071,
                        0.005)
                << fs << " " << cutoff;
            low.setup(fs, cutoff);
            EXPECT_NEAR(SineGain([&](double x) { return low.process(x); }, cutoff / 10, fs), 1.0,
                        0.005);
            HighPass high;
            high.setup(fs, cutoff);
            EXPECT_NEAR(SineGain([&](double x) { return high.process(x); }, cutoff, fs), 0.7071,
                        0.005);
            high.setup(fs, cutoff);
            EXPECT_LT(SineGain([&](double x) { return high.process(x); }, cutoff / 10, fs), 0.02);
        }
    }
}

TEST(Biquad, ANaNIsDroppedAndSilenceNeverTurnsDenormal) {
    LowPass low;
    low.setup(44100, 80);
    for (int n = 0; n < 1000; ++n)
        low.process(std::sin(n * 0.01));
    EXPECT_FALSE(std::isnan(low.process(NAN)));
    for (int n = 0; n < 10 * 44100; ++n) {
        const double y = low.process(0.0);
        ASSERT_TRUE(std::isfinite(y));
        ASSERT_TRUE(y == 0 || std::fabs(y) >= DBL_MIN) << n;
    }
    // A filter whose rate is unknown passes nothing rather than failing.
    LowPass unset;
    unset.setup(0, 80);
    EXPECT_TRUE(std::isfinite(unset.process(1.0)));
}

TEST(LadderFilter, CutoffIsWhereTheFourPolesPutIt) {
    for (double fs : {44100.0, 48000.0}) {
        const RateTables& tables = RateTables::ForRate(fs);
        for (int panel : {10, 25, 40, 55}) {
            const int pitch = (2 * panel + 8) * 128;
            auto make = [&]() {
                auto ladder = std::make_shared<LadderFilter>();
                ladder->reset(fs);
                ladder->setBaseCutoff(pitch);
                ladder->setResonance(0);
                return std::function<double(double)>(
                    [ladder](double x) { return ladder->process(x, 0); });
            };
            const double expected = LadderMinusThreeDb(tables.ladderW[pitch], fs);
            const double measured = MinusThreeDb(make, 5, fs / 2 - 100, fs);
            EXPECT_NEAR(measured / expected, 1.0, 0.01) << fs << " panel " << panel;
            // At low cutoffs the filter sits close to the nominal frequency.
            if (panel <= 25) {
                EXPECT_NEAR(measured / (PitchToFrequency(pitch) * 0.4349), 1.0, 0.02);
            }
        }
    }
}

TEST(LadderFilter, ResonanceRisesTowardSelfOscillation) {
    const double fs = 44100;
    const int pitch = 72 * 128; // 523 Hz
    double previousPeak = 0;
    for (double r : {0.0, 0.5, 0.8, 0.95}) {
        LadderFilter ladder;
        ladder.reset(fs);
        ladder.setBaseCutoff(pitch);
        ladder.setResonance(r);
        const double gain = SineGain([&](double x) { return ladder.process(x, 0); },
                                     PitchToFrequency(pitch) * 0.98, fs, 0.01);
        EXPECT_GT(gain, previousPeak) << r;
        previousPeak = gain;
    }
    EXPECT_GT(previousPeak, 3.0);

    // At full resonance the filter rings on by itself, bounded by its limiter.
    LadderFilter ladder;
    ladder.reset(fs);
    ladder.setBaseCutoff(pitch);
    ladder.setResonance(1.0);
    double late = 0, peak = 0;
    for (int n = 0; n < 4 * 44100; ++n) {
        const double y = ladder.process(n == 0 ? 0.5 : 0.0, 0);
        ASSERT_TRUE(std::isfinite(y));
        peak = std::max(peak, std::fabs(y));
        if (n > 3 * 44100) late = std::max(late, std::fabs(y));
    }
    EXPECT_GT(late, 0.5);
    EXPECT_LT(peak, 20.0);
}

TEST(LadderFilter, StaysFiniteAndBoundedUnderWildInput) {
    Random random(17);
    LadderFilter ladder;
    ladder.reset(96000);
    ladder.setResonance(1.0);
    for (int n = 0; n < 20 * 96000; ++n) {
        if (n % 480 == 0) ladder.setBaseCutoff(random.below(17281));
        const double x = (random.next() / 4294967296.0 - 0.5) * 8;
        const int cutoff = random.below(40000) - 20000;
        const double y = ladder.process(x, cutoff);
        ASSERT_TRUE(std::isfinite(y)) << n;
        ASSERT_LT(std::fabs(y), 100.0) << n;
    }
    // A NaN input does not stay in the filter.
    ladder.process(NAN, 0);
    for (int n = 0; n < 10; ++n)
        ladder.process(0.0, 0);
    EXPECT_TRUE(std::isfinite(ladder.process(0.1, 0)));
}

TEST(LadderFilter, ACutoffSumOfMinusOnePlaysTheLowestCutoff) {
    // Every sum below 0 plays the table's first entry, -1 included, also right after a
    // reset or a resonance change (which must not leave the filter untuned).
    LadderFilter ladder;
    ladder.reset(44100);
    ladder.setBaseCutoff(0);
    double y = 0;
    for (int n = 0; n < 44100; ++n)
        y = ladder.process(0.5, -1);
    EXPECT_NEAR(y, 0.5, 1e-6); // a DC input passes at full level
    ladder.setResonance(0.3);
    for (int n = 0; n < 44100; ++n)
        y = ladder.process(0.5, -1);
    EXPECT_NEAR(y, 0.5 * (2 - 0.4 * 0.4) / (1 + 0.3 * 4.01), 1e-3);
}

TEST(LadderFilter, SilenceNeverTurnsDenormal) {
    LadderFilter ladder;
    ladder.reset(44100);
    ladder.setBaseCutoff(3000);
    for (int n = 0; n < 20 * 44100; ++n) {
        const double y = ladder.process(0.0, 0);
        ASSERT_TRUE(y == 0 || std::fabs(y) >= DBL_MIN) << n;
    }
}

TEST(LadderFilter, AgreesWithThePlainReferenceOverLongRandomRuns) {
    for (double fs : {44100.0, 48000.0, 96000.0}) {
        Random random{uint64_t(fs)};
        LadderFilter ladder;
        ReferenceLadder reference;
        ladder.reset(fs);
        reference.reset(fs);
        double phase = 0;
        int cutoff = 0;
        for (int n = 0; n < 2000000; ++n) {
            const uint32_t event = random.next() % 4096;
            if (event == 0) {
                const double r = random.below(32) / 31.0;
                const double resonance = std::sin(r * M_PI / 2);
                ladder.setResonance(resonance);
                reference.r = resonance;
                reference.cached = -1;
            } else if (event == 1) {
                const double base = std::min(17280.0, (2.0 * random.below(64) + 8) * 128);
                ladder.setBaseCutoff(base);
                reference.baseCutoff = base;
            } else if (event == 2) {
                ladder.reset(fs);
                reference.reset(fs);
            } else if (event < 200) {
                cutoff = random.below(36000) - 18000; // envelope swings reach past both ends
            } else {
                cutoff += random.below(21) - 10;
            }
            phase += 0.05 + (random.next() % 100) * 1e-4;
            const double x = 0.7 * std::sin(phase) + (random.next() / 4294967296.0 - 0.5) * 0.3;
            const double expected = reference.process(x, cutoff);
            const double actual = ladder.process(x, cutoff);
            ASSERT_NEAR(actual, expected, 1e-12) << fs << " sample " << n;
        }
    }
}
