// Files the tests exchange with the code under test: whole-file reads and writes, lines, and a
// WAV decoder written independently of the tool's writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool FileExists(const std::string& path);
std::string ReadTextFile(const std::string& path);
std::vector<uint8_t> ReadBinaryFile(const std::string& path);
void WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& bytes);
void RemoveFile(const std::string& path);

// The lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// A decoded WAV file.
struct WavData {
    bool valid = false;
    int formatTag = 0;
    int channels = 0;
    uint32_t sampleRate = 0;
    int bitsPerSample = 0;
    uint32_t riffSize = 0;
    uint32_t dataSize = 0;
    uint64_t frames = 0;
    std::vector<double> samples; // interleaved, PCM scaled to [-1, 1]
};
WavData ReadWav(const std::string& path);
