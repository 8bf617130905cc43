// The built qx4470 program against the probe instrument: the host sequence, sample-accurate
// event offsets at any block size and precision, time info, SysEx, preset files, and the
// failures that must leave no output file.
#include "FxBuilder.h"
#include "SmfBuilder.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

const std::string kLog = "tool_render_probe.log";
const std::string kSong = "tool_render_song.mid";
const std::string kOut = "tool_render_out.wav";
const std::string kPreset = "tool_render_preset.fxb";
const std::string kProbe = QX_PROBE_FILE;

struct ProbeRun {
    ToolResult result;
    std::vector<std::string> log;
};

ProbeRun RunProbe(const std::string& arguments, const std::string& flags = "") {
    SetEnvironment("QX_PROBE_LOG", kLog);
    SetEnvironment("QX_PROBE_FLAGS", flags);
    RemoveFile(kLog);
    ProbeRun run;
    run.result = RunTool(arguments);
    run.log = SplitLines(ReadTextFile(kLog));
    RemoveFile(kLog);
    return run;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (StartsWith(line, prefix)) found.push_back(line);
    return found;
}

// The log without the per-block lines, to compare the set-up and shut-down sequence.
std::vector<std::string> SetupLines(const std::vector<std::string>& log) {
    std::vector<std::string> lines;
    for (const std::string& line : log)
        if (!StartsWith(line, "events ") && !StartsWith(line, "process ") &&
            !StartsWith(line, "midi ") && !StartsWith(line, "sysex "))
            lines.push_back(line);
    return lines;
}

// 96 ticks per quarter; 120 bpm, then 60 bpm from tick 192 (1.0 s), set by the second track.
// At 1000 Hz the note-ons fall on frames 0, 521, 995 and 1604; the last event is at 2125.
testmidi::Bytes TimingSong() {
    testmidi::Track notes;
    notes.At(0, {0x90, 60, 64})
        .At(100, {0x91, 62, 32})
        .At(191, {0x92, 64, 96})
        .At(250, {0x93, 65, 100})
        .At(260, {0x93, 66, 0}) // a note-off written as a note-on with velocity 0
        .At(300, {0x83, 65, 0})
        .End(300);
    testmidi::Track conductor;
    conductor.Meter(0, 3, 2).Tempo(192, 1000000).End(192);
    return testmidi::Song(1, 96, {notes, conductor});
}

const std::map<uint64_t, std::pair<int, int>> kExpectedMarks = {
    {0, {64, 60}}, {521, {32, 62}}, {995, {96, 64}}, {1604, {100, 65}}};
constexpr uint64_t kTimingFrames = 2125 + 100; // last event + 0.1 s tail at 1000 Hz

void ExpectMarks(const WavData& wav, const std::string& what) {
    ASSERT_TRUE(wav.valid) << what;
    ASSERT_EQ(wav.channels, 2) << what;
    ASSERT_EQ(wav.frames, kTimingFrames) << what;
    for (uint64_t frame = 0; frame < wav.frames; ++frame) {
        double left = wav.samples[2 * frame];
        double right = wav.samples[2 * frame + 1];
        auto mark = kExpectedMarks.find(frame);
        if (mark == kExpectedMarks.end()) {
            ASSERT_EQ(left, 0.0) << what << " frame " << frame;
            ASSERT_EQ(right, 0.0) << what << " frame " << frame;
        } else {
            EXPECT_EQ(left, mark->second.first / 128.0) << what << " frame " << frame;
            EXPECT_EQ(right, mark->second.second / 128.0) << what << " frame " << frame;
        }
    }
}

void ExpectFailureWithoutOutput(const ProbeRun& run, int exitCode, const std::string& what) {
    EXPECT_EQ(run.result.exitCode, exitCode) << what << "\n" << run.result.err;
    std::vector<std::string> lines = SplitLines(run.result.err);
    ASSERT_EQ(lines.size(), 1u) << what << "\n" << run.result.err;
    EXPECT_TRUE(StartsWith(lines[0], "qx4470: ")) << what;
    EXPECT_FALSE(FileExists(kOut)) << what;
    EXPECT_FALSE(FileExists(kOut + ".part")) << what;
}

