#include "tests/tape/TapeWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace {

constexpr double kPi = 3.141592653589793;

void AppendFrame(std::vector<uint8_t>& bits, uint8_t byte) {
    bits.push_back(0);
    for (int i = 0; i < 8; ++i)
        bits.push_back(byte >> i & 1);
    bits.push_back(1);
    bits.push_back(1);
}

// The running integral of the square wave over tape time, for box-filtered sampling: the
// average over a sample's stretch of tape gives edges between samples their proper share.
class SquareWave {
public:
    SquareWave(const std::vector<uint8_t>& bits, double start, double shortLength) {
        edges_.push_back(start);
        area_.push_back(0);
        double level = 1;
        for (uint8_t bit : bits) {
            const double length = shortLength * (bit ? 1 : 2);
            edges_.push_back(edges_.back() + length);
            area_.push_back(area_.back() + level * length);
            level = -level;
        }
    }
    double End() const { return edges_.back(); }
    // The integral from the start up to tape time x; x must not decrease between calls.
    double Integral(double x) {
        if (x <= edges_.front()) return 0;
        if (x >= edges_.back()) return area_.back();
        while (edges_[next_] <= x)
            ++next_;
        const double level = (next_ - 1) % 2 == 0 ? 1 : -1;
        return area_[next_ - 1] + level * (x - edges_[next_ - 1]);
    }

private:
    std::vector<double> edges_, area_;
    size_t next_ = 1;
};

// First-order sections of the tape path.
struct OnePole {
    double a = 0, state = 0, previous = 0;
    double LowPass(double x) { return state += a * (x - state); }
    double HighPass(double x) {
        state = a * (state + x - previous);
        previous = x;
        return state;
    }
};

} // namespace

std::vector<uint8_t> TapeBankStream(const std::vector<TapeProgramData>& programs) {
    std::vector<uint8_t> stream = {0x42, 0x03};
    for (const TapeProgramData& data : programs) {
        unsigned sum = 0;
        for (uint8_t byte : data)
            sum += byte;
        stream.insert(stream.end(), data.begin(), data.end());
        stream.push_back(static_cast<uint8_t>(sum));
    }
    stream.push_back(0);
    return stream;
}

std::vector<uint8_t> ReadHexBytes(const std::string& path) {
    std::ifstream in(path);
    std::vector<uint8_t> bytes;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        while (words >> word)
            bytes.push_back(static_cast<uint8_t>(std::stoi(word, nullptr, 16)));
    }
    return bytes;
}

std::vector<uint8_t> TapeBits(const std::vector<uint8_t>& data, int leaderBytes, int trailerBytes) {
    std::vector<uint8_t> bits;
    for (int i = 0; i < leaderBytes; ++i)
        AppendFrame(bits, 0xFF);
    for (uint8_t byte : data)
        AppendFrame(bits, byte);
    for (int i = 0; i < trailerBytes; ++i)
        AppendFrame(bits, 0xFF);
    return bits;
}

std::vector<double> RenderTape(const std::vector<uint8_t>& data, const TapeRecording& r) {
    SquareWave wave(TapeBits(data, r.leaderBytes, r.trailerBytes), r.silence,
                    r.shortHalfWave / r.speed);
    const double fs = r.sampleRate;
    const size_t count = static_cast<size_t>((wave.End() + r.silence) * fs);
    std::vector<double> samples(count);

    // The tape's position at recording time t under wow and flutter (the speed swings around 1).
    const double wowRate = 0.7, flutterRate = 9;
    auto tapeTime = [&](double t) {
        return t + r.wow / (2 * kPi * wowRate) * (1 - std::cos(2 * kPi * wowRate * t)) +
               r.flutter / (2 * kPi * flutterRate) * (1 - std::cos(2 * kPi * flutterRate * t));
    };
    // The tape path: coupling (droop of long half-waves) and a limited bandwidth.
    OnePole coupling, band1, band2;
    coupling.a = 1 / (1 + 2 * kPi * 60 / fs);
    const double bandwidth = std::min(9000.0, 0.35 * fs);
    band1.a = band2.a = 1 - std::exp(-2 * kPi * bandwidth / fs);

    std::mt19937 random(r.seed);
    std::normal_distribution<double> gauss(0, 1);
    const double hiss = r.amplitude * std::pow(10, r.hissDb / 20);
    double x0 = tapeTime(0), area0 = wave.Integral(x0);
    for (size_t i = 0; i < count; ++i) {
        const double t = i / fs;
        const double x1 = tapeTime((i + 1) / fs);
        const double area1 = wave.Integral(x1);
        double s = (area1 - area0) / (x1 - x0) * r.amplitude * (r.invert ? -1 : 1);
        x0 = x1;
        area0 = area1;
        s = band2.LowPass(band1.LowPass(coupling.HighPass(s)));
        s *= 1 + r.levelDrift * std::sin(2 * kPi * t / 9.0);
        s += r.amplitude * r.humLevel * std::sin(2 * kPi * 50 * t);
        s += hiss * gauss(random) + r.dcOffset;
        samples[i] = s;
    }
    if (r.droppedFrames > 0) {
        const size_t at = std::min(count, static_cast<size_t>(r.dropAt * fs));
        const size_t end = std::min(count, at + r.droppedFrames);
        samples.erase(samples.begin() + at, samples.begin() + end);
    }
    return samples;
}

