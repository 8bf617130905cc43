// The instrument's 69 parameters in one table. The host interface, the editor, the program
// records, SysEx and the factory-bank generator all read it; nothing else lists parameters.
#pragma once

enum ParamIndex {
    kOsc1Octave = 0,
    kOsc1Waveform,
    kOsc1Level,
    kAutoBendSelect,
    kAutoBendMode,
    kAutoBendTime,
    kAutoBendIntensity,
    kOsc2Octave,
    kOsc2Waveform,
    kOsc2Level,
    kOsc2Interval, // 10
    kOsc2Detune,
    kNoiseLevel,
    kAssignMode,
    kEditParameter,
    kVcfCutoff,
    kVcfResonance,
    kVcfKbdTrack,
    kVcfEgPolarity,
    kVcfEgIntensity,
    kVcfEgAttack, // 20
    kVcfEgDecay,
    kVcfEgBreakPoint,
    kVcfEgSlope,
    kVcfEgSustain,
    kVcfEgRelease,
    kVcfEgVelocity,
    kVcaEgAttack,
    kVcaEgDecay,
    kVcaEgBreakPoint,
    kVcaEgSlope, // 30
    kVcaEgSustain,
    kVcaEgRelease,
    kVcaEgVelocity,
    kMgWaveform,
    kMgFrequency,
    kMgDelay,
    kMgOsc,
    kMgVcf,
    kBendOsc,
    kBendVcf, // 40
    kDelayTime,
    kDelayFactor,
    kDelayFeedback,
    kDelayModFrequency,
    kDelayModIntensity,
    kDelayLevel,
    kPortamento,
    kAfterTouchOscMg,
    kAfterTouchVcf,
    kAfterTouchVca, // 50
    kModWheelOscMg,
    kModWheelVcfMg,
    kPseudoStereo,
    kVoices,
    kVolume,
    kTune,
    kEngineMode, // "DW Mode": envelopes, SysEx dialect, MG and delay behaviour
    kWaveSet,    // "DW Mode": waveform set of the oscillators
    kVcfMgSource,
    kReservedFirst, // 60..68: nine placeholders, always stored as 0
    kReservedLast = kReservedFirst + 8,
    kNumParams = 69,
    kNumProgramParams = 51, // 0..50: the hardware's program data, byte i = parameter i
};

enum class ParamKind { Enum, Int, Double };

// How a value is shown when plain numbers or display texts are not enough.
enum class ParamDisplay { Plain, VoiceCount, Decibels, Cents };

struct ParameterInfo {
    const char* name;
    ParamKind kind;
    double min;
    double max;
    double defaultValue;
    double step;
    const char* const* texts; // one per integer value min..max for Enum parameters
    int textCount;
    ParamDisplay display;
    int panelNumber; // two-digit keypad number, -1 when the keypad cannot reach it
};

extern const ParameterInfo kParameterTable[kNumParams];
