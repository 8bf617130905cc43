#include "tape/TapeReader.h"

#include <new>

bool TapeReader::Open(const std::string& path, const TapeProgress& progress) {
    bytes_.clear();
    frameErrors_.clear();
    reason_.clear();
    return ReadTapeWav(path, &format_, &samples_, &reason_, progress);
}

TapeLevels TapeReader::MeasureLevels(const TapeSettings& settings) const {
    return MeasureTapeLevels(samples_.data(), samples_.size(), format_.sampleRate, settings);
}

size_t TapeReader::Decode(const TapeSettings& settings, const TapeLevels* levels) {
    bytes_.clear();
    frameErrors_.clear();
    try {
        const TapeLevels measured = levels ? *levels : MeasureLevels(settings);
        const std::vector<uint8_t> bits = ClassifyHalfWaves(samples_.data(), samples_.size(),
                                                            format_.sampleRate, settings, measured);
        bytes_ = FrameBytes(bits, &frameErrors_);
    } catch (const std::bad_alloc&) {
        // A recording of pure noise can hold a half-wave in nearly every sample.
        bytes_.clear();
        frameErrors_.clear();
        reason_ = "the recording does not fit in memory";
    }
    return bytes_.size();
}
