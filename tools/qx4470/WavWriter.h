// WAV output: the RIFF header for 16-bit PCM, 24-bit PCM or 32-bit float, sample encoding with
// clipping for the PCM formats, and a writer that streams blocks into a file and fills in the
// sizes at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wav {

enum class SampleFormat { Pcm16, Pcm24, Float32 };

// "s16", "s24", "f32"; false for anything else.
bool ParseSampleFormat(const std::string& text, SampleFormat* format);
const char* SampleFormatName(SampleFormat format);
int BytesPerSample(SampleFormat format);

// The header for `frames` frames: 44 bytes for PCM; for float an 18-byte format chunk and a
// "fact" chunk, 58 bytes. Empty when the data would not fit the 32-bit RIFF sizes.
std::vector<uint8_t> BuildHeader(SampleFormat format, int channels, uint32_t sampleRate,
                                 uint64_t frames);

// The largest frame count whose whole file stays within 4 GB.
uint64_t MaxFrames(SampleFormat format, int channels);

// Appends `count` samples in little-endian form. PCM clips to [-1, 1] and turns NaN into 0;
// float keeps every value as it is.
void EncodeSamples(SampleFormat format, const double* samples, size_t count,
                   std::vector<uint8_t>& out);

// Writes a WAV file frame block by frame block. Open writes a provisional header; Finish
// writes the final sizes and closes. A writer that is destroyed unfinished closes its file and
// leaves the caller to remove it.
class Writer {
public:
    Writer() = default;
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool Open(const std::string& path, SampleFormat format, int channels, uint32_t sampleRate);
    // Interleaved samples, frames * channels of them.
    bool Write(const double* interleaved, size_t frames);
    bool Finish();
    uint64_t FramesWritten() const { return frames_; }

private:
    std::FILE* file_ = nullptr;
    SampleFormat format_ = SampleFormat::Pcm16;
    int channels_ = 2;
    uint32_t sampleRate_ = 44100;
    uint64_t frames_ = 0;
    bool failed_ = false;
    std::vector<uint8_t> bytes_;
};

} // namespace wav
