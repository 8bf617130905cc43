// One of a voice's two oscillators: reads a band-limited single-cycle table with a 27-bit
// integer phase, choosing the table and the phase step from its pitch once per control tick.
#pragma once

#include "dsp/Random.h"
#include "dsp/RateTables.h"
#include "dsp/WaveStore.h"

#include <cstdint>

class Oscillator {
public:
    // Takes the tables of the sample rate, starts from a random phase and forces the table and
    // step to be fetched again at the next control tick, even for the same pitch (the step of
    // the old rate is no longer valid).
    void reset(double sampleRate, Random& random);

    // Pitch offsets relative to the voice: octave -1, 0, +1; interval in semitones; detune
    // 0..0.9, which becomes round(50 * detune^2) pitch steps.
    void setOctave(int octave);
    void setInterval(int semitones);
    void setDetune(double detune);
    // Waveform 0..15 and waveform set 0..1; either forces a table fetch at the next tick.
    void setWaveform(int waveform);
    void setWaveSet(int set);

    // The clamped table index this oscillator plays for a voice pitch (auto bend included).
    int pitchFor(double voicePitch) const;
    // Takes the step and table for a clamped pitch index when it differs from the last one.
    void fetch(int pitch);
    // Once per control tick: pitchFor, then fetch.
    void follow(double voicePitch) { fetch(pitchFor(voicePitch)); }

    // One sample of the waveform (truncating table read), then the phase step.
    double next() {
        const double sample = table_ ? table_[phase_ >> 16] : 0.0;
        phase_ = (phase_ + increment_) & kPhaseMask;
        return sample;
    }
    // While its voice is silent the phase keeps running (a millisecond's worth per sample), so
    // each note starts from an unpredictable phase.
    void advanceIdle() {
        phase_ =
            static_cast<uint32_t>((phase_ + uint64_t(increment_) * samplesPerMs_) & kPhaseMask);
    }

    int pitchOffset() const { return pitchOffset_; }
    int detuneUnits() const;
    int waveform() const { return waveform_; }
    int waveSet() const { return set_; }
    int currentPitch() const { return currentPitch_; }
    uint32_t phase() const { return phase_; }
    uint32_t increment() const { return increment_; }
    const float* table() const { return table_; }

private:
    // Runs many oscillators over a stretch of samples, reading and writing the phase directly.
    friend class VoiceRenderer;

    void updatePitchOffset();

    double detune_ = 0;
    int set_ = 0;
    int waveform_ = 0;
    int octave_ = 0;
    int interval_ = 0;
    int pitchOffset_ = 0;
    int currentPitch_ = -1; // -1: fetch at the next control tick
    const float* table_ = nullptr;
    uint32_t phase_ = 0;
    uint32_t increment_ = 0;
    uint64_t samplesPerMs_ = 0;
    const RateTables* rateTables_ = nullptr;
};
