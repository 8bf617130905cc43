#include "dsp/Filter.h"

void Filter::prepare(double sampleRate, double cutoffHz, double& cosW, double& n) {
    x1_ = x2_ = y1_ = y2_ = 0;
    d_ = 1e-13;
    const double w = sampleRate > 0 ? 2 * 3.141592653589793 * cutoffHz / sampleRate : 0.0;
    const double alpha = std::sin(w) / 1.4142135623730951;
    n = 1 / (1 + alpha);
    cosW = std::cos(w);
    a_ = 2 * cosW * n;
    b_ = (alpha - 1) * n;
}

void LowPass::setup(double sampleRate, double cutoffHz) {
    double cosW, n;
    prepare(sampleRate, cutoffHz, cosW, n);
    c0_ = (1 - cosW) * 0.5 * n;
    c1_ = (1 - cosW) * n;
}

void HighPass::setup(double sampleRate, double cutoffHz) {
    double cosW, n;
    prepare(sampleRate, cutoffHz, cosW, n);
    c0_ = (1 + cosW) * 0.5 * n;
    c1_ = -(1 + cosW) * n;
}
