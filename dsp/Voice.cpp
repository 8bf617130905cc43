#include "dsp/Voice.h"

#include <cmath>

void Voice::reset(double sampleRate, Random& random) {
    path.reset(sampleRate, random);
    keyHeld = sustained = false;
    portaPitch = kRestingPitch;
    note = 60.0;
    serial = 0;
    pitchMod = cutoffMod = 0;
    bendCount = portaCount = 0;
    bendValue = bendStep = 0;
}

void Voice::noteOn(int midiNote, int midiVelocity, int allocationSerial, int pitch) {
    const VoiceSettings& s = path.settings;
    targetPitch = pitch;

    // Auto bend: the sweep starts intensity^2 x 24 semitones away and shrinks with the square of
    // the remaining time.
    bendCount = 0;
    bendValue = bendStep = 0;
    if (s.bendOsc1 || s.bendOsc2) {
        const int count = static_cast<int>(std::floor(s.bendTime * 1000));
        if (count > 0) {
            bendCount = count;
            bendValue = s.bendDown ? s.bendIntensity : -s.bendIntensity;
            bendStep = -bendValue / (s.bendTime * 1000);
        }
    }

    // Portamento glides from wherever this voice was last.
    const int glideTicks = s.portaTime > 0 ? static_cast<int>(std::floor(s.portaTime * 1000)) : 0;
    if (glideTicks > 0) {
        portaCount = glideTicks;
        portaStep = (targetPitch - portaPitch) / (s.portaTime * 1000);
    } else {
        portaCount = 0;
        portaPitch = targetPitch;
        portaStep = 0;
    }

    keyHeld = true;
    serial = allocationSerial;
    velocity = midiVelocity * (1.0 / 127);
    note = midiNote;
    path.vcfEnv.gate();
    path.vcaEnv.gate();
    controlTick(true);
}

void Voice::keyUp() {
    keyHeld = false;
    if (!sustained) release();
}

void Voice::release() {
    path.vcfEnv.release();
    path.vcaEnv.release();
}

void Voice::controlTick(bool force) {
    if (!path.active && !force) return;
    path.refreshNoteTerms(note, velocity);
    path.cutoffMod = cutoffMod;

    double bend = 0;
    if (bendCount > 0) {
        --bendCount;
        bendValue += bendStep;
        if (bendCount > 0)
            bend = std::fabs(bendValue) * bendValue * 24 * 128;
        else
            bendValue = 0;
    }
    if (!force && portaCount > 0) {
        --portaCount;
        portaPitch += portaStep;
        if (portaCount <= 0) portaPitch = targetPitch;
    }

    const double pitch = portaPitch + pitchMod;
    const VoiceSettings& s = path.settings;
    path.followPitch(pitch + (s.bendOsc1 ? bend : 0), pitch + (s.bendOsc2 ? bend : 0));
    path.refreshActive();
}
