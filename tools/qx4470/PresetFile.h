// FXP program files and FXB bank files as a host reads them: either an opaque chunk for the
// plug-in ("FPCh", "FBCh") or plain lists of normalised parameter values ("FxCk", "FxBk").
// Parsing is a pure function over the bytes; nothing is handed to a plug-in until the whole file
// has been checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fx {

enum class Kind { ProgramChunk, BankChunk, ProgramParams, BankParams };

enum class ParseError {
    None,
    NotPresetFile, // no "CcnK" at the start
    UnknownMagic,  // fxMagic is none of the four kinds
    Truncated,     // a header, a chunk or a value list runs past the end of the file
    BadCount,      // a negative chunk size, parameter count or program count
    BadProgram,    // a bank entry that is not an "FxCk" program
};

const char* DescribeError(ParseError error);

struct Program {
    std::string name;
    int32_t fxId = 0;
    std::vector<float> values; // normalised parameter values
};

struct PresetFile {
    Kind kind = Kind::ProgramChunk;
    int32_t version = 0;
    int32_t fxId = 0;
    int32_t fxVersion = 0;
    int32_t numPrograms = 0;       // banks
    int32_t currentProgram = -1;   // banks of version 2 and later; -1 when the file has none
    std::vector<uint8_t> chunk;    // chunk kinds: the bytes after the header
    Program program;               // "FxCk" programs; the name of "FPCh" programs
    std::vector<Program> programs; // "FxBk" banks
};

struct ParseResult {
    ParseError error = ParseError::None;
    size_t offset = 0; // where the problem was found
    PresetFile file;
    bool ok() const { return error == ParseError::None; }
};

ParseResult Parse(const uint8_t* data, size_t size);

// "'abcd'" for printable four-character codes, else "0x1234ABCD".
std::string FourCharCode(int32_t code);

} // namespace fx
