// The vocabulary of the factory-bank text sources: the short field keys that name the
// instrument's parameters, the two program kinds whose defaults fill the fields a line leaves
// out, and the three factory banks with the header facts and program names they must carry.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/ParameterTable.h"

namespace bankgen {

constexpr int kBankPrograms = 64;

// The 69 real parameter values of one program, in parameter index order.
using ProgramValues = std::array<double, kNumParams>;

enum class ProgramKind { Dw8000, Dw6000 };

// "dw8000" or "dw6000".
bool ParseProgramKind(const std::string& text, ProgramKind* kind);

// What a freshly initialised program of the kind holds: the table defaults, and for a DW-6000
// program both "DW Mode" at "6000", the DW-6000 chorus settings and six voices.
ProgramValues KindDefaults(ProgramKind kind);

// A field key names one parameter, or (for the envelope groups) `count` consecutive ones
// written as values separated by '/'.
struct FieldKey {
    const char* key;
    int first;
    int count;
};

const std::vector<FieldKey>& FieldKeys();
// The key with this exact spelling, or null.
const FieldKey* FindFieldKey(const std::string& key);
// The key naming parameter `index` alone, or null (the reserved parameters have none).
const char* KeyOfParameter(int index);

// A value as a text source writes it: the display text of an enum setting (quoted when it
// holds a blank), the voice count of "Voices", the key of the parameter "Edit Parameter"
// selects, a plain number otherwise.
std::string FormatValue(int index, double value);

// Comment lines for the header of a text source: every key with its parameter's name, its
// values and, in brackets, the value a program of the kind takes when the key is left out.
std::string KeyLegend(ProgramKind kind);

// The voice counts that "Voices" values -4..3 select.
constexpr int kVoiceCounts[8] = {1, 2, 4, 6, 8, 16, 32, 64};

struct FactoryBank {
    const char* id; // the resource type the plug-in embeds it under
    int32_t fxVersion;
    int32_t currentProgram;
    int32_t recordTrailer;    // the int32 after marker 5 in every program record
    const char* const* names; // kBankPrograms names in bank order
};

// "BANK_A", "BANK_B" or "PROG6000"; null for anything else.
const FactoryBank* FindFactoryBank(const std::string& id);

} // namespace bankgen
