#include "tests/tape/TapeSupport.h"

#include <cstdio>
#include <fstream>

const std::vector<uint8_t>& FactoryBankB() {
    static const std::vector<uint8_t> bank = ReadHexBytes(QX_TAPE_BANK_HEX);
    return bank;
}

ScratchWav::ScratchWav(const std::string& name) : path_("tape-test-" + name + ".wav") {}

ScratchWav::~ScratchWav() {
    std::remove(path_.c_str());
}

void ScratchWav::Write(const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> DecodeSamples(const std::vector<double>& samples, double sampleRate,
                                   const TapeSettings& settings) {
    std::vector<FrameError> errors;
    return FrameBytes(ClassifyHalfWaves(samples.data(), samples.size(), sampleRate, settings),
                      &errors);
}
