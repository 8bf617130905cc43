#include "dsp/VoicePath.h"

void VoicePath::reset(double sampleRate, Random& random) {
    active = false;
    osc1.reset(sampleRate, random);
    osc2.reset(sampleRate, random);
    filter.reset(sampleRate);
    vcfEnv.reset(sampleRate);
    vcaEnv.reset(sampleRate);
    vcfSmooth.setup(sampleRate, 80);
    vcaSmooth.setup(sampleRate, 80);
}

void VoicePath::refreshNoteTerms(double note, double velocity) {
    kbdTerm = (note - 60) * settings.kbdTrack * 128;
    vcaGain = (velocity - 1) * settings.vcaVel + 1;
    egAmount = ((velocity - settings.egInt) * settings.vcfVel + settings.egInt) * 15142;
}

double VoicePath::sample() {
    if (!active) {
        osc1.advanceIdle();
        osc2.advanceIdle();
        return 0.0;
    }
    vcfEnv.tick();
    const double ef = vcfSmooth.process(vcfEnv.out());
    vcaEnv.tick();
    const double ea = vcaSmooth.process(vcaEnv.out());

    double s = 0;
    if (osc1Level > 0) s = osc1.next() * osc1Level;
    if (osc2Level > 0) s += osc2.next() * osc2Level;
    if (noiseLevel > 0) s += SharedNoise::Next() * SharedNoise::kScale * noiseLevel;

    const double y = filter.process(s, CutoffIndex(kbdTerm + cutoffMod + ef * egAmount));
    return y * ea * vcaGain;
}
