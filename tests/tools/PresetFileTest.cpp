// FXP/FXB parsing: the four kinds, and hostile files that must be refused before anything
// reaches a plug-in.
#include "tools/qx4470/PresetFile.h"

#include "FxBuilder.h"

#include <gtest/gtest.h>

using namespace testfx;

namespace {

fx::ParseResult Parse(const Bytes& bytes) {
    return fx::Parse(bytes.data(), bytes.size());
}

} // namespace

TEST(PresetFile, ChunkProgramAndBank) {
    Bytes chunk{1, 2, 3, 4, 5};
    fx::ParseResult program = Parse(ChunkProgram("qxPb", chunk, "Warm Pad"));
    ASSERT_TRUE(program.ok()) << fx::DescribeError(program.error);
    EXPECT_EQ(program.file.kind, fx::Kind::ProgramChunk);
    EXPECT_EQ((uint32_t)program.file.fxId, Code("qxPb"));
    EXPECT_EQ(program.file.program.name, "Warm Pad");
    EXPECT_EQ(program.file.chunk, chunk);

    fx::ParseResult bank = Parse(ChunkBank("qxPb", chunk, 3));
    ASSERT_TRUE(bank.ok());
    EXPECT_EQ(bank.file.kind, fx::Kind::BankChunk);
    EXPECT_EQ(bank.file.numPrograms, 4);
    EXPECT_EQ(bank.file.currentProgram, 3);
    EXPECT_EQ(bank.file.chunk, chunk);

    // Bytes after the chunk are not part of it.
    Bytes longer = ChunkBank("qxPb", chunk, 0);
    longer.push_back(9);
    EXPECT_EQ(Parse(longer).file.chunk, chunk);
}

TEST(PresetFile, ParameterProgramAndBank) {
    fx::ParseResult program = Parse(ParamProgram("qxPb", {0.25f, 0.5f, 1.0f}, "Lead"));
    ASSERT_TRUE(program.ok());
    EXPECT_EQ(program.file.kind, fx::Kind::ProgramParams);
    EXPECT_EQ(program.file.program.values, (std::vector<float>{0.25f, 0.5f, 1.0f}));
    EXPECT_EQ(program.file.program.name, "Lead");

    fx::ParseResult bank = Parse(ParamBank(
        "qxPb", {ParamProgram("qxPb", {0.1f}, "One"), ParamProgram("xxxx", {0.9f}, "Two")}, 1));
    ASSERT_TRUE(bank.ok());
    EXPECT_EQ(bank.file.kind, fx::Kind::BankParams);
    ASSERT_EQ(bank.file.programs.size(), 2u);
    EXPECT_EQ(bank.file.programs[1].name, "Two");
    EXPECT_EQ(bank.file.programs[1].values, (std::vector<float>{0.9f}));
    EXPECT_EQ(bank.file.currentProgram, 1);

    // A version 1 bank has no current program.
    fx::ParseResult old = Parse(ParamBank("qxPb", {ParamProgram("qxPb", {0.1f}, "")}, 0, 1));
    ASSERT_TRUE(old.ok());
    EXPECT_EQ(old.file.currentProgram, -1);
}

TEST(PresetFile, NamesFillingTheWholeFieldStopAtIt) {
    Bytes bytes = ParamProgram("qxPb", {0.5f}, "");
    for (int i = 0; i < 28; ++i)
        bytes[28 + (size_t)i] = 'A';
    fx::ParseResult result = Parse(bytes);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.file.program.name, std::string(28, 'A'));
}

TEST(PresetFile, HostileFilesAreRefused) {
    Bytes chunk(16, 7);
    Bytes badMagic = ChunkBank("qxPb", chunk, 0);
    badMagic[3] = 'X';
    Bytes unknownKind = ChunkBank("qxPb", chunk, 0);
    std::memcpy(unknownKind.data() + 8, "FBxx", 4);
    Bytes negativeChunk = ChunkBank("qxPb", chunk, 0);
    negativeChunk[156] = 0xFF;
    Bytes hugeChunk = ChunkProgram("qxPb", chunk, "x");
    hugeChunk[56] = 0x7F;
    Bytes negativeParams = ParamProgram("qxPb", {0.5f}, "x");
    negativeParams[24] = 0x80;
    Bytes hugeParams = ParamProgram("qxPb", {0.5f}, "x");
    hugeParams[24] = 0x7F;
    Bytes hugeBank = ParamBank("qxPb", {ParamProgram("qxPb", {0.5f}, "x")}, 0);
    hugeBank[24] = 0x7F;
    Bytes negativeBank = ParamBank("qxPb", {ParamProgram("qxPb", {0.5f}, "x")}, 0);
    negativeBank[24] = 0xFF;
    Bytes chunkInBank =
        ParamBank("qxPb", {ParamProgram("qxPb", {0.5f}, "x"), ChunkProgram("qxPb", chunk, "y")}, 0);

    const struct {
        const char* what;
        Bytes bytes;
        fx::ParseError expected;
    } cases[] = {
        {"empty", {}, fx::ParseError::NotPresetFile},
        {"wrong chunk magic", badMagic, fx::ParseError::NotPresetFile},
        {"unknown fxMagic", unknownKind, fx::ParseError::UnknownMagic},
        {"cut after the kind", Bytes(unknownKind.begin(), unknownKind.begin() + 20),
         fx::ParseError::Truncated},
        {"negative chunk size", negativeChunk, fx::ParseError::BadCount},
        {"chunk size past the end", hugeChunk, fx::ParseError::Truncated},
        {"negative parameter count", negativeParams, fx::ParseError::BadCount},
        {"parameter count past the end", hugeParams, fx::ParseError::Truncated},
        {"program count past the end", hugeBank, fx::ParseError::Truncated},
        {"negative program count", negativeBank, fx::ParseError::BadCount},
        {"chunk program inside a parameter bank", chunkInBank, fx::ParseError::BadProgram},
    };
    for (const auto& c : cases) {
        fx::ParseResult result = Parse(c.bytes);
        EXPECT_EQ(result.error, c.expected)
            << c.what << ": got \"" << fx::DescribeError(result.error) << "\"";
    }
}

TEST(PresetFile, EveryCutOfAValidFileFails) {
    const Bytes files[] = {
        ChunkProgram("qxPb", Bytes(10, 1), "p"),
        ChunkBank("qxPb", Bytes(10, 1), 0),
        ParamProgram("qxPb", {0.1f, 0.2f}, "p"),
        ParamBank("qxPb", {ParamProgram("qxPb", {0.1f}, "a"), ParamProgram("qxPb", {0.2f}, "b")},
                  1),
    };
    for (const Bytes& file : files) {
        ASSERT_TRUE(Parse(file).ok());
        for (size_t length = 0; length < file.size(); ++length)
            EXPECT_FALSE(Parse(Bytes(file.begin(), file.begin() + (long)length)).ok())
                << "cut at " << length << " of " << file.size();
    }
}

TEST(PresetFile, FourCharCodes) {
    EXPECT_EQ(fx::FourCharCode((int32_t)Code("qx44")), "'qx44'");
    EXPECT_EQ(fx::FourCharCode(0x01020304), "0x01020304");
}
