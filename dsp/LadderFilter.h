// The voice's resonant four-pole low-pass: four one-pole stages with a soft-limited feedback
// path, tuned from the per-rate tables by an integer cutoff pitch index.
#pragma once

#include "dsp/RateTables.h"

#include <cmath>

class LadderFilter {
public:
    // Takes the tables of the sample rate and returns the stages to their starting state.
    void reset(double sampleRate);

    // Base cutoff as a pitch index (the panel's cutoff), and resonance 0..1.
    void setBaseCutoff(double pitch) { baseCutoff_ = pitch; }
    void setResonance(double resonance) {
        resonance_ = resonance;
        cachedIndex_ = -1;
    }
    double baseCutoff() const { return baseCutoff_; }
    double resonance() const { return resonance_; }

    // One sample; cutoff is the integer pitch offset added to the base cutoff.
    double process(double x, int cutoff) {
        const double sum = cutoff + baseCutoff_;
        // Beyond either end of the tables the end entries apply (NaN counts as the low end).
        const int index = !(sum >= 0) ? 0 : (sum >= kPitchCount ? kMaxPitch : int(sum));
        if (index != cachedIndex_) tune(index);

        s1_ = std::isnan(s1_) ? 0.0 : s1_ + d_;
        s2_ = std::isnan(s2_) ? 0.0 : s2_ + d_;
        s3_ = std::isnan(s3_) ? 0.0 : s3_ + d_;
        s4_ = std::isnan(s4_) ? 0.0 : s4_ + d_;
        d_ = -d_;

        // The output is estimated from the stage states before they move.
        const double y = (((s1_ * g_ + s2_) * g_ + s3_) * g_ + s4_ + x * g4_) * norm_;
        const double o = Limit(0.2 * y);

        const double u = g_ * (x - k_ * o);
        const double y1 = s1_ + u;
        s1_ = u - a_ * y1;
        const double gy1 = g_ * y1;
        const double y2 = s2_ + gy1;
        s2_ = gy1 - a_ * y2;
        const double gy2 = g_ * y2;
        const double y3 = s3_ + gy2;
        s3_ = gy2 - a_ * y3;
        const double gy3 = g_ * y3;
        const double y4 = s4_ + gy3;
        s4_ = gy3 - a_ * y4;
        return y * gainComp_;
    }

    // The output gain that keeps the level steady as the resonance rises and falls.
    static double GainCompensation(double resonance) {
        const double spread = 2 * std::fabs(resonance - 0.5);
        return 2 - spread * spread;
    }

private:
    // Runs pairs of these filters in lockstep, reading and writing the state directly.
    friend class VoiceRenderer;

    // Soft saturation of the feedback: linear near 0, +-5 beyond +-3.
    static double Limit(double q) {
        if (q < -3) return -5;
        if (q > 3) return 5;
        const double q2 = q * q;
        return 5 * q * (q2 + 27) / (9 * q2 + 27);
    }

    void tune(int index);

    const RateTables* tables_ = nullptr;
    double baseCutoff_ = 0;
    double resonance_ = 0;
    double g4_ = 0, g_ = 0, a_ = 0;
    double k_ = 0, gainComp_ = 0, norm_ = 0;
    // The table index the coefficients belong to; -1 forces a recomputation. Kept after the
    // clamp to the tables, so no real cutoff can be mistaken for the marker.
    int cachedIndex_ = -1;
    double s1_ = 0, s2_ = 1.0, s3_ = 0, s4_ = -1.0;
    double d_ = 1e-13;
};
