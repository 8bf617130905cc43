#include "tape/TapeDecoder.h"

#include "dsp/Filter.h"
#include "synth/Configuration.h"

#include <cmath>

TapeSettings TapeSettings::FromProcess() {
    const ProcessSettings& process = ProcessSettings::Get();
    TapeSettings settings;
    settings.highpassEnabled = process.tapeHighpassEnabled;
    settings.lowpassEnabled = process.tapeLowpassEnabled;
    settings.highpassFrequency = process.tapeHighpassFrequency;
    settings.lowpassFrequency = process.tapeLowpassFrequency;
    settings.threshold = process.tapeThreshold;
    return settings;
}

namespace {

// The enabled pre-filters, fresh for every pass so that each pass sees the same signal. The
// low-pass is left out where the sample rate cannot represent its cutoff.
class PreFilters {
public:
    PreFilters(const TapeSettings& settings, double sampleRate)
        : useHigh_(settings.highpassEnabled),
          useLow_(settings.lowpassEnabled && sampleRate >= 2 * settings.lowpassFrequency) {
        if (useHigh_) high_.setup(sampleRate, settings.highpassFrequency);
        if (useLow_) low_.setup(sampleRate, settings.lowpassFrequency);
    }
    double operator()(double x) {
        if (useHigh_) x = high_.process(x);
        if (useLow_) x = low_.process(x);
        return x;
    }

private:
    bool useHigh_, useLow_;
    HighPass high_;
    LowPass low_;
};

template <typename Visit>
void EachFiltered(const double* samples, size_t count, double sampleRate,
                  const TapeSettings& settings, Visit visit) {
    if (!settings.highpassEnabled && !settings.lowpassEnabled) {
        for (size_t i = 0; i < count; ++i)
            visit(i, samples[i]);
        return;
    }
    PreFilters filters(settings, sampleRate);
    for (size_t i = 0; i < count; ++i)
        visit(i, filters(samples[i]));
}

} // namespace

void FilterTapeSamples(const double* samples, size_t count, double sampleRate,
                       const TapeSettings& settings, double* out) {
    EachFiltered(samples, count, sampleRate, settings, [&](size_t i, double x) { out[i] = x; });
}

TapeLevels MeasureTapeLevels(const double* samples, size_t count, double sampleRate,
                             const TapeSettings& settings) {
    TapeLevels levels;
    if (count == 0) return levels;
    double sum = 0;
    EachFiltered(samples, count, sampleRate, settings, [&](size_t, double x) { sum += x; });
    levels.mean = sum / count;
    double sumAbs = 0;
    EachFiltered(samples, count, sampleRate, settings,
                 [&](size_t, double x) { sumAbs += std::fabs(x - levels.mean); });
    levels.meanAbs = sumAbs / count;
    return levels;
}

std::vector<uint8_t> ClassifyHalfWaves(const double* samples, size_t count, double sampleRate,
                                       const TapeSettings& settings) {
    return ClassifyHalfWaves(samples, count, sampleRate, settings,
                             MeasureTapeLevels(samples, count, sampleRate, settings));
}

std::vector<uint8_t> ClassifyHalfWaves(const double* samples, size_t count, double sampleRate,
                                       const TapeSettings& settings, const TapeLevels& levels) {
    std::vector<uint8_t> bits;
    // The threshold is relative to the level, so a quiet and a loud recording read alike.
    const double level = settings.threshold * 0.01 * levels.meanAbs;
    const double mean = levels.mean;

    // Extremes alternate, a peak first. The distance between successive extremes is the length
    // of a half-wave: beyond fs / 2000 samples (1.5 times a 1500 Hz half-wave) it is long, a 0.
    const double limit = sampleRate / 2000.0;
    bits.reserve(count / 16);
    bool lookingForPeak = true;
    double prev = 0;
    long long last = 0;
    EachFiltered(samples, count, sampleRate, settings, [&](size_t index, double raw) {
        const double x = raw - mean;
        bool found = false;
        if (lookingForPeak) {
            found = (x > level || prev > level) && x <= prev;
        } else {
            found = (x < -level || prev < -level) && x >= prev;
        }
        prev = x;
        if (!found) return;
        lookingForPeak = !lookingForPeak;
        const long long extreme = static_cast<long long>(index) - 1;
        bits.push_back(extreme - last > limit ? 0 : 1);
        last = extreme;
    });
    return bits;
}

namespace {

constexpr int kFrameBits = 11;
constexpr int kLeaderRun = 10;  // a leader has more 0xFF bytes than this
constexpr int kTrailerRun = 20; // and so has a trailer

struct Frame {
    int byte = 0;
    bool startOk = false, stop1Ok = false, stop2Ok = false;
    bool Valid() const { return startOk && stop1Ok && stop2Ok; }
};

Frame FrameAt(const std::vector<uint8_t>& b, size_t a) {
    Frame frame;
    if (a + kFrameBits - 1 >= b.size()) return frame;
    frame.startOk = b[a] == 0;
    frame.stop1Ok = b[a + 9] == 1;
    frame.stop2Ok = b[a + 10] == 1;
    for (int bit = 0; bit < 8; ++bit)
        frame.byte |= b[a + 1 + bit] << bit;
    return frame;
}

// To the next half-wave that could start a frame.
size_t Resynchronise(const std::vector<uint8_t>& b, size_t a) {
    ++a;
    while (a < b.size() && b[a] == 1)
        ++a;
    return a;
}

} // namespace

std::vector<uint8_t> FrameBytes(const std::vector<uint8_t>& b, std::vector<FrameError>* errors) {
    std::vector<uint8_t> bytes;
    errors->clear();
    const size_t m = b.size();
    size_t a = 0;
    // Sync: the first clean 0xFF frame at any half-wave.
    while (a < m) {
        const Frame frame = FrameAt(b, a);
        if (frame.Valid() && frame.byte == 0xFF) break;
        ++a;
    }
    // Leader: a run of clean 0xFF frames, long enough not to be chance.
    for (int run = 0; a < m;) {
        const Frame frame = FrameAt(b, a);
        if (!frame.Valid()) {
            a = Resynchronise(b, a);
            continue;
        }
        a += kFrameBits;
        if (frame.byte != 0xFF) {
            run = 0;
        } else if (++run > kLeaderRun) {
            break;
        }
    }
    // The rest of the leader, up to the first data byte.
    while (a < m) {
        const Frame frame = FrameAt(b, a);
        if (!frame.Valid()) {
            a = Resynchronise(b, a);
            continue;
        }
        a += kFrameBits;
        if (frame.byte != 0xFF) {
            bytes.push_back(static_cast<uint8_t>(frame.byte));
            break;
        }
    }
    if (a >= m) return {};
    // Data at a fixed stride: a damaged frame still yields a byte, so the programs after it
    // keep their places and only the damaged one fails its checksum.
    int ffRun = 0;
    while (a < m) {
        const Frame frame = FrameAt(b, a);
        bytes.push_back(static_cast<uint8_t>(frame.byte));
        if (!frame.Valid()) errors->push_back({a, frame.startOk, frame.stop1Ok, frame.stop2Ok});
        a += kFrameBits;
        if (frame.byte != 0xFF) {
            ffRun = 0;
        } else if (++ffRun > kTrailerRun) {
            break;
        }
    }
    if (ffRun <= kTrailerRun) {
        errors->clear();
        return {};
    }
    bytes.resize(bytes.size() - ffRun);
    return bytes;
}
