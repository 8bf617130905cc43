// Whole-file reads and writes for program, bank and SysEx files.
#pragma once

#include "host/ChunkBuffer.h"

#include <string>

// Files larger than this are not program data; reading them is refused.
constexpr long kMaxDataFileSize = 16 * 1024 * 1024;

// Reads the whole file; false for an empty path, a file that cannot be opened or read, or one
// larger than kMaxDataFileSize.
bool ReadWholeFile(const std::string& path, ChunkBuffer& contents);
// Creates or truncates the file and writes the bytes; false unless every byte reached it.
bool WriteWholeFile(const std::string& path, const ChunkBuffer& contents);
