#include "dsp/Envelope.h"

#include <cmath>

Envelope::Envelope() {
    const EnvelopeCurves& curves = GetEnvelopeCurves();
    curve_ = curves.e;
    curvePosition_ = curves.p;
}

void Envelope::reset(double sampleRate) {
    stage_ = kIdle;
    pos_ = 0;
    inc_ = 0;
    out_ = 0;
    if (sampleRate > 0) secondsPerSample_ = 1 / sampleRate;
}

const double* Envelope::attackTable() const {
    return EnvelopeTimeTable(dw6000_ ? EnvelopeTimes::All6000 : EnvelopeTimes::Attack8000);
}
const double* Envelope::decayTable() const {
    return EnvelopeTimeTable(dw6000_ ? EnvelopeTimes::All6000 : EnvelopeTimes::Decay8000);
}
const double* Envelope::slopeTable() const {
    return EnvelopeTimeTable(dw6000_ ? EnvelopeTimes::All6000 : EnvelopeTimes::Slope8000);
}
// The 8000 release takes its times from the decay table.
const double* Envelope::releaseTable() const {
    return decayTable();
}

void Envelope::gate() {
    if (singleTrigger_ && stage_ >= kAttack && stage_ <= kSlope) return;
    if (dw6000_)
        out_ = pos_;
    else
        pos_ = out_; // the attack starts from the present level
    stage_ = kAttack;
    inc_ = secondsPerSample_ / EnvelopeTime(attackTable(), attack_);
}

void Envelope::release() {
    if (!(out_ > 0)) {
        out_ = 0;
        pos_ = 0;
        stage_ = kIdle;
        return;
    }
    stage_ = kRelease;
    if (dw6000_) {
        pos_ = out_;
    } else {
        // The point on the curve that equals the present level. The decay can leave the level
        // a little above 1, so the index is kept inside the table.
        const double k = std::floor((1 - out_) * 31);
        pos_ = curvePosition_[k >= 31 ? 31 : (k > 0 ? static_cast<int>(k) : 0)];
    }
    inc_ = secondsPerSample_ / EnvelopeTime(releaseTable(), release_) * 0.5;
}

void Envelope::run(double* out, int stride, int n) {
    // A local copy that nothing else can see, with every stage change inlined into it; each
    // stretch in one stage runs without the stage dispatch.
    Envelope local = *this;
    for (int i = 0; i < n;)
        i = local.dw6000_ ? local.runFrom<true>(out, stride, i, n)
                          : local.runFrom<false>(out, stride, i, n);
    *this = local;
}

template <bool Dw6000> int Envelope::runFrom(double* out, int stride, int i, int n) {
    switch (stage_) {
    case kAttack:
        return runStage<Dw6000, kAttack>(out, stride, i, n);
    case kDecay:
        return runStage<Dw6000, kDecay>(out, stride, i, n);
    case kSlope:
        return runStage<Dw6000, kSlope>(out, stride, i, n);
    case kRelease:
        return runStage<Dw6000, kRelease>(out, stride, i, n);
    default:
        return runStage<Dw6000, kIdle>(out, stride, i, n);
    }
}

void Envelope::startDecay8000() {
    out_ = 1;
    stage_ = kDecay;
    // Starts where the curve equals 1 - break point, so with the break point added the level
    // falls from 1 to the break point; then it holds there for the rest of the stage.
    pos_ = curvePosition_[static_cast<int>(std::floor(breakPoint_ * 31))] * 0.5;
    inc_ = secondsPerSample_ / EnvelopeTime(decayTable(), decay_) * 0.5;
}

void Envelope::startSlope8000() {
    stage_ = kSlope;
    out_ = pos_ = breakPoint_;
    inc_ = secondsPerSample_ / EnvelopeTime(slopeTable(), slope_);
}

void Envelope::startDecay6000() {
    stage_ = kDecay;
    pos_ = 1;
    inc_ = secondsPerSample_ / EnvelopeTime(decayTable(), decay_);
}

void Envelope::startSlope6000(double target) {
    stage_ = kSlope;
    pos_ = target;
    inc_ = secondsPerSample_ / EnvelopeTime(slopeTable(), slope_) * 0.5;
}

void Envelope::setAttack(double p) {
    attack_ = Unit(p);
    if (stage_ == kAttack) inc_ = secondsPerSample_ / EnvelopeTime(attackTable(), attack_);
}

void Envelope::setDecay(double p) {
    decay_ = Unit(p);
    if (stage_ == kDecay) inc_ = secondsPerSample_ / EnvelopeTime(decayTable(), decay_);
}

void Envelope::setSlope(double p) {
    slope_ = Unit(p);
    if (stage_ == kSlope) inc_ = secondsPerSample_ / EnvelopeTime(slopeTable(), slope_);
}

void Envelope::setRelease(double p) {
    release_ = Unit(p);
    if (stage_ == kRelease) inc_ = secondsPerSample_ / EnvelopeTime(releaseTable(), release_);
}
