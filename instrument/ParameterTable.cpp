#include "instrument/ParameterTable.h"

namespace {

const char* const kOctaves[] = {"16'", "8'", "4'"};
const char* const kAutoBendSelects[] = {"OFF", "OSC1", "OSC2", "BOTH"};
const char* const kAutoBendModes[] = {"UP", "DOWN"};
const char* const kIntervals[] = {"1", "-3", "3", "4", "5"};
const char* const kAssignModes[] = {"Poly 1", "Poly 2", "Unison 1", "Unison 2"};
const char* const kKbdTracks[] = {"0", "1/4", "1/2", "1"};
const char* const kPolarities[] = {"POS.", "NEG."};
const char* const kMgWaveforms[] = {"TRI", "SAW", "RAMP", "RECT"};
const char* const kOffOn[] = {"OFF", "ON"};
const char* const kDwModes[] = {"8000", "6000"};
const char* const kVcfMgSources[] = {"Breath Controller", "Modulation Wheel"};

template <int N>
constexpr ParameterInfo Choice(const char* name, double defaultValue, const char* const (&texts)[N],
                               int panel) {
    return {name, ParamKind::Enum, 0, N - 1, defaultValue, 1, texts, N, ParamDisplay::Plain, panel};
}
constexpr ParameterInfo Number(const char* name, double max, double defaultValue, int panel) {
    return {name, ParamKind::Double,   0,    max, defaultValue, 1, nullptr,
            0,    ParamDisplay::Plain, panel};
}
constexpr ParameterInfo Integer(const char* name, double min, double max, double defaultValue,
                                int panel, ParamDisplay display = ParamDisplay::Plain) {
    return {name, ParamKind::Int, min, max, defaultValue, 1, nullptr, 0, display, panel};
}
constexpr ParameterInfo Fine(const char* name, double min, double max, double defaultValue,
                             ParamDisplay display) {
    return {name, ParamKind::Double, min, max, defaultValue, 0.01, nullptr, 0, display, -1};
}

} // namespace

const ParameterInfo kParameterTable[kNumParams] = {
    Choice("OSC1 Octave", 1, kOctaves, 11),
    Integer("OSC1 Waveform", 1, 16, 1, 12),
    Number("OSC1 Level", 31, 31, 13),
    Choice("Auto Bend Select", 0, kAutoBendSelects, 14),
    Choice("Auto Bend Mode", 0, kAutoBendModes, 15),
    Number("Auto Bend Time", 31, 0, 16),
    Number("Auto Bend Intensity", 31, 0, 17),
    Choice("OSC2 Octave", 1, kOctaves, 21),
    Integer("OSC2 Waveform", 1, 16, 1, 22),
    Number("OSC2 Level", 31, 31, 23),
    Choice("OSC2 Interval", 0, kIntervals, 24),
    Number("OSC2 Detune", 6, 2, 25),
    Number("Noise Level", 31, 0, 26),
    Choice("Mode", 0, kAssignModes, -1),
    Integer("Edit Parameter", 0, 50, 0, -1),
    Number("VCF Cutoff", 63, 63, 31),
    Number("VCF Resonance", 31, 0, 32),
    Choice("VCF KBD Track", 0, kKbdTracks, 33),
    Choice("VCF EG Polarity", 0, kPolarities, 34),
    Number("VCF EG Intensity", 31, 0, 35),
    Number("VCF EG Attack", 31, 0, 41),
    Number("VCF EG Decay", 31, 0, 42),
    Number("VCF EG Break Point", 31, 31, 43),
    Number("VCF EG Slope", 31, 0, 44),
    Number("VCF EG Sustain", 31, 31, 45),
    Number("VCF EG Release", 31, 0, 46),
    Number("VCF EG Velocity", 7, 0, 47),
    Number("VCA EG Attack", 31, 0, 51),
    Number("VCA EG Decay", 31, 0, 52),
    Number("VCA EG Break Point", 31, 31, 53),
    Number("VCA EG Slope", 31, 0, 54),
    Number("VCA EG Sustain", 31, 31, 55),
    Number("VCA EG Release", 31, 0, 56),
    Number("VCA EG Velocity", 7, 0, 57),
    Choice("MG Waveform", 0, kMgWaveforms, 61),
    Number("MG Frequency", 31, 19, 62),
    Number("MG Delay", 31, 0, 63),
    Number("MG Osc", 31, 0, 64),
    Number("MG VCF", 31, 0, 65),
    Number("Bend OSC", 12, 0, 66),
    Choice("Bend VCF", 0, kOffOn, 67),
    Number("Delay Time", 7, 0, 71),
    Number("Delay Factor", 15, 0, 72),
    Number("Delay Feedback", 15, 0, 73),
    Number("Delay Mod. Frequency", 31, 0, 74),
    Number("Delay Mod. Intensity", 31, 0, 75),
    Number("Delay Level", 15, 0, 76),
    Number("Portamento", 31, 0, 77),
    Number("After Touch OSC MG", 3, 0, 81),
    Number("After Touch VCF", 3, 0, 82),
    Number("After Touch VCA", 3, 0, 83),
    Number("Mod.Wheel Osc MG", 31, 8, 84),
    Number("Mod.Wheel VCF MG", 31, 0, 85),
    Choice("\"Pseudo\" Stereo", 0, kOffOn, 86),
    Integer("Voices", -4, 3, 0, 87, ParamDisplay::VoiceCount),
    Fine("Volume", 0, 1, 0.5, ParamDisplay::Decibels),
    Fine("Tune", -1, 1, 0, ParamDisplay::Cents),
    Choice("DW Mode", 0, kDwModes, -1),
    Choice("DW Mode", 0, kDwModes, -1),
    Choice("VCF MG Mod. Source", 0, kVcfMgSources, -1),
    Integer("reserved", 0, 1, 0, -1),
    Integer("reserved", 0, 1, 0, -1),
    Integer("reserved", 0, 1, 0, -1),
    Integer("reserved", 0, 1, 0, -1),
    Integer("reserved", 0, 1, 0, -1),
    Integer("reserved", 0, 1, 0, -1),
    Integer("reserved", 0, 1, 0, -1),
    Integer("reserved", 0, 1, 0, -1),
    Integer("reserved", 0, 1, 0, -1),
};
