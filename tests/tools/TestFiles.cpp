// Test file helpers and the WAV decoder.
#include "TestFiles.h"

#include <cstdio>
#include <cstring>

namespace {

uint32_t Little32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
uint16_t Little16(const uint8_t* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}

} // namespace

bool FileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

std::vector<uint8_t> ReadBinaryFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + count);
    std::fclose(file);
    return bytes;
}

std::string ReadTextFile(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBinaryFile(path);
    std::string text(bytes.begin(), bytes.end());
    // Text written by Windows programs has CR LF line ends.
    std::string clean;
    for (char c : text)
        if (c != '\r') clean += c;
    return clean;
}

void WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void RemoveFile(const std::string& path) {
    std::remove(path.c_str());
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

WavData ReadWav(const std::string& path) {
    WavData wav;
    std::vector<uint8_t> bytes = ReadBinaryFile(path);
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return wav;
    wav.riffSize = Little32(bytes.data() + 4);
    size_t pos = 12;
    const uint8_t* data = nullptr;
    while (pos + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + pos;
        uint32_t size = Little32(chunk + 4);
        if (pos + 8 + size > bytes.size()) return wav;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            wav.formatTag = Little16(chunk + 8);
            wav.channels = Little16(chunk + 10);
            wav.sampleRate = Little32(chunk + 12);
            wav.bitsPerSample = Little16(chunk + 22);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            wav.dataSize = size;
            data = chunk + 8;
        }
        pos += 8 + size + (size & 1);
    }
    if (!data || wav.channels == 0 || wav.bitsPerSample % 8 != 0) return wav;
    size_t width = (size_t)wav.bitsPerSample / 8;
    size_t count = wav.dataSize / width;
    wav.frames = count / (size_t)wav.channels;
    wav.samples.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = data + i * width;
        if (wav.formatTag == 3 && width == 4) {
            uint32_t bits = Little32(p);
            float value;
            std::memcpy(&value, &bits, 4);
            wav.samples[i] = value;
        } else if (width == 2) {
            wav.samples[i] = (int16_t)Little16(p) / 32767.0;
        } else if (width == 3) {
            int32_t value =
                (int32_t)((uint32_t)p[0] << 8 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 24) >> 8;
            wav.samples[i] = value / 8388607.0;
        } else {
            return wav;
        }
    }
    wav.valid = true;
    return wav;
}
