// A six-setting envelope generator (attack, decay, break point, slope, sustain, release) with
// two behaviours: the 8000 one, whose decay and release follow an exponential curve, and the
// 6000 one, which moves in straight lines (at half speed below 0.1). Runs once per sample.
#pragma once

#include "dsp/EnvelopeTables.h"

class Envelope {
public:
    enum Stage { kIdle = 0, kAttack = 1, kDecay = 2, kSlope = 3, kRelease = 4 };

    Envelope();

    // Idle at level 0, timed for the sample rate.
    void reset(double sampleRate);

    // Note-on: starts the attack (the 8000 behaviour from the present level). With single
    // trigger, an envelope still in attack, decay or slope carries on instead.
    void gate();
    // Note-off: starts the release from the present level; at level 0 the envelope just ends.
    void release();

    // One sample.
    void tick() {
        if (dw6000_)
            tick6000();
        else
            tick8000();
    }

    // n samples at once, exactly as n calls of tick(), writing each output to out[0],
    // out[stride], out[2 * stride], ...; the state stays in registers meanwhile.
    void run(double* out, int stride, int n);

    // Settings are 0..1 (panel value / 31). A time setting changed during its own stage
    // changes the running stage's speed at once.
    void setAttack(double p);
    void setDecay(double p);
    void setSlope(double p);
    void setRelease(double p);
    void setBreakPoint(double p) { breakPoint_ = Unit(p); }
    void setSustain(double p) { sustain_ = Unit(p); }
    void setSingleTrigger(bool on) { singleTrigger_ = on; }
    void setDw6000(bool on) { dw6000_ = on; }

    double out() const { return out_; }
    int stage() const { return stage_; }
    double position() const { return pos_; }
    double step() const { return inc_; }
    bool dw6000() const { return dw6000_; }

private:
    // Runs several envelopes side by side, reading and writing the state directly.
    friend class VoiceRenderer;

    static double Unit(double p) { return p >= 1 ? 1.0 : (p > 0 ? p : 0.0); }

    void tick8000() {
        switch (stage_) {
        case kAttack:
            tick8000In<kAttack>();
            break;
        case kDecay:
            tick8000In<kDecay>();
            break;
        case kSlope:
            tick8000In<kSlope>();
            break;
        case kRelease:
            tick8000In<kRelease>();
            break;
        default:
            tick8000In<kIdle>();
            break;
        }
    }

    // One sample of the 8000 behaviour in a known stage.
    template <int Stage> void tick8000In() {
        if (pos_ < 0) pos_ = 0;
        if constexpr (Stage == kAttack) {
            if (pos_ < 1) {
                out_ = pos_;
                pos_ += inc_;
            } else {
                startDecay8000();
            }
        } else if constexpr (Stage == kDecay) {
            if (pos_ < 0.5) {
                out_ = curve_[static_cast<int>(pos_ * 510)] + breakPoint_;
                pos_ += inc_;
            } else if (pos_ < 1) {
                out_ = breakPoint_; // holds at the break point for the rest of the stage
                pos_ += inc_;
            } else {
                startSlope8000();
            }
        } else if constexpr (Stage == kSlope) {
            if (sustain_ > pos_)
                pos_ += inc_;
            else if (pos_ > sustain_)
                pos_ -= inc_;
            out_ = pos_;
        } else if constexpr (Stage == kRelease) {
            if (pos_ < 1) {
                out_ = curve_[static_cast<int>(pos_ * 255)];
                pos_ += inc_;
            } else {
                out_ = 0;
                pos_ = 0;
                stage_ = kIdle;
            }
        }
    }

    void tick6000() {
        switch (stage_) {
        case kAttack:
            tick6000In<kAttack>();
            break;
        case kDecay:
            tick6000In<kDecay>();
            break;
        case kSlope:
            tick6000In<kSlope>();
            break;
        case kRelease:
            tick6000In<kRelease>();
            break;
        default:
            tick6000In<kIdle>();
            break;
        }
    }

    // One sample of the 6000 behaviour in a known stage.
    template <int Stage> void tick6000In() {
        if constexpr (Stage == kAttack) {
            if (pos_ < 1)
                pos_ += inc_;
            else
                startDecay6000();
        } else if constexpr (Stage == kDecay) {
            const double target = breakPoint_ * 1.05 - 0.05;
            if (pos_ > target)
                pos_ -= pos_ <= 0.1 ? inc_ * 0.5 : inc_;
            else
                startSlope6000(target);
        } else if constexpr (Stage == kSlope) {
            if (pos_ < sustain_)
                pos_ += inc_;
            else if (pos_ > sustain_)
                pos_ -= inc_;
        } else if constexpr (Stage == kRelease) {
            if (pos_ > 0) {
                pos_ -= pos_ <= 0.1 ? inc_ * 0.5 : inc_;
            } else {
                pos_ = 0;
                stage_ = kIdle;
            }
        }
        out_ = pos_ > 0 ? pos_ : 0.0;
    }

    // Ticks from out[i] on while the stage holds (at least once); returns the next i.
    template <bool Dw6000, int Stage> int runStage(double* out, int stride, int i, int n) {
        do {
            if constexpr (Dw6000)
                tick6000In<Stage>();
            else
                tick8000In<Stage>();
            out[i * stride] = out_;
            ++i;
        } while (i < n && stage_ == Stage);
        return i;
    }

    // The stretch from out[i] on in the present stage, by runStage; returns the next i.
    template <bool Dw6000> int runFrom(double* out, int stride, int i, int n);

    void startDecay8000();
    void startSlope8000();
    void startDecay6000();
    void startSlope6000(double target);
    // The time table of a setting in the present behaviour.
    const double* attackTable() const;
    const double* decayTable() const;
    const double* slopeTable() const;
    const double* releaseTable() const;

    double out_ = 0;
    double attack_ = 0, decay_ = 0, breakPoint_ = 0, slope_ = 0, sustain_ = 0, release_ = 0;
    bool singleTrigger_ = false;
    bool dw6000_ = false;
    int stage_ = kIdle;
    double pos_ = 0;                  // position on the curve (8000) or level (6000)
    double inc_ = 0;                  // per-sample step of pos_
    double secondsPerSample_ = 0.001; // until the first reset
    const double* curve_;             // E
    const double* curvePosition_;     // P
};
