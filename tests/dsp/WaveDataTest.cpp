// The stored waveform amplitudes as embedded in the plug-in, and the band-limited store built
// from them.
#include "TestSupport.h"

#include "dsp/WaveData.h"
#include "dsp/WaveStore.h"
#include "host/Os.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>

namespace {

std::vector<float> EmbeddedAmplitudes() {
    const os::ResourceData data = os::FindModuleResource("DSTDATA", "WAVEDST");
    return DecodeWaveData(data.data, data.size);
}

float Amplitude(const std::vector<float>& a, int set, int waveform, int harmonic) {
    return a[WaveAmplitudeIndex(set, waveform, harmonic)];
}

// Amplitude of harmonic h in a 2048-sample table, by a direct Fourier sum.
double HarmonicOf(const float* table, int h) {
    std::complex<double> sum = 0;
    for (int l = 0; l < kWaveTableSize; ++l)
        sum += double(table[l]) * std::polar(1.0, -2 * M_PI * h * l / kWaveTableSize);
    return 2 * std::abs(sum) / kWaveTableSize;
}

} // namespace

TEST(WaveData, DecodesLittleEndianFloatsOfExactlyTheStoredSize) {
    std::vector<unsigned char> bytes(kWaveDataBytes, 0);
    // 1.5f = 0x3FC00000 and -2.0f = 0xC0000000, least significant byte first.
    bytes[2] = 0xC0, bytes[3] = 0x3F;
    bytes[kWaveDataBytes - 1] = 0xC0;
    const std::vector<float> a = DecodeWaveData(bytes.data(), bytes.size());
    ASSERT_EQ(a.size(), kWaveAmplitudeCount);
    EXPECT_EQ(a[0], 1.5f);
    EXPECT_EQ(a[1], 0.0f);
    EXPECT_EQ(a.back(), -2.0f);
    EXPECT_TRUE(DecodeWaveData(bytes.data(), bytes.size() - 4).empty());
    EXPECT_TRUE(DecodeWaveData(nullptr, kWaveDataBytes).empty());
}

TEST(WaveData, IsEmbeddedInThePlugIn) {
    const os::ResourceData data = os::FindModuleResource("DSTDATA", "WAVEDST");
    EXPECT_EQ(data.size, 40832u);
    EXPECT_EQ(EmbeddedAmplitudes().size(), 10208u);
}

TEST(WaveData, FirstWaveOfTheFirstSetIsASawtooth) {
    const std::vector<float> a = EmbeddedAmplitudes();
    ASSERT_FALSE(a.empty());
    const double first = Amplitude(a, 0, 0, 1);
    ASSERT_GT(first, 0);
    for (int h = 2; h <= kHarmonicCount; ++h)
        ASSERT_NEAR(Amplitude(a, 0, 0, h) * h / first, 1.0, 0.01) << h;
}

TEST(WaveData, SixteenthWaveOfTheFirstSetIsNearlyASine) {
    const std::vector<float> a = EmbeddedAmplitudes();
    ASSERT_FALSE(a.empty());
    double total = 0;
    for (int h = 1; h <= kHarmonicCount; ++h)
        total += double(Amplitude(a, 0, 15, h)) * Amplitude(a, 0, 15, h);
    const double fundamental = double(Amplitude(a, 0, 15, 1)) * Amplitude(a, 0, 15, 1);
    EXPECT_GT(fundamental / total, 0.99);
}

TEST(WaveData, SecondSetRepeatsTheUpperWavesOfTheFirst) {
    const std::vector<float> a = EmbeddedAmplitudes();
    ASSERT_FALSE(a.empty());
    for (int v = 8; v < 16; ++v)
        EXPECT_EQ(std::memcmp(&a[WaveAmplitudeIndex(0, v, 1)], &a[WaveAmplitudeIndex(1, v, 1)],
                              sizeof(float) * kHarmonicCount),
                  0)
            << "waveform " << v + 1;
    // ... while its own eight differ from the first set's.
    for (int v = 0; v < 8; ++v)
        EXPECT_NE(std::memcmp(&a[WaveAmplitudeIndex(0, v, 1)], &a[WaveAmplitudeIndex(1, v, 1)],
                              sizeof(float) * kHarmonicCount),
                  0);
}

