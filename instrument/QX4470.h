// The instrument: 69 parameters, 64 programs with the factory banks, the hardware's SysEx, and
// the engine state that the parameters drive.
#pragma once

#include "dsp/Random.h"
#include "dsp/VoicePath.h"
#include "instrument/ParameterTable.h"
#include "synth/Synth.h"

#include <array>

// Engine amounts set by the global (non-voice) parameters, in the units the engine uses.
struct GlobalAmounts {
    double mgSetting = 0;   // "MG Frequency", normalised
    double mgDelayRate = 1; // delay fade-in step per control tick
    double mgOsc = 0;
    double mgVcf = 0;   // pitch-index units of cutoff
    double bendOsc = 0; // pitch-index units at full bend
    double bendVcf = 0;
    double atOsc = 0;
    double atVcf = 0;
    double atVca = 0;
    double wheelOsc = 0;
    double wheelVcf = 0;
    double volume = 0.25; // output gain
    double tune = 0;      // pitch-index units
};

// The digital delay's settings from its parameters.
struct DelayAmounts {
    int timeIndex = 0;   // "Delay Time" 0..7: the read offset is the line length >> (7 - t)
    double factor = 1;   // write step factor 0.5..1
    double feedback = 0; // <= 0: each repeat is inverted
    double modRate = 0;  // modulation phase step per control tick
    double modAmount = 0;
    double level = 0; // echo level; 0 switches the delay off
};

class QX4470 : public Synth {
public:
    explicit QX4470(audioMasterCallback hostCallback);
    ~QX4470() override;

    void InitParameters() override;
    void OnParameterChanged(int index) override;
    void OnReset() override;
    void SetSampleRate(double rate) override;
    void ProcessBlock(double** inputs, double** outputs, int frames) override;
    void ProcessMidiMessage(const IMidiMessage& message) override;
    bool SerializeState(ChunkBuffer& chunk) override;
    int UnserializeState(const ChunkBuffer& chunk, int position) override;

    // Program operations of the menus (each stores the result in the current program).
    void InitializeProgram(bool dw6000Program);
    bool RestoreFactoryBank(int kind); // 0 "BANK_A", 1 "BANK_B", 2 "PROG6000"

    // The hardware's SysEx, in the dialect of the engine mode ("DW Mode", index 57).
    void ProcessSysExMessage(const ISysExMessage& message) override;
    // Sets the parameters one byte of program data holds (DW-8000 byte = parameter index;
    // DW-6000 bytes pack several), each limited, announced to the engine and the host.
    void ApplyProgramByte(int number, int value, bool dw6000Data);
    // Appends the current program as a complete dump message.
    void BuildProgramDump(ChunkBuffer& chunk);
    // Reads the dump message at position into the live program (after initialising it);
    // returns the position after its data, or -1 when the data breaks off.
    int ParseProgramDump(const uint8_t* bytes, int size, int position);
    void SendProgramDump();
    // Sends the change of one parameter when that option is on.
    void SendParameterChange(int index);
    static bool IsSysExBankFile(const std::string& path);
    bool LoadSysExFile(const std::string& path);
    bool SaveSysExFile(const std::string& path, bool wholeBank);

    // Stops every note: held keys and the sustain pedal are cleared and every voice released.
    void AllNotesOff();
    // Sets the voice count from the "Voices" value; notes stop when the count changes (except
    // while the instrument is being built).
    void SetVoiceCount(int count);

    // Instrument state fed by the parameters.
    int assignMode = 0;
    bool unison = false;
    int editParameterIndex = 0;
    int mgWaveform = 0;
    bool dw6000 = false;
    int waveSet = 0;
    bool breathDrivesVcfMg = true;
    bool pseudoStereo = false;
    int voiceCount = 8;
    int unisonCount = 8;
    double unisonGain = 0.545;
    bool sustain = false;
    bool editorDirty = false;
    bool constructing = true;
    GlobalAmounts amounts;
    DelayAmounts delay;

    // The pool of voices; "Voices" makes the first 1 to 64 playable.
    static constexpr int kVoicePool = 64;
    std::array<VoicePath, kVoicePool> voices;
    // Everything in the engine that should merely be unpredictable draws from here; tests seed
    // it so that renders repeat exactly.
    Random random;
    double lastSampleRate = 0;

private:
    void ApplyGlobalParameter(int index, double value, double normalized);
    // Every voice takes the sample rate (its tables, envelopes and filters start afresh).
    void ResetVoices(double sampleRate);
    void SetProgramValue(int index, double value);
    bool StoreDump(const ChunkBuffer& file, int dumpStart, int programNumber);

    ChunkBuffer sysexOut_; // messages sent to the host, reused so sending does not allocate
};

// "Voices" -4..3 as the voice count 1, 2, 4, 6, 8, 16, 32, 64.
int VoiceCountOf(double value);
// The unison output gain for 1..8 unison voices.
double UnisonGainOf(int unisonVoices);
// The generated program name, "PROGRAM <bank>-<number>", for program index 0..63.
std::string ProgramNameOf(int index);
// The parameter a two-digit keypad number selects, or -1.
int ParameterOfPanelNumber(int number);
// "Edit Parameter" travels as a 6-bit panel position code outside the instrument.
int EditParameterOfCode(int code);
int CodeOfEditParameter(int index);
