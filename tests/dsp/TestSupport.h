// Helpers shared by the voice engine's tests: the waveform store from the embedded data, voice
// settings in the units' own terms, a voice rig driven like the instrument drives it, and
// signal measurements.
#pragma once

#include "dsp/VoicePath.h"

#include <functional>
#include <vector>

// Builds the process-wide waveform store from the data embedded in the plug-in (once).
void EnsureWaveStore();

// The settings of a fresh program: both oscillators at full level on the first waveform, an
// open filter without resonance, envelopes that hold full level, no velocity or keyboard terms.
void SetUpPlainVoice(VoicePath& voice);

// Settings that reach more than one unit of a voice.
void SetEngine6000(VoicePath& voice, bool on); // both envelopes' behaviour
void SetWaveSet(VoicePath& voice, int set);    // both oscillators
void SetSingleTrigger(VoicePath& voice, bool on);

// A change of one of a voice's settings to a random value, drawn once so that it can be applied
// to several voices alike. `which` picks the setting, 0..kVoiceSettingCount - 1; together they
// cover everything of a voice's settings that shapes its sound.
using SettingChange = std::function<void(VoicePath&)>;
extern const int kVoiceSettingCount;
SettingChange RandomSettingChange(Random& random, int which);

// One voice path with plain settings, driven by control ticks of one millisecond as the
// instrument does.
class VoiceRig {
public:
    explicit VoiceRig(double sampleRate, uint64_t seed = 7);
    void noteOn(int note, double velocity = 1.0);
    void noteOff();
    std::vector<double> render(int samples);

    VoicePath voice;
    double sampleRate;
    int tickLength;

private:
    void controlTick();
    Random random_;
    int note_ = 60;
    double velocity_ = 1;
    int countdown_ = 0;
};

// Frequency of a periodic signal from its autocorrelation, refined over many periods; 0 when
// no clear period is found.
double MeasureFrequency(const std::vector<double>& x, double sampleRate);

// Peak amplitude of a sine response in a window (after its start has settled).
double PeakAbs(const std::vector<double>& x, size_t from, size_t to);
