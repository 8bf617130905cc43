// The envelope generator: its time and curve tables, stage timing in both behaviours, the
// setters, single trigger, and agreement with the plain reference model.
#include "ReferenceModels.h"

#include "dsp/Envelope.h"
#include "dsp/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using Ref = ReferenceEnvelope;
constexpr double kFs = 44100;

Envelope MakeEnvelope(bool dw6000, double a, double d, double bp, double s, double sus, double r) {
    Envelope env;
    env.reset(kFs);
    env.setDw6000(dw6000);
    env.setAttack(a / 31);
    env.setDecay(d / 31);
    env.setBreakPoint(bp / 31);
    env.setSlope(s / 31);
    env.setSustain(sus / 31);
    env.setRelease(r / 31);
    return env;
}

// Samples until a condition holds (ticking first), or -1 after a minute.
long SamplesUntil(Envelope& env, const std::function<bool(const Envelope&)>& done) {
    for (long n = 1; n < 60 * long(kFs); ++n) {
        env.tick();
        if (done(env)) return n;
    }
    return -1;
}

// Position on the decay curve where it has fallen to 1 - k/31, in 255ths (the P table).
double CurvePosition(int k) {
    if (k == 0) return 0;
    return k == 31 ? 1 : std::floor(std::log((1 - k / 31.0 + 0.043) / 1.043) / -0.0125) / 255;
}

} // namespace

TEST(EnvelopeTables, TimeLookupInterpolatesBetweenSettings) {
    const std::pair<EnvelopeTimes, const double*> tables[] = {
        {EnvelopeTimes::Attack8000, Ref::attack8000},
        {EnvelopeTimes::Decay8000, Ref::decay8000},
        {EnvelopeTimes::Slope8000, Ref::slope8000},
        {EnvelopeTimes::All6000, Ref::all6000}};
    for (const auto& [which, listed] : tables) {
        const double* table = EnvelopeTimeTable(which);
        for (int k = 0; k < 32; ++k)
            EXPECT_DOUBLE_EQ(EnvelopeTime(table, k / 31.0), listed[k]) << k;
        for (int k = 0; k < 31; ++k)
            EXPECT_NEAR(EnvelopeTime(table, (k + 0.25) / 31),
                        0.75 * listed[k] + 0.25 * listed[k + 1], 1e-12);
        EXPECT_DOUBLE_EQ(EnvelopeTime(table, -0.5), listed[0]);
        EXPECT_DOUBLE_EQ(EnvelopeTime(table, 7.0), listed[31]);
    }
    EXPECT_DOUBLE_EQ(EnvelopeTime(Ref::decay8000, 30.5 / 31), 18.5);
}

TEST(EnvelopeTables, CurvePositionsAreTheDocumentedSteps) {
    const int steps[32] = {0,  2,  5,  7,  10, 13, 16, 19, 22,  26,  29,  33,  37,  41,  45,  49,
                           54, 59, 65, 70, 77, 83, 91, 99, 108, 118, 130, 144, 160, 181, 210, 255};
    const EnvelopeCurves& curves = GetEnvelopeCurves();
    for (int k = 0; k < 32; ++k)
        EXPECT_DOUBLE_EQ(curves.p[k] * 255, steps[k]) << k;
    EXPECT_DOUBLE_EQ(curves.e[0], 1.0);
    EXPECT_NEAR(curves.e[255], 0.00005, 0.00001);
    EXPECT_EQ(curves.e[256], 0.0);
    // P[k] is the last step of E at or above 1 - k/31.
    for (int k = 1; k < 31; ++k) {
        EXPECT_GE(curves.e[steps[k]], 1 - k / 31.0);
        EXPECT_LT(curves.e[steps[k] + 1], 1 - k / 31.0);
    }
}

TEST(Envelope, AttackIncrementIsTheSampleTimeOverTheAttackTime) {
    for (bool dw6000 : {false, true}) {
        for (int setting : {0, 7, 19, 31}) {
            Envelope env = MakeEnvelope(dw6000, setting, 0, 31, 0, 31, 0);
            env.gate();
            const double time = dw6000 ? Ref::all6000[setting] : Ref::attack8000[setting];
            EXPECT_NEAR(env.step(), 1 / (kFs * time), 1e-15) << dw6000 << " " << setting;
        }
    }
    Envelope env = MakeEnvelope(false, 0, 0, 31, 0, 31, 0);
    env.gate();
    EXPECT_NEAR(env.step(), 0.00567, 0.00001);
}

