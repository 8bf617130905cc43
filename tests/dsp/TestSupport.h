// Helpers shared by the voice engine's tests: the waveform store from the embedded data, a
// voice rig driven like the instrument drives it, and signal measurements.
#pragma once

#include "dsp/VoicePath.h"

#include <vector>

// Builds the process-wide waveform store from the data embedded in the plug-in (once).
void EnsureWaveStore();

// One voice path with the parameters at their panel defaults, driven by control ticks of one
// millisecond as the instrument does.
class VoiceRig {
public:
    explicit VoiceRig(double sampleRate, uint64_t seed = 7);
    // Sets a parameter by its panel value (the normalised value is derived from its range).
    void set(int index, double value);
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
