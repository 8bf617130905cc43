// Program and bank files read and written through the instrument's own code, for the `convert`
// and `programs` commands: hardware SysEx files (.syx) and program and bank files (.fxp, .fxb).
#pragma once

#include "instrument/QX4470.h"

#include <memory>
#include <string>
#include <vector>

enum class ProgramFileKind { Unknown, SysEx, Program, Bank };

// The kind a file name says (by its extension, in any case).
ProgramFileKind KindOfPath(const std::string& path);

// An instrument made only for file work: no host, factory bank A in its programs whatever the
// user's configuration says, so that conversions give the same result on every machine.
std::unique_ptr<QX4470> NewFileInstrument();

struct LoadedPrograms {
    // The programs the file set, in order (one for a single program file).
    std::vector<int> programs;
    // Whether the file holds more than one program's place (a bank or a message stream).
    bool bank = false;
};

// Loads a file into the instrument; false with a one-line reason when the file is not what its
// name says, is broken, or sets no program.
bool LoadProgramFile(QX4470& synth, const std::string& path, LoadedPrograms* loaded,
                     std::string* error);

// A file instrument holding the programs of a file; null (with the reason reported on stderr)
// when the file cannot be loaded.
std::unique_ptr<QX4470> OpenProgramFile(const std::string& path, LoadedPrograms* loaded);
