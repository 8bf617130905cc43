// Plain models of the ladder filter and the envelope generator, written straight from their
// formulas with no concern for speed. The engine's units must agree with them to 1e-12 over
// long random runs, which keeps any later optimisation honest.
#pragma once

#include "dsp/PitchTable.h"

#include <algorithm>
#include <cmath>
#include <vector>

struct ReferenceLadder {
    std::vector<double> W = std::vector<double>(17281), C = std::vector<double>(17281);
    double baseCutoff = 0, r = 0;
    double g4 = 0, g = 0, a = 0, k = 0, gainComp = 0, norm = 0;
    int cached = -1;
    double s1 = 0, s2 = 1, s3 = 0, s4 = -1, d = 1e-13;

    void reset(double fs) {
        for (int i = 0; i <= 17280; ++i) {
            const double f = PitchToFrequency(i);
            W[i] = f * (2 * 3.141592653589793) / fs;
            C[i] = f < 500 ? 4.01
                           : (f > 2000 ? 4.005 : 4.01 - (f - 500) * 0.004999999999999893 / 1500);
        }
        s1 = 0, s2 = 1.0, s3 = 0, s4 = -1.0, cached = -1, d = 1e-13;
        g4 = g = a = k = gainComp = norm = 0;
    }
    double process(double x, int c) {
        double idx = std::trunc(c + baseCutoff);
        if (idx < 0) idx = 0;
        if (idx > 17280) idx = 17280;
        if (int(idx) != cached) {
            cached = int(idx);
            const double w = W[cached], m = C[cached];
            k = r * m;
            const double h = 1 / (w + 2);
            a = (w - 2) * h;
            g = w * h;
            g4 = g * g * g * g;
            const double spread = 2 * std::fabs(r - 0.5);
            gainComp = 2 - spread * spread;
            norm = 1 / (1 + g4 * k);
        }
        for (double* s : {&s1, &s2, &s3, &s4})
            *s = std::isnan(*s) ? 0 : *s + d;
        d = -d;
        const double y = (((s1 * g + s2) * g + s3) * g + s4 + x * g4) * norm;
        const double q = 0.2 * y;
        const double o = q < -3 ? -5 : (q > 3 ? 5 : 5 * q * (q * q + 27) / (9 * q * q + 27));
        const double u = g * (x - k * o);
        const double y1 = s1 + u;
        s1 = u - a * y1;
        const double y2 = s2 + g * y1;
        s2 = g * y1 - a * y2;
        const double y3 = s3 + g * y2;
        s3 = g * y2 - a * y3;
        const double y4 = s4 + g * y3;
        s4 = g * y3 - a * y4;
        return y * gainComp;
    }
};

struct ReferenceEnvelope {
    // The time tables as the panel documentation lists them.
    static constexpr double attack8000[32] = {0.004, 0.012, 0.018, 0.026, 0.03, 0.045, 0.06, 0.065,
                                              0.07,  0.11,  0.15,  0.19,  0.24, 0.29,  0.35, 0.45,
                                              0.59,  0.69,  0.89,  1.05,  1.3,  1.6,   1.95, 2.3,
                                              2.7,   3.3,   4.08,  4.8,   5.7,  7.1,   9.0,  11.6};
    static constexpr double slope8000[32] = {0.004, 0.012, 0.018, 0.026, 0.03, 0.05, 0.07, 0.09,
                                             0.12,  0.135, 0.15,  0.19,  0.24, 0.29, 0.35, 0.45,
                                             0.59,  0.69,  0.89,  1.05,  1.3,  1.6,  1.9,  2.3,
                                             2.7,   3.6,   5.4,   6.5,   8.0,  10.0, 13.0, 16.0};
    static constexpr double decay8000[32] = {0.004, 0.012, 0.018, 0.03, 0.056, 0.1,  0.14, 0.155,
                                             0.21,  0.26,  0.36,  0.45, 0.54,  0.66, 0.81, 0.9,
                                             1.0,   1.12,  1.26,  1.42, 1.62,  1.85, 2.24, 2.5,
                                             2.8,   3.2,   3.66,  4.8,  6.7,   10.0, 15.0, 22.0};
    static constexpr double all6000[32] = {0.004, 0.012, 0.018, 0.025, 0.03, 0.036, 0.04, 0.06,
                                           0.08,  0.1,   0.12,  0.18,  0.24, 0.3,   0.36, 0.48,
                                           0.63,  0.76,  0.92,  1.1,   1.3,  1.6,   1.92, 2.35,
                                           2.8,   3.4,   3.98,  4.8,   5.6,  6.6,   8.2,  9.6};

