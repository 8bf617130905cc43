// Broken and hostile WAV files: every one either fails cleanly or, where the recording itself
// is whole, decodes completely.
#include "tape/TapeReader.h"
#include "tests/tape/TapeSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace {

// Offsets in a file from WavFileBytes with the plain layout.
constexpr size_t kTag = 20, kChannels = 22, kBits = 34, kDataSize = 40, kSamples = 44;

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = value >> (8 * i) & 0xFF;
}

// A short recording at 22.05 kHz, mono, 16 bits.
std::vector<uint8_t> GoodFile(const WavLayout& layout = WavLayout()) {
    TapeRecording recording;
    recording.sampleRate = 22050;
    recording.leaderBytes = 20;
    return WavFileBytes(RenderTape(FactoryBankB(), recording), 22050, layout);
}

std::vector<uint8_t> WithChunkBeforeFormat(uint32_t size, const std::vector<uint8_t>& body,
                                           bool pad) {
    std::vector<uint8_t> bytes = GoodFile();
    std::vector<uint8_t> chunk = {'j', 'u', 'n', 'k', 0, 0, 0, 0};
    Put32(chunk, 4, size);
    chunk.insert(chunk.end(), body.begin(), body.end());
    if (pad) chunk.push_back(0);
    bytes.insert(bytes.begin() + 12, chunk.begin(), chunk.end());
    return bytes;
}

// A float recording with NaN and infinite samples in its lead-in.
std::vector<uint8_t> NonFiniteFloats() {
    TapeRecording recording;
    recording.sampleRate = 22050;
    std::vector<double> samples = RenderTape(FactoryBankB(), recording);
    for (size_t i = 0; i < 1000; i += 7)
        samples[i] = std::numeric_limits<double>::quiet_NaN();
    samples[2000] = std::numeric_limits<double>::infinity();
    return WavFileBytes(samples, 22050, {WavFormat::F32, 1, false, false});
}

struct WavCase {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    bool decodes; // the whole bank comes out; otherwise nothing may
};

// One line per file keeps the list readable.
// clang-format off
const WavCase kCases[] = {
    {"not_riff", [] { auto b = GoodFile(); b[0] = 'X'; return b; }, false},
    {"not_wave", [] { auto b = GoodFile(); b[8] = 'X'; return b; }, false},
    {"empty", [] { return std::vector<uint8_t>(); }, false},
    {"format_cut", [] { auto b = GoodFile(); b.resize(28); return b; }, false},
    {"no_data_chunk", [] { auto b = GoodFile(); b.resize(36); return b; }, false},
    {"chunk_past_end", [] { return WithChunkBeforeFormat(0x7FFFFFF0, {1, 2, 3}, false); }, false},
    {"chunk_size_max", [] { return WithChunkBeforeFormat(0xFFFFFFFF, {1, 2, 3}, false); }, false},
    {"zero_channels", [] { auto b = GoodFile(); b[kChannels] = 0; return b; }, false},
    {"three_channels", [] { return GoodFile({WavFormat::S16, 3, false, false}); }, false},
    {"unknown_format", [] { auto b = GoodFile(); b[kTag] = 2; return b; }, false},
    {"twelve_bits", [] { auto b = GoodFile(); b[kBits] = 12; return b; }, false},
    {"float_16_bits", [] { auto b = GoodFile(); b[kTag] = 3; return b; }, false},
    {"extensible_unknown",
     [] { auto b = GoodFile({WavFormat::S16, 1, true, false}); b[20 + 24] = 2; return b; }, false},
    {"data_size_zero", [] { auto b = GoodFile(); Put32(b, kDataSize, 0); return b; }, false},
    {"cut_inside_data", [] { auto b = GoodFile(); b.resize(b.size() / 2); return b; }, false},
    // Recordings that are whole although their files are odd.
    {"data_claims_gigabytes",
     [] { auto b = GoodFile(); Put32(b, kDataSize, 0xFFFFFFF0); return b; }, true},
    {"ends_early_mid_frame", [] { auto b = GoodFile(); b.resize(b.size() - 2001); return b; }, true},
    {"size_not_whole_frames",
     [] { auto b = GoodFile(); Put32(b, kDataSize, uint32_t(b.size() - kSamples - 1)); return b; },
     true},
    {"odd_chunk_padded", [] { return GoodFile({WavFormat::S16, 1, false, true}); }, true},
    {"odd_chunk_unpadded", [] { return WithChunkBeforeFormat(3, {1, 2, 3}, false); }, true},
    {"nan_floats", [] { return NonFiniteFloats(); }, true},
};
// clang-format on

class HostileWav : public testing::TestWithParam<WavCase> {};

TEST_P(HostileWav, FailsCleanlyOrDecodesTheWholeRecording) {
    ScratchWav wav(std::string("hostile-") + GetParam().name);
    wav.Write(GetParam().make());
    TapeReader reader;
    const bool opened = reader.Open(wav.Path());
    const size_t count = opened ? reader.Decode(TapeSettings()) : 0;
    if (GetParam().decodes) {
        ASSERT_TRUE(opened) << reader.FailureReason();
        EXPECT_EQ(reader.Bytes(), FactoryBankB());
    } else {
        EXPECT_EQ(count, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileWav, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<WavCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
