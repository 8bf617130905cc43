// The program state record, program initialisation, copy and paste, program selection, the
// factory banks, and what parameter changes do to the instrument's state.
#include "tests/instrument/InstrumentFixture.h"

#include <cstring>

namespace {

int32_t Int32At(const ChunkBuffer& chunk, int offset) {
    int32_t value = 0;
    chunk.ReadInt32(offset, &value);
    return value;
}

} // namespace

TEST_F(InstrumentTest, TaggedRecordForm) {
    Synth().ApplyPreset(5);
    Synth().ModifyCurrentPreset("KOTO");
    ChunkBuffer record;
    ASSERT_TRUE(Synth().SerializeState(record));
    ASSERT_EQ(record.Size(), 585); // 13 + 4 + 4 + 4 + 552 + 4 + 4
    EXPECT_EQ(std::memcmp(record.Data(), "QX-4470_1.1.3", 13), 0);
    EXPECT_EQ(Int32At(record, 13), 5);
    EXPECT_EQ(Int32At(record, 17), 4);
    EXPECT_EQ(std::memcmp(record.Data() + 21, "KOTO", 4), 0);
    for (int i = 0; i < 69; ++i) {
        double value = 0;
        record.ReadDouble(25 + 8 * i, &value);
        EXPECT_EQ(value, Value(i)) << i;
    }
    EXPECT_EQ(Int32At(record, 577), 5);
    EXPECT_EQ(Int32At(record, 581), 1106);
}

TEST_F(InstrumentTest, ReadingARecordKeepsTheProgramsOwnIndexAndName) {
    Synth().ApplyPreset(5);
    SetValue(kVcfCutoff, 44);
    Synth().ModifyCurrentPreset("KOTO");
    ChunkBuffer record;
    Synth().SerializeState(record);

    auto other = NewInstrument();
    other->ApplyPreset(2);
    const std::string name = other->GetPresetName(2);
    EXPECT_EQ(other->UnserializeState(record, 0), record.Size());
    EXPECT_EQ(other->GetCurrentPresetIndex(), 2);
    EXPECT_EQ(std::string(other->GetPresetName(2)), name);
    for (int i = 0; i < 69; ++i)
        EXPECT_EQ(other->GetParameter(i)->Value(), Value(i)) << i;
}

TEST_F(InstrumentTest, UntaggedRecordsAndTheirMarker) {
    ChunkBuffer record;
    for (int i = 0; i < 69; ++i)
        record.AppendDouble(kParameterTable[i].max);
    record.AppendInt32(5);
    record.AppendInt32(259);
    record.AppendInt32(777); // the next record's data
    EXPECT_EQ(Synth().UnserializeState(record, 0), 560);
    EXPECT_EQ(Value(kVcfCutoff), 63);
    EXPECT_EQ(Synth().voiceCount, 64) << "the engine follows the values read";

    ChunkBuffer unmarked;
    for (int i = 0; i < 69; ++i)
        unmarked.AppendDouble(kParameterTable[i].min);
    unmarked.AppendInt32(0);
    unmarked.AppendInt32(259);
    EXPECT_EQ(Synth().UnserializeState(unmarked, 0), 556);
}

TEST_F(InstrumentTest, ShortRecordsReadWhatIsThere) {
    ChunkBuffer record;
    for (int i = 0; i < 20; ++i)
        record.AppendDouble(kParameterTable[i].max);
    record.AppendBytes("abc", 3);
    SetValue(kVcfEgAttack, 7);
    SetValue(kVoices, 2);
    EXPECT_EQ(Synth().UnserializeState(record, 0), -1);
    EXPECT_EQ(Value(kVcfEgIntensity), 31) << "values before the break are applied";
    EXPECT_EQ(Value(kVcfEgAttack), 0) << "the value at the break reads as 0";
    EXPECT_EQ(Value(kVoices), 2) << "values after the break are not touched";
    EXPECT_EQ(Synth().assignMode, 3);

    ChunkBuffer brokenTag;
    brokenTag.AppendBytes("QX-4470_1.1.3", 13);
    brokenTag.AppendInt32(0);
    brokenTag.AppendInt32(-20); // a name length that would read backwards
    EXPECT_EQ(Synth().UnserializeState(brokenTag, 0), -1);
    EXPECT_EQ(Value(kVcfEgIntensity), 31);
}

