// qx4470 convert and programs: hardware SysEx files to program and bank files and back.
#include "TestFiles.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>

namespace {

const std::string kBankA = "convert_bank_a.fxb";

// Programs lines, one per program ("NN [bp] NAME ...").
std::vector<std::string> ProgramLines(const std::string& file) {
    ToolResult result = RunTool("programs " + file);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return SplitLines(result.out);
}

struct Convert : testing::Test {
    void SetUp() override { WriteBinaryFile(kBankA, ReadBinaryFile(QX_BANK_A)); }
};

} // namespace

TEST_F(Convert, BanksRoundTripThroughSysEx) {
    ToolResult toSysEx = RunTool("convert " + kBankA + " convert_a.syx");
    ASSERT_EQ(toSysEx.exitCode, 0) << toSysEx.err;
    const std::vector<uint8_t> sysex = ReadBinaryFile("convert_a.syx");
    ASSERT_EQ(sysex.size(), 3648u) << "a DW-8000 bank file";
    for (size_t p = 0; p < 64; ++p) {
        ASSERT_EQ(sysex[57 * p], 0xF0);
        ASSERT_EQ(sysex[57 * p + 4], 0x40);
        ASSERT_EQ(sysex[57 * p + 56], 0xF7);
    }
    ASSERT_EQ(RunTool("convert convert_a.syx convert_a2.fxb").exitCode, 0);
    std::vector<std::string> original = ProgramLines(kBankA);
    std::vector<std::string> back = ProgramLines("convert_a2.fxb");
    ASSERT_EQ(original.size(), 64u);
    ASSERT_EQ(back.size(), 64u);
    // The program data travels; the names become the generated ones, as SysEx carries none,
    // and the voice count stays the receiver's, as it is not program data.
    EXPECT_NE(original[0].find("BRASS DELAY"), std::string::npos);
    EXPECT_NE(back[0].find("PROGRAM 1-1"), std::string::npos);
    auto programData = [](const std::string& line) { return line.substr(line.find("osc1")); };
    for (size_t i = 0; i < 64; ++i)
        EXPECT_EQ(programData(original[i]), programData(back[i])) << i;
}

TEST_F(Convert, SingleProgramsTakeTheFileName) {
    std::vector<uint8_t> bank = ReadBinaryFile("convert_a.syx");
    if (bank.size() != 3648u) {
        ASSERT_EQ(RunTool("convert " + kBankA + " convert_a.syx").exitCode, 0);
        bank = ReadBinaryFile("convert_a.syx");
    }
    WriteBinaryFile("convert_single.syx",
                    std::vector<uint8_t>(bank.begin() + 57 * 3, bank.begin() + 57 * 4));
    ASSERT_EQ(RunTool("convert convert_single.syx convert_single.fxp").exitCode, 0);
    std::vector<std::string> lines = ProgramLines("convert_single.fxp");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("convert_single"), std::string::npos);
    ASSERT_EQ(RunTool("convert convert_single.fxp convert_single2.syx").exitCode, 0);
    EXPECT_EQ(ReadBinaryFile("convert_single2.syx"),
              std::vector<uint8_t>(bank.begin() + 57 * 3, bank.begin() + 57 * 4));
}

TEST_F(Convert, FailuresWriteNothing) {
    RemoveFile("convert_out.fxb");
    WriteBinaryFile("convert_junk.syx", {0x01, 0x02, 0x03});
    WriteBinaryFile("convert_junk.fxb", std::vector<uint8_t>(300, 0x55));
    WriteBinaryFile("convert_foreign.syx", {0xF0, 0x41, 0x10, 0x42, 0x40, 0x00, 0xF7});
    for (const char* in : {"convert_missing.syx", "convert_junk.syx", "convert_junk.fxb",
                           "convert_foreign.syx", "convert_a.txt"}) {
        ToolResult result = RunTool(std::string("convert ") + in + " convert_out.fxb");
        EXPECT_NE(result.exitCode, 0) << in;
        EXPECT_EQ(SplitLines(result.err).size(), 1u) << in << ": " << result.err;
        EXPECT_FALSE(FileExists("convert_out.fxb")) << in;
        EXPECT_NE(RunTool(std::string("programs ") + in).exitCode, 0) << in;
    }
    EXPECT_NE(RunTool("convert " + kBankA + " convert_out.wav").exitCode, 0);
    EXPECT_NE(RunTool("convert " + kBankA + " convert_out.fxp").exitCode, 0)
        << "a bank is not one program";
    EXPECT_FALSE(FileExists("convert_out.fxp"));
    EXPECT_NE(RunTool("convert " + kBankA).exitCode, 0);
}
