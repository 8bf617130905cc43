// The instrument played through its binary interface: where notes start, their pitch and how
// the modulation, the pedal and the delay move them, measured from the rendered sound at two
// sample rates.
#include "instrument/ParameterTable.h"
#include "tests/plugin/Player.h"
#include "tests/support/SignalMeasure.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace measure;

namespace {

constexpr double kA4 = 440.0;
// Every note carries a random spread of at most 4 pitch steps (1/32 semitone).
constexpr double kSpread = 4.0 / 128;

class Render : public testing::TestWithParam<double> {
protected:
    double rate() const { return GetParam(); }
    long Frames(double seconds) const { return std::lround(seconds * rate()); }
    size_t At(double seconds) const { return static_cast<size_t>(Frames(seconds)); }
    double Pitch(const std::vector<double>& x, double from, double to) const {
        return Semitones(Frequency(x, rate(), At(from), At(to)), kA4);
    }
    // The peak-to-peak swing of the pitch over a stretch, in semitones.
    double Vibrato(const std::vector<double>& x, double from, double to) const {
        double low = 1e9, high = -1e9;
        for (const FrequencyPoint& p : FrequencyTrack(x, rate(), At(from), At(to))) {
            low = std::min(low, Semitones(p.hz, kA4));
            high = std::max(high, Semitones(p.hz, kA4));
        }
        return high - low;
    }
    // The period of the pitch's wobble, from the times the pitch rises through its middle.
    double VibratoPeriod(const std::vector<double>& x, double from, double to) const {
        std::vector<FrequencyPoint> track = FrequencyTrack(x, rate(), At(from), At(to));
        double low = 1e9, high = 0;
        for (const FrequencyPoint& p : track)
            low = std::min(low, p.hz), high = std::max(high, p.hz);
        const double middle = (low + high) / 2;
        std::vector<double> rises;
        for (size_t i = 1; i < track.size(); ++i)
            if (track[i - 1].hz < middle && track[i].hz >= middle) rises.push_back(track[i].time);
        return rises.size() < 2 ? 0 : (rises.back() - rises.front()) / (rises.size() - 1);
    }