TEST_F(InstrumentTest, PlaceholdersAreStoredAsZero) {
    for (int i = kReservedFirst; i <= kReservedLast; ++i)
        SetValue(i, 1);
    ChunkBuffer record;
    Synth().SerializeState(record);
    for (int i = kReservedFirst; i <= kReservedLast; ++i) {
        EXPECT_EQ(Value(i), 0) << i;
        double stored = -1;
        record.ReadDouble(21 + static_cast<int>(std::strlen(Synth().GetPresetName(0))) + 8 * i,
                          &stored);
        EXPECT_EQ(stored, 0) << i;
    }
}

TEST_F(InstrumentTest, InitialisingPrograms) {
    Synth().ApplyPreset(10);
    Synth().InitializeProgram(true);
    EXPECT_EQ(std::string(Synth().GetPresetName(10)), "PROGRAM 2-3");
    EXPECT_EQ(Value(kVoices), -1);
    EXPECT_EQ(Synth().voiceCount, 6);
    EXPECT_EQ(Value(kEngineMode), 1);
    EXPECT_EQ(Value(kWaveSet), 1);
    EXPECT_TRUE(Synth().dw6000);
    EXPECT_EQ(Value(kDelayModIntensity), 27);
    EXPECT_EQ(Value(kDelayModFrequency), 2);
    EXPECT_EQ(Value(kDelayTime), 1);
    EXPECT_EQ(Value(kDelayLevel), 15);
    EXPECT_EQ(Value(kVcfCutoff), 63);
    EXPECT_EQ(Value(kModWheelOscMg), 8);

    Synth().ApplyPreset(63);
    Synth().InitializeProgram(false);
    EXPECT_EQ(std::string(Synth().GetPresetName(63)), "PROGRAM 8-8");
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(Value(i), kParameterTable[i].defaultValue) << i;
    EXPECT_FALSE(host.automation.empty()) << "the host hears of every value";
    // The stored program is the initialised one.
    Synth().ApplyPreset(10);
    Synth().ApplyPreset(63);
    EXPECT_EQ(Value(kEngineMode), 0);
}

TEST_F(InstrumentTest, CopyPasteAndSelect) {
    Synth().PasteProgram(); // nothing copied yet: nothing happens
    EXPECT_EQ(Synth().GetCurrentPresetIndex(), 0);

    Synth().SelectProgram(3);
    SetValue(kVcfResonance, 29);
    Synth().CopyProgram();
    Synth().ModifyCurrentPreset("RENAMED LATER");
    Synth().SelectProgram(8);
    EXPECT_NE(Value(kVcfResonance), 29);
    Synth().PasteProgram();
    EXPECT_EQ(Value(kVcfResonance), 29);
    EXPECT_EQ(std::string(Synth().GetPresetName(8)), "RENAMED LATER");
    EXPECT_EQ(Synth().copyProgramIndex, 3);

    Synth().SelectProgram(0);
    Synth().StepProgram(-1);
    EXPECT_EQ(Synth().GetCurrentPresetIndex(), 63);
    Synth().StepProgram(1);
    EXPECT_EQ(Synth().GetCurrentPresetIndex(), 0);
    EXPECT_GT(host.programChanges, 0);
}

TEST_F(InstrumentTest, FactoryBanks) {
    EXPECT_EQ(std::string(Synth().GetPresetName(0)), "BRASS DELAY");
    const double brassDelay[13] = {0, 1, 31, 2, 1, 3, 10, 0, 1, 31, 0, 3, 0};
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(Value(i), brassDelay[i]) << i;
    EXPECT_EQ(Value(kEditParameter), 46);
    EXPECT_EQ(Value(kVcfCutoff), 12);

    ASSERT_TRUE(Synth().RestoreFactoryBank(1));
    EXPECT_EQ(std::string(Synth().GetPresetName(0)), "GLIDE BRASS I");
    EXPECT_EQ(std::string(Synth().GetPresetName(63)), "HARP");
    ASSERT_TRUE(Synth().RestoreFactoryBank(2));
    EXPECT_EQ(std::string(Synth().GetPresetName(13)), "ORGAN with PERCUS");
    for (int i = 0; i < 64; ++i) {
        Synth().ApplyPreset(i);
        EXPECT_EQ(Value(kVoices), -1) << i;
        EXPECT_TRUE(Synth().dw6000) << i;
        EXPECT_EQ(Synth().waveSet, 1) << i;
    }
    EXPECT_FALSE(Synth().RestoreFactoryBank(3));
    ASSERT_TRUE(Synth().RestoreFactoryBank(0));
    EXPECT_EQ(std::string(Synth().GetPresetName(63)), "EPILOGUE");
}

