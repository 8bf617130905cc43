// Oscillator pitch offsets, table fetches and phase stepping, and the shared noise source.
#include "TestSupport.h"

#include "dsp/Noise.h"
#include "dsp/Oscillator.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(Oscillator, DetuneStepsGiveTheDocumentedPitchSteps) {
    // The detune's seven steps spread evenly over 0..0.9.
    const int expected[7] = {0, 1, 5, 10, 18, 28, 41};
    Oscillator osc;
    for (int step = 0; step <= 6; ++step) {
        osc.setDetune(0.9 * (step / 6.0));
        EXPECT_EQ(osc.pitchOffset(), expected[step]) << step;
        EXPECT_EQ(osc.detuneUnits(), expected[step]) << step;
    }
}

TEST(Oscillator, OctaveAndIntervalMoveByWholeSemitones) {
    Oscillator osc;
    osc.setOctave(-1); // 16'
    EXPECT_EQ(osc.pitchOffset(), -12 * 128);
    osc.setOctave(1); // 4'
    EXPECT_EQ(osc.pitchOffset(), 12 * 128);
    osc.setOctave(0);
    for (int semitones : {0, 3, 4, 5, 7}) {
        osc.setInterval(semitones);
        EXPECT_EQ(osc.pitchOffset(), semitones * 128);
    }
    // Octave, interval and detune add up.
    osc.setOctave(-1);
    osc.setDetune(0.9);
    EXPECT_EQ(osc.pitchOffset(), (7 - 12) * 128 + 41);
}

TEST(Oscillator, PitchIsTruncatedAndClampedToTheTables) {
    Oscillator osc;
    EXPECT_EQ(osc.pitchFor(8832.9), 8832);
    EXPECT_EQ(osc.pitchFor(-0.5), 0);
    EXPECT_EQ(osc.pitchFor(-3000), 0);
    EXPECT_EQ(osc.pitchFor(17280.5), 17280);
    EXPECT_EQ(osc.pitchFor(99999), 17280);
    osc.setOctave(-1);
    EXPECT_EQ(osc.pitchFor(1000), 0); // a low octave below note 0 plays 8.176 Hz
}

TEST(Oscillator, FetchTakesStepAndBandTableOfThePitch) {
    EnsureWaveStore();
    Random random(3);
    Oscillator osc;
    osc.reset(44100, random);
    EXPECT_EQ(osc.increment(), 0u);
    osc.setWaveform(4);
    osc.fetch(8832);
    EXPECT_EQ(osc.increment(), 1339133u);
    EXPECT_EQ(osc.table(), WaveStore::Table(0, 4, 3));
    // A new waveform or set is fetched at the next tick even on the same pitch.
    osc.setWaveSet(1);
    EXPECT_EQ(osc.currentPitch(), -1);
    osc.fetch(8832);
    EXPECT_EQ(osc.table(), WaveStore::Table(1, 4, 3));
    osc.setWaveform(99);
    EXPECT_EQ(osc.waveform(), 15);
}

TEST(Oscillator, StepsTheTruncatedPhaseThroughTheTable) {
    EnsureWaveStore();
    Random random(11);
    Oscillator osc;
    osc.reset(48000, random);
    osc.fetch(7000);
    const uint32_t step = uint32_t(PitchToFrequency(7000) * 134217728.0 / 48000);
    uint32_t phase = osc.phase();
    EXPECT_EQ(phase & 0xFFFF, 0u); // starts on a table sample
    const float* table = osc.table();
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(osc.next(), table[phase >> 16]) << i;
        phase = (phase + step) % 134217728u;
    }
}

TEST(Oscillator, ResetAtANewRateRefetchesTheSamePitch) {
    // A reset leaves no stale step behind: the same pitch after a rate change must sound.
    EnsureWaveStore();
    Random random(5);
    Oscillator osc;
    osc.reset(44100, random);
    osc.fetch(8832);
    osc.reset(48000, random);
    osc.fetch(8832);
    EXPECT_EQ(osc.increment(), uint32_t(440.0 * 134217728 / 48000));
    EXPECT_NE(osc.increment(), 0u);
}

