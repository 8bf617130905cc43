// The built qx4470 program against real instruments: Debian's amsynth (native Linux builds,
// when installed) and the project's own plug-in once its target exists.
#include "FxBuilder.h"
#include "SmfBuilder.h"
#include "ToolRunner.h"

#include "tools/qx4470/MidiFile.h"
#include "tools/qx4470/TempoMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const std::string kSong = "tool_peer_song.mid";
const std::string kOut = "tool_peer_out.wav";

// Two seconds of chords at 120 bpm (480 ticks per quarter); the last event is at 1.5 s.
testmidi::Bytes ChordSong() {
    testmidi::Track track;
    track.At(0, {0x90, 57, 100}).At(0, {0x90, 60, 100}).At(0, {0x90, 64, 100});
    track.At(960, {0x80, 57, 0}).At(960, {0x80, 60, 0}).At(960, {0x80, 64, 0});
    track.At(960, {0x90, 45, 110}).At(1440, {0x80, 45, 0}).End(1440);
    return testmidi::Song(0, 480, {track});
}
constexpr uint64_t kChordFrames = 66150 + 22050; // 1.5 s of events and a 0.5 s tail

[[maybe_unused]] double Rms(const WavData& wav, uint64_t fromFrame, uint64_t toFrame) {
    double sum = 0;
    for (uint64_t i = 2 * fromFrame; i < 2 * toFrame; ++i)
        sum += wav.samples[i] * wav.samples[i];
    return std::sqrt(sum / (double)(2 * (toFrame - fromFrame)));
}

int CountRowsAfter(const std::vector<std::string>& lines, const std::string& heading) {
    auto at = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.compare(0, heading.size(), heading) == 0;
    });
    if (at == lines.end()) return -1;
    int rows = 0;
    for (++at; at != lines.end() && at->compare(0, 2, "  ") == 0; ++at)
        ++rows;
    return rows;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The frame count of a render: the last event's frame, then the tail.
uint64_t ExpectedFrames(const std::string& path, double sampleRate, double tailSeconds) {
    std::vector<uint8_t> bytes = ReadBinaryFile(path);
    midi::ReadResult song = midi::ReadSong(bytes.data(), bytes.size());
    EXPECT_TRUE(song.ok());
    midi::TempoMap map(song.song);
    return (uint64_t)map.FrameAt(song.song.events.back().tick, sampleRate) +
           (uint64_t)std::llround(tailSeconds * sampleRate);
}

class PeerRender : public ::testing::Test {
protected:
    void SetUp() override { WriteBinaryFile(kSong, ChordSong()); }
    void TearDown() override {
        RemoveFile(kSong);
        RemoveFile(kOut);
    }
};

} // namespace

#if defined(QX_AMSYNTH)
TEST_F(PeerRender, Amsynth) {
    const std::string plugin = QX_AMSYNTH;
    if (!FileExists(plugin)) GTEST_SKIP() << plugin << " is not installed";

    ToolResult info = RunTool("info " + plugin);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    std::vector<std::string> lines = SplitLines(info.out);
    EXPECT_TRUE(HasLine(lines, "Name:       amsynth"));
    EXPECT_TRUE(HasLine(lines, "Category:   2 (synth)"));
    int params = CountRowsAfter(lines, "Parameters: ");
    EXPECT_GT(params, 0);
    EXPECT_TRUE(HasLine(lines, "Parameters: " + std::to_string(params)));

    ToolResult render = RunTool("render " + plugin + " " + kSong + " -o " + kOut + " --tail 0.5");
    ASSERT_EQ(render.exitCode, 0) << render.err;
    WavData wav = ReadWav(kOut);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_EQ(wav.bitsPerSample, 16);
    EXPECT_EQ(wav.frames, kChordFrames);
    EXPECT_GT(Rms(wav, 0, 44100), 0.01);
    EXPECT_GT(Rms(wav, 44100, 66150), 0.01);

    // The same inputs give the same bytes.
    std::vector<uint8_t> first = ReadBinaryFile(kOut);
    ASSERT_EQ(RunTool("render " + plugin + " " + kSong + " -o " + kOut + " --tail 0.5").exitCode,
              0);
    EXPECT_EQ(ReadBinaryFile(kOut), first);

    // Double precision works when the plug-in announces it and is refused cleanly otherwise.
    bool canDouble = false;
    for (const std::string& line : lines)
        if (line.compare(0, 6, "Flags:") == 0)
            canDouble = line.find("CanDoubleReplacing") != std::string::npos;
    RemoveFile(kOut);
    ToolResult precise =
        RunTool("render " + plugin + " " + kSong + " -o " + kOut + " --tail 0.5 --double");
    if (canDouble) {
        EXPECT_EQ(precise.exitCode, 0) << precise.err;
        EXPECT_EQ(ReadWav(kOut).frames, kChordFrames);
    } else {
        EXPECT_EQ(precise.exitCode, 1);
        EXPECT_NE(precise.err.find("double precision"), std::string::npos) << precise.err;
        EXPECT_FALSE(FileExists(kOut));
    }

    // 24-bit and float output at another rate and block size.
    ToolResult f32 = RunTool("render " + plugin + " " + kSong + " -o " + kOut +
                             " --tail 0.5 --rate 48000 --block 100 --format f32");
    ASSERT_EQ(f32.exitCode, 0) << f32.err;
    WavData floats = ReadWav(kOut);
    ASSERT_TRUE(floats.valid);
    EXPECT_EQ(floats.formatTag, 3);
    EXPECT_EQ(floats.frames, 72000u + 24000u);
    EXPECT_GT(Rms(floats, 0, 48000), 0.01);
}

