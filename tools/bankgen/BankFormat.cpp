#include "tools/bankgen/BankFormat.h"

#include <cmath>
#include <cstring>

namespace bankgen {

namespace {

const char* const kBankANames[kBankPrograms] = {
    "BRASS DELAY",
    "BELL SE 1",
    "CX-3",
    "CHORUSED E.PIANO",
    "STRINGS-1",
    "SLAP BASS",
    "MODULAR LEAD",
    "DISINTEGRATOR",
    "ACOUSTIC PIANO",
    "E.PIANO",
    "GUITARISTIC PIANO",
    "HONKYTONK PIANO",
    "CLAVINET",
    "JAZZ ORGAN 1",
    "JAZZ ORGAN 2",
    "JAZZ ORGAN 3",
    "LOW STRINGS",
    "SOLO VIOLIN",
    "PIZZICATO",
    "CHOIR",
    "VOICE",
    "CATHEDRAL ORGAN 1",
    "CATHEDRAL ORGAN 2",
    "HARPSICHORD",
    "BEND BRASS",
    "CRESCENDO BRASS",
    "5TH BRASS",
    "CLARINET",
    "FLUTE",
    "TROMBONE",
    "HARMONICA",
    "WHISTLE",
    "VIBRAPHONE",
    "MARIMBA",
    "TOY PIANO",
    "STEEL DRUM",
    "GUT GUITAR",
    "HARP",
    "KOTO",
    "SHAMISEN",
    "UNISON LEAD",
    "TOUCH SYNTH",
    "LFO-MOD.",
    "AUTOPULSE",
    "MOUTH WAH",
    "SYNTH BASS 1",
    "SYNTH BASS 2",
    "SYNTH BASS 3",
    "PROLOGUE",
    "5TH SYNTH",
    "BELL SE 2",
    "SYNTH KOTO",
    "5TH SYNTH 2",
    "SPACE INSECT",
    "PULSE MOD. SE",
    "AIRPORT 8000",
    "ELECTRIC TOM 1",
    "ELECTRIC TOM 2",
    "GLIDE UP/DOWN SE",
    "TWINKLE MUSICBOX",
    "5TH SYNTH 3",
    "SLEEPING GIANT",
    "ELECTRONIC MACHINERY",
    "EPILOGUE",
};
const char* const kBankBNames[kBankPrograms] = {
    "GLIDE BRASS I",
    "GLIDE BRASS II",
    "BRASS I",
    "BRASS II",
    "MELLOW HORNS",
    "AUTO BRASS",
    "BRASS III",
    "AUTO BRASS (4th)",
    "NEW WORLD",
    "SYNTH SITAL",
    "SPACE GHOST",
    "SHOOTING STAR",
    "SYNTH HARP",
    "DIGITAL INVASION",
    "NOISE DROPS",
    "DEEP SEA",
    "BRIGHT STRINGS",
    "BOWED STRINGS",
    "STRINGS",
    "FLANGING STRINGS",
    "HIGH STRINGS",
    "VOICE I",
    "VOICE II",
    "VOICE III",
    "ANALOG SYNTH-BASS",
    "BASS I",
    "BASS II",
    "DIGITAL SYNTH-BASS",
    "JAZZ GUITAR I",
    "JAZZ GUITAR II",
    "GUITAR",
    "CHORUS GUITAR",
    "LEAD-SYNTH I",
    "LEAD-SYNTH II",
    "LEAD-SYNTH III",
    "BEAT IT",
    "MELLOW SYNTH",
    "SYNTH ORGAN I",
    "SYNTH ORGAN II",
    "PORTAMENTO",
    "ELECTRONIC GRAND",
    "E.PIANO",
    "CLAVINET",
    "FLANGING CLAV",
    "HARPSICHORD",
    "HONKEY TONK PIANO",
    "METALLIC PIANO",
    "TOY PIANO",
    "SPACE SYNTH I",
    "SPACE SYNTH II",
    "ROCKET NOISE",
    "HORROR",
    "SPACE SYNTH III",
    "SYNTH DRUM I",
    "SYNTH DRUM II",
    "SYNTH DRUM III",
    "FULL ORGAN",
    "ORGAN I",
    "ROTARY EFFECT I",
    "ROTARY EFFECT II",
    "NEW WAVE ORGAN I",
    "NEW WAVE ORGAN II",
    "KOTO",
    "HARP",
};
const char* const kProg6000Names[kBankPrograms] = {
    "SYNTH BRASS",
    "BELLS 1",
    "ACOUSTIC PIANO",
    "BOWED CELLOS",
    "DYNO PIANO",
    "PERCUS SYNTH 1",
    "PAN FLUTE",
    "ORGAN CHIFF",
    "MARIMBA",
    "DIGI SOUND 1",
    "LOW STRINGS",
    "VIBES 1",
    "BREAK DANCE",
    "ORGAN with PERCUS",
    "LEAD SYNTH",
    "AFRICA",
    "JET PLANE",
    "SAXS",
    "ACOUSTIC GUITAR",
    "CELESTE",
    "FLUTE CHORUS",
    "SYN DRUM",
    "PIPE ORGAN",
    "HELICOPTER",
    "CHOIR",
    "SYNTH BASS 1",
    "HIGH STRINGS",
    "TRUMPETS",
    "HARPSICHORD",
    "ELECTRONIC ORGAN",
    "DIGI BASS",
    "SONG WHISTLE",
    "PERCUS SYNTH 2",
    "BELLS 2",
    "HONKEY PIANO",
    "B. JEAN",
    "POLY GLIDE",
    "HARP",
    "BOWED VIOLINS",
    "WIND STORM",
    "THUNDER",
    "DIGI SOUND 2",
    "UPRIGHT PIANO",
    "ELECTRIC PIANO",
    "SYNTH PAD",
    "TROMBONE",
    "ELECTRONIC ORGAN UM",
    "TOUCH SENSE SWEEP",
    "MONSTERS",
    "ACCORDION",
    "D. TONGUING BRASS",
    "VIBES 2",
    "SYNTH SWEEP",
    "STEEL DRUMS",
    "TUBULER BELLS",
    "ELECTRONIC PIANO 2",
    "SYNTH BASS 2",
    "OLD E. PIANO",
    "BRASS IN 5th",
    "DIGI HORNS",
    "PERCUS SYNTH 3",
    "TOUCH SENSE VIBES",
    "NOISE DROPS",
    "REVERSE SWEEP",
};

const FactoryBank kFactoryBanks[] = {
    {"BANK_A", 502, 63, 502, kBankANames},
    {"BANK_B", 403, 0, 259, kBankBNames},
    {"PROG6000", 10001, 0, 1001, kProg6000Names},
};

// One key per program parameter in index order; the envelope groups come last.
const std::vector<FieldKey> kFieldKeys = {
    {"o1.oct", kOsc1Octave, 1},
    {"o1.wave", kOsc1Waveform, 1},
    {"o1.lvl", kOsc1Level, 1},
    {"ab.sel", kAutoBendSelect, 1},
    {"ab.mode", kAutoBendMode, 1},
    {"ab.time", kAutoBendTime, 1},
    {"ab.int", kAutoBendIntensity, 1},
    {"o2.oct", kOsc2Octave, 1},
    {"o2.wave", kOsc2Waveform, 1},
    {"o2.lvl", kOsc2Level, 1},
    {"o2.ival", kOsc2Interval, 1},
    {"o2.det", kOsc2Detune, 1},
    {"noise", kNoiseLevel, 1},
    {"mode", kAssignMode, 1},
    {"edit", kEditParameter, 1},
    {"cut", kVcfCutoff, 1},
    {"res", kVcfResonance, 1},
    {"kbd", kVcfKbdTrack, 1},
    {"f.pol", kVcfEgPolarity, 1},
    {"f.int", kVcfEgIntensity, 1},
    {"f.a", kVcfEgAttack, 1},
    {"f.d", kVcfEgDecay, 1},
    {"f.bp", kVcfEgBreakPoint, 1},
    {"f.sl", kVcfEgSlope, 1},
    {"f.s", kVcfEgSustain, 1},
    {"f.r", kVcfEgRelease, 1},
    {"f.vel", kVcfEgVelocity, 1},
    {"a.a", kVcaEgAttack, 1},
    {"a.d", kVcaEgDecay, 1},
    {"a.bp", kVcaEgBreakPoint, 1},
    {"a.sl", kVcaEgSlope, 1},
    {"a.s", kVcaEgSustain, 1},
    {"a.r", kVcaEgRelease, 1},
    {"a.vel", kVcaEgVelocity, 1},
    {"mg.wave", kMgWaveform, 1},
    {"mg.freq", kMgFrequency, 1},
    {"mg.dly", kMgDelay, 1},
    {"mg.osc", kMgOsc, 1},
    {"mg.vcf", kMgVcf, 1},
    {"bend.osc", kBendOsc, 1},
    {"bend.vcf", kBendVcf, 1},
    {"dly.time", kDelayTime, 1},
    {"dly.fac", kDelayFactor, 1},
    {"dly.fb", kDelayFeedback, 1},
    {"dly.mfreq", kDelayModFrequency, 1},
    {"dly.mint", kDelayModIntensity, 1},
    {"dly.lvl", kDelayLevel, 1},
    {"porta", kPortamento, 1},
    {"at.osc", kAfterTouchOscMg, 1},
    {"at.vcf", kAfterTouchVcf, 1},
    {"at.vca", kAfterTouchVca, 1},
    {"mw.osc", kModWheelOscMg, 1},
    {"mw.vcf", kModWheelVcfMg, 1},
    {"stereo", kPseudoStereo, 1},
    {"voices", kVoices, 1},
    {"vol", kVolume, 1},
    {"tune", kTune, 1},
    {"engine", kEngineMode, 1},
    {"waves", kWaveSet, 1},
    {"mgsrc", kVcfMgSource, 1},
    {"f.eg", kVcfEgAttack, 6},
    {"a.eg", kVcaEgAttack, 6},
};

std::string Quoted(const char* text) {
    return std::strchr(text, ' ') ? "\"" + std::string(text) + "\"" : std::string(text);
}

std::string Number(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

// "OSC1 Octave: 16' 8' 4'" and the like: what the values of one parameter look like.
std::string DescribeValues(int index) {
    const ParameterInfo& info = kParameterTable[index];
    std::string text = info.name;
    // Two parameters share the name "DW Mode"; say which is which.
    if (index == kEngineMode) text += " (engine)";
    if (index == kWaveSet) text += " (waveform set)";
    text += ":";
    if (info.kind == ParamKind::Enum) {
        for (int i = 0; i < info.textCount; ++i)
            text += " " + Quoted(info.texts[i]);
    } else if (info.display == ParamDisplay::VoiceCount) {
        text += " voice count";
        for (int count : kVoiceCounts)
            text += " " + std::to_string(count);
    } else if (index == kEditParameter) {
        text += " the key of the parameter the panel selects on recall";
    } else {
        text += " " + Number(info.min) + ".." + Number(info.max);
        if (info.step != 1) text += " in steps of " + Number(info.step);
    }
    return text;
}

} // namespace

bool ParseProgramKind(const std::string& text, ProgramKind* kind) {
    if (text == "dw8000") {
        *kind = ProgramKind::Dw8000;
        return true;
    }
    if (text == "dw6000") {
        *kind = ProgramKind::Dw6000;
        return true;
    }
    return false;
}

ProgramValues KindDefaults(ProgramKind kind) {
    ProgramValues values;
    for (int i = 0; i < kNumParams; ++i)
        values[i] = kParameterTable[i].defaultValue;
    if (kind == ProgramKind::Dw6000) {
        values[kEngineMode] = 1;
        values[kWaveSet] = 1;
        values[kDelayTime] = 1;
        values[kDelayFactor] = 0;
        values[kDelayFeedback] = 0;
        values[kDelayModFrequency] = 2;
        values[kDelayModIntensity] = 27;
        values[kDelayLevel] = 15;
        values[kVoices] = -1;
    }
    return values;
}

const std::vector<FieldKey>& FieldKeys() {
    return kFieldKeys;
}

const FieldKey* FindFieldKey(const std::string& key) {
    for (const FieldKey& field : kFieldKeys)
        if (key == field.key) return &field;
    return nullptr;
}

const char* KeyOfParameter(int index) {
    for (const FieldKey& field : kFieldKeys)
        if (field.count == 1 && field.first == index) return field.key;
    return nullptr;
}

std::string FormatValue(int index, double value) {
    const ParameterInfo& info = kParameterTable[index];
    int whole = static_cast<int>(std::lround(value));
    if (info.kind == ParamKind::Enum) {
        int choice = whole - static_cast<int>(info.min);
        return choice >= 0 && choice < info.textCount ? Quoted(info.texts[choice]) : "?";
    }
    if (info.display == ParamDisplay::VoiceCount) {
        int slot = whole - static_cast<int>(info.min);
        return slot >= 0 && slot < 8 ? std::to_string(kVoiceCounts[slot]) : "?";
    }
    if (index == kEditParameter) {
        const char* key = KeyOfParameter(whole);
        return key ? key : std::to_string(whole);
    }
    return Number(value);
}

std::string KeyLegend(ProgramKind kind) {
    ProgramValues defaults = KindDefaults(kind);
    std::string legend;
    for (const FieldKey& field : kFieldKeys) {
        std::string line = "#   " + std::string(field.key);
        line.resize(16, ' ');
        if (field.count == 1) {
            line += DescribeValues(field.first);
        } else {
            line += std::string(field.first == kVcfEgAttack ? "VCF" : "VCA") +
                    " EG Attack/Decay/Break Point/Slope/Sustain/Release";
        }
        line += "  [";
        for (int k = 0; k < field.count; ++k)
            line += (k ? "/" : "") + FormatValue(field.first + k, defaults[field.first + k]);
        legend += line + "]\n";
    }
    return legend;
}

const FactoryBank* FindFactoryBank(const std::string& id) {
    for (const FactoryBank& bank : kFactoryBanks)
        if (id == bank.id) return &bank;
    return nullptr;
}

} // namespace bankgen
