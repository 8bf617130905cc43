// Program (FXP) and bank (FXB) files: their exact form, round trips between two instances, the
// parameter-list forms, and foreign or broken files.
#include "host/FileIO.h"
#include "host/FxFormat.h"
#include "host/IPlugVST.h"
#include "host/PluginEntry.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace {

std::unique_ptr<IPlugVST> NewInstance() {
    return std::unique_ptr<IPlugVST>(MakePlug(nullptr));
}

int32_t Field(const ChunkBuffer& data, int offset) {
    return fx::ReadBigEndian(data.Data() + offset);
}

void SetField(ChunkBuffer& data, int offset, int32_t value) {
    fx::WriteBigEndian(data.Data() + offset, value);
}

std::vector<double> Values(IPlugBase& plug) {
    std::vector<double> values;
    for (int i = 0; i < plug.NParams(); ++i)
        values.push_back(plug.GetParameter(i)->Value());
    return values;
}

std::vector<std::string> Names(IPlugBase& plug) {
    std::vector<std::string> names;
    for (int i = 0; i < plug.NPresets(); ++i)
        names.push_back(plug.GetPresetName(i));
    return names;
}

// A parameter-list program: the program header and one big-endian float per parameter.
void AppendParameterProgram(ChunkBuffer& data, const char* name, float normalized) {
    uint8_t header[56] = {0};
    fx::WriteBigEndian(header, fx::kChunkMagic);
    fx::WriteBigEndian(header + 4, 52 + 69 * 4);
    fx::WriteBigEndian(header + 8, fx::kProgramParamsMagic);
    fx::WriteBigEndian(header + 12, 1);
    fx::WriteBigEndian(header + 16, fx::FourCC('o', 't', 'h', 'r'));
    fx::WriteBigEndian(header + 24, 69);
    std::strncpy(reinterpret_cast<char*>(header + 28), name, 27);
    data.AppendBytes(header, 56);
    for (int i = 0; i < 69; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &normalized, 4);
        uint8_t bytes[4];
        fx::WriteBigEndian(bytes, static_cast<int32_t>(bits));
        data.AppendBytes(bytes, 4);
    }
}

} // namespace

TEST(FxFiles, ProgramFileForm) {
    auto plug = NewInstance();
    plug->ModifyCurrentPreset("A NAME OF FORTY CHARACTERS FOR THE FIELD!");
    ChunkBuffer data;
    ASSERT_TRUE(plug->WriteProgramData(data));
    const int n = data.Size() - 60;
    EXPECT_EQ(Field(data, 0), fx::kChunkMagic);
    EXPECT_EQ(Field(data, 4), 60 + n) << "the whole file's length";
    EXPECT_EQ(Field(data, 8), fx::kProgramChunkMagic);
    EXPECT_EQ(Field(data, 12), 1);
    EXPECT_EQ(Field(data, 16), fx::FourCC('q', 'x', '4', '4'));
    EXPECT_EQ(Field(data, 20), 10106);
    EXPECT_EQ(Field(data, 24), 69);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.Data() + 28)),
              std::string("A NAME OF FORTY CHARACTERS FOR THE FIELD!").substr(0, 27));
    EXPECT_EQ(data.Data()[28 + 27], 0);
    EXPECT_EQ(Field(data, 56), n);
    EXPECT_EQ(std::memcmp(data.Data() + 60, "tffp", 4), 0);
}

TEST(FxFiles, BankFileForm) {
    auto plug = NewInstance();
    plug->ApplyPreset(12);
    ChunkBuffer data;
    ASSERT_TRUE(plug->WriteBankData(data));
    const int n = data.Size() - 160;
    EXPECT_EQ(Field(data, 4), 160 + n);
    EXPECT_EQ(Field(data, 8), fx::kBankChunkMagic);
    EXPECT_EQ(Field(data, 12), 2);
    EXPECT_EQ(Field(data, 24), 64);
    EXPECT_EQ(Field(data, 28), 12);
    for (int i = 32; i < 156; ++i)
        ASSERT_EQ(data.Data()[i], 0) << i;
    EXPECT_EQ(Field(data, 156), n);
}