TEST_F(InstrumentTest, ParameterChangesDriveTheInstrumentState) {
    SetValue(kAssignMode, 2);
    EXPECT_TRUE(Synth().unison);
    SetValue(kAssignMode, 1);
    EXPECT_FALSE(Synth().unison);

    SetValue(kVoices, 0);
    Synth().heldNotes.Set(60, 100);
    SetValue(kVoices, 0.2); // still 8 voices: the notes keep playing
    EXPECT_TRUE(Synth().heldNotes.Contains(60));
    SetValue(kVoices, 3);
    EXPECT_EQ(Synth().voiceCount, 64);
    EXPECT_EQ(Synth().unisonCount, 8);
    EXPECT_FALSE(Synth().heldNotes.Contains(60)) << "a new voice count stops the notes";
    SetValue(kVoices, -4);
    EXPECT_EQ(Synth().voiceCount, 1);
    EXPECT_DOUBLE_EQ(Synth().unisonGain, 1.0);

    Synth().heldNotes.Set(61, 90);
    SetValue(kEditParameter, 33);
    EXPECT_EQ(Synth().editParameterIndex, 33);
    EXPECT_TRUE(Synth().heldNotes.Contains(61));

    SetValue(kMgVcf, 31);
    EXPECT_DOUBLE_EQ(Synth().amounts.mgVcf, 30 * 128);
    SetValue(kEngineMode, 1);
    EXPECT_DOUBLE_EQ(Synth().amounts.mgVcf, 60 * 128) << "the MG depth follows the mode";
    SetValue(kVcfMgSource, 1);
    EXPECT_FALSE(Synth().amounts.breathDrivesVcf);
    SetValue(kPseudoStereo, 1);
    EXPECT_TRUE(Synth().pseudoStereo);
    SetValue(kTune, -1);
    EXPECT_DOUBLE_EQ(Synth().amounts.tune, -128);
}

TEST(InstrumentTables, KeypadNumbersAndEditParameterCodes) {
    EXPECT_EQ(ParameterOfPanelNumber(11), kOsc1Octave);
    EXPECT_EQ(ParameterOfPanelNumber(31), kVcfCutoff);
    EXPECT_EQ(ParameterOfPanelNumber(87), kVoices);
    EXPECT_EQ(ParameterOfPanelNumber(88), -1);
    EXPECT_EQ(ParameterOfPanelNumber(0), -1);
    for (int number = 0; number < 100; ++number)
        EXPECT_NE(ParameterOfPanelNumber(number), kAssignMode);

    EXPECT_EQ(EditParameterOfCode(63), 0);
    EXPECT_EQ(EditParameterOfCode(16), 15);
    EXPECT_EQ(EditParameterOfCode(16 + 64), 15) << "only six bits count";
    EXPECT_EQ(CodeOfEditParameter(13), 0);
    EXPECT_EQ(CodeOfEditParameter(14), 0);
    EXPECT_EQ(CodeOfEditParameter(15), 16);
    EXPECT_EQ(CodeOfEditParameter(50), 58);
    // Every program parameter but the two unreachable ones survives the round trip.
    for (int i = 0; i <= 50; ++i) {
        if (i != 13 && i != 14) {
            EXPECT_EQ(EditParameterOfCode(CodeOfEditParameter(i)), i) << i;
        }
    }

    EXPECT_EQ(VoiceCountOf(-4), 1);
    EXPECT_EQ(VoiceCountOf(-1), 6);
    EXPECT_EQ(VoiceCountOf(3), 64);
    EXPECT_EQ(VoiceCountOf(1e9), 64);
    EXPECT_EQ(ProgramNameOf(0), "PROGRAM 1-1");
    EXPECT_EQ(ProgramNameOf(63), "PROGRAM 8-8");
}

TEST_F(InstrumentTest, VoiceParametersReachEveryVoice) {
    SetValue(kOsc2Detune, 6);
    SetValue(kOsc2Waveform, 9);
    SetValue(kWaveSet, 1);
    SetValue(kNoiseLevel, 31);
    SetValue(kEngineMode, 1);
    for (const Voice& v : Synth().voices) {
        const VoicePath& voice = v.path;
        EXPECT_EQ(voice.osc2.detuneUnits(), 41);
        EXPECT_EQ(voice.osc2.waveform(), 8);
        EXPECT_EQ(voice.osc1.waveSet(), 1);
        EXPECT_DOUBLE_EQ(voice.noiseLevel, 0.8) << "the noise curve follows the mode";
    }
    const int units = Synth().voices[0].path.osc2.detuneUnits();
    SetValue(kEditParameter, 25);
    EXPECT_EQ(Synth().voices[63].path.osc2.detuneUnits(), units) << "index 14 reaches no voice";
}