TEST(Oscillator, StartingPhaseComesFromTheSeededGenerator) {
    Oscillator a, b, c;
    Random first(42), second(42), third(43);
    a.reset(44100, first);
    b.reset(44100, second);
    c.reset(44100, third);
    EXPECT_EQ(a.phase(), b.phase());
    EXPECT_LT(a.phase(), 134217728u);
    EXPECT_EQ(a.phase() & 0xFFFF, 0u);
    // Over many resets the 2048 starting positions are all reachable.
    Random random(9);
    bool seen[2048] = {};
    int distinct = 0;
    for (int i = 0; i < 40000; ++i) {
        a.reset(44100, random);
        const uint32_t position = a.phase() >> 16;
        distinct += !seen[position];
        seen[position] = true;
    }
    EXPECT_EQ(distinct, 2048);
}

TEST(Oscillator, LevelZeroFreezesThePhaseAndIdleVoicesRunOn) {
    VoiceRig rig(44100);
    rig.voice.osc2Level = 0;
    rig.noteOn(69);
    const uint32_t frozen = rig.voice.osc2.phase();
    const uint32_t running = rig.voice.osc1.phase();
    rig.render(100);
    EXPECT_EQ(rig.voice.osc2.phase(), frozen);
    EXPECT_NE(rig.voice.osc1.phase(), running);
    // Raising the level again continues from the frozen phase.
    rig.voice.osc2Level = 1;
    rig.voice.sample();
    EXPECT_EQ(rig.voice.osc2.phase(), (frozen + rig.voice.osc2.increment()) % 134217728u);

    // An idle voice yields silence and advances by a millisecond's steps per sample.
    VoiceRig idle(44100);
    idle.voice.followPitch(8832, 8832);
    const uint32_t before = idle.voice.osc1.phase();
    EXPECT_EQ(idle.voice.sample(), 0.0);
    EXPECT_EQ(idle.voice.osc1.phase(), uint32_t((before + 1339133ull * 44) % 134217728u));
}

TEST(Oscillator, VeryHighPitchesAtLowRatesAreSilent) {
    VoiceRig rig(32000); // 19.9 kHz lies above the Nyquist frequency here
    rig.voice.osc1.setOctave(1);
    rig.voice.osc2Level = 0;
    rig.noteOn(127);
    EXPECT_EQ(rig.voice.osc1.currentPitch(), 17280);
    // Once the filter's starting state has died away, nothing sounds.
    EXPECT_LT(PeakAbs(rig.render(4000), 2000, 4000), 1e-9);
}

TEST(SharedNoise, IsAMultiplicativeGeneratorOnASharedSeed) {
    SharedNoise::SetSeed(1);
    int64_t seed = 1;
    for (int i = 0; i < 1000; ++i) {
        seed = (seed * 16807) & 0xFFFFFFFF;
        const int32_t expected = int32_t(seed >= 0x80000000 ? seed - 0x100000000 : seed);
        ASSERT_EQ(SharedNoise::Next(), expected) << i;
    }
    SharedNoise::SetSeed(1);
    EXPECT_EQ(SharedNoise::Next(), 16807);
    EXPECT_EQ(SharedNoise::Next(), 282475249);
}

TEST(SharedNoise, AdvancesOnlyForVoicesWithNoise) {
    VoiceRig quiet(44100);
    quiet.noteOn(60);
    SharedNoise::SetSeed(1);
    quiet.render(500);
    EXPECT_EQ(SharedNoise::Seed(), 1);

    VoiceRig noisy(44100);
    noisy.voice.osc1Level = noisy.voice.osc2Level = 0;
    noisy.voice.noiseLevel = 1;
    noisy.noteOn(60);
    SharedNoise::SetSeed(1);
    const std::vector<double> out = noisy.render(500);
    int32_t expected = 1;
    for (int i = 0; i < 500; ++i)
        expected = int32_t(uint32_t(expected) * 16807u);
    EXPECT_EQ(SharedNoise::Seed(), expected);
    EXPECT_GT(PeakAbs(out, 100, 500), 0.01);
}
