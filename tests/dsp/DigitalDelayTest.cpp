// The digital delay: echo times from the read offset and step factor, the inverting feedback,
// the modulation range of the step factor, silence after feedback, and safety under any
// settings at any rate.
#include "dsp/DigitalDelay.h"
#include "dsp/Random.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// A delay at a rate with the modulation off, one modulation step taken so K holds.
DigitalDelay MakeDelay(double fs, int time, double factor, double feedback) {
    DigitalDelay delay;
    delay.resetForRate(fs);
    delay.setTime(time);
    delay.setFactor(factor);
    delay.setFeedback(feedback);
    delay.setModAmount(0);
    delay.modulationStep();
    return delay;
}

std::vector<double> ImpulseResponse(DigitalDelay& delay, int samples) {
    std::vector<double> y(samples);
    for (int n = 0; n < samples; ++n)
        y[n] = delay.process(n == 0 ? 1.0 : 0.0);
    return y;
}

// Index of the largest magnitude in [from, to).
int PeakIndex(const std::vector<double>& y, int from, int to) {
    int best = from;
    for (int n = from; n < to; ++n)
        if (std::fabs(y[n]) > std::fabs(y[best])) best = n;
    return best;
}

} // namespace

TEST(DigitalDelay, EchoArrivesAfterReadOffsetTimesStepFactor) {
    for (double fs : {44100.0, 48000.0}) {
        for (double factor : {1.0, 0.5}) {
            double firstLag = -1;
            for (int time : {0, 3, 7}) {
                DigitalDelay delay = MakeDelay(fs, time, factor, 0);
                EXPECT_EQ(delay.lineLength(), int(fs * 0.6));
                EXPECT_EQ(delay.readOffset(), delay.lineLength() >> (7 - time));
                EXPECT_EQ(delay.stepFactor(), factor);
                const double expected = delay.readOffset() * factor;
                const std::vector<double> y = ImpulseResponse(delay, int(expected) + 100);
                const int peak = PeakIndex(y, 0, int(y.size()));
                EXPECT_GT(std::fabs(y[peak]), 0.3);
                // The low-passes and interpolators add a few samples, alike for every time.
                const double lag = peak - expected;
                EXPECT_GE(lag, 0) << fs << " Hz, factor " << factor << ", time " << time;
                EXPECT_LE(lag, 6) << fs << " Hz, factor " << factor << ", time " << time;
                if (firstLag >= 0) {
                    EXPECT_NEAR(lag, firstLag, 1) << fs << " Hz, time " << time;
                }
                firstLag = lag;
            }
        }
    }
}

TEST(DigitalDelay, FeedbackInvertsAndShrinksEachRepeatThenDecaysWithoutDenormals) {
    const double fs = 44100;
    DigitalDelay delay = MakeDelay(fs, 0, 1.0, -0.9);
    const int period = delay.readOffset();
    const std::vector<double> y = ImpulseResponse(delay, 6 * period);
    double previous = 0;
    for (int repeat = 1; repeat <= 5; ++repeat) {
        const double peak =
            y[PeakIndex(y, repeat * period - period / 2, repeat * period + period / 2)];
        if (repeat > 1) {
            EXPECT_LT(peak * previous, 0) << "repeat " << repeat;
            EXPECT_LT(std::fabs(peak), std::fabs(previous));
            EXPECT_GT(std::fabs(peak), 0.5 * std::fabs(previous));
        }
        previous = peak;
    }
    // Thirty seconds of silence: the echoes die away and nothing lingers in the slow range.
    double last = 1;
    for (int n = 0; n < 30 * int(fs); ++n) {
        last = delay.process(0);
        ASSERT_TRUE(last == 0 || std::fabs(last) >= DBL_MIN) << n;
    }
    EXPECT_LT(std::fabs(last), 1e-9);
}

TEST(DigitalDelay, ModulationMovesStepFactorFromFactorDownByTheDepth) {
    struct Case {
        double factor;
        int time;
        bool dw6000;
        double depth; // exp(-0.275 time) x 0.49, x 0.62 in the 8000 behaviour
    };
    // The deepest legitimate modulation reaches exactly the lowest step factor.
    for (const Case c :
         {Case{0.5, 0, true, 0.49}, Case{1.0, 4, false, 0.49 * 0.62 * std::exp(-1.1)}}) {
        DigitalDelay delay = MakeDelay(44100, c.time, c.factor, 0);
        delay.setDw6000(c.dw6000);
        delay.setModAmount(1);
        delay.setModRate(0.001);
        double lowest = 2, highest = -1;
        for (int tick = 0; tick < 5000; ++tick) {
            delay.modulationStep();
            lowest = std::min(lowest, delay.stepFactor());
            highest = std::max(highest, delay.stepFactor());
            delay.process(0);
        }
        EXPECT_NEAR(highest, c.factor, 1e-3);
        EXPECT_NEAR(lowest, c.factor - c.depth, 1e-3);
    }
}

TEST(DigitalDelay, AnySettingsInAnyOrderGiveFiniteOutputWithBoundedStep) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double values[] = {nan,           inf, -inf, 0, -0.0, 1e308, -1e308, DBL_TRUE_MIN,
                             -DBL_TRUE_MIN, 0.3, 0.5,  1, 2,    -0.9,  -1,     -5};
    const int times[] = {std::numeric_limits<int>::min(), -1, 0, 3, 7, 8, 1 << 30};
    const double rates[] = {nan, -1, 0, 500, 1000, 12000, 44100, 192000, 1e12, inf};
    Random random(4470);
    for (double fs : {1000.0, 8000.0, 12000.0, 44100.0, 192000.0}) {
        DigitalDelay delay; // the unset construction state first: factor 0
        delay.setup(fs);
        for (int round = 0; round < 300; ++round) {
            const double value = values[random.below(16)];
            switch (random.below(9)) {
            case 0:
                delay.setTime(times[random.below(7)]);
                break;
            case 1:
                delay.setFactor(value);
                break;
            case 2:
                delay.setFeedback(value);
                break;
            case 3:
                delay.setModRate(value);
                break;
            case 4:
                delay.setModAmount(value);
                break;
            case 5:
                delay.setDw6000(random.below(2) == 1);
                break;
            case 6:
                delay.setup(round % 50 == 0 ? rates[random.below(10)] : fs);
                break;
            case 7:
                delay.resetForRate(round % 50 == 0 ? rates[random.below(10)] : fs);
                break;
            default:
                break;
            }
            delay.modulationStep();
            ASSERT_GE(delay.stepFactor(), DigitalDelay::kMinStep);
            ASSERT_LE(delay.stepFactor(), 1.0);
            ASSERT_GE(delay.readOffset(), 0);
            ASSERT_LE(delay.readOffset(), delay.lineLength());
            for (int n = 0; n < 64; ++n) {
                const double x = random.below(200) == 0 ? values[random.below(16)]
                                                        : random.below(2001) / 1000.0 - 1;
                const double y = delay.process(x);
                ASSERT_TRUE(std::isfinite(y)) << fs << " Hz, round " << round << ", x " << x;
            }
        }
    }
}
