// One voice rendered with no host: pitch and envelope timing measured from the output, the
// note-dependent terms, and a wave set change reaching the oscillators.
#include "TestSupport.h"

#include "dsp/EnvelopeTables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The amplifier's gain in each millisecond: the output divided by that of a voice playing
// the same oscillator (same seed, so the same phase) at constant full level, averaged over the
// samples where the reference is well away from a zero crossing.
std::vector<double> MillisecondGains(const std::vector<double>& x, const std::vector<double>& ref,
                                     double fs) {
    const double threshold = 0.3 * PeakAbs(ref, 0, ref.size());
    std::vector<double> gains;
    for (size_t ms = 0;; ++ms) {
        const size_t begin = size_t(std::lround(ms * fs / 1000));
        const size_t end = size_t(std::lround((ms + 1) * fs / 1000));
        if (end > x.size() || end > ref.size()) break;
        double sum = 0;
        int count = 0;
        for (size_t n = begin; n < end; ++n)
            if (std::fabs(ref[n]) > threshold) {
                sum += x[n] / ref[n];
                ++count;
            }
        gains.push_back(count ? sum / count : 0.0);
    }
    return gains;
}

// The reference for MillisecondGains: full level from the first sample to the last.
std::vector<double> SteadyReference(double fs, bool dw6000, int note, int samples) {
    VoiceRig rig(fs);
    SetEngine6000(rig.voice, dw6000);
    rig.voice.osc2Level = 0;
    rig.voice.osc1.setWaveform(15);
    rig.noteOn(note);
    // Bring the envelope and its smoothing to full level at once, leaving the phase alone.
    for (int n = 0; n < 20000; ++n) {
        rig.voice.vcaEnv.tick();
        rig.voice.vcaSmooth.process(rig.voice.vcaEnv.out());
    }
    return rig.render(samples);
}

// First millisecond at or after `from` whose peak crosses a level (upward or downward).
int FirstCrossing(const std::vector<double>& peaks, size_t from, double level, bool rising) {
    for (size_t i = from; i < peaks.size(); ++i)
        if (rising ? peaks[i] >= level : peaks[i] <= level) return int(i);
    return -1;
}

} // namespace

TEST(VoicePath, PitchOfSeveralWaveformsAndOctavesAtThreeRates) {
    struct Case {
        int waveform, octave, note;
    } cases[] = {{0, 0, 69}, {1, -1, 45},  {6, 1, 60}, {15, 0, 33},
                 {9, 0, 81}, {13, -1, 40}, {7, 1, 72}};
    for (double fs : {44100.0, 48000.0, 96000.0}) {
        for (const Case& c : cases) {
            VoiceRig rig(fs);
            rig.voice.osc2Level = 0;
            rig.voice.osc1.setWaveform(c.waveform);
            rig.voice.osc1.setOctave(c.octave);
            rig.noteOn(c.note);
            rig.render(int(fs / 10)); // past the attack and its smoothing
            const std::vector<double> out = rig.render(16384);
            const int pitch = c.note * 128 + c.octave * 12 * 128;
            const double expected = PitchToFrequency(pitch);
            const double measured = MeasureFrequency(out, fs);
            EXPECT_NEAR(measured / expected, 1.0, 2e-4)
                << fs << " Hz, waveform " << c.waveform << ", octave " << c.octave << ", note "
                << c.note << ": measured " << measured << ", expected " << expected;
        }
    }
}

TEST(VoicePath, DetunedSecondOscillatorBeatsAtTheDetuneDifference) {
    // Two sines, oscillator 2 detuned by 41 steps: its own pitch, measured alone.
    VoiceRig rig(48000);
    rig.voice.osc1Level = 0;
    rig.voice.osc2.setWaveform(15);
    rig.voice.osc2.setDetune(0.9);
    rig.noteOn(57);
    rig.render(4800);
    const double measured = MeasureFrequency(rig.render(16384), 48000);
    EXPECT_NEAR(measured / PitchToFrequency(57 * 128 + 41), 1.0, 2e-4);
    EXPECT_GT(measured / PitchToFrequency(57 * 128), 1.015);
}

