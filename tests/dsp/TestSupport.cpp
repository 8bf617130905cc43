#include "TestSupport.h"

#include "dsp/VoiceParameters.h"
#include "dsp/WaveData.h"
#include "dsp/WaveStore.h"
#include "host/Os.h"
#include "instrument/ParameterTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

void EnsureWaveStore() {
    if (WaveStore::IsBuilt()) return;
    const os::ResourceData data = os::FindModuleResource("DSTDATA", "WAVEDST");
    ASSERT_TRUE(WaveStore::Build(DecodeWaveData(data.data, data.size)));
}

VoiceRig::VoiceRig(double rate, uint64_t seed)
    : sampleRate(rate), tickLength(int(rate) / 1000), random_(seed) {
    EnsureWaveStore();
    voice.reset(rate, random_);
    for (int i = 0; i < kNumParams; ++i)
        set(i, kParameterTable[i].defaultValue);
}

void VoiceRig::set(int index, double value) {
    const ParameterInfo& info = kParameterTable[index];
    ApplyVoiceParameter(voice, index, value, (value - info.min) / (info.max - info.min));
}

void VoiceRig::noteOn(int note, double velocity) {
    note_ = note;
    velocity_ = velocity;
    voice.vcfEnv.gate();
    voice.vcaEnv.gate();
    controlTick();
    countdown_ = tickLength;
}

void VoiceRig::noteOff() {
    voice.vcfEnv.release();
    voice.vcaEnv.release();
}

void VoiceRig::controlTick() {
    voice.refreshNoteTerms(note_, velocity_);
    voice.followPitch(note_ * 128.0, note_ * 128.0);
    voice.refreshActive();
}

std::vector<double> VoiceRig::render(int samples) {
    std::vector<double> out(samples);
    for (int i = 0; i < samples; ++i) {
        if (countdown_ <= 0) {
            controlTick();
            countdown_ = tickLength;
        }
        --countdown_;
        out[i] = voice.sample();
    }
    return out;
}

namespace {

double Correlation(const std::vector<double>& x, int lag, int window) {
    double xy = 0, xx = 0, yy = 0;
    for (int n = 0; n < window; ++n) {
        xy += x[n] * x[n + lag];
        xx += x[n] * x[n];
        yy += x[n + lag] * x[n + lag];
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

// The peak of the correlation near a lag, to a fraction of a sample.
double RefinePeak(const std::vector<double>& x, int lag, int window) {
    int best = lag;
    for (int l = lag - 3; l <= lag + 3; ++l)
        if (Correlation(x, l, window) > Correlation(x, best, window)) best = l;
    const double a = Correlation(x, best - 1, window), b = Correlation(x, best, window),
                 c = Correlation(x, best + 1, window);
    const double curvature = a - 2 * b + c;
    return curvature < 0 ? best + 0.5 * (a - c) / curvature : best;
}

} // namespace

double MeasureFrequency(const std::vector<double>& input, double sampleRate) {
    std::vector<double> x(input);
    double mean = 0;
    for (double v : x)
        mean += v;
    mean /= double(x.size());
    for (double& v : x)
        v -= mean;
    const int maxLag = int(x.size()) / 2;
    const int window = int(x.size()) - maxLag - 4;
    // The first strong correlation peak is one period.
    int period = 0;
    for (int lag = 4; lag < maxLag - 4 && period == 0; ++lag) {
        const double r = Correlation(x, lag, window);
        if (r > 0.95 && r >= Correlation(x, lag - 1, window) &&
            r >= Correlation(x, lag + 1, window))
            period = lag;
    }
    if (period == 0) return 0;
    const double first = RefinePeak(x, period, window);
    const int periods = int((maxLag - 8) / first);
    const double many = RefinePeak(x, int(std::lround(first * periods)), window);
    return sampleRate * periods / many;
}

double PeakAbs(const std::vector<double>& x, size_t from, size_t to) {
    double peak = 0;
    for (size_t i = from; i < to && i < x.size(); ++i)
        peak = std::max(peak, std::fabs(x[i]));
    return peak;
}
