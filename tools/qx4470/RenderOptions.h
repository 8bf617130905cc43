// The command line of `qx4470 render`.
#pragma once

#include "tools/qx4470/WavWriter.h"

#include <string>
#include <vector>

// One --set INDEX=VALUE: a parameter and its normalised value (0..1).
struct ParameterSetting {
    int index;
    double value;
};

struct RenderOptions {
    std::string plugin;
    std::string midiFile;
    std::string output;
    std::string presetFile; // an FXP or FXB to load before playing; empty for none
    int sampleRate = 44100;
    int blockSize = 512;
    bool processDouble = false;
    wav::SampleFormat format = wav::SampleFormat::Pcm16;
    int program = -1; // -1: leave the plug-in's program alone
    double tailSeconds = 2.0;
    std::vector<ParameterSetting> parameters; // set in this order after the program
};

constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;
constexpr int kMaxBlockSize = 65536;
constexpr double kMaxTailSeconds = 3600.0;

// Reads the arguments after "render". On failure says why in `error`.
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options,
                        std::string* error);