TEST(VoicePath, AmplifierEnvelopeTimingFromTheOutputIn8000Mode) {
    const double fs = 44100;
    VoiceRig rig(fs);
    rig.voice.osc2Level = 0;
    rig.voice.osc1.setWaveform(15);
    Envelope& env = rig.voice.vcaEnv;
    env.setAttack(20 / 31.0);     // 1.3 s
    env.setDecay(18 / 31.0);      // 1.26 s
    env.setBreakPoint(20 / 31.0); // 0.645, 77 steps along the curve
    env.setSlope(19 / 31.0);      // 1.05 s
    env.setSustain(8 / 31.0);     // 0.258
    env.setRelease(17 / 31.0);    // 1.12 s
    rig.noteOn(69);
    const int held = int(fs * 6), released = int(fs * 3);
    std::vector<double> out = rig.render(held);
    const double from = GetEnvelopeCurves().p[int(std::floor((1 - rig.voice.vcaEnv.out()) * 31))];
    rig.noteOff();
    const std::vector<double> tail = rig.render(released);
    out.insert(out.end(), tail.begin(), tail.end());
    const std::vector<double> gain =
        MillisecondGains(out, SteadyReference(fs, false, 69, held + released), fs);

    // The smoothing of the envelope delays every change by about 3 ms.
    const double lag = 3;
    // Attack: straight, so half level at half the attack time.
    EXPECT_NEAR(FirstCrossing(gain, 0, 0.5, true), 650 + lag, 2);
    EXPECT_NEAR(gain[1300 + 5], 1.0, 0.003);
    // Decay: down the curve from step 77 (where it equals 1 - 0.645) at 255 steps per 1.26 s;
    // it is within 1% of the break point from the first step where E <= 0.01 x (1 - 0.645).
    const double bp = 20 / 31.0;
    const double within = std::ceil(std::log((0.01 * (1 - bp) + 0.043) / 1.043) / -0.0125);
    EXPECT_NEAR(FirstCrossing(gain, 1300, bp + 0.01 * (1 - bp), false),
                1300 + (within - 77) / 255 * 1260 + lag, 3);
    // Then the level holds at the break point until the stage ends, (2 - 77/255) decay
    // times after it began.
    const int slopeStart = 1300 + int((2 - 77.0 / 255) * 1260);
    EXPECT_NEAR(gain[slopeStart - 300], bp, 0.001);
    EXPECT_NEAR(gain[slopeStart], bp, 0.001);
    // Slope: straight to the sustain level, half way after half of |bp - sus| x 1.05 s.
    const double sus = 8 / 31.0;
    EXPECT_NEAR(FirstCrossing(gain, slopeStart, (bp + sus) / 2, false),
                slopeStart + (bp - sus) / 2 * 1050 + lag, 2);
    EXPECT_NEAR(gain[5990], sus, 0.002);
    // Release: the curve from the present level on, at half speed; half the level from the
    // first step where E <= sus / 2, and silence after the rest of the curve.
    const double half = std::ceil(std::log((sus / 2 + 0.043) / 1.043) / -0.0125) / 255;
    EXPECT_NEAR(FirstCrossing(gain, 6000, sus / 2, false), 6000 + (half - from) * 2 * 1120 + lag,
                3);
    EXPECT_NEAR(FirstCrossing(gain, 6000, 1e-4, false), 6000 + (1 - from) * 2 * 1120, 20);
    EXPECT_FALSE(rig.voice.active);
}

TEST(VoicePath, AmplifierEnvelopeTimingFromTheOutputIn6000Mode) {
    const double fs = 48000;
    VoiceRig rig(fs);
    SetEngine6000(rig.voice, true);
    rig.voice.osc2Level = 0;
    rig.voice.osc1.setWaveform(15);
    Envelope& env = rig.voice.vcaEnv;
    env.setAttack(16 / 31.0);     // 0.63 s
    env.setDecay(17 / 31.0);      // 0.76 s
    env.setBreakPoint(20 / 31.0); // falls to 0.627
    env.setSlope(18 / 31.0);      // 0.92 s, at half speed
    env.setSustain(4 / 31.0);     // 0.129
    env.setRelease(15 / 31.0);    // 0.48 s, at half speed and a quarter under 0.1
    rig.noteOn(69);
    const int held = int(fs * 4), released = int(fs);
    std::vector<double> out = rig.render(held);
    rig.noteOff();
    const std::vector<double> tail = rig.render(released);
    out.insert(out.end(), tail.begin(), tail.end());
    const std::vector<double> gain =
        MillisecondGains(out, SteadyReference(fs, true, 69, held + released), fs);

    const double lag = 3;
    EXPECT_NEAR(FirstCrossing(gain, 0, 0.5, true), 315 + lag, 2);
    const double target = 20 / 31.0 * 1.05 - 0.05;
    const int decayEnd = 630 + int((1 - target) * 760);
    EXPECT_NEAR(FirstCrossing(gain, 640, (1 + target) / 2, false),
                630 + (1 - target) / 2 * 760 + lag, 2);
    const double sus = 4 / 31.0;
    EXPECT_NEAR(FirstCrossing(gain, decayEnd, (target + sus) / 2, false),
                decayEnd + (target - sus) / 2 * 2 * 920 + lag, 2);
    EXPECT_NEAR(gain[3990], sus, 0.002);
    // From 0.129 down: to 0.1 at half speed, then on at a quarter speed.
    EXPECT_NEAR(FirstCrossing(gain, 4000, 0.05, false),
                4000 + (sus - 0.1) * 2 * 480 + 0.05 * 4 * 480 + lag, 2);
    EXPECT_LT(std::fabs(gain.back()), 1e-6);
}

