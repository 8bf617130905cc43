// The waveform recipes and the committed data file made from them.
#include "tools/wavegen/WaveRecipes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Recipes() {
    return ReadFile(std::string(QX_RESOURCES_DIR) + "/waveforms.txt");
}

} // namespace

TEST(WaveRecipes, RegeneratingGivesTheCommittedFile) {
    WaveRecipeSet set;
    std::string error;
    ASSERT_TRUE(BuildWaveRecipes(Recipes(), set, error)) << error;
    const std::vector<unsigned char> bytes = EncodeWaveData(set.amplitudes);
    const std::string committed = ReadFile(std::string(QX_RESOURCES_DIR) + "/wavedst.bin");
    ASSERT_EQ(committed.size(), 40832u);
    ASSERT_EQ(bytes.size(), committed.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(),
                           reinterpret_cast<const unsigned char*>(committed.data())));
    EXPECT_EQ(set.names[0], "Sawtooth");
    EXPECT_EQ(set.names[15], "Sine");
}

TEST(WaveRecipes, EveryWaveformComesOutAtTheSameMidRangeLoudness) {
    WaveRecipeSet set;
    std::string error;
    ASSERT_TRUE(BuildWaveRecipes(Recipes(), set, error)) << error;
    // The level the recipes ask for, from their "loudness" line.
    const std::string text = Recipes();
    const size_t at = text.find("\nloudness ");
    ASSERT_NE(at, std::string::npos);
    const double declared = std::stod(text.substr(at + 10));
    EXPECT_GT(declared, 0.1);
    for (int w = 0; w < 32; ++w) {
        double sum = 0;
        for (int k = 0; k < 39; ++k) {
            const double taper = 1 - double(k) * k / (39.0 * 39.0);
            const double a = set.amplitudes[size_t(w) * 319 + k] * taper;
            sum += a * a;
        }
        EXPECT_NEAR(std::sqrt(sum / 2), declared, 1e-5) << set.names[w];
    }
}

TEST(WaveRecipes, ReportsMistakesWithTheirLine) {
    const std::string complete = Recipes();
    WaveRecipeSet set;
    std::string error;
    EXPECT_FALSE(BuildWaveRecipes("loudness 0.5\nwave 0 1 \"Saw\"\n  slope x\n", set, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    EXPECT_FALSE(BuildWaveRecipes("loudness 0.5\nwave 0 1 \"Saw\"\n  wobble 3\n", set, error));
    EXPECT_NE(error.find("wobble"), std::string::npos) << error;
    // A missing waveform is named.
    EXPECT_FALSE(BuildWaveRecipes("loudness 0.5\nwave 0 1 \"Saw\"\n  slope 1\n", set, error));
    EXPECT_NE(error.find("waveform 2 of set 0"), std::string::npos) << error;
    // A waveform defined twice.
    EXPECT_FALSE(BuildWaveRecipes(complete + "wave 0 1 \"Again\"\n slope 1\n", set, error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
}
