#include "dsp/Oscillator.h"

#include <cmath>

void Oscillator::reset(double sampleRate, Random& random) {
    rateTables_ = &RateTables::ForRate(sampleRate);
    phase_ = (random.next() & 2047) << 16;
    increment_ = 0;
    currentPitch_ = -1;
    const double wholeRate = std::floor(sampleRate);
    samplesPerMs_ = wholeRate >= 1000 ? static_cast<uint64_t>(std::trunc(wholeRate / 1000)) : 1;
}

void Oscillator::setOctave(int octave) {
    octave_ = octave;
    updatePitchOffset();
}

void Oscillator::setInterval(int semitones) {
    interval_ = semitones;
    updatePitchOffset();
}

void Oscillator::setDetune(double detune) {
    detune_ = detune;
    updatePitchOffset();
}

void Oscillator::setWaveform(int waveform) {
    waveform_ = waveform < 0 ? 0 : (waveform >= kWaveformsPerSet ? kWaveformsPerSet - 1 : waveform);
    currentPitch_ = -1;
}

void Oscillator::setWaveSet(int set) {
    set_ = set <= 0 ? 0 : 1;
    currentPitch_ = -1;
}

int Oscillator::detuneUnits() const {
    return static_cast<int>(std::round(50 * detune_ * detune_));
}

void Oscillator::updatePitchOffset() {
    pitchOffset_ = (interval_ + 12 * octave_) * kPitchStepsPerSemitone + detuneUnits();
}

int Oscillator::pitchFor(double voicePitch) const {
    const double pitch = pitchOffset_ + voicePitch;
    if (!(pitch >= 0)) // also catches NaN
        return 0;
    if (pitch >= kPitchCount) return kMaxPitch;
    return static_cast<int>(pitch);
}

void Oscillator::fetch(int pitch) {
    pitch = ClampPitch(pitch);
    if (pitch == currentPitch_ || rateTables_ == nullptr) return;
    currentPitch_ = pitch;
    increment_ = static_cast<uint32_t>(rateTables_->increment[pitch]);
    table_ = WaveStore::Table(set_, waveform_, rateTables_->band[pitch]);
}
