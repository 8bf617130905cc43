#include "instrument/VoiceParameters.h"

#include "instrument/ParameterTable.h"

#include <cmath>

namespace {

int Clamp(int value, int low, int high) {
    return value < low ? low : (value > high ? high : value);
}

// Nearest whole choice of an enumerated parameter, kept inside its choices.
int Choice(double b, int last) {
    return Clamp(static_cast<int>(std::lround(b)), 0, last);
}

// Panel waveforms 1..16 are table numbers 0..15.
int WaveformIndex(double b) {
    const double index = b - 1;
    return index > 0 ? Clamp(static_cast<int>(index), 0, kWaveformsPerSet - 1) : 0;
}

// The envelope-mode dependent noise curve: in 6000 mode the noise rises with the square of
// the setting and tops out lower.
void UpdateNoiseLevel(VoicePath& voice) {
    const double e = voice.settings.noiseSetting;
    voice.noiseLevel = voice.settings.dw6000 ? 0.8 * e * e : e;
}

void UpdateEgIntensity(VoiceSettings& settings) {
    settings.egInt = settings.egNegative ? -settings.egIntensity : settings.egIntensity;
}

void ApplyEnvelopeSetting(Envelope& envelope, int setting, double e) {
    switch (setting) {
    case 0:
        envelope.setAttack(e);
        break;
    case 1:
        envelope.setDecay(e);
        break;
    case 2:
        envelope.setBreakPoint(e);
        break;
    case 3:
        envelope.setSlope(e);
        break;
    case 4:
        envelope.setSustain(e);
        break;
    default:
        envelope.setRelease(e);
        break;
    }
}

} // namespace

void ApplyVoiceParameter(VoicePath& voice, int index, double b, double e) {
    VoiceSettings& settings = voice.settings;
    switch (index) {
    case kOsc1Octave:
        voice.osc1.setOctave(Choice(b, 2) - 1);
        break;
    case kOsc1Waveform:
        voice.osc1.setWaveform(WaveformIndex(b));
        break;
    case kOsc1Level:
        voice.osc1Level = e;
        break;
    case kAutoBendSelect: {
        const int select = Choice(b, 3); // "OFF", "OSC1", "OSC2", "BOTH"
        settings.bendOsc1 = select == 1 || select == 3;
        settings.bendOsc2 = select == 2 || select == 3;
        break;
    }
    case kAutoBendMode:
        settings.bendDown = e >= 0.5;
        break;
    case kAutoBendTime:
        // The top of the range stretches to two and then eight seconds.
        settings.bendTime = b < 24 ? e : (b < 28 ? e * 2 : e * 8);
        break;
    case kAutoBendIntensity:
        settings.bendIntensity = e;
        break;
    case kOsc2Octave:
        voice.osc2.setOctave(Choice(b, 2) - 1);
        break;
    case kOsc2Waveform:
        voice.osc2.setWaveform(WaveformIndex(b));
        break;
    case kOsc2Level:
        voice.osc2Level = e;
        break;
    case kOsc2Interval: {
        static const int kSemitones[5] = {0, 3, 4, 5, 7}; // "1", "-3", "3", "4", "5"
        voice.osc2.setInterval(kSemitones[Choice(b, 4)]);
        break;
    }
    case kOsc2Detune:
        voice.osc2.setDetune(0.9 * e);
        break;
    case kNoiseLevel:
        settings.noiseSetting = e;
        UpdateNoiseLevel(voice);
        break;
    case kAssignMode: {
        // "Unison 2" keeps running envelopes going when further notes arrive.
        const bool single = Choice(b, 3) == 3;
        voice.vcfEnv.setSingleTrigger(single);
        voice.vcaEnv.setSingleTrigger(single);
        break;
    }
    case kVcfCutoff: {
        // Two semitones per step, from note 8.
        const double pitch = (2 * b + 8) * kPitchStepsPerSemitone;
        voice.filter.setBaseCutoff(pitch < 0 ? 0.0 : (pitch > kMaxPitch ? kMaxPitch : pitch));
        break;
    }
    case kVcfResonance:
        voice.filter.setResonance(std::sin(e * 3.141592653589793 / 2));
        break;
    case kVcfKbdTrack: {
        static const double kTrack[4] = {0, 0.25, 0.5, 1.0};
        settings.kbdTrack = kTrack[Choice(b, 3)];
        break;
    }
    case kVcfEgPolarity:
        settings.egNegative = e >= 0.5;
        UpdateEgIntensity(settings);
        break;
    case kVcfEgIntensity:
        settings.egIntensity = e;
        UpdateEgIntensity(settings);
        break;
    case kVcfEgAttack:
    case kVcfEgDecay:
    case kVcfEgBreakPoint:
    case kVcfEgSlope:
    case kVcfEgSustain:
    case kVcfEgRelease:
        ApplyEnvelopeSetting(voice.vcfEnv, index - kVcfEgAttack, e);
        break;
    case kVcfEgVelocity:
        settings.vcfVel = e;
        break;
    case kVcaEgAttack:
    case kVcaEgDecay:
    case kVcaEgBreakPoint:
    case kVcaEgSlope:
    case kVcaEgSustain:
    case kVcaEgRelease:
        ApplyEnvelopeSetting(voice.vcaEnv, index - kVcaEgAttack, e);
        break;
    case kVcaEgVelocity:
        settings.vcaVel = e;
        break;
    case kPortamento:
        settings.portaTime = e * e; // seconds
        break;
    case kEngineMode:
        settings.dw6000 = e >= 0.5;
        voice.vcfEnv.setDw6000(settings.dw6000);
        voice.vcaEnv.setDw6000(settings.dw6000);
        UpdateNoiseLevel(voice);
        break;
    case kWaveSet: {
        const int set = b >= 1 ? 1 : 0;
        voice.osc1.setWaveSet(set);
        voice.osc2.setWaveSet(set);
        break;
    }
    default:
        break;
    }
}