TEST(Envelope, StageTimesIn8000Mode) {
    struct Case {
        int a, d, bp, s, sus, r;
    };
    const Case cases[] = {{19, 16, 15, 12, 5, 16}, {8, 20, 0, 24, 24, 10}, {25, 9, 31, 3, 10, 21}};
    // The decay curve is within 0.001 of its end from this step on.
    int nearEnd = 0;
    while (std::exp(-0.0125 * nearEnd) * 1.043 - 0.043 > 0.001)
        ++nearEnd;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "attack " << c.a << " decay " << c.d << " bp " << c.bp);
        Envelope env = MakeEnvelope(false, c.a, c.d, c.bp, c.s, c.sus, c.r);
        env.gate();
        // Attack: a straight rise to 1.
        const long attack = SamplesUntil(env, [](const Envelope& e) { return e.out() >= 1; });
        EXPECT_NEAR(attack, Ref::attack8000[c.a] * kFs, 2);
        // Decay: down the curve from 1 to the break point, then holding there; the whole
        // stage lasts (2 - P) decay times.
        const double bp = c.bp / 31.0, p = CurvePosition(c.bp);
        const double decay = Ref::decay8000[c.d] * kFs;
        const long fall =
            SamplesUntil(env, [&](const Envelope& e) { return e.out() <= bp + 0.001; });
        if (c.bp < 31) {
            EXPECT_NEAR(fall, (nearEnd / 255.0 - p) * decay, 2);
        }
        const long hold =
            SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kSlope; });
        EXPECT_NEAR(fall + hold, (2 - p) * decay, 3);
        EXPECT_DOUBLE_EQ(env.out(), bp);
        // Slope: a straight line to the sustain level, which then holds within one step.
        const double sus = c.sus / 31.0;
        const long slope = SamplesUntil(
            env, [&](const Envelope& e) { return std::fabs(e.out() - sus) <= e.step(); });
        EXPECT_NEAR(slope, std::fabs(bp - sus) * Ref::slope8000[c.s] * kFs, 2);
        for (int n = 0; n < 20000; ++n) {
            env.tick();
            ASSERT_NEAR(env.out(), sus, env.step());
        }
        // Release: the rest of the curve from the present level, at half speed.
        const int k = int(std::floor((1 - env.out()) * 31));
        env.release();
        const long release =
            SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kIdle; });
        EXPECT_NEAR(release, (1 - CurvePosition(k)) * 2 * Ref::decay8000[c.r] * kFs, 3);
        EXPECT_EQ(env.out(), 0.0);
    }
}

TEST(Envelope, StageTimesIn6000Mode) {
    struct Case {
        int a, d, bp, s, sus, r;
    };
    const Case cases[] = {{19, 16, 15, 12, 5, 16}, {8, 20, 0, 24, 24, 10}, {25, 9, 31, 3, 10, 21}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "attack " << c.a << " decay " << c.d << " bp " << c.bp);
        Envelope env = MakeEnvelope(true, c.a, c.d, c.bp, c.s, c.sus, c.r);
        env.gate();
        const long attack =
            SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kDecay; });
        EXPECT_NEAR(attack, Ref::all6000[c.a] * kFs, 2);
        // Decay: a straight fall to just below the break point, at half speed under 0.1.
        const double target = c.bp / 31.0 * 1.05 - 0.05;
        const double decay = Ref::all6000[c.d] * kFs;
        const double expectedDecay =
            target >= 0.1 ? (1 - target) * decay : 0.9 * decay + (0.1 - target) * 2 * decay;
        const long fall =
            SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kSlope; });
        EXPECT_NEAR(fall, expectedDecay, 3);
        // Slope at half speed, toward the sustain level.
        const double sus = c.sus / 31.0;
        const long slope = SamplesUntil(
            env, [&](const Envelope& e) { return std::fabs(e.position() - sus) <= e.step(); });
        EXPECT_NEAR(slope, std::fabs(target - sus) * 2 * Ref::all6000[c.s] * kFs, 3);
        for (int n = 0; n < 20000; ++n) {
            env.tick();
            ASSERT_NEAR(env.out(), sus, env.step());
        }
        // Release: a straight fall at half speed, at a quarter speed under 0.1.
        const double level = env.out();
        env.release();
        const double release = Ref::all6000[c.r] * kFs;
        const double expectedRelease =
            level > 0.1 ? (level - 0.1) * 2 * release + 0.1 * 4 * release : level * 4 * release;
        const long end =
            SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kIdle; });
        EXPECT_NEAR(end, expectedRelease, 3);
        EXPECT_EQ(env.out(), 0.0);
    }
}

TEST(Envelope, BreakPointAtTheTopHoldsFullLevelForTheDecayTime) {
    Envelope env = MakeEnvelope(false, 0, 10, 31, 0, 0, 0);
    env.gate();
    SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kDecay; });
    EXPECT_DOUBLE_EQ(env.position(), 0.5);
    const long hold =
        SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kSlope; });
    EXPECT_NEAR(hold, Ref::decay8000[10] * kFs, 2);
}