TEST(VoicePath, FilterEnvelopeSweepsTheCutoff) {
    // A sawtooth through a closed filter opened by a slow positive envelope gets brighter.
    VoiceRig rig(44100);
    rig.voice.osc2Level = 0;
    rig.voice.filter.setBaseCutoff(28 * 128.0);
    rig.voice.settings.egInt = 1;
    rig.voice.vcfEnv.setAttack(20 / 31.0);
    rig.noteOn(48);
    rig.render(4410);
    EXPECT_EQ(rig.voice.egAmount, 15142.0);
    // Energy of the slope of the signal over its own energy: rises with the harmonics.
    auto brightness = [&]() {
        const std::vector<double> out = rig.render(4410);
        double slope = 0, level = 0;
        for (size_t i = 1; i < out.size(); ++i) {
            slope += (out[i] - out[i - 1]) * (out[i] - out[i - 1]);
            level += out[i] * out[i];
        }
        return slope / level;
    };
    const double early = brightness();
    rig.render(44100);
    EXPECT_GT(brightness(), 2 * early);
}

TEST(VoicePath, VelocityAndKeyboardTerms) {
    VoiceRig rig(44100);
    rig.voice.settings.egInt = -1;
    rig.voice.refreshNoteTerms(72, 0.25);
    // Without velocity sensitivity velocity changes nothing.
    EXPECT_EQ(rig.voice.vcaGain, 1.0);
    EXPECT_EQ(rig.voice.egAmount, -15142.0);
    EXPECT_EQ(rig.voice.kbdTerm, 0.0);
    rig.voice.settings.vcaVel = 1;
    rig.voice.settings.vcfVel = 1;
    rig.voice.settings.kbdTrack = 0.5;
    rig.voice.refreshNoteTerms(72, 0.25);
    EXPECT_EQ(rig.voice.vcaGain, 0.25);
    EXPECT_EQ(rig.voice.egAmount, 0.25 * 15142);
    EXPECT_EQ(rig.voice.kbdTerm, 12 * 0.5 * 128);
}

TEST(VoicePath, ANewWaveSetIsFetchedAtTheNextControlTick) {
    VoiceRig rig(44100);
    rig.voice.osc2.setWaveform(8);
    rig.noteOn(69);
    EXPECT_EQ(rig.voice.osc2.table(), WaveStore::Table(0, 8, 3));
    SetWaveSet(rig.voice, 1);
    EXPECT_EQ(rig.voice.osc1.currentPitch(), -1);
    EXPECT_EQ(rig.voice.osc2.currentPitch(), -1);
    rig.render(50); // the next control tick fetches the other set
    EXPECT_EQ(rig.voice.osc2.table(), WaveStore::Table(1, 8, 3));
    EXPECT_EQ(rig.voice.osc1.waveSet(), 1);
}

TEST(VoicePath, NeverProducesNaNOrRunsAway) {
    // Full resonance, noise, both oscillators and wild cutoff swings for ten seconds.
    VoiceRig rig(44100, 99);
    rig.voice.filter.setResonance(1);
    rig.voice.noiseLevel = 1;
    rig.voice.settings.egInt = -1;
    rig.voice.filter.setBaseCutoff(88 * 128.0);
    rig.voice.settings.vcaVel = 1;
    Random random(5);
    for (int second = 0; second < 10; ++second) {
        rig.noteOn(random.below(128), (random.below(127) + 1) / 127.0);
        rig.voice.cutoffMod = random.below(30000) - 15000;
        for (double v : rig.render(44100)) {
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_LT(std::fabs(v), 50.0);
        }
    }
}
