// Turns the readable waveform recipes (resources/waveforms.txt) into the stored harmonic
// amplitudes of the oscillators' waveforms, and those into the stored bytes.
#pragma once

#include <string>
#include <vector>

struct WaveRecipeSet {
    std::vector<float> amplitudes;  // 2 sets x 16 waveforms x 319 harmonics, set-major
    std::vector<std::string> names; // set * 16 + waveform
};

// Parses and evaluates the recipes. False with a message naming the line when the text is
// not a complete, valid set of 32 recipes.
bool BuildWaveRecipes(const std::string& text, WaveRecipeSet& result, std::string& error);

// The amplitudes as little-endian 32-bit floats.
std::vector<unsigned char> EncodeWaveData(const std::vector<float>& amplitudes);