class ToolRender : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBinaryFile(kSong, TimingSong());
        RemoveFile(kOut);
    }
    void TearDown() override {
        for (const std::string& file : {kSong, kOut, kPreset, kLog})
            RemoveFile(file);
        SetEnvironment("QX_PROBE_FLAGS", "");
        SetEnvironment("QX_PROBE_LOG", "");
    }
};

} // namespace

TEST_F(ToolRender, HostSequenceAndHostAnswers) {
    WriteBinaryFile(kPreset, testfx::ChunkBank("qxPb", {1, 2, 3, 4, 5}, 0));
    ProbeRun run =
        RunProbe("render " + kProbe + " " + kSong + " -o " + kOut +
                 " --rate 1000 --block 64 --tail 0.1 --load " + kPreset + " --program 2");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
    const std::vector<std::string> expected = {
        "entry version=2400",
        "open",
        "host vendor=Marten Hollow Lab product=qx4470 version=10106 level=4 rate=1000 block=64",
        "host canDo sendVstEvents=1 sendVstMidiEvent=1 sendVstTimeInfo=1 receiveVstEvents=1 "
        "receiveVstMidiEvent=1 offline=0 nonsense=0",
        "host unknownOpcode=0",
        "sampleRate 1000",
        "blockSize 64",
        "chunk index=0 size=5 data=01 02 03 04 05",
        "program 2",
        "mains 1",
        "mains 0",
        "close",
    };
    EXPECT_EQ(SetupLines(run.log), expected);

    // Every block: one event list, even an empty one, then the audio call; nothing late.
    size_t blocks = 0;
    for (size_t i = 0; i < run.log.size(); ++i) {
        if (!StartsWith(run.log[i], "events ")) continue;
        size_t next = i + 1;
        while (next < run.log.size() &&
               (StartsWith(run.log[next], "midi ") || StartsWith(run.log[next], "sysex ")))
            ++next;
        ASSERT_LT(next, run.log.size());
        EXPECT_TRUE(StartsWith(run.log[next], "process f ")) << run.log[next];
        ++blocks;
    }
    EXPECT_EQ(blocks, (kTimingFrames + 63) / 64);
    EXPECT_EQ(LinesStartingWith(run.log, "process ").size(), blocks);
    EXPECT_TRUE(LinesStartingWith(run.log, "late").empty());
    // Events fall into blocks 0, 8, 15, 25, 26 and 33; all others get an empty list.
    EXPECT_EQ(LinesStartingWith(run.log, "events 0").size(), blocks - 6);
    // The last block is cut to the end of the render.
    EXPECT_TRUE(StartsWith(LinesStartingWith(run.log, "process ").back(),
                           "process f " + std::to_string(kTimingFrames % 64) + " "));
}

TEST_F(ToolRender, OffsetsAreSampleAccurateAtAnyBlockSizeAndPrecision) {
    std::vector<uint8_t> reference;
    for (const char* options : {"--block 1", "--block 64", "--block 1000", "--block 4096",
                                "--block 7 --double", "--block 512 --double"}) {
        ProbeRun run = RunProbe("render " + kProbe + " " + kSong + " -o " + kOut +
                                " --rate 1000 --tail 0.1 --format f32 " + options);
        ASSERT_EQ(run.result.exitCode, 0) << options << "\n" << run.result.err;
        ExpectMarks(ReadWav(kOut), options);
        EXPECT_TRUE(LinesStartingWith(run.log, "late").empty()) << options;
        std::vector<uint8_t> bytes = ReadBinaryFile(kOut);
        if (reference.empty())
            reference = bytes;
        else
            EXPECT_EQ(bytes, reference) << options << " differs from --block 1";
    }
}

TEST_F(ToolRender, AccumulatingCallbackWhenReplacingIsNotAnnounced) {
    ProbeRun run = RunProbe("render " + kProbe + " " + kSong + " -o " + kOut +
                                " --rate 1000 --tail 0.1 --format f32 --block 100",
                            "noreplacing");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
    ExpectMarks(ReadWav(kOut), "accumulating");
    EXPECT_TRUE(LinesStartingWith(run.log, "process f").empty());
    EXPECT_FALSE(LinesStartingWith(run.log, "process a").empty());
}

