// Builds FXP and FXB files for the tests: big-endian headers as the file formats define them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testfx {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((uint8_t)(value >> shift));
}
inline void PutTag(Bytes& out, const char* tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back((uint8_t)tag[i]);
}
inline void PutFloat(Bytes& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    Put32(out, bits);
}
inline void PutName(Bytes& out, const std::string& name) {
    char field[28] = {0};
    std::strncpy(field, name.c_str(), 27);
    out.insert(out.end(), field, field + 28);
}
inline uint32_t Code(const char* tag) {
    return ((uint32_t)(uint8_t)tag[0] << 24) | ((uint32_t)(uint8_t)tag[1] << 16) |
           ((uint32_t)(uint8_t)tag[2] << 8) | (uint8_t)tag[3];
}

// The 56 header bytes of a program; byteSize is filled with the whole length, which readers
// must not rely on.
inline Bytes ProgramHeader(const char* magic, const char* id, uint32_t numParams,
                           const std::string& name) {
    Bytes out;
    PutTag(out, "CcnK");
    Put32(out, 0);
    PutTag(out, magic);
    Put32(out, 1);
    PutTag(out, id);
    Put32(out, 1);
    Put32(out, numParams);
    PutName(out, name);
    return out;
}

inline Bytes ParamProgram(const char* id, const std::vector<float>& values,
                          const std::string& name) {
    Bytes out = ProgramHeader("FxCk", id, (uint32_t)values.size(), name);
    for (float value : values)
        PutFloat(out, value);
    return out;
}

inline Bytes ChunkProgram(const char* id, const Bytes& chunk, const std::string& name) {
    Bytes out = ProgramHeader("FPCh", id, 3, name);
    Put32(out, (uint32_t)chunk.size());
    out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}

inline Bytes BankHeader(const char* magic, const char* id, uint32_t version, uint32_t numPrograms,
                        uint32_t currentProgram) {
    Bytes out;
    PutTag(out, "CcnK");
    Put32(out, 0);
    PutTag(out, magic);
    Put32(out, version);
    PutTag(out, id);
    Put32(out, 1);
    Put32(out, numPrograms);
    Put32(out, currentProgram);
    out.resize(156, 0);
    return out;
}

inline Bytes ChunkBank(const char* id, const Bytes& chunk, uint32_t currentProgram) {
    Bytes out = BankHeader("FBCh", id, 2, 4, currentProgram);
    Put32(out, (uint32_t)chunk.size());
    out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}

inline Bytes ParamBank(const char* id, const std::vector<Bytes>& programs, uint32_t currentProgram,
                       uint32_t version = 2) {
    Bytes out = BankHeader("FxBk", id, version, (uint32_t)programs.size(), currentProgram);
    for (const Bytes& program : programs)
        out.insert(out.end(), program.begin(), program.end());
    return out;
}

} // namespace testfx
