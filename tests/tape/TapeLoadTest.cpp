// Loading tape dumps into the instrument: the programs, the status text, the settings stored
// after a load, and the programs left alone by every failure.
#include "tape/TapeLoad.h"
#include "host/PluginEntry.h"
#include "instrument/QX4470.h"
#include "tests/tape/TapeSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace {

const char kLoaded[] = "DW-8000 tape dump was successfully loaded.\n";

class TapeLoadTest : public testing::Test {
protected:
    void SetUp() override {
        saved_ = ProcessSettings::Get();
        synth_.reset(static_cast<QX4470*>(MakePlug(nullptr)));
        ASSERT_TRUE(synth_);
    }
    void TearDown() override { ProcessSettings::Get() = saved_; }

    QX4470& Synth() { return *synth_; }

    // Program i's values as the instrument holds them after selecting it.
    static std::vector<double> ProgramValues(QX4470& synth, int program) {
        synth.ApplyPreset(program);
        std::vector<double> values;
        for (int p = 0; p < kNumParams; ++p)
            values.push_back(synth.GetParameter(p)->Value());
        return values;
    }
    std::vector<std::vector<uint8_t>> PresetStates() {
        std::vector<std::vector<uint8_t>> states;
        for (int i = 0; i < Synth().NPresets(); ++i) {
            const ChunkBuffer& state = Synth().GetPreset(i)->state;
            states.emplace_back(state.Data(), state.Data() + state.Size());
        }
        return states;
    }

private:
    ProcessSettings saved_;
    std::unique_ptr<QX4470> synth_;
};

TEST_F(TapeLoadTest, FactoryBankBRecordingLoadsAsFactoryBankBAndStoresTheSettings) {
    ScratchWav wav("bank-b");
    wav.Write(WavFileBytes(RenderTape(FactoryBankB(), TapeRecording()), 44100));
    ProcessSettings::Get().tapeLowpassEnabled = true;
    ProcessSettings::Get().tapeThreshold = 40;
    Synth().ApplyPreset(5);
    bool dw6000 = true;
    ASSERT_TRUE(LoadTapeDump(Synth(), wav.Path(), &dw6000));
    EXPECT_FALSE(dw6000);
    EXPECT_EQ(Synth().tapeStatus, kLoaded);
    EXPECT_EQ(Synth().GetCurrentPresetIndex(), 5);

    std::unique_ptr<QX4470> reference(static_cast<QX4470*>(MakePlug(nullptr)));
    ASSERT_TRUE(reference->RestoreFactoryBank(1));
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(ProgramValues(Synth(), i), ProgramValues(*reference, i)) << "program " << i;
        EXPECT_EQ(Synth().GetPresetName(i), ProgramNameOf(i));
    }

    std::ifstream ini(Synth().config.iniPath);
    std::stringstream text;
    text << ini.rdbuf();
    EXPECT_NE(text.str().find("Lowpass Enabled=true"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("Threshold=40"), std::string::npos) << text.str();
}

TEST_F(TapeLoadTest, ChecksumErrorNamesTheProgramAndStillAppliesIt) {
    std::vector<uint8_t> stream = FactoryBankB();
    stream[2 + 31 * 2 + 30] += 1;
    bool dw6000 = false;
    ASSERT_TRUE(ApplyTapeStream(Synth(), stream, &dw6000));
    EXPECT_EQ(Synth().tapeStatus,
              std::string(kLoaded) + "\nData for \"PROGRAM 1-3\" might be corrupted.");
    EXPECT_EQ(CorruptTapePrograms(stream), std::vector<int>{2});

    std::unique_ptr<QX4470> clean(static_cast<QX4470*>(MakePlug(nullptr)));
    ASSERT_TRUE(ApplyTapeStream(*clean, FactoryBankB(), &dw6000));
    EXPECT_EQ(ProgramValues(Synth(), 2), ProgramValues(*clean, 2));
}

TEST_F(TapeLoadTest, StreamsOfOtherLengthsChangeNothing) {
    const auto before = PresetStates();
    Synth().tapeStatus = "before";
    bool dw6000 = true;
    for (size_t size : {1986u, 1988u}) {
        std::vector<uint8_t> stream = FactoryBankB();
        stream.resize(size, 0x00);
        EXPECT_FALSE(ApplyTapeStream(Synth(), stream, &dw6000)) << size;
        EXPECT_FALSE(dw6000);
        EXPECT_EQ(Synth().tapeStatus, "before");
    }
    // A DW-6000 dump is recognised by its length and refused, from a real recording too.
    ScratchWav wav("dw6000");
    wav.Write(WavFileBytes(RenderTape(std::vector<uint8_t>(1730, 0x21), TapeRecording()), 44100));
    EXPECT_FALSE(LoadTapeDump(Synth(), wav.Path(), &dw6000));
    EXPECT_TRUE(dw6000);
    EXPECT_EQ(Synth().tapeStatus, "Sorry, I cannot read DW-6000 tape dumps yet. :-(");
    EXPECT_EQ(PresetStates(), before);
}

TEST_F(TapeLoadTest, UnreadableFilesChangeNothing) {
    const auto before = PresetStates();
    ScratchWav stereoTriple("three-channels");
    stereoTriple.Write(WavFileBytes(RenderTape(FactoryBankB(), TapeRecording()), 44100,
                                    {WavFormat::S16, 3, false, false}));
    ScratchWav noise("no-dump");
    noise.Write(WavFileBytes(std::vector<double>(50000, 0.25), 44100));
    bool dw6000 = false;
    for (const std::string& path :
         {std::string(), std::string("tape-test-missing.wav"), stereoTriple.Path(), noise.Path()}) {
        EXPECT_FALSE(LoadTapeDump(Synth(), path, &dw6000)) << path;
        EXPECT_FALSE(dw6000);
    }
    EXPECT_EQ(PresetStates(), before);
}

} // namespace
