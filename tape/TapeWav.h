// Reading a digitised cassette recording: the left channel of a WAV file as doubles.
//
// Only what a tape recording needs is accepted: PCM of 8, 16 or 24 bits and floats of 32 or
// 64 bits (also in the extensible header form), one or two channels. Every size in the file is
// checked against the file's real length before it is trusted, so a broken or hostile file
// fails cleanly instead of making the reader allocate or seek past its end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TapeWavFormat {
    int channels = 0;
    int bitsPerSample = 0;
    bool isFloat = false;
    double sampleRate = 0;
    // Whole frames the data chunk claims, and how many of them the file really holds.
    uint64_t claimedFrames = 0;
    uint64_t presentFrames = 0;
};

// Called now and then with the share of the work done, 0..1.
using TapeProgress = std::function<void(double)>;

// Reads the left channel of every frame but the last (a recording that ends early gives all
// its whole frames). Non-finite float samples read as 0. False, with a short reason, when the
// file cannot be opened, is no usable WAV file, has more than two channels, holds no frame, or
// its samples do not fit in memory.
bool ReadTapeWav(const std::string& path, TapeWavFormat* format, std::vector<double>* left,
                 std::string* reason, const TapeProgress& progress = nullptr);
