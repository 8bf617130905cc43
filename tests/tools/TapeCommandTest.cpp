// qx4470 tape: recordings of factory bank B, clean and worn, into bank files.
#include "TestFiles.h"
#include "ToolRunner.h"
#include "tests/tape/TapeWriter.h"

#include <gtest/gtest.h>

namespace {

// The 64 program dumps of a SysEx file, without the write requests between them.
std::vector<std::vector<uint8_t>> Dumps(const std::vector<uint8_t>& bytes) {
    std::vector<std::vector<uint8_t>> dumps;
    for (size_t i = 0; i + 57 <= bytes.size(); ++i)
        if (bytes[i] == 0xF0 && bytes[i + 4] == 0x40)
            dumps.emplace_back(bytes.begin() + i, bytes.begin() + i + 57);
    return dumps;
}

// 50 Hz hum as loud as the signal: unreadable without the high-pass.
void WriteHummingTape(const std::string& path, const std::vector<uint8_t>& data) {
    TapeRecording recording;
    recording.humLevel = 1.0;
    WriteBinaryFile(path, WavFileBytes(RenderTape(data, recording), recording.sampleRate));
}

} // namespace

TEST(TapeCommand, DecodesWithGivenOrSearchedSettingsAndWritesNothingOnFailure) {
    const std::vector<uint8_t> bank = ReadHexBytes(QX_TAPE_BANK_HEX);
    WriteHummingTape("tape_hum.wav", bank);
    WriteBinaryFile("tape_bank_b.fxb", ReadBinaryFile(QX_BANK_B));
    ASSERT_EQ(RunTool("convert tape_bank_b.fxb tape_reference.syx").exitCode, 0);
    const auto reference = Dumps(ReadBinaryFile("tape_reference.syx"));
    ASSERT_EQ(reference.size(), 64u);

    RemoveFile("tape_plain.syx");
    ToolResult plain = RunTool("tape tape_hum.wav tape_plain.syx");
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_NE(plain.err.find("Cannot load file!"), std::string::npos) << plain.err;
    EXPECT_FALSE(FileExists("tape_plain.syx"));

    ToolResult filtered = RunTool("tape tape_hum.wav tape_filtered.syx --highpass 330");
    ASSERT_EQ(filtered.exitCode, 0) << filtered.err;
    EXPECT_EQ(filtered.out.rfind("DW-8000 tape dump was successfully loaded.\n", 0), 0u);
    const std::vector<uint8_t> written = ReadBinaryFile("tape_filtered.syx");
    EXPECT_EQ(written.size(), 64u * (57 + 7)) << "each dump with its write request";
    EXPECT_EQ(Dumps(written), reference);

    ToolResult searched = RunTool("tape --auto tape_hum.wav tape_searched.fxb");
    ASSERT_EQ(searched.exitCode, 0) << searched.err;
    EXPECT_NE(searched.out.find("settings: high-pass 330 Hz, low-pass off, threshold 50 %"),
              std::string::npos)
        << searched.out;
    ASSERT_EQ(RunTool("convert tape_searched.fxb tape_searched.syx").exitCode, 0);
    EXPECT_EQ(Dumps(ReadBinaryFile("tape_searched.syx")), reference);

    EXPECT_EQ(RunTool("tape --auto --threshold 20 tape_hum.wav x.fxb").exitCode, 2);
    EXPECT_EQ(RunTool("tape tape_hum.wav x.fxp").exitCode, 2);
    EXPECT_EQ(RunTool("tape tape_hum.wav x.fxb --lowpass 0").exitCode, 2);
    RemoveFile("tape_hum.wav");
}

TEST(TapeCommand, SearchKeepsTheLeastDamagedBankAndNamesItsBadPrograms) {
    std::vector<uint8_t> bank = ReadHexBytes(QX_TAPE_BANK_HEX);
    bank[2 + 31 * 9 + 30] ^= 0x40; // program 9's checksum
    WriteHummingTape("tape_damaged.wav", bank);
    ToolResult result = RunTool("tape --auto tape_damaged.wav tape_damaged.fxb");
    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_NE(result.out.find("Data for \"PROGRAM 2-2\" might be corrupted."), std::string::npos)
        << result.out;
    EXPECT_TRUE(FileExists("tape_damaged.fxb"));
    RemoveFile("tape_damaged.wav");
}
