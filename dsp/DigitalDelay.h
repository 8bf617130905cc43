// The delay effect after the voice sum. Its line is written at a variable rate, like a clocked
// analog delay line: a step factor K below 1 writes more than one cell per input sample, which
// shortens the delay, and the delay's own triangle LFO moving K bends the pitch of the echoes
// (chorus and flanging). Input and read-back pass 8 kHz low-passes; the fractional write and
// read positions use four-point Catmull-Rom interpolation.
#pragma once

#include "dsp/Filter.h"

#include <vector>

class DigitalDelay {
public:
    // K never goes below this: the lowest legitimate step (factor 0.5 less the deepest
    // modulation 0.49) is 0.01, and anything lower, zero or negative would make the write loop
    // of one sample endless. It also bounds the work per sample to about 1 / kMinStep writes.
    static constexpr double kMinStep = 0.01;

    // Unset settings (factor, modulation 0), then setup(44100); the instrument applies its
    // program's parameters before audio runs.
    DigitalDelay();

    // (Re)allocates the 0.6 s line, zeroed, and restarts writing; keeps the settings, the read
    // offset following the time setting. Rates are limited to 1 kHz .. 1.536 MHz.
    void setup(double sampleRate);
    // After a sample-rate change: setup(fs), then the shortest time, factor 1, the default
    // modulation rate and the depth for the shortest time, until the parameters are set again.
    void resetForRate(double sampleRate);

    // Settings in engine units; values outside a setting's range are limited to it and NaN
    // leaves the setting unchanged. They take effect at the next sample (K at the next
    // modulation step).
    void setTime(int timeIndex);       // 0..7: read offset = L >> (7 - timeIndex)
    void setFactor(double factor);     // 0.5..1, the step factor without modulation
    void setFeedback(double feedback); // -1..0
    void setModRate(double rate);      // 0..1, LFO phase step per control tick
    void setModAmount(double amount);  // 0..1
    void setDw6000(bool on);           // the 6000 behaviour modulates deeper

    // Once per control tick: advances the LFO and sets K.
    void modulationStep();
    // Once per sample: the echo of the input (not yet scaled by the level).
    double process(double x);

    int lineLength() const { return length_; }
    int readOffset() const { return readOffset_; }
    double stepFactor() const { return k_; }

private:
    void updateDepth();

    double modAbs_ = 0;
    double modPhase_ = -1; // triangle LFO phase in [-1, 1)
    double modRate_ = 0;
    LowPass inputFilter_, feedbackFilter_;
    double in0_ = 0, in1_ = 0, in2_ = 0, in3_ = 0;     // filtered input, in3_ newest
    double out0_ = 0, out1_ = 0, out2_ = 0, out3_ = 0; // filtered read-back, out3_ newest
    std::vector<double> buffer_;
    int length_ = 0;
    int writeIndex_ = 0; // moves downward
    double frac_ = 0;    // fraction of the write position
    double k_ = 1, invK_ = 1;
    double modDepth_ = 0;
    int timeIndex_ = 0;
    double factor_ = 0;
    double feedback_ = 0;
    double modAmount_ = 0;
    int readOffset_ = 0;
    bool dw6000_ = false;
};