TEST(FxFiles, RoundTripsThroughFilesBetweenInstances) {
    auto source = NewInstance();
    source->ApplyPreset(4);
    source->GetParameter(16)->SetValueLimited(17);
    source->ModifyCurrentPreset("ROUND TRIP");
    ASSERT_TRUE(source->SaveBankFile("fxtest_bank.fxb"));
    ASSERT_TRUE(source->SaveProgramFile("fxtest_program.fxp"));

    auto target = NewInstance();
    ASSERT_TRUE(target->LoadBankFile("fxtest_bank.fxb"));
    EXPECT_EQ(Names(*target), Names(*source));
    target->ApplyPreset(4);
    EXPECT_EQ(target->GetParameter(16)->Value(), 17);

    auto single = NewInstance();
    single->ApplyPreset(30);
    ASSERT_TRUE(single->LoadProgramFile("fxtest_program.fxp"));
    EXPECT_EQ(Values(*single), Values(*source));
    EXPECT_EQ(std::string(single->GetPresetName(30)), "ROUND TRIP");
    EXPECT_EQ(single->GetCurrentPresetIndex(), 30);

    EXPECT_FALSE(single->LoadProgramFile(""));
    EXPECT_FALSE(single->LoadProgramFile("fxtest_does_not_exist.fxp"));
    EXPECT_FALSE(single->SaveProgramFile(""));
}

TEST(FxFiles, ForeignOrBrokenFilesChangeNothing) {
    auto plug = NewInstance();
    ChunkBuffer program, bank;
    plug->WriteProgramData(program);
    plug->WriteBankData(bank);
    plug->ApplyPreset(2);
    plug->GetParameter(15)->SetValueLimited(1);
    plug->ModifyCurrentPreset();
    const auto values = Values(*plug);
    const auto names = Names(*plug);
    auto expectUnchanged = [&](const char* what) {
        EXPECT_EQ(Values(*plug), values) << what;
        EXPECT_EQ(Names(*plug), names) << what;
    };

    ChunkBuffer foreign = program;
    SetField(foreign, 16, fx::FourCC('a', 'b', 'c', 'd'));
    EXPECT_FALSE(plug->LoadProgramData(foreign));
    expectUnchanged("foreign program");
    ChunkBuffer version2 = program;
    SetField(version2, 12, 2);
    EXPECT_FALSE(plug->LoadProgramData(version2));
    ChunkBuffer otherKind = program;
    SetField(otherKind, 8, fx::FourCC('X', 'X', 'X', 'X'));
    EXPECT_FALSE(plug->LoadProgramData(otherKind));
    ChunkBuffer wrongMagic = program;
    wrongMagic.Data()[0] = 'X';
    EXPECT_FALSE(plug->LoadProgramData(wrongMagic));
    ChunkBuffer cut = program;
    cut.Resize(60 + 8 + 200);
    EXPECT_FALSE(plug->LoadProgramData(cut)) << "a state that breaks off is refused";
    expectUnchanged("cut program");

    ChunkBuffer foreignBank = bank;
    SetField(foreignBank, 16, 0);
    EXPECT_FALSE(plug->LoadBankData(foreignBank));
    ChunkBuffer shortBank = bank;
    shortBank.Resize(100);
    EXPECT_FALSE(plug->LoadBankData(shortBank));
    ChunkBuffer otherBank = bank;
    SetField(otherBank, 8, fx::kProgramChunkMagic);
    EXPECT_FALSE(plug->LoadBankData(otherBank));
    expectUnchanged("foreign banks");

    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        ChunkBuffer noise;
        int size = random() % 3000;
        for (int i = 0; i < size; ++i)
            noise.AppendByte(static_cast<uint8_t>(random()));
        if (round % 3 == 0 && size >= 20) std::memcpy(noise.Data(), program.Data(), 20);
        EXPECT_FALSE(plug->LoadProgramData(noise));
        EXPECT_FALSE(plug->LoadBankData(noise));
    }
    expectUnchanged("random files");
}

