// Loading a DW-8000 tape dump into the instrument's 64 programs.
#pragma once

#include "tape/TapeReader.h"

#include <string>
#include <vector>

class QX4470;

// Indices of the programs whose checksum fails in a decoded DW-8000 bank stream (none when the
// stream has another length).
std::vector<int> CorruptTapePrograms(const std::vector<uint8_t>& stream);

// Applies a decoded stream: a DW-8000 bank (1987 bytes) replaces all 64 programs, each
// initialised first and applied even when its checksum fails, which the instrument's
// tapeStatus then names. A DW-6000 dump (1730 bytes) sets *dw6000Tape and the status and
// changes nothing; any other length changes nothing at all. True when the programs were set.
bool ApplyTapeStream(QX4470& synth, const std::vector<uint8_t>& stream, bool* dw6000Tape);

// The tape dialog's whole operation: reads and decodes the recording with the process-wide
// tape settings and applies it; after a successful load the settings are stored in the INI
// file. The programs stay untouched on every failure.
bool LoadTapeDump(QX4470& synth, const std::string& path, bool* dw6000Tape);
