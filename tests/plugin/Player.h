// Plays the plug-in through its binary interface as a host would: an opened, activated, seeded
// instance, parameters set by their panel values, and MIDI events placed at absolute frames and
// delivered with the block that contains them.
#pragma once

#include "tests/plugin/TestHost.h"

#include <cstdint>
#include <vector>

struct Stereo {
    std::vector<double> left, right;
};

class Player {
public:
    Player(TestHost& host, double sampleRate, int blockSize = 512, uint32_t seed = 1);
    ~Player();

    // Sets a parameter by its panel value (limited to its range).
    void Set(int index, double value);
    // A plain test sound: a sine on oscillator 1 only, the filter open, the amplifier at full
    // level at once and ending at once, no modulation, no delay, one voice per note.
    void SineProgram();

    // Schedules a MIDI message at an absolute frame.
    void At(long frame, uint8_t status, uint8_t data1, uint8_t data2 = 0);
    // Renders frames from where the last render stopped, in blocks of the block size.
    Stereo Render(long frames);

    AEffect* effect = nullptr;
    double rate;
    int block;

private:
    struct Scheduled {
        long frame;
        uint8_t bytes[3];
    };
    TestHost& host_;
    std::vector<Scheduled> pending_;
    long position_ = 0;
};
