// The pitch scale and the per-rate oscillator and filter tables, against numbers computed
// here from the definitions.
#include "dsp/PitchTable.h"
#include "dsp/RateTables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Note k's frequency to three decimals (four notes of the table use two).
double NoteFrequency(int k) {
    switch (k) {
    case 124:
        return 10548.08;
    case 125:
        return 11175.3;
    case 126:
        return 11839.82;
    case 127:
        return 12543.85;
    }
    return std::round(440 * std::pow(2.0, (k - 69) / 12.0) * 1000) / 1000;
}

double BelowNoteZero(int k) {
    return std::round(8.176 * std::pow(2.0, -k / 12.0) * 1e10) / 1e10;
}

// The band from the increment, by repeated halving of a quarter of the whole table steps.
int ExpectedBand(long long increment) {
    double c = double(increment >> 16) / 4;
    int count = 0;
    while (c > 1) {
        c /= 2;
        ++count;
    }
    return count >= 10 ? 9 : count;
}

} // namespace

TEST(PitchToFrequency, MatchesTheNoteTableAtEverySemitone) {
    for (int k = 0; k <= 135; ++k)
        EXPECT_NEAR(PitchToFrequency(k * 128), NoteFrequency(k), 1e-9) << "note " << k;
    EXPECT_DOUBLE_EQ(PitchToFrequency(0), 8.176);
    EXPECT_DOUBLE_EQ(PitchToFrequency(8832), 440.0);
    EXPECT_DOUBLE_EQ(PitchToFrequency(17280), 19912.127);
}

TEST(PitchToFrequency, InterpolatesLinearlyBetweenSemitones) {
    // A quarter and three quarters of the way from A4 to A#4.
    const double a4 = 440.0, aSharp4 = NoteFrequency(70);
    EXPECT_NEAR(PitchToFrequency(8832 + 32), a4 + (aSharp4 - a4) * 0.25, 1e-9);
    EXPECT_NEAR(PitchToFrequency(8832 + 96), a4 + (aSharp4 - a4) * 0.75, 1e-9);
    EXPECT_NEAR(PitchToFrequency(127), 8.176 + (NoteFrequency(1) - 8.176) * 127 / 128, 1e-9);
    // Strictly rising across the whole range.
    for (int p = 1; p <= 17280; ++p)
        ASSERT_GT(PitchToFrequency(p), PitchToFrequency(p - 1)) << p;
}

TEST(PitchToFrequency, ContinuesBelowNoteZeroAndHoldsAtTheEnds) {
    EXPECT_NEAR(PitchToFrequency(-12 * 128), 4.088, 1e-12);
    EXPECT_NEAR(PitchToFrequency(-64), 8.176 + (BelowNoteZero(1) - 8.176) * 0.5, 1e-12);
    for (int k = 1; k <= 134; ++k)
        EXPECT_NEAR(PitchToFrequency(-k * 128), BelowNoteZero(k), 1e-13) << k;
    EXPECT_DOUBLE_EQ(PitchToFrequency(-17280), 0.0033570162);
    EXPECT_DOUBLE_EQ(PitchToFrequency(-40000), 0.0033570162);
    EXPECT_DOUBLE_EQ(PitchToFrequency(17281), 19912.127);
    EXPECT_DOUBLE_EQ(PitchToFrequency(1 << 30), 19912.127);
}

TEST(RateTables, IncrementAndBandOfA4At44100) {
    const RateTables& t = RateTables::ForRate(44100);
    EXPECT_EQ(t.increment[8832], 1339133);
    EXPECT_EQ(t.band[8832], 3);
}

TEST(RateTables, IncrementsAndBandsFollowTheFrequencyAtSeveralRates) {
    for (double fs : {32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0}) {
        const RateTables& t = RateTables::ForRate(fs);
        EXPECT_EQ(t.sampleRate, fs);
        for (int p = 0; p <= 17280; p += 7) {
            const long long expected = (long long)(PitchToFrequency(p) * 134217728.0 / fs);
            ASSERT_EQ(t.increment[p], expected) << fs << " " << p;
            ASSERT_EQ(t.band[p], ExpectedBand(expected)) << fs << " " << p;
        }
        // Bands never fall as the pitch rises, and the top band appears only above fs / 2.
        for (int p = 1; p <= 17280; ++p) {
            ASSERT_GE(t.band[p], t.band[p - 1]);
            if (t.band[p] == 9) {
                ASSERT_GT(PitchToFrequency(p), fs / 2 - 50) << fs << " " << p;
            }
        }
    }
    // A4 plays band 3 at 44.1 and 48 kHz and band 2 at 96 kHz (39 and 79 harmonics).
    EXPECT_EQ(RateTables::ForRate(48000).band[8832], 3);
    EXPECT_EQ(RateTables::ForRate(96000).band[8832], 2);
    EXPECT_EQ(RateTables::ForRate(96000).increment[8832], 615164);
}

TEST(RateTables, EachRateKeepsItsOwnTables) {
    const RateTables& a = RateTables::ForRate(44100);
    const RateTables& b = RateTables::ForRate(48000);
    const RateTables& again = RateTables::ForRate(44100);
    EXPECT_EQ(&a, &again);
    EXPECT_NE(&a, &b);
    EXPECT_EQ(a.increment[8832], 1339133); // untouched by building the other rate
}

TEST(RateTables, LadderTablesFollowTheCutoffFrequency) {
    const RateTables& t = RateTables::ForRate(44100);
    for (int p : {0, 5000, 8832, 10000, 12000, 17280}) {
        const double f = PitchToFrequency(p);
        EXPECT_NEAR(t.ladderW[p], 2 * M_PI * f / 44100, 1e-14) << p;
    }
    EXPECT_DOUBLE_EQ(t.ladderC[60 * 128], 4.01);   // 261.6 Hz
    EXPECT_DOUBLE_EQ(t.ladderC[100 * 128], 4.005); // 2637 Hz
    // In between it falls linearly with the frequency: at 1250 Hz half way.
    const int p = 87 * 128 + 64; // about 1281 Hz
    const double f = PitchToFrequency(p);
    EXPECT_NEAR(t.ladderC[p], 4.01 - 0.005 * (f - 500) / 1500, 1e-12);
}

TEST(RateTables, VeryLowRatesStayUsable) {
    // Far above the sample rate a pitch plays the silent band, and the step stays a valid
    // phase step rather than overflowing.
    const RateTables& t = RateTables::ForRate(1000);
    EXPECT_EQ(t.band[17280], 9);
    EXPECT_GE(t.increment[17280], 0);
    EXPECT_LT(t.increment[17280], 134217728);
    EXPECT_EQ(&RateTables::ForRate(0), &RateTables::ForRate(1000));
}
