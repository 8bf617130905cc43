// The layer every instrument of this family shares, between the VST 2 binding and the
// instrument: the per-user configuration, the incoming MIDI queue, the held keys, MIDI learn
// with the controller map, the one-program copy buffer and the generic program operations.
#pragma once

#include "host/IPlugVST.h"
#include "synth/Configuration.h"
#include "synth/HeldNotes.h"
#include "synth/MidiQueue.h"
#include "synth/TuningClient.h"

#include <memory>

class Synth : public IPlugVST {
public:
    Synth(const PlugIdentity& identity, audioMasterCallback hostCallback);
    ~Synth() override;

    void OnReset() override;
    void OnParameterChanged(int index) override;
    void OnActivate(bool active) override;

    // Loads the startup bank file, else factory bank A from the plug-in's own data. False only
    // when neither loads.
    virtual bool LoadStartupBank();
    // Defines the parameters; the instrument fills it in.
    virtual void InitParameters() {}
    // Sets every parameter to its default and stores the program as "Init".
    virtual void InitCurrentProgram();

    // Program operations of the editor's menus and keypad.
    void CopyProgram();
    void PasteProgram();
    void SelectProgram(int index);
    // The keypad's program up/down: one step with wrap-around (down from 0 goes to the last).
    void StepProgram(int delta);
    // Reads an FXB image held in memory into the presets (no header field is compared).
    bool LoadBankImage(const uint8_t* bytes, int size);
    // Ends an armed MIDI learn once it knows enough: binds or forgets a controller.
    void CompleteLearn();
    // The utility menu's global MIDI switches: each flips and is written to the INI file at
    // once.
    void ToggleMidiThru();
    void ToggleIgnoreProgramChange();
    void ToggleSendParamChangeSysEx();

    Configuration config;
    MidiQueue midiQueue;
    // The instance's connection to a tuning master (equal temperament without one).
    std::unique_ptr<TuningClient> mtsClient;
    HeldNotes heldNotes;
    int copyProgramIndex = -1;
    ChunkBuffer copyBuffer;
    bool learnArmed = false;
    bool learnForget = false;
    int learnController = -1;
    int learnParameter = -1;
    int samplesPerMillisecond = 0;
};
