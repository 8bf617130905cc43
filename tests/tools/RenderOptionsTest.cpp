// The render command line.
#include "tools/qx4470/RenderOptions.h"

#include <gtest/gtest.h>

namespace {

bool Parse(const std::vector<std::string>& args, RenderOptions* options, std::string* error) {
    return ParseRenderOptions(args, options, error);
}

} // namespace

TEST(RenderOptions, DefaultsAndEveryOption) {
    RenderOptions defaults;
    std::string error;
    ASSERT_TRUE(Parse({"p.so", "s.mid", "-o", "out.wav"}, &defaults, &error)) << error;
    EXPECT_EQ(defaults.plugin, "p.so");
    EXPECT_EQ(defaults.midiFile, "s.mid");
    EXPECT_EQ(defaults.output, "out.wav");
    EXPECT_EQ(defaults.sampleRate, 44100);
    EXPECT_EQ(defaults.blockSize, 512);
    EXPECT_FALSE(defaults.processDouble);
    EXPECT_EQ(defaults.format, wav::SampleFormat::Pcm16);
    EXPECT_EQ(defaults.program, -1);
    EXPECT_TRUE(defaults.presetFile.empty());
    EXPECT_DOUBLE_EQ(defaults.tailSeconds, 2.0);
    EXPECT_TRUE(defaults.parameters.empty());

    RenderOptions all;
    ASSERT_TRUE(Parse({"--rate", "48000", "p.dll", "--block=1", "--double", "s.mid", "--format",
                       "f32", "--program=7", "--load", "bank.fxb", "--tail", "0.25",
                       "--output=x.wav", "--set", "54=1", "--set=12=0.25", "--set", "54=0"},
                      &all, &error))
        << error;
    EXPECT_EQ(all.plugin, "p.dll");
    EXPECT_EQ(all.midiFile, "s.mid");
    EXPECT_EQ(all.output, "x.wav");
    EXPECT_EQ(all.sampleRate, 48000);
    EXPECT_EQ(all.blockSize, 1);
    EXPECT_TRUE(all.processDouble);
    EXPECT_EQ(all.format, wav::SampleFormat::Float32);
    EXPECT_EQ(all.program, 7);
    EXPECT_EQ(all.presetFile, "bank.fxb");
    EXPECT_DOUBLE_EQ(all.tailSeconds, 0.25);
    ASSERT_EQ(all.parameters.size(), 3u) << "every --set is kept, in order";
    EXPECT_EQ(all.parameters[0].index, 54);
    EXPECT_DOUBLE_EQ(all.parameters[0].value, 1.0);
    EXPECT_EQ(all.parameters[1].index, 12);
    EXPECT_DOUBLE_EQ(all.parameters[1].value, 0.25);
    EXPECT_DOUBLE_EQ(all.parameters[2].value, 0.0);
}

TEST(RenderOptions, BadCommandLinesSayWhy) {
    const std::vector<std::vector<std::string>> bad = {
        {"p.so", "s.mid"},                                // no output
        {"p.so", "-o", "x.wav"},                          // no MIDI file
        {"p.so", "s.mid", "extra", "-o", "x.wav"},        // one positional too many
        {"p.so", "s.mid", "-o"},                          // option without its value
        {"p.so", "s.mid", "-o", "x.wav", "--speed", "2"}, // unknown option
        {"p.so", "s.mid", "-o", "x.wav", "--block", "0"},
        {"p.so", "s.mid", "-o", "x.wav", "--block", "65537"},
        {"p.so", "s.mid", "-o", "x.wav", "--block", "12x"},
        {"p.so", "s.mid", "-o", "x.wav", "--rate", "44.1k"},
        {"p.so", "s.mid", "-o", "x.wav", "--rate", "999"},
        {"p.so", "s.mid", "-o", "x.wav", "--rate", "99999999999999999999"},
        {"p.so", "s.mid", "-o", "x.wav", "--format", "s32"},
        {"p.so", "s.mid", "-o", "x.wav", "--program", "-1"},
        {"p.so", "s.mid", "-o", "x.wav", "--tail", "-1"},
        {"p.so", "s.mid", "-o", "x.wav", "--tail", "nan"},
        {"p.so", "s.mid", "-o", "x.wav", "--tail", "inf"},
        {"p.so", "s.mid", "-o", "x.wav", "--tail", "3601"},
        {"p.so", "s.mid", "-o", "x.wav", "--double=yes"},
        {"p.so", "s.mid", "-o", "x.wav", "--set", "3"},
        {"p.so", "s.mid", "-o", "x.wav", "--set", "=0.5"},
        {"p.so", "s.mid", "-o", "x.wav", "--set", "-1=0.5"},
        {"p.so", "s.mid", "-o", "x.wav", "--set", "x=0.5"},
        {"p.so", "s.mid", "-o", "x.wav", "--set", "3=1.01"},
        {"p.so", "s.mid", "-o", "x.wav", "--set", "3=nan"},
        {"p.so", "s.mid", "-o", "x.wav", "--set", "3=0.5x"},
    };
    for (const auto& args : bad) {
        RenderOptions options;
        std::string error;
        std::string line;
        for (const auto& arg : args)
            line += arg + " ";
        EXPECT_FALSE(Parse(args, &options, &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}