TEST(FxFiles, ParameterListProgramsAndBanks) {
    auto plug = NewInstance();
    ChunkBuffer program;
    AppendParameterProgram(program, "LIST PROGRAM", 1.0f);
    SetField(program, 16, fx::FourCC('q', 'x', '4', '4'));
    plug->ApplyPreset(6);
    ASSERT_TRUE(plug->LoadProgramData(program));
    EXPECT_EQ(plug->GetParameter(15)->Value(), 63);
    EXPECT_EQ(std::string(plug->GetPresetName(6)), "LIST PROGRAM");
    ChunkBuffer shortProgram = program;
    shortProgram.Resize(56 + 10 * 4);
    EXPECT_FALSE(plug->LoadProgramData(shortProgram)) << "fewer floats than parameters";

    // A bank of three parameter-list programs whose third one is broken.
    ChunkBuffer bank;
    uint8_t header[156] = {0};
    fx::WriteBigEndian(header, fx::kChunkMagic);
    fx::WriteBigEndian(header + 8, fx::kBankParamsMagic);
    fx::WriteBigEndian(header + 12, 1);
    fx::WriteBigEndian(header + 16, fx::FourCC('q', 'x', '4', '4'));
    fx::WriteBigEndian(header + 24, 3);
    fx::WriteBigEndian(header + 28, 1);
    bank.AppendBytes(header, 156);
    AppendParameterProgram(bank, "FIRST", 0.0f);
    AppendParameterProgram(bank, "SECOND", 1.0f);
    AppendParameterProgram(bank, "THIRD", 0.5f);
    const std::string oldThird = plug->GetPresetName(2);

    ChunkBuffer broken = bank;
    SetField(broken, 156 + 2 * (56 + 276) + 24, 12); // the third one's parameter count
    EXPECT_FALSE(plug->LoadBankData(broken));
    EXPECT_EQ(std::string(plug->GetPresetName(0)), "FIRST");
    EXPECT_EQ(std::string(plug->GetPresetName(1)), "SECOND");
    EXPECT_EQ(std::string(plug->GetPresetName(2)), oldThird) << "programs after the break stay";

    ASSERT_TRUE(plug->LoadBankData(bank));
    EXPECT_EQ(std::string(plug->GetPresetName(2)), "THIRD");
    EXPECT_EQ(plug->GetCurrentPresetIndex(), 1) << "the file's current program";
    EXPECT_EQ(plug->GetParameter(15)->Value(), 63);
}

TEST(Presets, UntouchedSlotsBecomeNumberedUserPresets) {
    auto plug = NewInstance();
    // A bank whose records mark programs 5 and 9 as never used.
    ChunkBuffer bank;
    IPlugBase::WriteChunkHeader(bank);
    for (int i = 0; i < 64; ++i) {
        bank.AppendText("P" + std::to_string(i));
        bool used = i != 5 && i != 9;
        bank.AppendByte(used ? 1 : 0);
        if (used) plug->SerializeState(bank);
    }
    ASSERT_GE(plug->UnserializePresets(bank, 8), 0);
    EXPECT_FALSE(plug->GetPreset(5)->initialized);
    ASSERT_TRUE(plug->ApplyPreset(5));
    EXPECT_EQ(std::string(plug->GetPresetName(5)), "user preset 1");
    ASSERT_TRUE(plug->ApplyPreset(9));
    EXPECT_EQ(std::string(plug->GetPresetName(9)), "user preset 2");
    EXPECT_FALSE(plug->ApplyPreset(64));
    EXPECT_EQ(plug->GetCurrentPresetIndex(), 9);
}

TEST(Presets, BankCutInsideTheTenthRecordKeepsTheRest) {
    auto source = NewInstance();
    for (int i = 0; i < 64; ++i) {
        source->ApplyPreset(i);
        source->ModifyCurrentPreset(("NEW " + std::to_string(i)).c_str());
    }
    ChunkBuffer bank;
    IPlugBase::WriteChunkHeader(bank);
    source->SerializePresets(bank);
    // Find where the tenth record's state starts, and cut in its middle.
    int position = 8;
    for (int i = 0; i < 9; ++i) {
        std::string name;
        position = bank.ReadText(position, &name) + 1;
        position = source->UnserializeState(bank, position);
    }
    std::string name;
    int tenthState = bank.ReadText(position, &name) + 1;
    ChunkBuffer cut(bank.Data(), tenthState + 100);

    auto target = NewInstance();
    const auto before = Names(*target);
    ChunkBuffer oldState = target->GetPreset(12)->state;
    EXPECT_EQ(target->UnserializePresets(cut, 8), -1);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(std::string(target->GetPresetName(i)), "NEW " + std::to_string(i));
    for (int i = 10; i < 64; ++i)
        EXPECT_EQ(target->GetPresetName(i), before[i]) << i;
    EXPECT_TRUE(target->GetPreset(12)->state == oldState);
}

TEST(Channels, SameBlockSizeKeepsTheScratchBuffers) {
    auto plug = NewInstance();
    plug->SetBlockSize(256);
    const double* scratch = plug->OutChannel(0).scratch.data();
    plug->SetBlockSize(256);
    EXPECT_EQ(plug->OutChannel(0).scratch.data(), scratch);
    plug->SetBlockSize(512);
    EXPECT_EQ(plug->OutChannel(1).scratch.size(), 512u);
    EXPECT_EQ(plug->GetBlockSize(), 512);
}
