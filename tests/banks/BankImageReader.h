// An FXB reader for the bank tests, written apart from the generator so that the tests check
// the images against the file form itself rather than against the generator's own code.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/ParameterTable.h"

struct ImageProgram {
    std::string name;
    uint8_t initialised = 0;
    std::array<double, kNumParams> values{};
    int32_t marker = 0;
    int32_t trailer = 0;
};

struct BankImage {
    std::string chunkMagic; // "CcnK"
    int32_t byteSize = 0;
    std::string fxMagic; // "FBCh"
    int32_t formatVersion = 0;
    std::string fxId;
    int32_t fxVersion = 0;
    int32_t numPrograms = 0;
    int32_t currentProgram = 0;
    bool reservedZero = false; // bytes 32..155
    int32_t chunkSize = 0;
    std::string frameworkMagic; // "tffp"
    int32_t frameworkVersion = 0;
    std::vector<ImageProgram> programs;
    int endPosition = 0; // where the last record ended, relative to the whole image
};

// Reads a whole image; false with `error` set when it is malformed or has bytes left over.
bool ReadBankImage(const std::vector<uint8_t>& bytes, BankImage* image, std::string* error);

// Reads a file's bytes; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
