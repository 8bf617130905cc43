#include "dsp/WaveData.h"

#include <cstdint>
#include <cstring>

std::vector<float> DecodeWaveData(const unsigned char* bytes, size_t size) {
    std::vector<float> amplitudes;
    if (bytes == nullptr || size != kWaveDataBytes) return amplitudes;
    amplitudes.resize(kWaveAmplitudeCount);
    for (size_t i = 0; i < kWaveAmplitudeCount; ++i) {
        const unsigned char* p = bytes + 4 * i;
        const uint32_t bits =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        std::memcpy(&amplitudes[i], &bits, sizeof bits);
    }
    return amplitudes;
}