TEST(Envelope, ReleaseAtLevelZeroEndsAtOnce) {
    for (bool dw6000 : {false, true}) {
        Envelope env = MakeEnvelope(dw6000, 5, 5, 0, 0, 0, 31);
        env.release();
        EXPECT_EQ(env.stage(), Envelope::kIdle);
    }
    // A note whose level has fallen to 0 in its sustain ends at once too.
    Envelope env = MakeEnvelope(false, 5, 5, 0, 0, 0, 31);
    env.gate();
    SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kSlope; });
    for (int n = 0; n < 10000; ++n)
        env.tick();
    env.release();
    EXPECT_EQ(env.stage(), Envelope::kIdle);
    EXPECT_EQ(env.out(), 0.0);
}

TEST(Envelope, ReleaseFromAboveFullLevelStartsAtTheTopOfTheCurve) {
    // Break point 15 leaves the start of the decay a little above 1; a note-off there must
    // start the release at the top of the curve, not before the start of its table.
    Envelope env = MakeEnvelope(false, 0, 20, 15, 0, 0, 5);
    env.gate();
    SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kDecay; });
    env.tick();
    ASSERT_GT(env.out(), 1.0);
    EXPECT_LT(env.out(), 1.01);
    env.release();
    EXPECT_EQ(env.position(), 0.0);
    env.tick();
    EXPECT_DOUBLE_EQ(env.out(), 1.0);
    const long end =
        SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kIdle; });
    EXPECT_NEAR(end, 2 * Ref::decay8000[5] * kFs, 3);
}

TEST(Envelope, SettersChangeTheSpeedOnlyOfTheRunningStage) {
    Envelope env = MakeEnvelope(false, 10, 10, 20, 10, 10, 10);
    env.gate();
    const double attackStep = env.step();
    env.setDecay(0);
    env.setSlope(0);
    env.setRelease(0);
    EXPECT_EQ(env.step(), attackStep);
    env.setAttack(0);
    EXPECT_NEAR(env.step(), 1 / (kFs * 0.004), 1e-12);
    SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kDecay; });
    env.setDecay(31 / 31.0); // no halving when set mid-stage
    EXPECT_NEAR(env.step(), 1 / (kFs * 22.0), 1e-15);
    env.setAttack(1);
    EXPECT_NEAR(env.step(), 1 / (kFs * 22.0), 1e-15);
}

TEST(Envelope, SingleTriggerLetsARunningEnvelopeCarryOn) {
    Envelope env = MakeEnvelope(false, 10, 10, 20, 10, 10, 10);
    env.setSingleTrigger(true);
    env.gate();
    SamplesUntil(env, [](const Envelope& e) { return e.stage() == Envelope::kDecay; });
    const double position = env.position();
    env.gate();
    EXPECT_EQ(env.stage(), Envelope::kDecay);
    EXPECT_EQ(env.position(), position);
    env.release();
    env.tick();
    env.gate(); // from the release it starts again, from the present level
    EXPECT_EQ(env.stage(), Envelope::kAttack);
    EXPECT_EQ(env.position(), env.out());
    EXPECT_GT(env.position(), 0.5);
}

TEST(Envelope, AgreesWithThePlainReferenceOverLongRandomRuns) {
    for (uint64_t seed : {1u, 2u, 3u}) {
        Random random(seed);
        Envelope env;
        ReferenceEnvelope ref;
        const double fs = seed == 2 ? 96000 : 44100;
        env.reset(fs);
        ref.reset(fs);
        for (long n = 0; n < 3000000; ++n) {
            const uint32_t event = random.next() % 20000;
            // Settings at panel steps, and now and then in between (smoothed automation).
            const double value =
                random.below(2) ? random.below(32) / 31.0 : random.below(100001) / 1e5;
            switch (event) {
            case 0:
                env.gate();
                ref.gate();
                break;
            case 1:
                env.release();
                ref.release();
                break;
            case 2:
                env.setAttack(value);
                ref.setAttack(value);
                break;
            case 3:
                env.setDecay(value);
                ref.setDecay(value);
                break;
            case 4:
                env.setSlope(value);
                ref.setSlope(value);
                break;
            case 5:
                env.setRelease(value);
                ref.setRelease(value);
                break;
            case 6:
                env.setBreakPoint(value);
                ref.breakPoint = value;
                break;
            case 7:
                env.setSustain(value);
                ref.sustain = value;
                break;
            case 8:
                env.setDw6000(!env.dw6000());
                ref.dw6000 = !ref.dw6000;
                break;
            case 9:
                env.setSingleTrigger(value > 0.5);
                ref.singleTrigger = value > 0.5;
                break;
            case 10:
            case 11:
            case 12:
            case 13:
                env.gate();
                ref.gate();
                break;
            case 14:
            case 15:
            case 16:
            case 17:
                env.release();
                ref.release();
                break;
            default:
                break;
            }
            env.tick();
            ref.step();
            ASSERT_NEAR(env.out(), ref.out, 1e-12) << "seed " << seed << " sample " << n;
            ASSERT_EQ(env.stage(), ref.stage) << "seed " << seed << " sample " << n;
        }
    }
}
