// The hardware's own program data as a factory bank's source of the 51 program parameters: a
// DW-8000 SysEx bank (program dumps, each optionally followed by a write request naming its
// place) or a cassette tape bank written out as hexadecimal bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/ParameterTable.h"

namespace bankgen {

// Parameters 0..50 of one program as real values, limited to their ranges; "Edit Parameter"
// holds the parameter index its panel code selects.
using HardwareProgram = std::array<double, kNumProgramParams>;

// 64 programs in bank order from a SysEx file's bytes. False with `reason` set when the file
// holds anything but DW-8000 program dumps and write requests, or does not fill all 64 places
// exactly once.
bool ReadSysExBank(const std::vector<uint8_t>& bytes, std::vector<HardwareProgram>* programs,
                   std::string* reason);

// The bytes of a hex text: two-digit hexadecimal bytes separated by blanks, '#' starting a
// comment that runs to the end of the line.
bool ParseHexText(const std::string& text, std::vector<uint8_t>* bytes, std::string* reason);

// 64 programs from a whole tape bank (header, 64 records of 30 data bytes and a checksum, one
// unused byte). A record whose checksum does not match its data is refused, as a factory bank
// must not be built from damaged data.
bool ReadTapeBank(const std::vector<uint8_t>& bytes, std::vector<HardwareProgram>* programs,
                  std::string* reason);

} // namespace bankgen
