// The instrument: 69 parameters, 64 programs with the factory banks, the hardware's SysEx, and
// the engine state that the parameters drive.
#pragma once

#include "dsp/DigitalDelay.h"
#include "dsp/Modulation.h"
#include "dsp/Random.h"
#include "dsp/Voice.h"
#include "instrument/ParameterTable.h"
#include "synth/Synth.h"

#include <array>

class IGraphics;

class QX4470 : public Synth {
public:
    explicit QX4470(audioMasterCallback hostCallback);
    ~QX4470() override;

    void InitParameters() override;
    // Builds the editor (no window yet) and attaches it.
    void CreateEditor();
    IGraphics* GetGraphics() const;
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

    // --- Notes (called at the sample they are due).
    // A key goes down (velocity 1..127): the assign mode picks the voices.
    void NoteOn(int note, int velocity);
    // A key goes up; in unison the voices move to the highest key still held.
    void NoteOff(int note);
    // The sustain pedal: held while the value is above 0.
    void SustainPedal(int value);
    // Stops every note: held keys, pending note events and the sustain pedal are cleared and
    // every voice released (voices fade with their release time).
    void AllNotesOff();
    // Sets the voice count from the "Voices" value; notes stop when the count changes (except
    // while the instrument is being built).
    void SetVoiceCount(int count);
    // Makes renders repeatable: seeds the per-note spread, the oscillators' start phases and the
    // process-wide noise.
    void SeedRandomness(uint32_t seed) override;

    // Instrument state fed by the parameters.
    int assignMode = 0;
    bool unison = false;
    int editParameterIndex = 0;
    bool dw6000 = false;
    int waveSet = 0;
    bool pseudoStereo = false;
    int voiceCount = 8;
    int unisonCount = 8;
    double unisonGain = 0.545;
    bool sustain = false;
    bool editorDirty = false;
    bool constructing = true;
    int nextSerial = 0;

    // The modulation shared by all voices, its routings and the controllers that drive it.
    Modulation modulation;
    ModulationAmounts amounts;
    ControllerInputs controllers;
    DigitalDelay delay;
    double delayLevel = 0; // echo level; 0 switches the delay off

    // The pool of voices; "Voices" makes the first 1 to 64 playable.
    static constexpr int kVoicePool = 64;
    std::array<Voice, kVoicePool> voices;
    // Everything in the engine that should merely be unpredictable draws from here; tests seed
    // it so that renders repeat exactly.
    Random random;
    double lastSampleRate = 0;
    // What the last tape dump load found, for the tape dialog.
    std::string tapeStatus;

private:
    void ApplyGlobalParameter(int index, double value, double normalized);
    // The engine starts afresh at a new sample rate: voices, controllers, the MG delay and the
    // delay line; the program's values are applied again.
    void ResetEngine(double sampleRate);
    // Chooses the voices for a note by the assign mode and starts them.
    void Allocate(int note, int velocity);
    void StartVoice(int index, int note, int velocity, int serial, int spread);

    // --- Block rendering.
    // Takes the waiting messages due before block position `limit` (controllers at once, note
    // and pedal events into the event list at their place in the present tick, which began at
    // block position tickStart).
    void TakeDueMessages(int limit, int tickStart);
    void ApplyNoteEvent(const IMidiMessage& event);
    void ApplyController(int controller, int value);
    // Renders `frames` samples of the present tick from tick position `tickPosition` into the
    // outputs at block position `position`, dispatching note events at their samples.
    void RenderTickPart(double** outputs, int position, int frames, int tickPosition);
    // Renders voices, delay and output gain without events in between.
    void RenderStretch(double* left, double* right, int frames);
    void SetProgramValue(int index, double value);
    bool StoreDump(const ChunkBuffer& file, int dumpStart, int programNumber);

    ChunkBuffer sysexOut_; // messages sent to the host, reused so sending does not allocate

    // Samples per control tick, and what is left of the present tick (0: the next sample
    // starts a tick).
    int tickLength_ = 44;
    int tickCountdown_ = 0;
    ModulationOutputs tickOutputs_;
    // Note and pedal events of the present tick, offsets counted from the tick's start.
    MidiQueue events_;
    int nextEvent_ = 0;
    // The sound paths of the voices, for the chunk renderer.
    std::array<VoicePath*, kVoicePool> paths_;
    // The voices' sum of one stretch.
    static constexpr int kMixFrames = 1024;
    double mix_[kMixFrames];
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