// A program file reaches a real plug-in: amsynth's chunks are its own preset text, and one
// that turns the master volume down to nothing silences the render.
TEST_F(PeerRender, AmsynthTakesAProgramChunk) {
    const std::string plugin = QX_AMSYNTH;
    if (!FileExists(plugin)) GTEST_SKIP() << plugin << " is not installed";
    const std::string text = "amSynth1.0preset\n<preset> <name> quiet\n<parameter> master_vol 0\n";
    const std::string preset = "tool_peer_quiet.fxp";
    WriteBinaryFile(preset,
                    testfx::ChunkProgram("amsy", testfx::Bytes(text.begin(), text.end()), "quiet"));
    ToolResult render =
        RunTool("render " + plugin + " " + kSong + " -o " + kOut + " --tail 0.5 --load " + preset);
    RemoveFile(preset);
    ASSERT_EQ(render.exitCode, 0) << render.err;
    WavData wav = ReadWav(kOut);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.frames, kChordFrames);
    EXPECT_EQ(Rms(wav, 0, wav.frames), 0.0);
}

TEST_F(PeerRender, AmsynthPlaysTheDemo) {
    const std::string plugin = QX_AMSYNTH;
    if (!FileExists(plugin)) GTEST_SKIP() << plugin << " is not installed";
    ToolResult render = RunTool("render " + plugin + " " + QX_DEMO_MIDI + " -o " + kOut);
    ASSERT_EQ(render.exitCode, 0) << render.err;
    WavData wav = ReadWav(kOut);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.frames, ExpectedFrames(QX_DEMO_MIDI, 44100, 2.0));
    // A song of 20 to 30 seconds that sounds all the way through.
    EXPECT_GT(wav.frames, 22u * 44100);
    EXPECT_LT(wav.frames, 32u * 44100);
    for (uint64_t second = 0; second + 1 < (wav.frames - 2 * 44100) / 44100; ++second)
        EXPECT_GT(Rms(wav, second * 44100, (second + 1) * 44100), 0.01) << "second " << second;
}
#endif

#if defined(QX_PLUGIN_FILE)
// The instrument is silent until its voice engine arrives: the render must be all zeros and of
// the right length, in both precisions, and the scan must show its parameters and programs.
TEST_F(PeerRender, Instrument) {
    const std::string plugin = QX_PLUGIN_FILE;
    ToolResult info = RunTool("info " + plugin);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    std::vector<std::string> lines = SplitLines(info.out);
    EXPECT_TRUE(HasLine(lines, "Name:       QX-4470"));
    EXPECT_TRUE(HasLine(lines, "Parameters: 69"));
    EXPECT_EQ(CountRowsAfter(lines, "Parameters: "), 69);
    EXPECT_TRUE(HasLine(lines, "Programs:   64"));
    EXPECT_EQ(CountRowsAfter(lines, "Programs: "), 64);

    // The chord sounds, and single and double precision agree within float rounding.
    std::vector<WavData> renders;
    for (const char* precision : {"", " --double"}) {
        RemoveFile(kOut);
        ToolResult render = RunTool("render " + plugin + " " + kSong + " -o " + kOut +
                                    " --tail 0.5 --format f32" + precision);
        ASSERT_EQ(render.exitCode, 0) << precision << "\n" << render.err;
        renders.push_back(ReadWav(kOut));
        ASSERT_TRUE(renders.back().valid);
        EXPECT_EQ(renders.back().frames, kChordFrames);
    }
    double peak = 0, difference = 0;
    for (size_t i = 0; i < renders[0].samples.size(); ++i) {
        peak = std::max(peak, std::fabs(renders[0].samples[i]));
        difference =
            std::max(difference, std::fabs(renders[0].samples[i] - renders[1].samples[i]));
    }
    EXPECT_GT(peak, 0.01);
    EXPECT_LT(difference, 1e-5);
    ToolResult demo = RunTool("render " + plugin + " " + QX_DEMO_MIDI + " -o " + kOut);
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    EXPECT_EQ(ReadWav(kOut).frames, ExpectedFrames(QX_DEMO_MIDI, 44100, 2.0));
    // The demo must not clip; the tool measures its peak before the 16-bit conversion.
    const size_t peakAt = demo.out.rfind("peak ");
    ASSERT_NE(peakAt, std::string::npos) << demo.out;
    EXPECT_LT(std::stod(demo.out.substr(peakAt + 5)), 0.0) << demo.out;
}
#else
TEST_F(PeerRender, Instrument) {
    GTEST_SKIP() << "the plug-in target qxplugin is not part of this build yet";
}
#endif
