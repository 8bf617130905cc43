// The sound of one voice: two oscillators and noise into the ladder filter, then the
// amplifier, with the filter and amplifier envelopes each smoothed by an 80 Hz low-pass. The
// voice object owns one, drives its control inputs once per control tick and asks it for one
// sample at a time.
#pragma once

#include "dsp/Envelope.h"
#include "dsp/Filter.h"
#include "dsp/LadderFilter.h"
#include "dsp/Noise.h"
#include "dsp/Oscillator.h"
#include "dsp/Random.h"

// Settings the parameter translation writes and the control tick reads.
struct VoiceSettings {
    double noiseSetting = 0; // "Noise Level" normalised; the level depends on the engine mode
    double egIntensity = 0;  // "VCF EG Intensity" normalised, without its sign
    bool egNegative = false; // "VCF EG Polarity" is "NEG."
    double egInt = 0;        // the signed intensity
    double kbdTrack = 0;     // 0, 0.25, 0.5 or 1
    double vcfVel = 0, vcaVel = 0;
    bool dw6000 = false; // engine behaviour "6000"
    // Pitch movement at note-on: auto bend and portamento.
    bool bendOsc1 = false, bendOsc2 = false, bendDown = false;
    double bendTime = 0, bendIntensity = 0, portaTime = 0;
};

class VoicePath {
public:
    Oscillator osc1, osc2;
    LadderFilter filter;
    Envelope vcfEnv, vcaEnv;
    LowPass vcfSmooth, vcaSmooth;

    double osc1Level = 0, osc2Level = 0, noiseLevel = 0;
    VoiceSettings settings;

    // Inputs refreshed once per control tick.
    double kbdTerm = 0;   // keyboard tracking of the cutoff, pitch steps
    double cutoffMod = 0; // modulation of the cutoff, pitch steps
    double egAmount = 0;  // cutoff swing of the whole filter envelope, pitch steps
    double vcaGain = 1;   // velocity scaling of the amplifier
    // True while the amplifier envelope runs; taken at each control tick.
    bool active = false;

    // Rate-dependent state of every unit; the envelopes idle, the smoothers at 80 Hz.
    void reset(double sampleRate, Random& random);

    // Control tick: the note-dependent terms for a MIDI note number and a velocity 0..1.
    void refreshNoteTerms(double note, double velocity);
    // Control tick: each oscillator's pitch (voice pitch plus any auto bend), as pitch steps.
    void followPitch(double osc1Pitch, double osc2Pitch) {
        osc1.follow(osc1Pitch);
        osc2.follow(osc2Pitch);
    }
    // Control tick: a voice sounds while its amplifier envelope has not ended.
    void refreshActive() { active = vcaEnv.stage() != Envelope::kIdle; }

    // One sample of the voice: 0 (with the oscillators running on) while not active.
    double sample();

    // Truncates a cutoff sum toward zero; sums far outside the tables are held at a safe size.
    static int CutoffIndex(double sum) {
        if (sum >= 1e9) return 1000000000;
        if (sum > -1e9) return static_cast<int>(sum);
        return -1000000000; // also for NaN
    }
};
