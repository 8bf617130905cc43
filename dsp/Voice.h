// One voice of the instrument: the sound path plus what a played note adds to it, the glide of
// portamento, the sweep of auto bend, the key and pedal state, and the allocation serial.
#pragma once

#include "dsp/VoicePath.h"

class Voice {
public:
    // The pitch a voice glides from before it has played anything: note 60.
    static constexpr double kRestingPitch = 60 * 128.0;

    VoicePath path;

    // Written by the instrument's modulation at every control tick, in pitch steps.
    double pitchMod = 0;
    double cutoffMod = 0;

    double portaPitch = kRestingPitch; // present glide pitch
    int targetPitch = 60 * 128;        // pitch of the note, tuning and spread included
    double portaStep = 0;
    double bendValue = 0, bendStep = 0;
    int bendCount = 0, portaCount = 0;
    double note = 60;    // MIDI note number
    double velocity = 0; // 0..1
    bool keyHeld = false;
    bool sustained = false; // the sustain pedal's state, copied at every pedal event
    int serial = 0;         // allocation order of the last note-on

    // Rate-dependent state of every unit; the voice falls silent and forgets its note.
    void reset(double sampleRate, Random& random);

    // Starts a note: velocity 1..127; pitch is the note's pitch index with any tuning and
    // spread already applied.
    void noteOn(int midiNote, int midiVelocity, int allocationSerial, int pitch);
    // The key went up: the envelopes release unless the pedal holds the note.
    void keyUp();
    // Starts the release of both envelopes.
    void release();

    // Once per control tick (and with force at note-on, which skips the glide step): refreshes
    // the note terms, steps auto bend and portamento and sets the oscillators' pitches. A voice
    // that has fallen silent is skipped unless forced.
    void controlTick(bool force);

    bool active() const { return path.active; }
};
