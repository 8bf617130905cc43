// The byte buffer of every state form: little-endian values and failing reads.
#include "host/ChunkBuffer.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(ChunkBuffer, ValuesAreLittleEndianWhateverTheMachine) {
    ChunkBuffer chunk;
    ASSERT_TRUE(chunk.AppendInt32(0x01020304));
    ASSERT_TRUE(chunk.AppendDouble(1.0));
    ASSERT_TRUE(chunk.AppendByte(0xAB));
    ASSERT_EQ(chunk.Size(), 13);
    const uint8_t expected[13] = {4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0xAB};
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(chunk.Data()[i], expected[i]) << i;

    int32_t i32 = 0;
    double d = 0;
    uint8_t b = 0;
    EXPECT_EQ(chunk.ReadInt32(0, &i32), 4);
    EXPECT_EQ(i32, 0x01020304);
    EXPECT_EQ(chunk.ReadDouble(4, &d), 12);
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(chunk.ReadByte(12, &b), 13);
    EXPECT_EQ(b, 0xAB);
}

TEST(ChunkBuffer, FailedReadsGiveMinusOneAndZero) {
    ChunkBuffer chunk;
    chunk.AppendInt32(-5);
    int32_t i32 = 99;
    double d = 99;
    uint8_t b = 99;
    EXPECT_EQ(chunk.ReadInt32(1, &i32), -1);
    EXPECT_EQ(i32, 0);
    EXPECT_EQ(chunk.ReadDouble(0, &d), -1);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(chunk.ReadByte(4, &b), -1);
    EXPECT_EQ(chunk.ReadInt32(-1, &i32), -1);
    EXPECT_EQ(chunk.ReadInt32(0, &i32), 4);
    EXPECT_EQ(i32, -5);
    char bytes[8];
    EXPECT_EQ(chunk.ReadBytes(2, bytes, 4), -1);
    EXPECT_EQ(chunk.ReadBytes(2, bytes, -1), -1);
}

TEST(ChunkBuffer, TextsCarryTheirLength) {
    ChunkBuffer chunk;
    chunk.AppendText("KOTO");
    chunk.AppendText("");
    EXPECT_EQ(chunk.Size(), 4 + 4 + 4);
    std::string text = "old";
    EXPECT_EQ(chunk.ReadText(0, &text), 8);
    EXPECT_EQ(text, "KOTO");
    EXPECT_EQ(chunk.ReadText(8, &text), 12);
    EXPECT_EQ(text, "");
    EXPECT_EQ(chunk.ReadText(12, &text), -1) << "the length is missing";
    EXPECT_EQ(chunk.ReadText(-4, &text), -1);

    ChunkBuffer lying;
    lying.AppendInt32(100); // promises more than there is
    lying.AppendBytes("ab", 2);
    EXPECT_EQ(lying.ReadText(0, &text), 104) << "the end lies past the data";
    EXPECT_EQ(text, "");
    int32_t after = 0;
    EXPECT_EQ(lying.ReadInt32(104, &after), -1);

    ChunkBuffer backwards;
    backwards.AppendInt32(-8);
    EXPECT_EQ(backwards.ReadText(0, &text), -1) << "a negative length would read backwards";
    ChunkBuffer overflowing;
    overflowing.AppendInt32(0x7FFFFFFF);
    EXPECT_EQ(overflowing.ReadText(0, &text), -1);
}

TEST(ChunkBuffer, ClearKeepsStorageAndResizeTruncates) {
    ChunkBuffer chunk;
    chunk.Reserve(1024);
    chunk.AppendBytes("0123456789", 10);
    const uint8_t* storage = chunk.Data();
    chunk.Clear();
    EXPECT_TRUE(chunk.Empty());
    chunk.AppendBytes("abc", 3);
    EXPECT_EQ(chunk.Data(), storage) << "refilling does not allocate";
    chunk.Resize(1);
    EXPECT_EQ(chunk.Size(), 1);
    EXPECT_FALSE(chunk.AppendBytes(nullptr, 3));
    EXPECT_FALSE(chunk.AppendBytes("x", -1));
    ChunkBuffer copy(chunk.Data(), chunk.Size());
    EXPECT_TRUE(copy == chunk);
}