TEST_F(ToolRender, TimeInfoFollowsTheTempoMapAndMeter) {
    ProbeRun run = RunProbe("render " + kProbe + " " + kSong + " -o " + kOut +
                            " --rate 1000 --tail 0.1 --block 64");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
    std::vector<std::string> blocks = LinesStartingWith(run.log, "process ");
    ASSERT_GE(blocks.size(), 33u);
    EXPECT_EQ(
        blocks[0],
        "process f 64 pos=0 rate=1000 tempo=120.000 ppq=0.0000 bar=0.0000 sig=3/4 flags=2e03");
    EXPECT_EQ(
        blocks[1],
        "process f 64 pos=64 rate=1000 tempo=120.000 ppq=0.1280 bar=0.0000 sig=3/4 flags=2e02");
    // 1.024 s: 60 bpm since 1.0 s, two quarters done before it.
    EXPECT_EQ(
        blocks[16],
        "process f 64 pos=1024 rate=1000 tempo=60.000 ppq=2.0240 bar=0.0000 sig=3/4 flags=2e02");
    // 2.048 s: the second 3/4 bar began at quarter 3.
    EXPECT_EQ(
        blocks[32],
        "process f 64 pos=2048 rate=1000 tempo=60.000 ppq=3.0480 bar=3.0000 sig=3/4 flags=2e02");
}

TEST_F(ToolRender, SysExReachesThePluginWithItsF0) {
    testmidi::Track track;
    track.At(0, {0xF0, 0x05, 0x42, 0x30, 0x03, 0x10, 0xF7})
        .At(3, {0xF0, 0x02, 0x42, 0x31})
        .At(6, {0xF7, 0x02, 0x05, 0xF7})
        .End(6);
    WriteBinaryFile(kSong, testmidi::Song(0, 96, {track}));
    ProbeRun run =
        RunProbe("render " + kProbe + " " + kSong + " -o " + kOut + " --rate 1000 --tail 0");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
    // Tick 3 is frame 16 (15.625 rounded).
    const std::vector<std::string> expected = {"sysex 0 f0 42 30 03 10 f7",
                                               "sysex 16 f0 42 31 05 f7"};
    EXPECT_EQ(LinesStartingWith(run.log, "sysex "), expected);
    // The render ends right after the last event when the tail is 0.
    EXPECT_EQ(ReadWav(kOut).frames, 17u);
}

TEST_F(ToolRender, PresetFilesReachThePluginAsAHostLoadsThem) {
    const std::string probeArgs =
        "render " + kProbe + " " + kSong + " -o " + kOut + " --rate 1000 --load " + kPreset;

    WriteBinaryFile(kPreset, testfx::ChunkProgram("qxPb", {9, 8, 7}, "Chunky"));
    ProbeRun program = RunProbe(probeArgs);
    ASSERT_EQ(program.result.exitCode, 0) << program.result.err;
    EXPECT_EQ(LinesStartingWith(program.log, "chunk ").at(0), "chunk index=1 size=3 data=09 08 07");

    WriteBinaryFile(kPreset, testfx::ParamProgram("qxPb", {0.125f, 0.5f, 0.75f}, "Values"));
    ProbeRun values = RunProbe(probeArgs);
    ASSERT_EQ(values.result.exitCode, 0) << values.result.err;
    const std::vector<std::string> valueLines = {"param 0 0.1250", "param 1 0.5000",
                                                 "param 2 0.7500", "programName Values"};
    std::vector<std::string> setup = SetupLines(values.log);
    auto at = std::find(setup.begin(), setup.end(), "blockSize 512");
    ASSERT_NE(at, setup.end());
    EXPECT_EQ(std::vector<std::string>(at + 1, at + 5), valueLines);

    WriteBinaryFile(kPreset,
                    testfx::ParamBank("qxPb",
                                      {testfx::ParamProgram("qxPb", {0.1f, 0.2f, 0.3f}, "One"),
                                       testfx::ParamProgram("qxPb", {0.4f, 0.5f, 0.6f}, "Two")},
                                      1));
    ProbeRun bank = RunProbe(probeArgs + " --program 3");
    ASSERT_EQ(bank.result.exitCode, 0) << bank.result.err;
    setup = SetupLines(bank.log);
    at = std::find(setup.begin(), setup.end(), "blockSize 512");
    ASSERT_NE(at, setup.end());
    const std::vector<std::string> bankLines = {
        "program 0", "param 0 0.1000", "param 1 0.2000", "param 2 0.3000", "programName One",
        "program 1", "param 0 0.4000", "param 1 0.5000", "param 2 0.6000", "programName Two",
        "program 1", "program 3",      "mains 1"};
    EXPECT_EQ(std::vector<std::string>(at + 1, at + 1 + (long)bankLines.size()), bankLines);
}

