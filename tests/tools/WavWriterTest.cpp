// The WAV writer: header fields and sizes for the three formats, clipping, and a file written
// block by block.
#include "tools/qx4470/WavWriter.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

uint32_t Little32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) |
           ((uint32_t)b[at + 3] << 24);
}
uint16_t Little16(const std::vector<uint8_t>& b, size_t at) {
    return (uint16_t)(b[at] | (b[at + 1] << 8));
}
std::string Tag(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + (long)at, b.begin() + (long)at + 4);
}

} // namespace

TEST(WavWriter, PcmHeaders) {
    struct Case {
        wav::SampleFormat format;
        int bits;
    };
    for (Case c : {Case{wav::SampleFormat::Pcm16, 16}, Case{wav::SampleFormat::Pcm24, 24}}) {
        std::vector<uint8_t> h = wav::BuildHeader(c.format, 2, 48000, 1000);
        ASSERT_EQ(h.size(), 44u);
        uint32_t dataSize = 1000u * 2 * (uint32_t)c.bits / 8;
        EXPECT_EQ(Tag(h, 0), "RIFF");
        EXPECT_EQ(Little32(h, 4), 36 + dataSize);
        EXPECT_EQ(Tag(h, 8), "WAVE");
        EXPECT_EQ(Tag(h, 12), "fmt ");
        EXPECT_EQ(Little32(h, 16), 16u);
        EXPECT_EQ(Little16(h, 20), 1); // PCM
        EXPECT_EQ(Little16(h, 22), 2); // channels
        EXPECT_EQ(Little32(h, 24), 48000u);
        EXPECT_EQ(Little32(h, 28), 48000u * 2 * (uint32_t)c.bits / 8); // bytes per second
        EXPECT_EQ(Little16(h, 32), 2 * c.bits / 8);                    // block align
        EXPECT_EQ(Little16(h, 34), c.bits);
        EXPECT_EQ(Tag(h, 36), "data");
        EXPECT_EQ(Little32(h, 40), dataSize);
    }
}

TEST(WavWriter, FloatHeaderHasFactChunk) {
    std::vector<uint8_t> h = wav::BuildHeader(wav::SampleFormat::Float32, 2, 44100, 777);
    ASSERT_EQ(h.size(), 58u);
    EXPECT_EQ(Little32(h, 4), 50u + 777 * 8);
    EXPECT_EQ(Little32(h, 16), 18u);
    EXPECT_EQ(Little16(h, 20), 3); // IEEE float
    EXPECT_EQ(Little16(h, 32), 8);
    EXPECT_EQ(Little16(h, 34), 32);
    EXPECT_EQ(Little16(h, 36), 0); // no extension
    EXPECT_EQ(Tag(h, 38), "fact");
    EXPECT_EQ(Little32(h, 42), 4u);
    EXPECT_EQ(Little32(h, 46), 777u);
    EXPECT_EQ(Tag(h, 50), "data");
    EXPECT_EQ(Little32(h, 54), 777u * 8);
}

TEST(WavWriter, OddDataIsPaddedAndOversizeIsRefused) {
    // Mono 24-bit with an odd frame count: the RIFF size counts the pad byte, the data size not.
    std::vector<uint8_t> h = wav::BuildHeader(wav::SampleFormat::Pcm24, 1, 8000, 3);
    EXPECT_EQ(Little32(h, 40), 9u);
    EXPECT_EQ(Little32(h, 4), 36u + 10);
    for (auto format :
         {wav::SampleFormat::Pcm16, wav::SampleFormat::Pcm24, wav::SampleFormat::Float32}) {
        uint64_t most = wav::MaxFrames(format, 2);
        std::vector<uint8_t> fits = wav::BuildHeader(format, 2, 44100, most);
        ASSERT_FALSE(fits.empty());
        EXPECT_LE((uint64_t)Little32(fits, 4) + 8, 0xFFFFFFFFull);
        EXPECT_TRUE(wav::BuildHeader(format, 2, 44100, most + 1).empty());
    }
}

TEST(WavWriter, PcmClipsAndFloatKeepsValues) {
    const double in[] = {2.0, -2.0, 1.0, -1.0, 0.5, -0.25, std::nan(""), 1e-9};
    std::vector<uint8_t> out;
    wav::EncodeSamples(wav::SampleFormat::Pcm16, in, 8, out);
    ASSERT_EQ(out.size(), 16u);
    const int16_t expected16[] = {32767, -32767, 32767, -32767, 16384, -8192, 0, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ((int16_t)Little16(out, 2 * (size_t)i), expected16[i]) << i;

    out.clear();
    wav::EncodeSamples(wav::SampleFormat::Pcm24, in, 8, out);
    ASSERT_EQ(out.size(), 24u);
    const int32_t expected24[] = {8388607, -8388607, 8388607, -8388607, 4194304, -2097152, 0, 0};
    for (int i = 0; i < 8; ++i) {
        size_t at = 3 * (size_t)i;
        int32_t value = (int32_t)((uint32_t)out[at] << 8 | (uint32_t)out[at + 1] << 16 |
                                  (uint32_t)out[at + 2] << 24) >>
                        8;
        EXPECT_EQ(value, expected24[i]) << i;
    }

    out.clear();
    wav::EncodeSamples(wav::SampleFormat::Float32, in, 8, out);
    ASSERT_EQ(out.size(), 32u);
    float first;
    uint32_t bits = Little32(out, 0);
    std::memcpy(&first, &bits, 4);
    EXPECT_EQ(first, 2.0f);
}

TEST(WavWriter, StreamedFileGetsFinalSizes) {
    const std::string path = "tool_units_writer.wav";
    {
        wav::Writer writer;
        ASSERT_TRUE(writer.Open(path, wav::SampleFormat::Pcm24, 2, 22050));
        std::vector<double> block(2 * 100);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = (i % 2 ? -0.5 : 0.5);
        ASSERT_TRUE(writer.Write(block.data(), 100));
        ASSERT_TRUE(writer.Write(block.data(), 37));
        EXPECT_EQ(writer.FramesWritten(), 137u);
        ASSERT_TRUE(writer.Finish());
    }
    WavData wav = ReadWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.frames, 137u);
    EXPECT_EQ(wav.sampleRate, 22050u);
    EXPECT_EQ(wav.bitsPerSample, 24);
    EXPECT_EQ(wav.riffSize, 36u + 137 * 6);
    EXPECT_EQ(ReadBinaryFile(path).size(), 44u + 137 * 6);
    EXPECT_NEAR(wav.samples[272], 0.5, 1e-6);
    EXPECT_NEAR(wav.samples[273], -0.5, 1e-6);
    RemoveFile(path);

    wav::Writer unwritable;
    EXPECT_FALSE(
        unwritable.Open("no_such_folder_for_tool_units/x.wav", wav::SampleFormat::Pcm16, 2, 44100));
}

TEST(WavWriter, FormatNames) {
    wav::SampleFormat format;
    for (const char* name : {"s16", "s24", "f32"}) {
        ASSERT_TRUE(wav::ParseSampleFormat(name, &format));
        EXPECT_STREQ(wav::SampleFormatName(format), name);
    }
    EXPECT_FALSE(wav::ParseSampleFormat("s32", &format));
    EXPECT_FALSE(wav::ParseSampleFormat("", &format));
}
