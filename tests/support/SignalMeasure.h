// Measurements of rendered sound shared by the render tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace measure {

// The first sample whose magnitude exceeds the threshold, or -1.
inline long Onset(const std::vector<double>& x, double threshold = 1e-12, size_t from = 0) {
    for (size_t i = from; i < x.size(); ++i)
        if (std::fabs(x[i]) > threshold) return static_cast<long>(i);
    return -1;
}

// Times (in samples, interpolated) at which x crosses zero upward in [from, to).
inline std::vector<double> RisingCrossings(const std::vector<double>& x, size_t from, size_t to) {
    std::vector<double> times;
    to = std::min(to, x.size());
    for (size_t i = std::max<size_t>(from, 1); i < to; ++i)
        if (x[i - 1] < 0 && x[i] >= 0) times.push_back(i - 1 + x[i - 1] / (x[i - 1] - x[i]));
    return times;
}

// Frequency of a near-sinusoid over [from, to) from its upward zero crossings; 0 without two.
inline double Frequency(const std::vector<double>& x, double rate, size_t from, size_t to) {
    const std::vector<double> t = RisingCrossings(x, from, to);
    if (t.size() < 2) return 0;
    return (t.size() - 1) * rate / (t.back() - t.front());
}

// Pitch difference in semitones.
inline double Semitones(double frequency, double reference) {
    return 12 * std::log2(frequency / reference);
}

inline double Rms(const std::vector<double>& x, size_t from, size_t to) {
    to = std::min(to, x.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += x[i] * x[i];
    return to > from ? std::sqrt(sum / (to - from)) : 0;
}

inline double Peak(const std::vector<double>& x, size_t from = 0, size_t to = ~size_t(0)) {
    to = std::min(to, x.size());
    double peak = 0;
    for (size_t i = from; i < to; ++i)
        peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

// Instantaneous frequency at each period of a near-sinusoid: (time, Hz) pairs.
struct FrequencyPoint {
    double time;
    double hz;
};
inline std::vector<FrequencyPoint> FrequencyTrack(const std::vector<double>& x, double rate,
                                                  size_t from, size_t to) {
    const std::vector<double> t = RisingCrossings(x, from, to);
    std::vector<FrequencyPoint> track;
    for (size_t i = 1; i < t.size(); ++i)
        track.push_back({(t[i] + t[i - 1]) / 2 / rate, rate / (t[i] - t[i - 1])});
    return track;
}

} // namespace measure