TEST_F(ToolRender, SetValuesFollowTheProgramInOrder) {
    const std::string song = " " + kSong + " -o " + kOut + " --rate 1000 --tail 0.1";
    ProbeRun run =
        RunProbe("render " + kProbe + song + " --set 2=0.75 --program 3 --set=0=0.1 --set 2=1");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
    std::vector<std::string> setup = SetupLines(run.log);
    auto at = std::find(setup.begin(), setup.end(), "program 3");
    ASSERT_NE(at, setup.end());
    const std::vector<std::string> expected = {"program 3", "param 2 0.7500", "param 0 0.1000",
                                               "param 2 1.0000", "mains 1"};
    EXPECT_EQ(std::vector<std::string>(at, at + (long)expected.size()), expected);

    RemoveFile(kOut);
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + song + " --set 3=0.5"), 1,
                               "parameter out of range");
}

TEST_F(ToolRender, MonoPluginFillsBothChannels) {
    ProbeRun run = RunProbe("render " + kProbe + " " + kSong + " -o " + kOut +
                                " --rate 1000 --tail 0.1 --format f32",
                            "mono");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
    WavData wav = ReadWav(kOut);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.channels, 2);
    for (const auto& mark : kExpectedMarks) {
        EXPECT_EQ(wav.samples[2 * mark.first], mark.second.first / 128.0);
        EXPECT_EQ(wav.samples[2 * mark.first + 1], mark.second.first / 128.0);
    }
}

TEST_F(ToolRender, EntryNamedMainIsFound) {
    ProbeRun run = RunProbe("render " + std::string(QX_PROBE_MAIN_FILE) + " " + kSong + " -o " +
                            kOut + " --rate 1000 --tail 0.1 --format f32");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
    ExpectMarks(ReadWav(kOut), "main entry");
}

TEST_F(ToolRender, OutputFormatsAndDeterminism) {
    for (const char* format : {"s16", "s24", "f32"}) {
        ProbeRun first = RunProbe("render " + kProbe + " " + kSong + " -o " + kOut +
                                  " --rate 1000 --format " + format);
        ASSERT_EQ(first.result.exitCode, 0) << first.result.err;
        std::vector<uint8_t> bytes = ReadBinaryFile(kOut);
        WavData wav = ReadWav(kOut);
        ASSERT_TRUE(wav.valid);
        EXPECT_EQ(wav.formatTag, std::string(format) == "f32" ? 3 : 1);
        EXPECT_EQ(wav.bitsPerSample, std::string(format) == "s16"   ? 16
                                     : std::string(format) == "s24" ? 24
                                                                    : 32);
        EXPECT_EQ(wav.frames, 2125u + 2000u); // default tail of 2 s
        EXPECT_NEAR(wav.samples[2 * 521], 0.25, 1e-4);
        RunProbe("render " + kProbe + " " + kSong + " -o " + kOut + " --rate 1000 --format " +
                 format);
        EXPECT_EQ(ReadBinaryFile(kOut), bytes) << format;
    }
}

TEST_F(ToolRender, InfoListsWhatAHostScans) {
    ProbeRun run = RunProbe("info " + kProbe);
    ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
    std::vector<std::string> lines = SplitLines(run.result.out);
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("Name:       Probe"));
    EXPECT_TRUE(has("Vendor:     Probe Vendor"));
    EXPECT_TRUE(has("Product:    Probe Product"));
    EXPECT_TRUE(has("Version:    7 (effect record 7)"));
    EXPECT_TRUE(has("Unique ID:  'qxPb' (0x71785062)"));
    EXPECT_TRUE(has("Inputs:     0"));
    EXPECT_TRUE(has("Outputs:    2"));
    EXPECT_TRUE(has("Flags:      0x1130 CanReplacing ProgramChunks IsSynth CanDoubleReplacing"));
    EXPECT_TRUE(has("Category:   2 (synth)"));
    EXPECT_TRUE(has("Parameters: 3"));
    EXPECT_TRUE(has("    0  Gain                      0.25              dB        0.250000"));
    EXPECT_TRUE(has("    2  Mode                      1.00                        1.000000"));
    EXPECT_TRUE(has("Programs:   4"));
    EXPECT_TRUE(has("    3  Probe 3"));
    // The scan opens and closes the instance.
    std::vector<std::string> setup = SetupLines(run.log);
    EXPECT_EQ(setup.front(), "entry version=2400");
    EXPECT_EQ(setup.back(), "close");
    EXPECT_EQ(LinesStartingWith(run.log, "open").size(), 1u);
}

