#include "TestSupport.h"

#include "dsp/WaveData.h"
#include "dsp/WaveStore.h"
#include "host/Os.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

void EnsureWaveStore() {
    if (WaveStore::IsBuilt()) return;
    const os::ResourceData data = os::FindModuleResource("DSTDATA", "WAVEDST");
    ASSERT_TRUE(WaveStore::Build(DecodeWaveData(data.data, data.size)));
}

namespace {

// Envelope settings in panel order: attack, decay, break point, slope, sustain, release.
constexpr int kEnvelopeSettings = 6;

void SetEnvelopeSetting(Envelope& envelope, int setting, double value) {
    switch (setting) {
    case 0:
        envelope.setAttack(value);
        break;
    case 1:
        envelope.setDecay(value);
        break;
    case 2:
        envelope.setBreakPoint(value);
        break;
    case 3:
        envelope.setSlope(value);
        break;
    case 4:
        envelope.setSustain(value);
        break;
    default:
        envelope.setRelease(value);
        break;
    }
}

// A random setting 0..1 on a scale of `steps` steps; now and then one between two steps.
double RandomFraction(Random& random, int steps) {
    if (random.below(5) == 0) return random.below(1001) / 1000.0;
    return double(random.below(steps + 1)) / steps;
}

} // namespace

void SetUpPlainVoice(VoicePath& voice) {
    for (Oscillator* osc : {&voice.osc1, &voice.osc2}) {
        osc->setOctave(0);
        osc->setInterval(0);
        osc->setWaveform(0);
    }
    voice.osc2.setDetune(0.9 * (2 / 6.0)); // the second of the six detune steps
    voice.osc1Level = voice.osc2Level = 1;
    voice.noiseLevel = 0;
    voice.filter.setBaseCutoff(134 * 128.0);
    voice.filter.setResonance(0);
    voice.settings = VoiceSettings();
    for (Envelope* envelope : {&voice.vcfEnv, &voice.vcaEnv})
        for (int setting = 0; setting < kEnvelopeSettings; ++setting)
            SetEnvelopeSetting(*envelope, setting, setting == 2 || setting == 4 ? 1.0 : 0.0);
    SetSingleTrigger(voice, false);
    SetEngine6000(voice, false);
    SetWaveSet(voice, 0);
}

void SetEngine6000(VoicePath& voice, bool on) {
    voice.settings.dw6000 = on;
    voice.vcfEnv.setDw6000(on);
    voice.vcaEnv.setDw6000(on);
}

void SetWaveSet(VoicePath& voice, int set) {
    voice.osc1.setWaveSet(set);
    voice.osc2.setWaveSet(set);
}

void SetSingleTrigger(VoicePath& voice, bool on) {
    voice.vcfEnv.setSingleTrigger(on);
    voice.vcaEnv.setSingleTrigger(on);
}

namespace {

// The settings RandomSettingChange picks from. Each oscillator has octave, waveform and level;
// each envelope its six settings and the velocity sensitivity of its target.
enum VoiceSetting {
    kOsc1Settings = 0,
    kOsc2Settings = 3,
    kInterval = 6,
    kDetune,
    kNoise,
    kSingleTrigger,
    kCutoff,
    kResonance,
    kKbdTrack,
    kEgIntensity,
    kFilterEnvelope,                                        // 14..20
    kAmpEnvelope = kFilterEnvelope + kEnvelopeSettings + 1, // 21..27
    kEngine6000 = kAmpEnvelope + kEnvelopeSettings + 1,
    kWaveSet,
    kSettingCount
};

SettingChange RandomOscillatorChange(Random& random, bool second, int setting) {
    if (setting == 2) {
        const double level = RandomFraction(random, 31);
        return [=](VoicePath& voice) { (second ? voice.osc2Level : voice.osc1Level) = level; };
    }
    const int value = setting == 0 ? random.below(3) - 1 : random.below(kWaveformsPerSet);
    return [=](VoicePath& voice) {
        Oscillator& osc = second ? voice.osc2 : voice.osc1;
        if (setting == 0)
            osc.setOctave(value);
        else
            osc.setWaveform(value);
    };
}

SettingChange RandomEnvelopeChange(Random& random, bool amplifier, int setting) {
    if (setting == kEnvelopeSettings) {
        const double velocity = RandomFraction(random, 7);
        return [=](VoicePath& voice) {
            (amplifier ? voice.settings.vcaVel : voice.settings.vcfVel) = velocity;
        };
    }
    const double value = RandomFraction(random, 31);
    return [=](VoicePath& voice) {
        SetEnvelopeSetting(amplifier ? voice.vcaEnv : voice.vcfEnv, setting, value);
    };
}

} // namespace

const int kVoiceSettingCount = kSettingCount;

SettingChange RandomSettingChange(Random& random, int which) {
    if (which < kInterval) return RandomOscillatorChange(random, which >= kOsc2Settings, which % 3);
    if (which >= kFilterEnvelope && which < kEngine6000) {
        const bool amplifier = which >= kAmpEnvelope;
        return RandomEnvelopeChange(random, amplifier,
                                    which - (amplifier ? kAmpEnvelope : kFilterEnvelope));
    }
    switch (which) {
    case kInterval: {
        const int semitones = random.below(8);
        return [=](VoicePath& voice) { voice.osc2.setInterval(semitones); };
    }
    case kDetune: {
        const double detune = 0.9 * RandomFraction(random, 6);
        return [=](VoicePath& voice) { voice.osc2.setDetune(detune); };
    }
    case kNoise: {
        const double level = RandomFraction(random, 31);
        return [=](VoicePath& voice) { voice.noiseLevel = level; };
    }
    case kSingleTrigger: {
        const bool on = random.below(2) == 1;
        return [=](VoicePath& voice) { SetSingleTrigger(voice, on); };
    }
    case kCutoff: {
        // The whole range the panel reaches: notes 8 to 134.
        const double cutoff = (8 + 126 * RandomFraction(random, 63)) * 128;
        return [=](VoicePath& voice) { voice.filter.setBaseCutoff(cutoff); };
    }
    case kResonance: {
        const double resonance = RandomFraction(random, 31);
        return [=](VoicePath& voice) { voice.filter.setResonance(resonance); };
    }
    case kKbdTrack: {
        static const double kTracks[4] = {0, 0.25, 0.5, 1};
        const double track = kTracks[random.below(4)];
        return [=](VoicePath& voice) { voice.settings.kbdTrack = track; };
    }
    case kEgIntensity: {
        const double intensity = (random.below(2) ? -1 : 1) * RandomFraction(random, 31);
        return [=](VoicePath& voice) { voice.settings.egInt = intensity; };
    }
    case kEngine6000: {
        const bool on = random.below(2) == 1;
        return [=](VoicePath& voice) { SetEngine6000(voice, on); };
    }
    default: {
        const int set = random.below(2);
        return [=](VoicePath& voice) { SetWaveSet(voice, set); };
    }
    }
}

VoiceRig::VoiceRig(double rate, uint64_t seed)
    : sampleRate(rate), tickLength(int(rate) / 1000), random_(seed) {
    EnsureWaveStore();
    voice.reset(rate, random_);
    SetUpPlainVoice(voice);
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
