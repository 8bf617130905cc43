// The FXP program and FXB bank file forms and the framework's chunk header. File headers are
// big-endian 32-bit fields; the chunks inside keep their own little-endian form.
#pragma once

#include <cstdint>

namespace fx {

constexpr int32_t FourCC(char a, char b, char c, char d) {
    return (int32_t)(((uint32_t)(uint8_t)a << 24) | ((uint32_t)(uint8_t)b << 16) |
                     ((uint32_t)(uint8_t)c << 8) | (uint32_t)(uint8_t)d);
}

constexpr int32_t kChunkMagic = FourCC('C', 'c', 'n', 'K');
constexpr int32_t kProgramChunkMagic = FourCC('F', 'P', 'C', 'h');  // program, opaque chunk
constexpr int32_t kBankChunkMagic = FourCC('F', 'B', 'C', 'h');     // bank, opaque chunk
constexpr int32_t kProgramParamsMagic = FourCC('F', 'x', 'C', 'k'); // program, parameter list
constexpr int32_t kBankParamsMagic = FourCC('F', 'x', 'B', 'k');    // bank, parameter list

constexpr int kProgramHeaderSize = 60; // up to and including chunkSize
constexpr int kProgramParamsOffset = 56;
constexpr int kProgramNameOffset = 28;
constexpr int kProgramNameSize = 28;
constexpr int kBankHeaderSize = 160;
constexpr int kBankParamsOffset = 156;

// The framework's own chunk header: the bytes "tffp" and a version.
constexpr int32_t kFrameworkMagic = 0x70666674;
constexpr int32_t kFrameworkVersion = 0x00010000;
constexpr int kFrameworkHeaderSize = 8;

inline int32_t ReadBigEndian(const uint8_t* p) {
    return (int32_t)((uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 |
                     (uint32_t)p[3]);
}

inline void WriteBigEndian(uint8_t* p, int32_t value) {
    uint32_t bits = (uint32_t)value;
    p[0] = uint8_t(bits >> 24);
    p[1] = uint8_t(bits >> 16);
    p[2] = uint8_t(bits >> 8);
    p[3] = uint8_t(bits);
}

} // namespace fx