    static double T(const double* table, double p) {
        const double x = p >= 1 ? 31 : (p <= 0 ? 0 : 31 * p);
        const int i = int(std::floor(x));
        const int j = i >= 30 ? 31 : i + 1;
        return i == j ? table[i] : table[i] + (table[j] - table[i]) * (x - i);
    }

    double E[257], P[32];
    double out = 0, attack = 0, decay = 0, breakPoint = 0, slope = 0, sustain = 0, release_ = 0;
    bool singleTrigger = false, dw6000 = false;
    int stage = 0;
    double pos = 0, inc = 0, tick = 0.001;

    ReferenceEnvelope() {
        for (int i = 0; i < 256; ++i)
            E[i] = std::exp(-0.0125 * i) * 1.043 - 0.043;
        E[256] = 0;
        P[0] = 0;
        P[31] = 1;
        for (int k = 1; k <= 30; ++k)
            P[k] = std::floor(std::log((1 - k / 31.0 + 0.043) / 1.043) / -0.0125) / 255;
    }
    void reset(double fs) { stage = 0, pos = 0, inc = 0, out = 0, tick = 1 / fs; }
    const double* table(const double* t8000) const { return dw6000 ? all6000 : t8000; }

    void gate() {
        if (singleTrigger && stage >= 1 && stage <= 3) return;
        if (!dw6000)
            pos = out;
        else
            out = pos;
        stage = 1;
        inc = tick / T(table(attack8000), attack);
    }
    void release() {
        if (out <= 0) {
            out = 0, pos = 0, stage = 0;
            return;
        }
        stage = 4;
        if (!dw6000) {
            int k = int(std::floor((1 - out) * 31));
            pos = P[k < 0 ? 0 : (k > 31 ? 31 : k)]; // the mended lookup
        } else {
            pos = out;
        }
        inc = tick / T(table(decay8000), release_) * 0.5;
    }
    void setAttack(double p) {
        attack = p;
        if (stage == 1) inc = tick / T(table(attack8000), p);
    }
    void setDecay(double p) {
        decay = p;
        if (stage == 2) inc = tick / T(table(decay8000), p);
    }
    void setSlope(double p) {
        slope = p;
        if (stage == 3) inc = tick / T(table(slope8000), p);
    }
    void setRelease(double p) {
        release_ = p;
        if (stage == 4) inc = tick / T(table(decay8000), p);
    }

    void step() {
        if (!dw6000) {
            if (pos < 0) pos = 0;
            if (stage == 1) {
                if (pos < 1) {
                    out = pos;
                    pos += inc;
                } else {
                    out = 1;
                    stage = 2;
                    pos = P[int(std::floor(breakPoint * 31))] * 0.5;
                    inc = tick / T(decay8000, decay) * 0.5;
                }
            } else if (stage == 2) {
                if (pos < 0.5) {
                    out = E[int(std::floor(pos * 510))] + breakPoint;
                    pos += inc;
                } else if (pos < 1) {
                    out = breakPoint;
                    pos += inc;
                } else {
                    stage = 3;
                    out = pos = breakPoint;
                    inc = tick / T(slope8000, slope);
                }
            } else if (stage == 3) {
                if (sustain > pos)
                    pos += inc;
                else if (pos > sustain)
                    pos -= inc;
                out = pos;
            } else if (stage == 4) {
                if (pos < 1) {
                    out = E[int(std::floor(pos * 255))];
                    pos += inc;
                } else {
                    out = 0, pos = 0, stage = 0;
                }
            }
        } else {
            if (stage == 1) {
                if (pos < 1)
                    pos += inc;
                else {
                    stage = 2;
                    pos = 1;
                    inc = tick / T(all6000, decay);
                }
            } else if (stage == 2) {
                const double t = breakPoint * 1.05 - 0.05;
                if (pos > t)
                    pos -= pos <= 0.1 ? inc * 0.5 : inc;
                else {
                    stage = 3;
                    pos = t;
                    inc = tick / T(all6000, slope) * 0.5;
                }
            } else if (stage == 3) {
                if (pos < sustain)
                    pos += inc;
                else if (pos > sustain)
                    pos -= inc;
            } else if (stage == 4) {
                if (pos > 0)
                    pos -= pos <= 0.1 ? inc * 0.5 : inc;
                else {
                    pos = 0, stage = 0, out = 0;
                }
            }
            out = std::max(pos, 0.0);
        }
    }
};
