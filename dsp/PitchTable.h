// The voice engine's pitch unit: 128 steps per equal-tempered semitone, index 0 = MIDI note 0
// (note 69 = 8832 = 440 Hz). The oscillator and filter tables cover 0..kMaxPitch.
#pragma once

constexpr int kPitchStepsPerSemitone = 128;
constexpr int kMaxPitch = 17280;           // 135 semitones above note 0
constexpr int kPitchCount = kMaxPitch + 1; // entries of every per-pitch table

// Frequency in Hz of a pitch index, interpolated linearly between semitones. Indices below 0
// continue the scale downward; the ends are held beyond +-kMaxPitch.
double PitchToFrequency(int pitch);

// Limits a table index to 0..kMaxPitch.
inline int ClampPitch(int pitch) {
    return pitch < 0 ? 0 : (pitch > kMaxPitch ? kMaxPitch : pitch);
}
