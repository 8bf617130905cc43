// Second-order filters (direct form I) for smoothing and band shaping: the envelope smoothers,
// the aftertouch smoother, the delay's low-passes and the tape reader's filters.
#pragma once

#include <cmath>

class Filter {
public:
    virtual ~Filter() = default;

    // Clears the state and computes the coefficients for a cutoff in Hz.
    virtual void setup(double sampleRate, double cutoffHz) = 0;

    // One sample. A tiny offset that flips sign every sample is added to the input and to every
    // state value, which keeps the recursion out of the slow denormal range; a NaN in the input
    // or the state is replaced by 0 instead of spreading.
    double process(double x) {
        x = std::isnan(x) ? 0.0 : x + d_;
        x1_ = std::isnan(x1_) ? 0.0 : x1_ + d_;
        x2_ = std::isnan(x2_) ? 0.0 : x2_ + d_;
        y1_ = std::isnan(y1_) ? 0.0 : y1_ + d_;
        y2_ = std::isnan(y2_) ? 0.0 : y2_ + d_;
        d_ = -d_;
        const double y = (x + x2_) * c0_ + x1_ * c1_ + y1_ * a_ + y2_ * b_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

protected:
    // Runs pairs of these filters in lockstep, reading and writing the state directly.
    friend class VoiceRenderer;

    // Clears the state; returns the shared terms of both kinds: cos w and the normaliser n.
    void prepare(double sampleRate, double cutoffHz, double& cosW, double& n);

    double a_ = 0;  // feedback on y1
    double b_ = 0;  // feedback on y2
    double c0_ = 0; // applied to x + x2
    double c1_ = 0; // applied to x1
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
    double d_ = 1e-13;
};

// Two-pole low-pass with a Butterworth response (-3 dB at the cutoff).
class LowPass : public Filter {
public:
    void setup(double sampleRate, double cutoffHz) override;
};

// Two-pole high-pass with a Butterworth response (-3 dB at the cutoff).
class HighPass : public Filter {
public:
    void setup(double sampleRate, double cutoffHz) override;
};
