// Tape dump recordings made the way the hardware makes them, for testing the reader: a leader
// of 0xFF bytes, the data, a trailer of 0xFF bytes; each byte an 11-bit frame (start 0, eight
// bits least significant first, stop 1, stop 1); each bit one half-wave of a square wave, short
// for 1 and long for 0, through the rounding and droop of a tape path. Degradations are optional
// and seeded, so every recording repeats exactly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using TapeProgramData = std::array<uint8_t, 30>;

// The 1987 bytes of a DW-8000 bank as it goes to tape: the two header bytes, 64 records of 30
// data bytes and their checksum, one unused byte.
std::vector<uint8_t> TapeBankStream(const std::vector<TapeProgramData>& programs);
// The bytes of a hex listing ('#' starts a comment), e.g. the real factory bank B.
std::vector<uint8_t> ReadHexBytes(const std::string& path);

struct TapeRecording {
    double sampleRate = 44100;
    // The hardware's half-waves: 1500 Hz for a 1, 750 Hz for a 0, at nominal speed.
    double shortHalfWave = 1.0 / 3000;
    double speed = 1.0; // tape running fast (> 1) or slow
    int leaderBytes = 400;
    int trailerBytes = 40;
    double silence = 0.25; // seconds before and after
    double amplitude = 0.5;
    bool invert = false; // a recorder that swaps polarity

    // Degradations.
    double hissDb = -200;  // white noise RMS relative to the amplitude
    double humLevel = 0;   // 50 Hz, relative to the amplitude
    double dcOffset = 0;   // absolute
    double levelDrift = 0; // slow gain swing: the gain runs 1 - drift .. 1 + drift
    double wow = 0;        // relative speed swing at 0.7 Hz
    double flutter = 0;    // relative speed swing at 9 Hz
    // Sample frames lost in digitising: after this many seconds, this many frames are missing.
    double dropAt = 0;
    int droppedFrames = 0;
    uint32_t seed = 1;
};

// The half-wave bits of a dump: leader, frames of the data bytes, trailer.
std::vector<uint8_t> TapeBits(const std::vector<uint8_t>& data, int leaderBytes, int trailerBytes);
// The recording of a dump as mono samples.
std::vector<double> RenderTape(const std::vector<uint8_t>& data, const TapeRecording& recording);
// A recording of half-wave lengths given directly, in samples (for the timing limits).
std::vector<double> RenderHalfWaves(const std::vector<double>& lengths, double amplitude);

enum class WavFormat { U8, S16, S24, F32, F64 };
struct WavLayout {
    WavFormat format = WavFormat::S16;
    int channels = 1;         // channel 0 gets the samples, any other a disturbing signal
    bool extensible = false;  // the extensible format header
    bool extraChunks = false; // an odd-sized chunk (padded) before the format chunk
};
std::vector<uint8_t> WavFileBytes(const std::vector<double>& samples, double sampleRate,
                                  const WavLayout& layout = WavLayout());
void WriteTapeWav(const std::string& path, const std::vector<double>& samples, double sampleRate,
                  const WavLayout& layout = WavLayout());
