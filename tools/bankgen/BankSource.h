// Reads the text source of a factory bank.
//
// The source has '#' comment lines, blank lines, two header lines before the first program
//     bank: BANK_A        (BANK_A, BANK_B or PROG6000: which names and header facts apply)
//     kind: dw8000        (dw8000 or dw6000: the defaults for fields a program leaves out)
// optionally a third naming the hardware's own data as the source of parameters 0..50
//     sysex: FILE         (a DW-8000 SysEx bank: 64 program dumps)
//     tape: FILE          (a DW-8000 cassette tape bank as hexadecimal bytes)
// (FILE relative to the source's folder; the program lines may then set only the instrument's
// own parameters 51..59), and then exactly 64 program lines, in bank order, of the form
//     NAME | intent | key=value key=value ...
// The name must be the bank's name for that position; the intent is one short phrase saying
// what the program is meant to sound like. Values are written as the panel shows them: enum
// parameters by their display text (in double quotes when it holds a blank), "Voices" as a
// voice count, "Edit Parameter" as the key of the selected parameter, everything else as a
// plain number, whole wherever the parameter's step is 1. The envelope keys f.eg and a.eg take
// six values separated by '/'.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/bankgen/BankFormat.h"

namespace bankgen {

struct SourceProgram {
    std::string name;
    std::string intent;
    ProgramValues values;
    int line;
};

enum class HardwareDataKind { None, SysEx, Tape };

struct BankSource {
    const FactoryBank* bank = nullptr;
    ProgramKind kind = ProgramKind::Dw8000;
    HardwareDataKind dataKind = HardwareDataKind::None;
    std::string dataFile; // as written in the source
    std::vector<SourceProgram> programs;
};

struct SourceError {
    int line = 0;
    std::string reason;
};

// Parses a whole text source. On the first fault returns false and describes it; `source` is
// then incomplete and must not be used. The hardware data a source names is not read here.
bool ParseBankSource(const std::string& text, BankSource* source, SourceError* error);

// Puts the 64 programs of the hardware data, read from `bytes` (the whole file), into
// parameters 0..50 of the source's programs. False with `reason` set when the data is faulty.
bool ApplyHardwareData(const std::vector<uint8_t>& bytes, BankSource* source, std::string* reason);

} // namespace bankgen