TEST_F(ToolRender, FailuresExplainThemselvesAndWriteNothing) {
    const std::string song = " " + kSong + " -o " + kOut;
    ExpectFailureWithoutOutput(RunProbe("render tool_render_no_such.so" + song), 1,
                               "missing plug-in");
    ExpectFailureWithoutOutput(RunProbe("render " + kSong + song), 1, "not a plug-in");
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + " tool_render_none.mid -o " + kOut), 1,
                               "missing MIDI file");

    testmidi::Bytes badSong = TimingSong();
    badSong.resize(badSong.size() - 5);
    WriteBinaryFile(kSong, badSong);
    ProbeRun truncated = RunProbe("render " + kProbe + song);
    ExpectFailureWithoutOutput(truncated, 1, "truncated MIDI");
    EXPECT_NE(truncated.result.err.find("truncated"), std::string::npos);
    EXPECT_TRUE(truncated.log.empty()) << "the plug-in was loaded for a bad MIDI file";
    WriteBinaryFile(kSong, TimingSong());

    testmidi::Bytes badBank = testfx::ChunkBank("qxPb", {1, 2, 3, 4}, 0);
    badBank.resize(badBank.size() - 1);
    WriteBinaryFile(kPreset, badBank);
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + song + " --load " + kPreset), 1,
                               "truncated FXB");
    WriteBinaryFile(kPreset, testfx::ChunkBank("abcd", {1, 2, 3, 4}, 0));
    ProbeRun foreign = RunProbe("render " + kProbe + song + " --load " + kPreset);
    ExpectFailureWithoutOutput(foreign, 1, "FXB of another plug-in");
    EXPECT_NE(foreign.result.err.find("'abcd'"), std::string::npos);
    WriteBinaryFile(kPreset, testfx::ChunkBank("qxPb", {1, 2, 3, 4}, 0));
    ExpectFailureWithoutOutput(
        RunProbe("render " + kProbe + song + " --load " + kPreset, "nochunks"), 1,
        "chunk for a plug-in without chunks");
    WriteBinaryFile(kPreset, testfx::ParamProgram("qxPb", {0.5f, 0.5f}, "short"));
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + song + " --load " + kPreset), 1,
                               "value list of the wrong length");
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + song + " --load tool_render_none.fxb"),
                               1, "missing FXB");

    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + song, "refuse"), 1,
                               "entry without an instance");
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + song + " --double", "nodouble"), 1,
                               "double precision refused");
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + song + " --program 4"), 1,
                               "program out of range");
    ExpectFailureWithoutOutput(
        RunProbe("render " + kProbe + song + " -o tool_render_no_folder/x.wav"), 1,
        "unwritable output");
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + " " + kSong), 2, "no output named");
    ExpectFailureWithoutOutput(RunProbe("render " + kProbe + song + " --block 0"), 2, "block of 0");
    ExpectFailureWithoutOutput(RunProbe("convert" + song), 2, "unknown command");
    ExpectFailureWithoutOutput(RunProbe("info"), 2, "info without a plug-in");
    ExpectFailureWithoutOutput(RunProbe("info tool_render_no_such.so"), 1,
                               "info of a missing file");

    ProbeRun help = RunProbe("help");
    EXPECT_EQ(help.result.exitCode, 0);
    EXPECT_NE(help.result.out.find("qx4470 render PLUGIN"), std::string::npos);
    ProbeRun bare = RunProbe("");
    EXPECT_EQ(bare.result.exitCode, 2);
    EXPECT_NE(bare.result.err.find("usage:"), std::string::npos);
}