std::vector<double> RenderHalfWaves(const std::vector<double>& lengths, double amplitude) {
    std::vector<double> samples(100, 0.0);
    double level = amplitude;
    for (double length : lengths) {
        samples.insert(samples.end(), static_cast<size_t>(std::lround(length)), level);
        level = -level;
    }
    samples.insert(samples.end(), 100, 0.0);
    return samples;
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back(v >> 8 & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(id[i]));
}

void PutSample(std::vector<uint8_t>& out, double x, WavFormat format) {
    const double clipped = std::max(-1.0, std::min(1.0, x));
    switch (format) {
    case WavFormat::U8:
        out.push_back(static_cast<uint8_t>(std::min(255L, std::lround(clipped * 128 + 128))));
        break;
    case WavFormat::S16:
        Put16(out, static_cast<uint32_t>(std::min(32767L, std::lround(clipped * 32768))));
        break;
    case WavFormat::S24: {
        const uint32_t v =
            static_cast<uint32_t>(std::min(8388607L, std::lround(clipped * 8388608)));
        out.push_back(v & 0xFF);
        out.push_back(v >> 8 & 0xFF);
        out.push_back(v >> 16 & 0xFF);
        break;
    }
    case WavFormat::F32: {
        const float f = static_cast<float>(x);
        uint8_t b[4];
        std::memcpy(b, &f, 4);
        out.insert(out.end(), b, b + 4);
        break;
    }
    case WavFormat::F64: {
        uint8_t b[8];
        std::memcpy(b, &x, 8);
        out.insert(out.end(), b, b + 8);
        break;
    }
    }
}

int BitsOf(WavFormat format) {
    switch (format) {
    case WavFormat::U8:
        return 8;
    case WavFormat::S16:
        return 16;
    case WavFormat::S24:
        return 24;
    case WavFormat::F32:
        return 32;
    default:
        return 64;
    }
}

} // namespace

std::vector<uint8_t> WavFileBytes(const std::vector<double>& samples, double sampleRate,
                                  const WavLayout& layout) {
    const int bits = BitsOf(layout.format);
    const bool isFloat = layout.format == WavFormat::F32 || layout.format == WavFormat::F64;
    const int tag = isFloat ? 3 : 1;
    const int blockAlign = layout.channels * bits / 8;
    std::vector<uint8_t> out;
    PutId(out, "RIFF");
    Put32(out, 0); // filled in below
    PutId(out, "WAVE");
    if (layout.extraChunks) {
        PutId(out, "LIST");
        Put32(out, 5);
        out.insert(out.end(), {'I', 'N', 'F', 'O', 'x', 0});
    }
    PutId(out, "fmt ");
    Put32(out, layout.extensible ? 40 : 16);
    Put16(out, layout.extensible ? 0xFFFE : tag);
    Put16(out, layout.channels);
    Put32(out, static_cast<uint32_t>(sampleRate));
    Put32(out, static_cast<uint32_t>(sampleRate) * blockAlign);
    Put16(out, blockAlign);
    Put16(out, bits);
    if (layout.extensible) {
        Put16(out, 22);
        Put16(out, bits);
        Put32(out, layout.channels == 1 ? 4 : 3);
        Put16(out, tag);
        const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        out.insert(out.end(), tail, tail + 14);
    }
    PutId(out, "data");
    Put32(out, static_cast<uint32_t>(samples.size() * blockAlign));
    for (size_t i = 0; i < samples.size(); ++i) {
        PutSample(out, samples[i], layout.format);
        // The other channels carry a loud tone that would wreck any decode that used them.
        for (int c = 1; c < layout.channels; ++c)
            PutSample(out, 0.9 * std::sin(i * 0.3), layout.format);
    }
    const uint32_t riff = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = riff >> (8 * i) & 0xFF;
    return out;
}

void WriteTapeWav(const std::string& path, const std::vector<double>& samples, double sampleRate,
                  const WavLayout& layout) {
    const std::vector<uint8_t> bytes = WavFileBytes(samples, sampleRate, layout);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