TEST(WaveStore, BandsKeepTheirHarmonicCount) {
    const int expected[kWaveBands] = {319, 159, 79, 39, 19, 9, 4, 2, 1, 0};
    for (int b = 0; b < kWaveBands; ++b)
        EXPECT_EQ(HarmonicsInBand(b), expected[b]);
    EnsureWaveStore();
    // The sawtooth of each band ends at its last harmonic, tapered, and band 9 is silent.
    const std::vector<float> a = EmbeddedAmplitudes();
    for (int b = 0; b < 9; ++b) {
        const float* table = WaveStore::Table(0, 0, b);
        const int n = expected[b];
        const double taper = 1 - double(n - 1) * (n - 1) / (double(n) * n);
        EXPECT_NEAR(HarmonicOf(table, n), Amplitude(a, 0, 0, n) * taper, 1e-6) << "band " << b;
        EXPECT_GT(HarmonicOf(table, n), 1e-6);
        if (n + 1 < kWaveTableSize / 2) {
            EXPECT_LT(HarmonicOf(table, n + 1), 1e-6) << "band " << b;
        }
    }
    for (int set = 0; set < kWaveSets; ++set)
        for (int v = 0; v < kWaveformsPerSet; ++v)
            for (int l = 0; l < kWaveTableSize; ++l)
                ASSERT_EQ(WaveStore::Table(set, v, 9)[l], 0.0f);
}

TEST(WaveStore, TablesAreTheTaperedHarmonicSums) {
    EnsureWaveStore();
    const std::vector<float> a = EmbeddedAmplitudes();
    ASSERT_FALSE(a.empty());
    struct Case {
        int set, waveform, band;
    } cases[] = {{0, 0, 0}, {0, 6, 3}, {1, 1, 5}, {1, 14, 8}};
    for (const Case& c : cases) {
        const int n = HarmonicsInBand(c.band);
        const float* table = WaveStore::Table(c.set, c.waveform, c.band);
        for (int l = 0; l < kWaveTableSize; l += 5) {
            double sum = 0;
            for (int k = 0; k < n; ++k) {
                const double w = 1 - double(k) * k / (double(n) * n);
                sum += Amplitude(a, c.set, c.waveform, k + 1) * w *
                       std::sin(2 * M_PI * (k + 1) * l / kWaveTableSize);
            }
            ASSERT_NEAR(table[l], sum, 2e-5)
                << c.set << "/" << c.waveform << "/" << c.band << " @" << l;
        }
    }
}

TEST(WaveStore, NoTablePeaksAboveASaneLevel) {
    EnsureWaveStore();
    for (int t = 0; t < kWaveTableCount; ++t) {
        const float* table = WaveStore::Table(0, 0, 0) + size_t(t) * kWaveTableSize;
        double peak = 0, sumSquares = 0;
        for (int l = 0; l < kWaveTableSize; ++l) {
            peak = std::max(peak, std::fabs(double(table[l])));
            sumSquares += double(table[l]) * table[l];
        }
        EXPECT_LT(peak, 2.0) << "table " << t;
        // Every audible table carries a usable level (the level rule gives 0.5 RMS in mid range).
        if (t % kWaveBands < 9) {
            EXPECT_GT(std::sqrt(sumSquares / kWaveTableSize), 0.1) << "table " << t;
        }
    }
}

TEST(WaveStore, BuildsOnlyOnce) {
    EnsureWaveStore();
    const float before = WaveStore::Table(0, 0, 0)[100];
    std::vector<float> other(kWaveAmplitudeCount, 0.25f);
    EXPECT_TRUE(WaveStore::Build(other));
    EXPECT_EQ(WaveStore::Table(0, 0, 0)[100], before);
    EXPECT_FALSE(WaveStore::Build(std::vector<float>(10)));
}
