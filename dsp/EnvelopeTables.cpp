#include "dsp/EnvelopeTables.h"

#include <cmath>

namespace {

const double kAttack8000[32] = {0.004, 0.012, 0.018, 0.026, 0.03, 0.045, 0.06, 0.065,
                                0.07,  0.11,  0.15,  0.19,  0.24, 0.29,  0.35, 0.45,
                                0.59,  0.69,  0.89,  1.05,  1.3,  1.6,   1.95, 2.3,
                                2.7,   3.3,   4.08,  4.8,   5.7,  7.1,   9.0,  11.6};

const double kSlope8000[32] = {0.004, 0.012, 0.018, 0.026, 0.03, 0.05, 0.07, 0.09,
                               0.12,  0.135, 0.15,  0.19,  0.24, 0.29, 0.35, 0.45,
                               0.59,  0.69,  0.89,  1.05,  1.3,  1.6,  1.9,  2.3,
                               2.7,   3.6,   5.4,   6.5,   8.0,  10.0, 13.0, 16.0};

const double kDecay8000[32] = {0.004, 0.012, 0.018, 0.03, 0.056, 0.1, 0.14, 0.155, 0.21, 0.26, 0.36,
                               0.45,  0.54,  0.66,  0.81, 0.9,   1.0, 1.12, 1.26,  1.42, 1.62, 1.85,
                               2.24,  2.5,   2.8,   3.2,  3.66,  4.8, 6.7,  10.0,  15.0, 22.0};

const double kAll6000[32] = {0.004, 0.012, 0.018, 0.025, 0.03, 0.036, 0.04, 0.06, 0.08, 0.1, 0.12,
                             0.18,  0.24,  0.3,   0.36,  0.48, 0.63,  0.76, 0.92, 1.1,  1.3, 1.6,
                             1.92,  2.35,  2.8,   3.4,   3.98, 4.8,   5.6,  6.6,  8.2,  9.6};

EnvelopeCurves BuildCurves() {
    EnvelopeCurves curves;
    for (int i = 0; i < 256; ++i)
        curves.e[i] = std::exp(-0.0125 * i) * 1.043 - 0.043;
    curves.e[256] = 0;
    curves.p[0] = 0;
    curves.p[31] = 1;
    for (int k = 1; k <= 30; ++k)
        curves.p[k] = std::floor(std::log((1 - k / 31.0 + 0.043) / 1.043) / -0.0125) / 255;
    return curves;
}

} // namespace

const double* EnvelopeTimeTable(EnvelopeTimes which) {
    switch (which) {
    case EnvelopeTimes::Attack8000:
        return kAttack8000;
    case EnvelopeTimes::Decay8000:
        return kDecay8000;
    case EnvelopeTimes::Slope8000:
        return kSlope8000;
    case EnvelopeTimes::All6000:
        break;
    }
    return kAll6000;
}

double EnvelopeTime(const double* table, double p) {
    double x;
    if (p >= 1)
        x = 31;
    else if (p > 0)
        x = 31 * p;
    else
        x = 0; // also for NaN
    const int i = static_cast<int>(std::floor(x));
    const int j = i >= 30 ? 31 : i + 1;
    if (i == j) return table[i];
    return table[i] + (table[j] - table[i]) * (x - i);
}

const EnvelopeCurves& GetEnvelopeCurves() {
    static const EnvelopeCurves curves = BuildCurves();
    return curves;
}
