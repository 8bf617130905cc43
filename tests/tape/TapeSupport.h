// What the tape tests share: the real factory bank B as the hardware put it on tape, scratch
// WAV files, and decoding a recording in one call.
#pragma once

#include "tape/TapeDecoder.h"
#include "tests/tape/TapeWriter.h"

#include <string>
#include <vector>

// The 1987 bytes of factory bank B.
const std::vector<uint8_t>& FactoryBankB();

// A WAV file in the working folder, removed again at the end of the test.
class ScratchWav {
public:
    explicit ScratchWav(const std::string& name);
    ~ScratchWav();
    ScratchWav(const ScratchWav&) = delete;
    ScratchWav& operator=(const ScratchWav&) = delete;
    const std::string& Path() const { return path_; }
    void Write(const std::vector<uint8_t>& bytes) const;

private:
    std::string path_;
};

// The stream a recording decodes to, straight from its samples.
std::vector<uint8_t> DecodeSamples(const std::vector<double>& samples, double sampleRate,
                                   const TapeSettings& settings = TapeSettings());
