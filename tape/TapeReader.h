// One tape recording in memory: its left channel, read once, decoded with any settings.
//
// Memory: only the left channel is kept, as doubles (8 bytes a frame), plus one byte per
// half-wave while decoding. A whole cassette side at 44.1 kHz is under a gigabyte then, which a
// 32-bit host can still hold; where it cannot, Open fails instead of taking the host down.
#pragma once

#include "tape/TapeDecoder.h"
#include "tape/TapeWav.h"

#include <string>
#include <vector>

class TapeReader {
public:
    // Reads the recording; false (see FailureReason) when it cannot be used.
    bool Open(const std::string& path, const TapeProgress& progress = nullptr);
    // Decodes the recording with the settings; the number of bytes between leader and trailer,
    // 0 when none were found. Levels measured before with the same filters save two passes.
    size_t Decode(const TapeSettings& settings, const TapeLevels* levels = nullptr);
    TapeLevels MeasureLevels(const TapeSettings& settings) const;

    const TapeWavFormat& Format() const { return format_; }
    // The left channel of every frame read.
    const std::vector<double>& Samples() const { return samples_; }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    const std::vector<FrameError>& FrameErrors() const { return frameErrors_; }
    const std::string& FailureReason() const { return reason_; }

private:
    TapeWavFormat format_;
    std::vector<double> samples_;
    std::vector<uint8_t> bytes_;
    std::vector<FrameError> frameErrors_;
    std::string reason_;
};
