// How a DW-8000 writes its programs to cassette: 30 packed data bytes per program, then a
// checksum byte. A bank on tape is 2 header bytes, 64 such records and one unused byte. Both the
// factory bank generator and the tape reader unpack programs through this one function.
#pragma once

#include <cstdint>

constexpr int kTapeHeaderBytes = 2;
constexpr int kTapeProgramDataBytes = 30;   // packed parameter bytes of one program
constexpr int kTapeProgramRecordBytes = 31; // the data bytes and their checksum
constexpr int kTapePrograms = 64;
constexpr int kTapeBankBytes = 1987; // header, 64 records, one unused byte
constexpr int kTapeDw6000BankBytes = 1730;

// One parameter as the tape stores it: the instrument's parameter index and its raw value,
// not yet limited to the parameter's range. "Edit Parameter" comes as its 6-bit panel code.
struct TapeField {
    int parameter;
    int value;
};
constexpr int kTapeFieldCount = 51; // every program parameter once

// Unpacks one program's 30 data bytes into its 51 fields, in the order of the tape layout.
void UnpackTapeProgram(const uint8_t* data, TapeField fields[kTapeFieldCount]);
// The checksum the hardware writes after a program's data: the sum of the 30 bytes, mod 256.
uint8_t TapeChecksum(const uint8_t* data);
