// SysEx files: single programs, banks, message streams with write requests, and broken files.
#include "host/FileIO.h"
#include "tests/instrument/InstrumentFixture.h"

#include <random>

namespace {

std::vector<std::string> Names(QX4470& synth) {
    std::vector<std::string> names;
    for (int i = 0; i < 64; ++i)
        names.push_back(synth.GetPresetName(i));
    return names;
}

std::vector<ChunkBuffer> States(QX4470& synth) {
    std::vector<ChunkBuffer> states;
    for (int i = 0; i < 64; ++i)
        states.push_back(synth.GetPreset(i)->state);
    return states;
}

ChunkBuffer Bytes(const std::vector<uint8_t>& bytes) {
    return ChunkBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    ChunkBuffer data;
    ReadWholeFile(path, data);
    return std::vector<uint8_t>(data.Data(), data.Data() + data.Size());
}

} // namespace

TEST_F(InstrumentTest, SingleProgramFilesTakeTheFileName) {
    Synth().ApplyPreset(4);
    SetValue(kVcfResonance, 23);
    Synth().ModifyCurrentPreset();
    ASSERT_TRUE(Synth().SaveSysExFile("MY SOUND.syx", false));
    EXPECT_EQ(ReadFile("MY SOUND.syx").size(), 57u);
    EXPECT_FALSE(QX4470::IsSysExBankFile("MY SOUND.syx"));

    auto other = NewInstrument();
    other->ApplyPreset(9);
    ASSERT_TRUE(other->LoadSysExFile("./MY SOUND.syx"));
    EXPECT_EQ(other->GetCurrentPresetIndex(), 9);
    EXPECT_EQ(std::string(other->GetPresetName(9)), "MY SOUND");
    EXPECT_EQ(other->GetParameter(kVcfResonance)->Value(), 23);
    EXPECT_FALSE(other->LoadSysExFile("no such file.syx"));
    EXPECT_FALSE(other->SaveSysExFile("", false));
}

TEST_F(InstrumentTest, BankFilesMoveAllPrograms) {
    ASSERT_TRUE(Synth().SaveSysExFile("bank8000.syx", true));
    EXPECT_EQ(ReadFile("bank8000.syx").size(), 3648u);
    EXPECT_TRUE(QX4470::IsSysExBankFile("bank8000.syx"));

    auto other = NewInstrument();
    other->RestoreFactoryBank(1);
    other->ApplyPreset(20);
    ASSERT_TRUE(other->LoadSysExFile("bank8000.syx"));
    EXPECT_EQ(other->GetCurrentPresetIndex(), 20) << "the program current before stays current";
    for (int p = 0; p < 64; ++p) {
        Synth().ApplyPreset(p);
        other->ApplyPreset(p);
        EXPECT_EQ(std::string(other->GetPresetName(p)), ProgramNameOf(p));
        for (int i = 0; i <= 50; ++i) {
            if (i != kEditParameter) {
                EXPECT_EQ(other->GetParameter(i)->Value(), Value(i)) << p << " " << i;
            }
        }
    }
}

TEST_F(InstrumentTest, Dw6000BanksAreStreamsWithoutWriteRequests) {
    ASSERT_TRUE(Synth().RestoreFactoryBank(2));
    ASSERT_TRUE(Synth().SaveSysExFile("bank6000.syx", true));
    EXPECT_EQ(ReadFile("bank6000.syx").size(), 64u * 32);
    auto other = NewInstrument();
    const auto names = Names(*other);
    const auto states = States(*other);
    EXPECT_TRUE(other->LoadSysExFile("bank6000.syx"));
    EXPECT_EQ(Names(*other), names);
    EXPECT_TRUE(States(*other) == states);
}

