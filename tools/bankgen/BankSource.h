// Reads the text source of a factory bank.
//
// The source has '#' comment lines, blank lines, two header lines before the first program
//     bank: BANK_A        (BANK_A, BANK_B or PROG6000: which names and header facts apply)
//     kind: dw8000        (dw8000 or dw6000: the defaults for fields a program leaves out)
// and then exactly 64 program lines, in bank order, of the form
//     NAME | intent | key=value key=value ...
// The name must be the bank's name for that position; the intent is one short phrase saying
// what the program is meant to sound like. Values are written as the panel shows them: enum
// parameters by their display text (in double quotes when it holds a blank), "Voices" as a
// voice count, "Edit Parameter" as the key of the selected parameter, everything else as a
// plain number, whole wherever the parameter's step is 1. The envelope keys f.eg and a.eg take
// six values separated by '/'.
#pragma once

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

struct BankSource {
    const FactoryBank* bank = nullptr;
    ProgramKind kind = ProgramKind::Dw8000;
    std::vector<SourceProgram> programs;
};

struct SourceError {
    int line = 0;
    std::string reason;
};

// Parses a whole text source. On the first fault returns false and describes it; `source` is
// then incomplete and must not be used.
bool ParseBankSource(const std::string& text, BankSource* source, SourceError* error);

} // namespace bankgen
