#include "dsp/DigitalDelay.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr double kLowestRate = 1000.0;
constexpr double kHighestRate = 1536000.0;
constexpr double kLineSeconds = 0.6;
constexpr double kFilterCutoff = 8000.0;
// Below 16 kHz the cutoff would reach Nyquist, where the low-pass turns silent or unstable;
// there it sits a little under Nyquist instead.
constexpr double kHighestCutoffRatio = 0.45;
// An input far beyond any audio level is limited so that no sum in the feedback loop overflows.
constexpr double kLargestInput = 1e30;

// The value between p1 and p2 at t (0..1) of the Catmull-Rom spline through p0..p3.
inline double CatmullRom(double p0, double p1, double p2, double p3, double t) {
    return p1 + 0.5 * t * (p2 - p0) + t * t * (p0 - 2.5 * p1 + 2 * p2 - 0.5 * p3) +
           t * t * t * (1.5 * (p1 - p2) + 0.5 * (p3 - p0));
}

double DefaultModRate() {
    return std::exp(0.43524) * 0.6 / 1000;
}

} // namespace

DigitalDelay::DigitalDelay() {
    setup(44100);
}

void DigitalDelay::setup(double sampleRate) {
    if (!(sampleRate >= kLowestRate)) sampleRate = kLowestRate; // NaN too
    sampleRate = std::min(sampleRate, kHighestRate);
    length_ = static_cast<int>(sampleRate * kLineSeconds);
    // A fresh vector rather than a resize: a line from a much higher rate is given back.
    try {
        std::vector<double>(static_cast<size_t>(length_), 0.0).swap(buffer_);
    } catch (const std::bad_alloc&) {
        buffer_.clear(); // no line: the delay stays silent
        length_ = 0;
    }
    // The offset follows the new length at once, so that it never points past the line.
    readOffset_ = length_ >> (7 - timeIndex_);
    writeIndex_ = 0;
    frac_ = 0;
    k_ = invK_ = 1;
    in0_ = in1_ = in2_ = in3_ = 0;
    out0_ = out1_ = out2_ = out3_ = 0;
    const double cutoff = std::min(kFilterCutoff, sampleRate * kHighestCutoffRatio);
    inputFilter_.setup(sampleRate, cutoff);
    feedbackFilter_.setup(sampleRate, cutoff);
    modRate_ = DefaultModRate();
    modulationStep();
}

void DigitalDelay::resetForRate(double sampleRate) {
    setup(sampleRate);
    timeIndex_ = 0;
    readOffset_ = length_ >> 7;
    factor_ = 1.0;
    modRate_ = std::exp(1.0044) * 0.6 / 1000;
    updateDepth();
}

void DigitalDelay::setTime(int timeIndex) {
    timeIndex_ = std::clamp(timeIndex, 0, 7);
    readOffset_ = length_ >> (7 - timeIndex_);
    updateDepth();
}

void DigitalDelay::setFactor(double factor) {
    if (!std::isnan(factor)) factor_ = std::clamp(factor, 0.5, 1.0);
}

void DigitalDelay::setFeedback(double feedback) {
    if (!std::isnan(feedback)) feedback_ = std::clamp(feedback, -1.0, 0.0);
}

// Below 1 the phase wraps with a single subtraction and stays in [-1, 1).
void DigitalDelay::setModRate(double rate) {
    if (!std::isnan(rate)) modRate_ = std::clamp(rate, 0.0, 1.0);
}

void DigitalDelay::setModAmount(double amount) {
    if (std::isnan(amount)) return;
    modAmount_ = std::clamp(amount, 0.0, 1.0);
    updateDepth();
}

void DigitalDelay::setDw6000(bool on) {
    dw6000_ = on;
    updateDepth();
}

// Shorter delay times get deeper modulation; the 8000 behaviour is shallower. At most 0.49.
void DigitalDelay::updateDepth() {
    modDepth_ = std::exp(timeIndex_ * -1.1 * 0.25) * modAmount_ * 0.49;
    if (!dw6000_) modDepth_ *= 0.62;
}

void DigitalDelay::modulationStep() {
    modAbs_ = std::fabs(modPhase_);
    modPhase_ += modRate_;
    if (modPhase_ >= 1) modPhase_ -= 2;
    k_ = factor_ - modDepth_ * modAbs_;
    // Only the unset construction state (factor 0) gets here below kMinStep; the written form
    // also catches a NaN.
    if (!(k_ >= kMinStep)) k_ = kMinStep;
    k_ = std::min(k_, 1.0);
    invK_ = 1 / k_;
}

double DigitalDelay::process(double x) {
    if (length_ <= 0) return 0;
    x = std::isnan(x) ? 0.0 : std::clamp(x, -kLargestInput, kLargestInput);
    in0_ = in1_;
    in1_ = in2_;
    in2_ = in3_;
    in3_ = inputFilter_.process(x);
    // frac_ enters below K <= 1 and grows by K >= kMinStep: at most 1 / kMinStep writes.
    while (frac_ < 1) {
        if (--writeIndex_ < 0) writeIndex_ = length_ - 1;
        const double v = CatmullRom(in0_, in1_, in2_, in3_, frac_);
        // Read before the write: the cell written readOffset_ steps ago (a full line at L).
        int readIndex = readOffset_ + writeIndex_;
        if (readIndex >= length_) readIndex -= length_;
        const double r = feedbackFilter_.process(buffer_[readIndex]);
        out0_ = out1_;
        out1_ = out2_;
        out2_ = out3_;
        out3_ = r;
        buffer_[writeIndex_] = r * feedback_ + v;
        frac_ += k_;
    }
    frac_ -= 1;
    return CatmullRom(out0_, out1_, out2_, out3_, 1 - frac_ * invK_);
}
