// Turns a parsed bank source into the FXB image the plug-in embeds: a big-endian FXB header
// around the framework's bank chunk, whose 64 preset records each hold an initialised flag
// and an untagged program record (69 float64 values, marker 5, the bank's trailer int32).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/bankgen/BankSource.h"

namespace bankgen {

constexpr int kFxbHeaderSize = 160;
constexpr int32_t kRecordMarker = 5;

std::vector<uint8_t> BuildBankImage(const BankSource& source);

} // namespace bankgen
