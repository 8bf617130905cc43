#include "dsp/Modulation.h"

#include "dsp/EnvelopeTables.h"

#include <algorithm>
#include <cmath>

namespace {

// Seconds per MG cycle for the settings 0..31, in each behaviour.
const double kPeriods8000[32] = {7.1,  4.8,   2.4,   1.9,   1.4,   1.1,   0.82,  0.65,
                                 0.5,  0.46,  0.42,  0.38,  0.34,  0.31,  0.28,  0.25,
                                 0.23, 0.21,  0.195, 0.182, 0.168, 0.158, 0.145, 0.132,
                                 0.12, 0.104, 0.09,  0.078, 0.064, 0.052, 0.04,  0.027};
const double kPeriods6000[32] = {3.5,   1.6,   0.58,  0.42,  0.28,  0.25,  0.21,  0.18,
                                 0.16,  0.14,  0.12,  0.11,  0.1,   0.092, 0.084, 0.078,
                                 0.072, 0.068, 0.065, 0.062, 0.06,  0.056, 0.052, 0.048,
                                 0.045, 0.042, 0.04,  0.038, 0.036, 0.034, 0.032, 0.03};

} // namespace

Modulation::Modulation() {
    // The smoother runs once per millisecond tick: 10 Hz at a 1 kHz rate.
    aftertouchSmoother_.setup(1000, 10);
    setFrequency(0);
}

void Modulation::setFrequency(double setting) {
    setting_ = setting;
    // The phase runs -1..1, two units per cycle; one tick is a millisecond.
    rate_ = 2.0 / EnvelopeTime(dw6000_ ? kPeriods6000 : kPeriods8000, setting) / 1000.0;
}

void Modulation::setDw6000(bool on) {
    dw6000_ = on;
    setFrequency(setting_);
}

ModulationOutputs Modulation::tick(const ControllerInputs& in, const ModulationAmounts& amounts,
                                   double unisonGain) {
    switch (waveform_) {
    case kTriangle:
        out_ = 2 * std::fabs(phase_) - 1;
        break;
    case kSaw:
        out_ = -phase_;
        break;
    case kRamp:
        out_ = phase_;
        break;
    default:
        out_ = phase_ < 0 ? -1 : 0; // pulls the pitch down only
        break;
    }
    phase_ += rate_;
    if (phase_ >= 1) phase_ -= 2;
    if (!(phase_ >= -1 && phase_ < 1)) phase_ = 0; // a NaN rate must not stick

    if (delayLevel_ < 1) delayLevel_ = std::min(delayLevel_ + delayRate_, 1.0);

    const double delayed = delayLevel_ * delayLevel_ * out_;
    const double undelayed = out_;
    const double at = aftertouchSmoother_.process(in.aftertouch);

    // The wheel (or breath, for the filter) crossfades from the panel's delayed MG depth to
    // the undelayed depth of the wheel routing.
    const double oscMg =
        std::clamp(at * amounts.atOsc + amounts.mgOsc, 0.0, 1.0) * 1.5 * 128 * delayed;
    ModulationOutputs result;
    result.pitchMod = oscMg + in.wheel * (undelayed * amounts.wheelOsc - oscMg) + amounts.tune +
                      in.bend * amounts.bendOsc;
    const double t = amounts.breathDrivesVcf ? in.breath : in.wheel;
    const double vcfMg = delayed * amounts.mgVcf;
    result.cutoffMod = vcfMg + t * (undelayed * amounts.wheelVcf - vcfMg) +
                       in.bend * amounts.bendVcf + at * amounts.atVcf;
    result.gain = (at * amounts.atVca + amounts.volume) * unisonGain;
    return result;
}
