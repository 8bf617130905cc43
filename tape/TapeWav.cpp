#include "tape/TapeWav.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <new>

namespace {

constexpr int kTagPcm = 1;
constexpr int kTagFloat = 3;
constexpr int kTagExtensible = 0xFFFE;
// The sub-format of an extensible header is a GUID whose first two bytes are the plain tag and
// whose other fourteen are fixed.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr int kMaxChannels = 2;
// Floats far outside the audio range carry nothing a tape could have written; bounding them
// keeps the level sums finite.
constexpr double kSampleBound = 1e9;

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

class ByteFile {
public:
    explicit ByteFile(const std::string& path) : in_(path, std::ios::binary) {
        if (!in_) return;
        in_.seekg(0, std::ios::end);
        const std::streamoff end = in_.tellg();
        in_.seekg(0, std::ios::beg);
        size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
        open_ = static_cast<bool>(in_);
    }
    bool Open() const { return open_; }
    uint64_t Size() const { return size_; }
    // Reads count bytes at position; false when any is missing.
    bool ReadAt(uint64_t position, void* bytes, size_t count) {
        if (position > size_ || count > size_ - position) return false;
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(position), std::ios::beg);
        in_.read(static_cast<char*>(bytes), static_cast<std::streamsize>(count));
        return in_.gcount() == static_cast<std::streamsize>(count);
    }
    // Sequential reads after one ReadAt or Seek.
    bool Seek(uint64_t position) {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(position), std::ios::beg);
        return static_cast<bool>(in_);
    }
    size_t Read(void* bytes, size_t count) {
        in_.read(static_cast<char*>(bytes), static_cast<std::streamsize>(count));
        return static_cast<size_t>(in_.gcount());
    }

private:
    std::ifstream in_;
    uint64_t size_ = 0;
    bool open_ = false;
};

// The format a "fmt " chunk describes, or channels 0 when it is none the reader takes.
void ReadFormat(ByteFile& file, uint64_t position, uint32_t size, TapeWavFormat* format) {
    *format = TapeWavFormat();
    uint8_t fmt[40] = {};
    const size_t length = size >= 40 ? 40 : 16;
    if (!file.ReadAt(position, fmt, length)) return;
    int tag = U16(fmt);
    if (tag == kTagExtensible) {
        tag = length == 40 && std::memcmp(fmt + 26, kSubFormatTail, 14) == 0 ? U16(fmt + 24) : 0;
    }
    const int channels = U16(fmt + 2);
    const uint32_t rate = U32(fmt + 4);
    const int bits = U16(fmt + 14);
    const bool pcm = tag == kTagPcm && (bits == 8 || bits == 16 || bits == 24);
    const bool floats = tag == kTagFloat && (bits == 32 || bits == 64);
    if ((!pcm && !floats) || channels == 0 || rate == 0) return;
    format->channels = channels;
    format->bitsPerSample = bits;
    format->isFloat = floats;
    format->sampleRate = rate;
}

double SampleOf(const uint8_t* p, int bits, bool isFloat) {
    if (isFloat) {
        double x;
        if (bits == 32) {
            float f;
            std::memcpy(&f, p, 4);
            x = f;
        } else {
            std::memcpy(&x, p, 8);
        }
        if (!std::isfinite(x)) return 0.0;
        return std::max(-kSampleBound, std::min(kSampleBound, x));
    }
    switch (bits) {
    case 8:
        return p[0] / 128.0 - 1.0;
    case 16:
        return static_cast<int16_t>(U16(p)) / 32768.0;
    default: {
        int32_t v = static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16);
        if (v & 0x800000) v -= 0x1000000;
        return v / 8388608.0;
    }
    }
}

bool ReadSamples(ByteFile& file, uint64_t dataStart, uint64_t frames, const TapeWavFormat& format,
                 std::vector<double>* left, std::string* reason, const TapeProgress& progress) {
    try {
        left->clear();
        left->shrink_to_fit();
        if (frames > left->max_size()) throw std::bad_alloc();
        left->resize(static_cast<size_t>(frames));
    } catch (const std::exception&) {
        left->clear();
        left->shrink_to_fit();
        *reason = "the recording does not fit in memory";
        return false;
    }
    const size_t bytesPerSample = format.bitsPerSample / 8;
    const size_t frameSize = bytesPerSample * format.channels;
    constexpr size_t kBlockFrames = 16384;
    std::vector<uint8_t> block(kBlockFrames * frameSize);
    if (!file.Seek(dataStart)) {
        *reason = "cannot be read";
        return false;
    }
    uint64_t done = 0;
    while (done < frames) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockFrames, frames - done));
        if (file.Read(block.data(), want * frameSize) != want * frameSize) {
            *reason = "cannot be read";
            return false;
        }
        double* out = left->data() + done;
        for (size_t i = 0; i < want; ++i)
            out[i] = SampleOf(&block[i * frameSize], format.bitsPerSample, format.isFloat);
        done += want;
        if (progress && (done / kBlockFrames) % 64 == 0) progress(double(done) / frames);
    }
    return true;
}

} // namespace

bool ReadTapeWav(const std::string& path, TapeWavFormat* format, std::vector<double>* left,
                 std::string* reason, const TapeProgress& progress) {
    *format = TapeWavFormat();
    left->clear();
    ByteFile file(path);
    if (path.empty() || !file.Open()) {
        *reason = "cannot be opened";
        return false;
    }
    uint8_t header[12];
    if (!file.ReadAt(0, header, 12) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        *reason = "not a WAV file";
        return false;
    }
    TapeWavFormat found;
    uint64_t position = 12;
    for (;;) {
        uint8_t chunk[8];
        if (!file.ReadAt(position, chunk, 8)) {
            *reason = found.channels ? "no sound data" : "no usable sample format";
            return false;
        }
        const uint32_t size = U32(chunk + 4);
        position += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            ReadFormat(file, position, size, &found);
        } else if (std::memcmp(chunk, "data", 4) == 0 && size > 0 && found.channels) {
            if (found.channels > kMaxChannels) {
                *reason = "more than two channels";
                return false;
            }
            const uint64_t frameSize = uint64_t(found.channels) * (found.bitsPerSample / 8);
            // A data size past the end of the file (a recording cut short, or a writer that
            // never filled the size in) reads what is there.
            const uint64_t present = std::min<uint64_t>(size, file.Size() - position);
            found.claimedFrames = size / frameSize;
            found.presentFrames = present / frameSize;
            *format = found;
            // The last frame of a complete recording is left out; a cut one gives all it has.
            const uint64_t frames = found.presentFrames < found.claimedFrames
                                        ? found.presentFrames
                                        : found.claimedFrames - 1;
            if (frames == 0) {
                *reason = "holds no sound";
                return false;
            }
            return ReadSamples(file, position, frames, found, left, reason, progress);
        }
        if (size > file.Size() - position) {
            *reason = "a chunk runs past the end of the file";
            return false;
        }
        position += size;
        // Writers pad odd chunks to an even length as the format asks, but not all of them; a
        // chunk name never starts with a zero byte, so a zero there can only be padding.
        uint8_t pad = 1;
        if ((size & 1) && file.ReadAt(position, &pad, 1) && pad == 0) ++position;
    }
}
