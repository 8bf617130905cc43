// Micro-tuning from a tuning master: another program in the host publishes 128 note frequencies
// through an optional shared library. While a master is connected, notes take its frequencies
// and it may filter notes out; otherwise notes are equal-tempered with A = 440 Hz.
#pragma once

#include <string>

// The process-wide binding of the tuning-master library: loaded on first use from its installed
// place, functions bound by name (null when missing).
class TuningLibrary {
public:
    static TuningLibrary& Instance();
    ~TuningLibrary();

    // Loads the library from a path, replacing what was bound; false when it does not load.
    // (Done once from the installed place; tests load a stand-in.)
    bool Load(const std::string& path);
    void Unload();
    bool IsLoaded() const { return library_ != nullptr; }

    void (*registerClient)() = nullptr;
    void (*deregisterClient)() = nullptr;
    bool (*hasMaster)() = nullptr;
    bool (*shouldFilterNote)(char note, char channel) = nullptr;
    bool (*shouldFilterNoteMultiChannel)(char note, char channel) = nullptr;
    const double* (*getTuningTable)() = nullptr;
    const double* (*getMultiChannelTuningTable)(char channel) = nullptr;
    bool (*useMultiChannelTuning)(char channel) = nullptr;
    const char* (*getScaleName)() = nullptr;

    // 1 / (equal-tempered frequency) of each note.
    double inverseEqualTemperament[128];
    // The master's note frequencies, fetched when the library loads; null when unavailable.
    const double* masterTable = nullptr;
    const double* channelTables[16] = {nullptr};

private:
    TuningLibrary();
    void* library_ = nullptr;
};

// One instance's connection to the tuning master.
class TuningClient {
public:
    TuningClient();
    ~TuningClient();
    TuningClient(const TuningClient&) = delete;
    TuningClient& operator=(const TuningClient&) = delete;

    // A master is connected and has published its table.
    bool MasterPresent() const;
    // The pitch index (128 steps per semitone) of a note: note x 128 without a master, else the
    // index whose frequency is nearest the master's, found by bisection.
    int NotePitch(int note);
    // Whether the master asks for a note to be ignored.
    bool ShouldFilter(int note);
    // "Micro Tuning: <scale name>" while a master is connected, else empty.
    std::string TuningText() const;

private:
    double localTable_[128];
    char name_[17] = "12-TET";
    bool useMultiChannel_ = false;
    bool frequencyRequested_ = false;
    bool filterRequested_ = false;
};
