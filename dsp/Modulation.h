// The instrument-wide modulation, computed once per control tick: the MG with its delayed
// fade-in, the aftertouch smoother, and the pitch, cutoff and gain sums that the wheel, breath
// controller, pitch bend and aftertouch feed.
#pragma once

#include "dsp/Filter.h"

// Depths of every routing, in engine units (pitch steps, or gain).
struct ModulationAmounts {
    double mgOsc = 0;    // "MG Osc" 0..1
    double mgVcf = 0;    // MG depth on the cutoff, pitch steps
    double bendOsc = 0;  // pitch steps at full bend
    double bendVcf = 0;  // cutoff steps at full bend
    double atOsc = 0;    // aftertouch to MG pitch depth, 0..1
    double atVcf = 0;    // cutoff steps at full aftertouch
    double atVca = 0;    // gain added at full aftertouch
    double wheelOsc = 0; // undelayed MG pitch depth at full wheel, pitch steps
    double wheelVcf = 0; // undelayed MG cutoff depth at full wheel (or breath), pitch steps
    double volume = 0.25;
    double tune = 0;             // pitch steps
    bool breathDrivesVcf = true; // the cutoff's crossfade follows breath, else the wheel
};

// Controller positions as MIDI last set them.
struct ControllerInputs {
    double bend = 0;       // -1..1
    double aftertouch = 0; // 0..1
    double wheel = 0;      // 0..1
    double breath = 0;     // 0..1
};

struct ModulationOutputs {
    double pitchMod = 0;  // pitch steps, for every voice
    double cutoffMod = 0; // pitch steps of cutoff, for every voice
    double gain = 0;      // output gain
};

class Modulation {
public:
    enum Waveform { kTriangle = 0, kSaw = 1, kRamp = 2, kRect = 3 };

    Modulation();

    // "MG Frequency" normalised; the period comes from the table of the present mode.
    void setFrequency(double setting);
    // 6000 behaviour: the MG's other period table; the rate follows at once.
    void setDw6000(bool on);
    void setWaveform(int waveform) { waveform_ = waveform; }
    // "MG Delay" normalised: the fade-in step per tick.
    void setDelay(double setting) { delayRate_ = 1.0 / (setting * 5.0 * 1000.0 + 1.0); }
    // Fades the MG in afresh (when the first key goes down).
    void restartDelay() { delayLevel_ = 0; }
    // After a sample-rate change the MG starts undelayed.
    void resetDelay() { delayLevel_ = 1, delayRate_ = 1; }

    // One control tick. Unison gain multiplies the output gain (1 outside unison).
    ModulationOutputs tick(const ControllerInputs& in, const ModulationAmounts& amounts,
                           double unisonGain);

    double rate() const { return rate_; }
    double phase() const { return phase_; }
    double delayLevel() const { return delayLevel_; }
    double out() const { return out_; }

private:
    double out_ = 0;
    double setting_ = 0;
    double phase_ = 0;
    double rate_ = 0;
    int waveform_ = kTriangle;
    bool dw6000_ = false;
    double delayLevel_ = 1;
    double delayRate_ = 1;
    LowPass aftertouchSmoother_;
};
