// FXP/FXB parsing. Header fields are big-endian 32-bit values; the size fields that say how
// long the whole record is are not trusted: every length is checked against the file itself.
#include "tools/qx4470/PresetFile.h"

#include <cstdio>
#include <cstring>

namespace fx {

namespace {

constexpr size_t kProgramHeaderSize = 56; // up to and including the program name
constexpr size_t kProgramNameOffset = 28;
constexpr size_t kProgramNameSize = 28;
constexpr size_t kBankHeaderSize = 156;

int32_t BigEndian32(const uint8_t* p) {
    return (int32_t)(((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) |
                     p[3]);
}

float BigEndianFloat(const uint8_t* p) {
    uint32_t bits = (uint32_t)BigEndian32(p);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

bool HasTag(const uint8_t* p, const char* tag) {
    return std::memcmp(p, tag, 4) == 0;
}

std::string FixedText(const uint8_t* p, size_t size) {
    size_t length = 0;
    while (length < size && p[length] != 0)
        ++length;
    return std::string((const char*)p, length);
}

struct Failure {
    ParseError error;
    size_t offset;
};

// One "FxCk" program at `at`; on success `at` moves past it.
bool ParseParamProgram(const uint8_t* data, size_t size, size_t& at, Program& program,
                       Failure& failure) {
    if (size - at < kProgramHeaderSize) {
        failure = {ParseError::Truncated, at};
        return false;
    }
    const uint8_t* p = data + at;
    if (!HasTag(p, "CcnK") || !HasTag(p + 8, "FxCk")) {
        failure = {ParseError::BadProgram, at};
        return false;
    }
    int32_t count = BigEndian32(p + 24);
    if (count < 0) {
        failure = {ParseError::BadCount, at + 24};
        return false;
    }
    if ((uint64_t)count * 4 > size - at - kProgramHeaderSize) {
        failure = {ParseError::Truncated, at + kProgramHeaderSize};
        return false;
    }
    program.fxId = BigEndian32(p + 16);
    program.name = FixedText(p + kProgramNameOffset, kProgramNameSize);
    program.values.resize((size_t)count);
    for (int32_t i = 0; i < count; ++i)
        program.values[(size_t)i] = BigEndianFloat(p + kProgramHeaderSize + 4 * (size_t)i);
    at += kProgramHeaderSize + 4 * (size_t)count;
    return true;
}

// The chunk of an "FPCh" or "FBCh" file: its size at `sizeAt`, its bytes right after.
bool ParseChunk(const uint8_t* data, size_t size, size_t sizeAt, std::vector<uint8_t>& chunk,
                Failure& failure) {
    if (size < sizeAt + 4) {
        failure = {ParseError::Truncated, size};
        return false;
    }
    int32_t length = BigEndian32(data + sizeAt);
    if (length < 0) {
        failure = {ParseError::BadCount, sizeAt};
        return false;
    }
    if ((uint64_t)length > size - sizeAt - 4) {
        failure = {ParseError::Truncated, sizeAt};
        return false;
    }
    chunk.assign(data + sizeAt + 4, data + sizeAt + 4 + length);
    return true;
}

} // namespace

const char* DescribeError(ParseError error) {
    switch (error) {
    case ParseError::None:
        return "no error";
    case ParseError::NotPresetFile:
        return "not an FXP or FXB file";
    case ParseError::UnknownMagic:
        return "unknown kind of FXP/FXB file";
    case ParseError::Truncated:
        return "file is truncated";
    case ParseError::BadCount:
        return "negative size or count";
    case ParseError::BadProgram:
        return "bank holds something other than a parameter program";
    }
    return "unknown error";
}

std::string FourCharCode(int32_t code) {
    char text[16];
    bool printable = true;
    for (int shift = 24; shift >= 0; shift -= 8) {
        unsigned c = ((uint32_t)code >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E) printable = false;
    }
    if (printable)
        std::snprintf(text, sizeof text, "'%c%c%c%c'", (char)((uint32_t)code >> 24),
                      (char)((uint32_t)code >> 16), (char)((uint32_t)code >> 8), (char)code);
    else
        std::snprintf(text, sizeof text, "0x%08X", (unsigned)code);
    return text;
}

ParseResult Parse(const uint8_t* data, size_t size) {
    ParseResult result;
    Failure failure{ParseError::None, 0};
    auto fail = [&](ParseError error, size_t offset) {
        result.error = error;
        result.offset = offset;
        return result;
    };
    if (size < 4 || !HasTag(data, "CcnK")) return fail(ParseError::NotPresetFile, 0);
    if (size < 28) return fail(ParseError::Truncated, size);

    PresetFile& file = result.file;
    file.version = BigEndian32(data + 12);
    file.fxId = BigEndian32(data + 16);
    file.fxVersion = BigEndian32(data + 20);
    const uint8_t* magic = data + 8;

    if (HasTag(magic, "FPCh") || HasTag(magic, "FxCk")) {
        if (size < kProgramHeaderSize) return fail(ParseError::Truncated, size);
        if (HasTag(magic, "FPCh")) {
            file.kind = Kind::ProgramChunk;
            file.program.name = FixedText(data + kProgramNameOffset, kProgramNameSize);
            file.program.fxId = file.fxId;
            if (!ParseChunk(data, size, kProgramHeaderSize, file.chunk, failure))
                return fail(failure.error, failure.offset);
            return result;
        }
        file.kind = Kind::ProgramParams;
        size_t at = 0;
        if (!ParseParamProgram(data, size, at, file.program, failure))
            return fail(failure.error, failure.offset);
        return result;
    }

    if (HasTag(magic, "FBCh") || HasTag(magic, "FxBk")) {
        if (size < kBankHeaderSize) return fail(ParseError::Truncated, size);
        file.numPrograms = BigEndian32(data + 24);
        if (file.numPrograms < 0) return fail(ParseError::BadCount, 24);
        // Version 1 banks have no current program; their field is part of the reserved area.
        if (file.version >= 2) file.currentProgram = BigEndian32(data + 28);
        if (HasTag(magic, "FBCh")) {
            file.kind = Kind::BankChunk;
            if (!ParseChunk(data, size, kBankHeaderSize, file.chunk, failure))
                return fail(failure.error, failure.offset);
            return result;
        }
        file.kind = Kind::BankParams;
        // Each program takes at least its header, so a count beyond that is a truncated file.
        if ((uint64_t)file.numPrograms * kProgramHeaderSize > size - kBankHeaderSize)
            return fail(ParseError::Truncated, size);
        size_t at = kBankHeaderSize;
        file.programs.resize((size_t)file.numPrograms);
        for (Program& program : file.programs)
            if (!ParseParamProgram(data, size, at, program, failure))
                return fail(failure.error, failure.offset);
        return result;
    }
    return fail(ParseError::UnknownMagic, 8);
}

} // namespace fx
