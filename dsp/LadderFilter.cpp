#include "dsp/LadderFilter.h"

void LadderFilter::reset(double sampleRate) {
    tables_ = &RateTables::ForRate(sampleRate);
    // The stages start slightly apart, not at rest.
    s1_ = 0;
    s2_ = 1.0;
    s3_ = 0;
    s4_ = -1.0;
    cachedIndex_ = -1;
    d_ = 1e-13;
    g4_ = g_ = a_ = k_ = gainComp_ = norm_ = 0;
}

void LadderFilter::tune(int index) {
    cachedIndex_ = index;
    if (tables_ == nullptr) return; // not reset yet: stays silent
    const double w = tables_->ladderW[index];
    k_ = resonance_ * tables_->ladderC[index];
    const double h = 1 / (w + 2);
    a_ = (w - 2) * h;
    g_ = w * h;
    g4_ = g_ * g_ * g_ * g_;
    gainComp_ = GainCompensation(resonance_);
    norm_ = 1 / (1 + g4_ * k_);
}