    TestHost host;
};

TEST_P(Render, NotesStartOnTheirOwnSampleInsideAndAcrossTicksAndBlocks) {
    for (int block : {64, 100, 37, 1024})
        for (long frame : {0L, 20L, 50L, 130L, 1007L}) {
            Player player(host, rate(), block);
            player.SineProgram();
            player.At(frame, 0x90, 69, 100);
            const std::vector<double> left = player.Render(frame + 400).left;
            EXPECT_EQ(Onset(left, 0.0), frame) << "block " << block << ", note at " << frame;
        }
}

TEST_P(Render, PitchFollowsTheNoteTuneAndTheBendRange) {
    Player player(host, rate());
    player.SineProgram();
    player.Set(kBendOsc, 12);
    player.At(0, 0x90, 69, 100);
    player.At(Frames(0.3), 0xE0, 0, 0);     // fully down
    player.At(Frames(0.6), 0xE0, 127, 127); // fully up: 8191/8192 of the range
    player.At(Frames(0.9), 0xE0, 0, 64);    // centre
    const std::vector<double> x = player.Render(Frames(1.2)).left;
    const double note = Pitch(x, 0.1, 0.3);
    EXPECT_NEAR(note, 0, kSpread);
    EXPECT_NEAR(Pitch(x, 0.4, 0.6) - note, -12, 0.01);
    EXPECT_NEAR(Pitch(x, 0.7, 0.9) - note, 12 * 8191.0 / 8192, 0.01);
    EXPECT_NEAR(Pitch(x, 1.0, 1.2) - note, 0, 0.01);

    Player tuned(host, rate());
    tuned.SineProgram();
    tuned.Set(kTune, -0.5);
    tuned.At(0, 0x90, 81, 100);
    EXPECT_NEAR(Pitch(tuned.Render(Frames(0.3)).left, 0.1, 0.3), 12 - 0.5, kSpread);
}

TEST_P(Render, MgRatesFollowBothPeriodTables) {
    // Setting 19 is 0.182 s per cycle in the 8000 table and 0.062 s in the 6000 one; setting 8
    // is 0.5 s and 0.16 s.
    const struct {
        int setting;
        int mode;
        double period;
    } cases[] = {{19, 0, 0.182}, {19, 1, 0.062}, {8, 0, 0.5}, {8, 1, 0.16}};
    for (const auto& c : cases) {
        Player player(host, rate());
        player.SineProgram();
        player.Set(kEngineMode, c.mode);
        player.Set(kMgOsc, 31);
        player.Set(kMgFrequency, c.setting);
        player.At(0, 0x90, 69, 100);
        const std::vector<double> x = player.Render(Frames(2.2)).left;
        EXPECT_NEAR(VibratoPeriod(x, 0.1, 2.2), c.period, c.period * 0.02)
            << "setting " << c.setting << " mode " << c.mode;
        // "MG Osc" at full swings the pitch 1.5 semitones either way.
        EXPECT_NEAR(Vibrato(x, 0.1, 2.2), 3.0, 0.15);
    }
}

TEST_P(Render, MgDelayFadesTheMgInAfterTheFirstKey) {
    Player player(host, rate());
    player.SineProgram();
    player.Set(kMgOsc, 31);
    player.Set(kMgDelay, 15); // full depth after 15/31 x 5 s = 2.42 s, with the square of time
    player.At(0, 0x90, 69, 100);
    const std::vector<double> x = player.Render(Frames(3.5)).left;
    EXPECT_LT(Vibrato(x, 0.05, 0.4), 3.0 * 0.05);
    EXPECT_NEAR(Vibrato(x, 1.0, 1.4), 3.0 * std::pow(1.2 / 2.42, 2), 0.35);
    EXPECT_NEAR(Vibrato(x, 2.6, 3.5), 3.0, 0.15);
}

TEST_P(Render, WheelBreathAndAftertouchReachTheirTargets) {
    // The wheel crossfades to the undelayed MG at the wheel's own depth.
    Player wheel(host, rate());
    wheel.SineProgram();
    wheel.Set(kModWheelOscMg, 4); // 4/31 x 1537 steps = 1.55 semitones
    wheel.At(0, 0x90, 69, 100);
    wheel.At(Frames(0.6), 0xB0, 1, 127);
    const std::vector<double> w = wheel.Render(Frames(1.4)).left;
    EXPECT_LT(Vibrato(w, 0.05, 0.6), 0.01);
    EXPECT_NEAR(Vibrato(w, 0.65, 1.4), 2 * 4.0 / 31 * 1537 / 128, 0.12);

    // The filter's crossfade follows the breath controller or the wheel, as chosen. A slow
    // triangle MG starts at its bottom: at full depth it closes the filter.
    for (int source : {0, 1}) // "Breath Controller", "Modulation Wheel"
        for (int controller : {1, 2}) {
            Player player(host, rate());
            player.SineProgram();
            player.Set(kMgFrequency, 0);
            player.Set(kModWheelVcfMg, 31);
            player.Set(kVcfMgSource, source);
            player.At(0, 0x90, 69, 100);
            player.At(Frames(0.1), 0xB0, static_cast<uint8_t>(controller), 127);
            const std::vector<double> x = player.Render(Frames(0.3)).left;
            const bool routed = (source == 0) == (controller == 2);
            const double drop = Rms(x, At(0.2), At(0.3)) / Rms(x, At(0.02), At(0.1));
            if (routed)
                EXPECT_LT(drop, 0.01) << "source " << source << " controller " << controller;
            else
                EXPECT_NEAR(drop, 1.0, 0.01) << "source " << source << " controller " << controller;
        }

    // Aftertouch to the amplifier adds up to 0.5 to the output gain ("Volume" at full is 0.5).
    Player pressure(host, rate());
    pressure.SineProgram();
    pressure.Set(kAfterTouchVca, 3);
    pressure.At(0, 0x90, 69, 100);
    pressure.At(Frames(0.3), 0xD0, 127);
    const std::vector<double> p = pressure.Render(Frames(0.8)).left;
    EXPECT_NEAR(Rms(p, At(0.6), At(0.8)) / Rms(p, At(0.1), At(0.3)), 2.0, 0.02);
}

TEST_P(Render, AutoBendSweepsIntoTheNoteAndPortamentoGlides) {
    for (int mode : {0, 1}) { // "UP" starts below, "DOWN" above
        Player player(host, rate());
        player.SineProgram();
        player.Set(kAutoBendSelect, 3);
        player.Set(kAutoBendMode, mode);
        player.Set(kAutoBendIntensity, 31); // 24 semitones at the start
        player.Set(kAutoBendTime, 15);      // 15/31 s
        player.At(0, 0x90, 69, 100);
        const std::vector<double> x = player.Render(Frames(0.8)).left;
        const double time = 15.0 / 31;
        // The offset shrinks with the square of the time left: a quarter at half time.
        const double half = Pitch(x, time / 2 - 0.004, time / 2 + 0.004);
        EXPECT_NEAR(half, (mode ? 6 : -6), 0.35) << "mode " << mode;
        EXPECT_NEAR(Pitch(x, time + 0.05, 0.8), 0, kSpread) << "mode " << mode;
    }

    // One voice glides from its last note to the next in "Portamento" 31: one second.
    Player glide(host, rate());
    glide.SineProgram();
    glide.Set(kVoices, -4);
    glide.Set(kPortamento, 31);
    glide.At(0, 0x90, 57, 100);
    glide.At(Frames(1.2), 0x80, 57, 0);
    glide.At(Frames(1.2), 0x90, 69, 100);
    const std::vector<double> g = glide.Render(Frames(2.5)).left;
    EXPECT_NEAR(Pitch(g, 1.0, 1.2), -12, kSpread);
    EXPECT_NEAR(Pitch(g, 1.69, 1.71), -6, 0.1);
    EXPECT_NEAR(Pitch(g, 2.25, 2.5), 0, kSpread);
}

TEST_P(Render, SustainPedalHoldsReleasedKeysAndVelocityZeroEndsANote) {
    Player player(host, rate());
    player.SineProgram();
    player.At(0, 0x90, 69, 100);
    player.At(Frames(0.05), 0xB0, 64, 127);
    player.At(Frames(0.1), 0x90, 69, 0); // key up while the pedal is down
    player.At(Frames(0.3), 0xB0, 64, 0);
    const std::vector<double> x = player.Render(Frames(0.5)).left;
    EXPECT_GT(Rms(x, At(0.2), At(0.3)), 0.1);
    EXPECT_LT(Peak(x, At(0.4)), 1e-4);

    // A note-on of velocity 0 and a note-off give the same sound.
    std::vector<double> renders[2];
    for (int i = 0; i < 2; ++i) {
        Player same(host, rate());
        same.SineProgram();
        same.At(0, 0x90, 60, 90);
        same.At(Frames(0.1), i ? 0x80 : 0x90, 60, 0);
        renders[i] = same.Render(Frames(0.2)).left;
    }
    EXPECT_EQ(renders[0], renders[1]);
    EXPECT_LT(Peak(renders[0], At(0.15)), 1e-4);
}

TEST_P(Render, DelayTimeFactorFeedbackAndPseudoStereoFromAnImpulse) {
    const int lineLength = static_cast<int>(rate() * 0.6);
    for (int factor : {15, 0}) { // step factor 1 and 0.5
        Player player(host, rate());
        player.SineProgram();
        player.Set(kVcaEgSustain, 0); // a click: the sine at full level for a moment
        player.Set(kPseudoStereo, 1);
        player.Set(kDelayLevel, 15);
        player.Set(kDelayTime, 3);
        player.Set(kDelayFactor, factor);
        player.Set(kDelayFeedback, 15); // -0.9: every repeat inverted
        player.At(0, 0x90, 93, 127);
        player.At(2, 0x80, 93, 0);
        const Stereo s = player.Render(lineLength);
        // Left is dry plus echo and right dry minus echo.
        std::vector<double> dry(s.left.size()), echo(s.left.size());
        for (size_t i = 0; i < dry.size(); ++i) {
            dry[i] = (s.left[i] + s.right[i]) / 2;
            echo[i] = (s.left[i] - s.right[i]) / 2;
        }
        auto correlation = [&](long lag) {
            double sum = 0;
            for (size_t i = 0; i + lag < dry.size(); ++i)
                sum += dry[i] * echo[i + lag];
            return sum;
        };
        long best = 0;
        for (long lag = 1; lag < lineLength / 2; ++lag)
            if (std::fabs(correlation(lag)) > std::fabs(correlation(best))) best = lag;
        const double expected = (lineLength >> 4) * (factor ? 1.0 : 0.5);
        EXPECT_GE(best, expected) << "factor " << factor;
        EXPECT_LE(best, expected + 8) << "factor " << factor;
        EXPECT_GT(correlation(best), 0);
        // The second repeat passes the line's filters once more: look for it near twice the lag.
        long second = 2 * best - 10;
        for (long lag = second; lag <= 2 * best + 10; ++lag)
            if (std::fabs(correlation(lag)) > std::fabs(correlation(second))) second = lag;
        EXPECT_LT(correlation(second), -0.3 * correlation(best)) << "the repeat is inverted";
    }
}

TEST_P(Render, HeldNotesPastTheQueueNeverHang) {
    // Thousands of note pairs in one block, more than the message queue holds: whatever is
    // dropped, no note may keep sounding once everything is released.
    Player player(host, rate(), 512);
    player.SineProgram();
    player.Set(kVoices, 3);
    for (int i = 0; i < 3000; ++i) {
        player.At(i % 512, 0x90, static_cast<uint8_t>(i % 120), 100);
        player.At(i % 512, 0x80, static_cast<uint8_t>(i % 120), 0);
    }
    const std::vector<double> x = player.Render(Frames(1.0)).left;
    for (double sample : x)
        ASSERT_TRUE(std::isfinite(sample));
    EXPECT_LT(Peak(x, At(0.5)), 1e-4);
}

TEST_P(Render, ProgramChangeSelectsTheProgram) {
    Player player(host, rate());
    player.At(10, 0xC0, 5);
    player.Render(64);
    EXPECT_EQ(host.Call(player.effect, effGetProgram), 5);
}

TEST(RenderRates, PitchAndOnsetHoldFrom8To192KilohertzAndRatesBelow1KilohertzAreRefused) {
    TestHost host;
    for (double rate : {8000.0, 22050.0, 96000.0, 192000.0}) {
        Player player(host, rate, 333);
        player.SineProgram();
        player.At(101, 0x90, 57, 100);
        const std::vector<double> x = player.Render(static_cast<long>(rate * 0.3)).left;
        EXPECT_EQ(Onset(x, 0.0), 101) << rate;
        const double hz = Frequency(x, rate, static_cast<size_t>(rate * 0.1), x.size());
        EXPECT_NEAR(Semitones(hz, 220.0), 0, kSpread) << rate;
    }
    // Below 1 kHz there would be no control tick: the rate is refused and the last one stays.
    Player player(host, 44100, 256);
    player.SineProgram();
    host.Call(player.effect, effSetSampleRate, 0, 0, nullptr, 999.0f);
    host.Call(player.effect, effMainsChanged, 0, 1);
    player.At(0, 0x90, 57, 100);
    const std::vector<double> x = player.Render(44100 / 4).left;
    EXPECT_NEAR(Semitones(Frequency(x, 44100, 2205, x.size()), 220.0), 0, kSpread);
}

INSTANTIATE_TEST_SUITE_P(Rates, Render, testing::Values(44100.0, 48000.0),
                         [](const testing::TestParamInfo<double>& info) {
                             return std::to_string(static_cast<int>(info.param));
                         });

} // namespace
