// Recordings from the writer decode to exactly the bytes they hold: across sample rates, sample
// formats and channel counts, at the limits of the framing, and through the usual damage of
// worn tapes.
#include "tape/TapeReader.h"
#include "tape/TapeSearch.h"
#include "tests/tape/TapeSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct RoundTrip {
    const char* name;
    double rate;
    WavFormat format;
    int channels;
    bool extensible;
};

class TapeRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(TapeRoundTrip, RecordingDecodesToTheBankOnIt) {
    const RoundTrip& trip = GetParam();
    TapeRecording recording;
    recording.sampleRate = trip.rate;
    ScratchWav wav(trip.name);
    wav.Write(WavFileBytes(RenderTape(FactoryBankB(), recording), trip.rate,
                           {trip.format, trip.channels, trip.extensible, false}));
    TapeReader reader;
    ASSERT_TRUE(reader.Open(wav.Path())) << reader.FailureReason();
    EXPECT_EQ(reader.Format().sampleRate, trip.rate);
    ASSERT_EQ(reader.Decode(TapeSettings()), FactoryBankB().size());
    EXPECT_EQ(reader.Bytes(), FactoryBankB());
    EXPECT_TRUE(reader.FrameErrors().empty());
}

// The second channel of stereo files carries a loud foreign tone: only the left one may count.
INSTANTIATE_TEST_SUITE_P(
    Formats, TapeRoundTrip,
    testing::Values(RoundTrip{"22k_s16", 22050, WavFormat::S16, 1, false},
                    RoundTrip{"44k_s16", 44100, WavFormat::S16, 1, false},
                    RoundTrip{"48k_s16", 48000, WavFormat::S16, 1, false},
                    RoundTrip{"96k_s16", 96000, WavFormat::S16, 1, false},
                    RoundTrip{"44k_u8", 44100, WavFormat::U8, 1, false},
                    RoundTrip{"44k_s24", 44100, WavFormat::S24, 1, false},
                    RoundTrip{"44k_f32", 44100, WavFormat::F32, 1, false},
                    RoundTrip{"44k_f64", 44100, WavFormat::F64, 1, false},
                    RoundTrip{"22k_u8_stereo", 22050, WavFormat::U8, 2, false},
                    RoundTrip{"44k_s24_stereo", 44100, WavFormat::S24, 2, false},
                    RoundTrip{"48k_f32_stereo_ext", 48000, WavFormat::F32, 2, true},
                    RoundTrip{"96k_f64_stereo", 96000, WavFormat::F64, 2, false}),
    [](const testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.name); });

std::vector<uint8_t> DecodeDump(const std::vector<uint8_t>& data, int leaderBytes) {
    TapeRecording recording;
    recording.leaderBytes = leaderBytes;
    return DecodeSamples(RenderTape(data, recording), recording.sampleRate);
}

// A half-wave longer than fs / 2000 samples is a 0: at 44.1 kHz that is 22.05, so half-waves
// of 22 samples are ones and of 23 zeros. Rates that put the limit elsewhere read nothing.
TEST(TapeFraming, HalfWaveLimitIsOneTwoThousandthOfTheRate) {
    std::vector<double> lengths;
    for (uint8_t bit : TapeBits(FactoryBankB(), 20, 30))
        lengths.push_back(bit ? 22 : 23);
    const std::vector<double> samples = RenderHalfWaves(lengths, 0.5);
    EXPECT_EQ(DecodeSamples(samples, 44100), FactoryBankB());
    EXPECT_TRUE(DecodeSamples(samples, 43900).empty()); // limit 21.95: every half-wave a 0
    EXPECT_TRUE(DecodeSamples(samples, 46000).empty()); // limit 23: every half-wave a 1
}

TEST(TapeFraming, LeaderNeedsElevenFramesAndTrailerTwentyOneBytes) {
    const std::vector<uint8_t>& bank = FactoryBankB();
    EXPECT_TRUE(DecodeDump(bank, 10).empty());
    EXPECT_EQ(DecodeDump(bank, 11), bank);

    // Twenty 0xFF bytes inside the data stay in it; a twenty-first ends the data there.
    const size_t at = 2 + 31 * 10;
    std::vector<uint8_t> twenty = bank;
    twenty.insert(twenty.begin() + at, 20, 0xFF);
    EXPECT_EQ(DecodeDump(twenty, 11), twenty);
    std::vector<uint8_t> twentyOne = bank;
    twentyOne.insert(twentyOne.begin() + at, 21, 0xFF);
    EXPECT_EQ(DecodeDump(twentyOne, 11), std::vector<uint8_t>(bank.begin(), bank.begin() + at));
}

