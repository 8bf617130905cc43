// The hardware's SysEx formats as pure functions over bytes: message headers and classification,
// and the packing of the DW-6000's 26 program data bytes.
#pragma once

#include "host/ChunkBuffer.h"

#include <cstdint>

namespace sysex {

constexpr uint8_t kStart = 0xF0;
constexpr uint8_t kEnd = 0xF7;
constexpr uint8_t kManufacturer = 0x42;
constexpr uint8_t kDumpRequest = 0x10;
constexpr uint8_t kWriteRequest = 0x11;
constexpr uint8_t kProgramDump = 0x40;
constexpr uint8_t kParameterChange = 0x41;

constexpr int kHeaderSize = 5; // F0, manufacturer, format, device, function
constexpr int kDw8000DumpSize = 57;
constexpr int kDw6000DumpSize = 32;
constexpr int kDw6000DataSize = 26;
constexpr int kDw8000BankFileSize = 3648;
constexpr int kDw6000BankFileSize = 1670;

// Only the low four bits of the device byte tell the models apart: 3 DW-8000, 4 DW-6000.
inline bool IsDw6000Device(uint8_t device) {
    return (device & 0x0F) == 4;
}

// F0 42 30 03 <function> (DW-8000) or F0 42 40 04 <function> (DW-6000).
void AppendHeader(ChunkBuffer& chunk, bool dw6000, uint8_t function);

enum class MessageKind { Ignored, ProgramDump, DumpRequest, ParameterChange };
// What an incoming message asks for in the given dialect; foreign, malformed and short
// messages are ignored.
MessageKind Classify(const uint8_t* message, int size, bool dw6000);

// How many program dump messages (F0 42 .. .. 40) a file's bytes hold.
int CountProgramDumps(const uint8_t* bytes, int size);

// A parameter's raw value (value - min) as a 7-bit data byte.
uint8_t DataByte(double raw);

// One field of a DW-6000 data byte.
enum class FieldCode { Plain, KbdTrack, Chorus };
struct Dw6000Field {
    int byte;
    int param;
    int shift;
    int mask;
    FieldCode code;
};
constexpr int kDw6000FieldCount = 35;
// In byte order; within a byte the low field first.
extern const Dw6000Field kDw6000Fields[kDw6000FieldCount];

// The raw parameter value a field of the data byte holds.
int Dw6000Unpack(const Dw6000Field& field, int byteValue);
// The data byte `byte` for raw parameter values (value - min, by parameter index).
uint8_t Dw6000Pack(int byte, const double* raw);
// The data byte that holds a parameter, or -1 when the DW-6000 has none for it.
int Dw6000ByteOf(int param);

} // namespace sysex
