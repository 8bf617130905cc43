// WAV header building, sample encoding and the streaming writer.
#include "tools/qx4470/WavWriter.h"

#include <cmath>
#include <cstring>

namespace wav {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back((uint8_t)value);
    out.push_back((uint8_t)(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back((uint8_t)tag[i]);
}

uint32_t HeaderSize(SampleFormat format) {
    return format == SampleFormat::Float32 ? 58 : 44;
}

// A PCM sample: clipped to [-1, 1] and scaled so that full scale is symmetric.
int32_t ToPcm(double value, int32_t fullScale) {
    if (std::isnan(value)) return 0;
    if (value > 1.0) value = 1.0;
    if (value < -1.0) value = -1.0;
    return (int32_t)std::lround(value * fullScale);
}

} // namespace

bool ParseSampleFormat(const std::string& text, SampleFormat* format) {
    if (text == "s16")
        *format = SampleFormat::Pcm16;
    else if (text == "s24")
        *format = SampleFormat::Pcm24;
    else if (text == "f32")
        *format = SampleFormat::Float32;
    else
        return false;
    return true;
}

const char* SampleFormatName(SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16:
        return "s16";
    case SampleFormat::Pcm24:
        return "s24";
    case SampleFormat::Float32:
        return "f32";
    }
    return "?";
}

int BytesPerSample(SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16:
        return 2;
    case SampleFormat::Pcm24:
        return 3;
    case SampleFormat::Float32:
        return 4;
    }
    return 0;
}

uint64_t MaxFrames(SampleFormat format, int channels) {
    uint64_t frameBytes = (uint64_t)BytesPerSample(format) * (uint64_t)channels;
    if (frameBytes == 0) return 0;
    // The whole file, header, data and the pad byte that evens an odd data length, stays
    // within 4 GB, so that every size and offset a reader meets fits 32 bits.
    uint64_t room = 0xFFFFFFFFull - HeaderSize(format) - 1;
    return room / frameBytes;
}

std::vector<uint8_t> BuildHeader(SampleFormat format, int channels, uint32_t sampleRate,
                                 uint64_t frames) {
    std::vector<uint8_t> out;
    if (channels < 1 || channels > 0xFFFF || frames > MaxFrames(format, channels)) return out;
    uint32_t bytesPerSample = (uint32_t)BytesPerSample(format);
    uint32_t blockAlign = bytesPerSample * (uint32_t)channels;
    uint32_t dataSize = (uint32_t)(frames * blockAlign);
    uint32_t padding = dataSize & 1;
    bool isFloat = format == SampleFormat::Float32;

    PutTag(out, "RIFF");
    Put32(out, HeaderSize(format) - 8 + dataSize + padding);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, isFloat ? 18 : 16);
    Put16(out, isFloat ? kFormatFloat : kFormatPcm);
    Put16(out, (uint32_t)channels);
    Put32(out, sampleRate);
    Put32(out, sampleRate * blockAlign);
    Put16(out, blockAlign);
    Put16(out, bytesPerSample * 8);
    if (isFloat) {
        Put16(out, 0); // no extension bytes
        PutTag(out, "fact");
        Put32(out, 4);
        Put32(out, (uint32_t)frames);
    }
    PutTag(out, "data");
    Put32(out, dataSize);
    return out;
}

void EncodeSamples(SampleFormat format, const double* samples, size_t count,
                   std::vector<uint8_t>& out) {
    for (size_t i = 0; i < count; ++i) {
        switch (format) {
        case SampleFormat::Pcm16:
            Put16(out, (uint32_t)ToPcm(samples[i], 32767));
            break;
        case SampleFormat::Pcm24: {
            uint32_t value = (uint32_t)ToPcm(samples[i], 8388607);
            out.push_back((uint8_t)value);
            out.push_back((uint8_t)(value >> 8));
            out.push_back((uint8_t)(value >> 16));
            break;
        }
        case SampleFormat::Float32: {
            float value = (float)samples[i];
            uint32_t bits;
            std::memcpy(&bits, &value, 4);
            Put32(out, bits);
            break;
        }
        }
    }
}

Writer::~Writer() {
    if (file_) std::fclose(file_);
}

bool Writer::Open(const std::string& path, SampleFormat format, int channels, uint32_t sampleRate) {
    format_ = format;
    channels_ = channels;
    sampleRate_ = sampleRate;
    frames_ = 0;
    failed_ = false;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    std::vector<uint8_t> header = BuildHeader(format, channels, sampleRate, 0);
    failed_ =
        header.empty() || std::fwrite(header.data(), 1, header.size(), file_) != header.size();
    return !failed_;
}

bool Writer::Write(const double* interleaved, size_t frames) {
    if (!file_ || failed_) return false;
    if (frames > MaxFrames(format_, channels_) - frames_) {
        failed_ = true;
        return false;
    }
    bytes_.clear();
    EncodeSamples(format_, interleaved, frames * (size_t)channels_, bytes_);
    if (std::fwrite(bytes_.data(), 1, bytes_.size(), file_) != bytes_.size()) failed_ = true;
    frames_ += frames;
    return !failed_;
}

bool Writer::Finish() {
    if (!file_) return false;
    std::vector<uint8_t> header = BuildHeader(format_, channels_, sampleRate_, frames_);
    uint64_t dataBytes = frames_ * (uint64_t)BytesPerSample(format_) * (uint64_t)channels_;
    if (!failed_ && (dataBytes & 1)) failed_ = std::fputc(0, file_) == EOF;
    if (!failed_)
        failed_ = header.empty() || std::fseek(file_, 0, SEEK_SET) != 0 ||
                  std::fwrite(header.data(), 1, header.size(), file_) != header.size();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

} // namespace wav