// Where the sample rate cannot carry the low-pass cutoff the low-pass is left out; the
// high-pass still runs.
TEST(TapeSignal, LowPassIsSkippedBelowTwiceItsCutoff) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1, 1);
    std::vector<double> samples(20000);
    for (double& x : samples)
        x = noise(random);
    auto bits = [&](double rate, bool highpass, bool lowpass) {
        TapeSettings settings;
        settings.highpassEnabled = highpass;
        settings.lowpassEnabled = lowpass;
        return ClassifyHalfWaves(samples.data(), samples.size(), rate, settings);
    };
    EXPECT_EQ(bits(8000, false, true), bits(8000, false, false));
    EXPECT_EQ(bits(8000, true, true), bits(8000, true, false));
    EXPECT_NE(bits(8000, true, false), bits(8000, false, false));
    EXPECT_NE(bits(12000, false, true), bits(12000, false, false));
}

// Damage of worn tapes, each with the settings that read it. --auto must find a setting for
// each without being told.
struct Damage {
    const char* name;
    TapeRecording recording;
    TapeSettings suitable;
    bool defaultsFail;
};

TapeRecording Recording(void (*damage)(TapeRecording&)) {
    TapeRecording recording;
    damage(recording);
    return recording;
}
TapeSettings Settings(void (*choose)(TapeSettings&)) {
    TapeSettings settings;
    choose(settings);
    return settings;
}

const Damage kDamages[] = {
    // Hiss 30 dB down: the low-pass at 5000 Hz takes off what lies above the signal.
    {"hiss", Recording([](TapeRecording& r) { r.hissDb = -30; }),
     Settings([](TapeSettings& s) { s.lowpassEnabled = true; }), false},
    // 50 Hz hum as loud as the signal swamps the lows of each half-wave: the high-pass at
    // 330 Hz removes it.
    {"hum", Recording([](TapeRecording& r) { r.humLevel = 1.0; }),
     Settings([](TapeSettings& s) { s.highpassEnabled = true; }), true},
    // A DC offset: the mean is taken off whatever the settings.
    {"dc", Recording([](TapeRecording& r) { r.dcOffset = 0.3; }), TapeSettings(), false},
    // The level sags to 30 % and swells to 170 %: a threshold of 15 % keeps the quiet parts.
    {"drift", Recording([](TapeRecording& r) { r.levelDrift = 0.7; }),
     Settings([](TapeSettings& s) { s.threshold = 15; }), true},
    // Wow, flutter, a tape running 4 % fast, swapped polarity and frames lost in the leader
    // need nothing.
    {"wow", Recording([](TapeRecording& r) {
         r.invert = true;
         r.wow = 0.03;
         r.flutter = 0.01;
         r.speed = 1.04;
         r.dropAt = 0.8;
         r.droppedFrames = 37;
     }),
     TapeSettings(), false},
};

class TapeDamage : public testing::TestWithParam<Damage> {};

TEST_P(TapeDamage, DecodesWithSuitableSettingsAndTheSearchFindsSome) {
    const Damage& damage = GetParam();
    const std::vector<double> samples = RenderTape(FactoryBankB(), damage.recording);
    const double rate = damage.recording.sampleRate;
    EXPECT_EQ(DecodeSamples(samples, rate, damage.suitable), FactoryBankB());
    if (damage.defaultsFail) {
        EXPECT_NE(DecodeSamples(samples, rate), FactoryBankB());
    }

    ScratchWav wav(std::string("damage-") + damage.name);
    wav.Write(WavFileBytes(samples, rate));
    TapeReader reader;
    ASSERT_TRUE(reader.Open(wav.Path()));
    const TapeSearchResult found = SearchTapeSettings(reader);
    EXPECT_TRUE(found.passed);
    EXPECT_EQ(found.bytes, FactoryBankB());
    EXPECT_EQ(found.settingsTried > 1, damage.defaultsFail);
}

INSTANTIATE_TEST_SUITE_P(WornTapes, TapeDamage, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& info) {
                             return std::string(info.param.name);
                         });

// A recording no setting reads: the search keeps the bank with the fewest bad programs.
TEST(TapeSearch, KeepsTheLeastDamagedBankWhenNoSettingPasses) {
    std::vector<uint8_t> bank = FactoryBankB();
    bank[2 + 31 * 5 + 30] ^= 0x01; // program 5's checksum
    ScratchWav wav("search-corrupt");
    wav.Write(WavFileBytes(RenderTape(bank, TapeRecording()), 44100));
    TapeReader reader;
    ASSERT_TRUE(reader.Open(wav.Path()));
    const TapeSearchResult found = SearchTapeSettings(reader);
    EXPECT_FALSE(found.passed);
    EXPECT_EQ(found.settingsTried, static_cast<int>(TapeSearchGrid().size()));
    EXPECT_EQ(found.bytes, bank);
    EXPECT_EQ(found.corruptPrograms, std::vector<int>{5});
}

} // namespace
