// The translation of panel values into the state of a voice's units: choices, ranges and curves
// that only the instrument knows.
#include "instrument/VoiceParameters.h"
#include "instrument/ParameterTable.h"

#include <gtest/gtest.h>

namespace {

// A voice as a fresh program leaves it: every parameter at its default.
class VoiceParametersTest : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kNumParams; ++i)
            Set(i, kParameterTable[i].defaultValue);
    }
    // A panel value, with its normalised value from the parameter's range as the instrument
    // passes it.
    void Set(int index, double value) {
        const ParameterInfo& info = kParameterTable[index];
        ApplyVoiceParameter(voice, index, value, (value - info.min) / (info.max - info.min));
    }
    // Whether gating an envelope while it runs carries on instead of starting over.
    static bool SingleTrigger(Envelope& envelope) {
        envelope.reset(44100);
        envelope.gate();
        for (int i = 0; i < 100000 && envelope.stage() == Envelope::kAttack; ++i)
            envelope.tick();
        envelope.gate();
        return envelope.stage() != Envelope::kAttack;
    }

    VoicePath voice;
};

} // namespace

TEST_F(VoiceParametersTest, OscillatorChoicesAndSteps) {
    Set(kOsc1Octave, 0); // 16'
    EXPECT_EQ(voice.osc1.pitchOffset(), -12 * 128);
    Set(kOsc1Octave, 2); // 4'
    EXPECT_EQ(voice.osc1.pitchOffset(), 12 * 128);
    Set(kOsc2Detune, 0);
    const int semitones[5] = {0, 3, 4, 5, 7}; // "1", "-3", "3", "4", "5"
    for (int i = 0; i < 5; ++i) {
        Set(kOsc2Interval, i);
        EXPECT_EQ(voice.osc2.pitchOffset(), semitones[i] * 128) << i;
    }
    Set(kOsc2Interval, 0);
    const int detune[7] = {0, 1, 5, 10, 18, 28, 41};
    for (int value = 0; value <= 6; ++value) {
        Set(kOsc2Detune, value);
        EXPECT_EQ(voice.osc2.pitchOffset(), detune[value]) << value;
        EXPECT_EQ(voice.osc1.pitchOffset(), 12 * 128) << "only oscillator 2 detunes";
    }
    // Panel waveforms 1..16 are tables 0..15; the wave set reaches both oscillators.
    Set(kOsc1Waveform, 16);
    EXPECT_EQ(voice.osc1.waveform(), 15);
    Set(kOsc1Waveform, 1);
    EXPECT_EQ(voice.osc1.waveform(), 0);
    Set(kOsc2Waveform, 9);
    EXPECT_EQ(voice.osc2.waveform(), 8);
    Set(kWaveSet, 1);
    EXPECT_EQ(voice.osc1.waveSet(), 1);
    EXPECT_EQ(voice.osc2.waveSet(), 1);
}

TEST_F(VoiceParametersTest, FilterAndNoteTermSettings) {
    // Cutoff: two semitones per step, from note 8.
    EXPECT_EQ(voice.filter.baseCutoff(), 134 * 128); // the default 63
    Set(kVcfCutoff, 0);
    EXPECT_EQ(voice.filter.baseCutoff(), 8 * 128);
    Set(kVcfCutoff, 30);
    EXPECT_EQ(voice.filter.baseCutoff(), 68 * 128);
    Set(kVcfResonance, 31);
    EXPECT_DOUBLE_EQ(voice.filter.resonance(), 1.0);
    Set(kVcfResonance, 0);
    EXPECT_EQ(voice.filter.resonance(), 0.0);
    // Polarity and intensity make one signed amount, whichever of them changes last.
    Set(kVcfEgIntensity, 31);
    Set(kVcfEgPolarity, 1);
    EXPECT_EQ(voice.settings.egInt, -1.0);
    Set(kVcfEgIntensity, 15.5);
    EXPECT_EQ(voice.settings.egInt, -0.5);
    Set(kVcaEgVelocity, 7);
    Set(kVcfEgVelocity, 7);
    EXPECT_EQ(voice.settings.vcaVel, 1.0);
    EXPECT_EQ(voice.settings.vcfVel, 1.0);
    const double track[4] = {0, 0.25, 0.5, 1}; // "0", "1/4", "1/2", "1"
    for (int i = 0; i < 4; ++i) {
        Set(kVcfKbdTrack, i);
        EXPECT_EQ(voice.settings.kbdTrack, track[i]) << i;
    }
}

TEST_F(VoiceParametersTest, EngineModeSwitchesEnvelopesAndNoiseCurve) {
    Set(kNoiseLevel, 31);
    EXPECT_EQ(voice.noiseLevel, 1.0);
    Set(kNoiseLevel, 15.5);
    EXPECT_EQ(voice.noiseLevel, 0.5);
    Set(kEngineMode, 1);
    EXPECT_DOUBLE_EQ(voice.noiseLevel, 0.8 * 0.25); // recomputed for the new mode
    EXPECT_TRUE(voice.settings.dw6000);
    EXPECT_TRUE(voice.vcfEnv.dw6000());
    EXPECT_TRUE(voice.vcaEnv.dw6000());
    Set(kEngineMode, 0);
    EXPECT_EQ(voice.noiseLevel, 0.5);
    EXPECT_FALSE(voice.vcfEnv.dw6000());
    EXPECT_FALSE(voice.vcaEnv.dw6000());
}

TEST_F(VoiceParametersTest, OnlyModeUnison2MakesBothEnvelopesSingleTrigger) {
    for (int mode = 0; mode < 4; ++mode) {
        Set(kAssignMode, mode);
        EXPECT_EQ(SingleTrigger(voice.vcfEnv), mode == 3) << mode;
        EXPECT_EQ(SingleTrigger(voice.vcaEnv), mode == 3) << mode;
    }
}

TEST_F(VoiceParametersTest, PitchSweepSettings) {
    Set(kAutoBendSelect, 2);
    EXPECT_FALSE(voice.settings.bendOsc1);
    EXPECT_TRUE(voice.settings.bendOsc2);
    Set(kAutoBendSelect, 3);
    EXPECT_TRUE(voice.settings.bendOsc1 && voice.settings.bendOsc2);
    Set(kAutoBendMode, 1);
    EXPECT_TRUE(voice.settings.bendDown);
    // The top of the time range stretches to two and then eight seconds.
    Set(kAutoBendTime, 20);
    EXPECT_DOUBLE_EQ(voice.settings.bendTime, 20 / 31.0);
    Set(kAutoBendTime, 25);
    EXPECT_DOUBLE_EQ(voice.settings.bendTime, 2 * 25 / 31.0);
    Set(kAutoBendTime, 31);
    EXPECT_DOUBLE_EQ(voice.settings.bendTime, 8.0);
    Set(kPortamento, 31);
    EXPECT_DOUBLE_EQ(voice.settings.portaTime, 1.0);
}
