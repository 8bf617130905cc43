// Finding settings that read a worn tape. Such tapes often fail with the default settings and
// read perfectly with others (a high-pass against hum and rumble, a low-pass against hiss, a
// lower threshold where the level sags); this tries a small grid of them in order of promise.
#pragma once

#include "tape/TapeReader.h"

#include <functional>
#include <vector>

struct TapeSearchResult {
    // A setting gave a complete dump: a DW-8000 bank with every checksum right, or a DW-6000
    // dump (which carries no checksums).
    bool passed = false;
    // The setting kept: the passing one, else the one whose bank had the fewest bad programs.
    // No bank at all with any setting leaves bytes empty.
    TapeSettings settings;
    std::vector<uint8_t> bytes;
    std::vector<int> corruptPrograms;
    int settingsTried = 0;
};

// The settings in the order they are tried; the defaults come first.
std::vector<TapeSettings> TapeSearchGrid();

// Decodes the opened recording with each setting of the grid until one passes. progress gets
// the number of settings tried so far and the grid's size.
TapeSearchResult SearchTapeSettings(TapeReader& reader,
                                    const std::function<void(int, int)>& progress = nullptr);