TEST_F(InstrumentTest, StreamsStoreDumpsWhereWriteRequestsSay) {
    Synth().ApplyPreset(2);
    SetValue(kVcfCutoff, 7);
    SetValue(kMgFrequency, 3);
    ChunkBuffer dump;
    Synth().BuildProgramDump(dump);
    std::vector<uint8_t> stream(dump.Data(), dump.Data() + dump.Size());
    std::vector<uint8_t> write5 = {0xF0, 0x42, 0x30, 0x03, 0x11, 0x05, 0xF7};
    std::vector<uint8_t> write70 = {0xF0, 0x42, 0x30, 0x03, 0x11, 70, 0xF7};
    std::vector<uint8_t> file = stream;
    file.insert(file.end(), write5.begin(), write5.end());
    file.insert(file.end(), write70.begin(), write70.end());
    WriteWholeFile("stream.syx", Bytes(file));

    auto other = NewInstrument();
    const auto names = Names(*other);
    ASSERT_TRUE(other->LoadSysExFile("stream.syx"));
    EXPECT_EQ(std::string(other->GetPresetName(5)), "PROGRAM 1-6");
    other->ApplyPreset(5);
    EXPECT_EQ(other->GetParameter(kVcfCutoff)->Value(), 7);
    EXPECT_EQ(other->GetParameter(kMgFrequency)->Value(), 3);
    // Program 70 does not exist: the request is skipped, and no program is renamed for it.
    for (int i = 0; i < 64; ++i) {
        if (i != 5) {
            EXPECT_EQ(std::string(other->GetPresetName(i)), names[i]) << i;
        }
    }
}

TEST_F(InstrumentTest, ForeignMessagesEndALoad) {
    ChunkBuffer dump;
    Synth().BuildProgramDump(dump);
    std::vector<uint8_t> file(dump.Data(), dump.Data() + dump.Size());
    for (uint8_t byte : {0xF0, 0x42, 0x30, 0x03, 0x11, 0x01, 0xF7})
        file.push_back(byte);
    for (uint8_t byte : {0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7})
        file.push_back(byte); // another maker
    for (uint8_t byte : {0xF0, 0x42, 0x30, 0x03, 0x11, 0x02, 0xF7})
        file.push_back(byte);
    WriteWholeFile("foreign.syx", Bytes(file));
    auto other = NewInstrument();
    const auto names = Names(*other);
    EXPECT_FALSE(other->LoadSysExFile("foreign.syx"));
    EXPECT_EQ(std::string(other->GetPresetName(1)), "PROGRAM 1-2") << "stored before the break";
    EXPECT_EQ(std::string(other->GetPresetName(2)), names[2]) << "not read after it";
}

TEST_F(InstrumentTest, BrokenAndRandomFilesAreSafe) {
    std::vector<uint8_t> bank = ReadFile("bank8000.syx");
    if (bank.empty()) {
        Synth().SaveSysExFile("bank8000.syx", true);
        bank = ReadFile("bank8000.syx");
    }
    // A bank that breaks off is no longer a bank: its dumps have no write requests.
    WriteWholeFile("cut.syx", Bytes(std::vector<uint8_t>(bank.begin(), bank.begin() + 2000)));
    auto other = NewInstrument();
    const auto names = Names(*other);
    EXPECT_TRUE(other->LoadSysExFile("cut.syx"));
    EXPECT_EQ(Names(*other), names);

    std::mt19937 random(9);
    for (int round = 0; round < 100; ++round) {
        std::vector<uint8_t> noise(random() % 4000);
        for (uint8_t& byte : noise)
            byte = static_cast<uint8_t>(random());
        if (noise.size() > 8 && round % 2) {
            noise[0] = 0xF0;
            noise[1] = 0x42;
        }
        WriteWholeFile("noise.syx", Bytes(noise));
        other->LoadSysExFile("noise.syx");
    }
    for (int i = 0; i < 69; ++i) {
        const IParameter* param = other->GetParameter(i);
        EXPECT_GE(param->Value(), param->Min());
        EXPECT_LE(param->Value(), param->Max());
    }
}
