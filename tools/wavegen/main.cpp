// wavegen: writes the oscillators' stored harmonic amplitudes from their readable recipes.
//   wavegen <recipes.txt> <output.bin>
// Prints, per waveform, the loudness and the highest peak of its band-limited tables.
#include "dsp/WaveStore.h"
#include "tools/wavegen/WaveRecipes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wavegen <recipes.txt> <output.bin>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "wavegen: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();

    WaveRecipeSet recipes;
    std::string error;
    if (!BuildWaveRecipes(text.str(), recipes, error)) {
        std::fprintf(stderr, "wavegen: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const std::vector<unsigned char> bytes = EncodeWaveData(recipes.amplitudes);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "wavegen: cannot write %s\n", argv[2]);
        return 1;
    }

    std::vector<float> tables(size_t(kWaveTableCount) * kWaveTableSize);
    ComputeWaveTables(recipes.amplitudes.data(), tables.data());
    std::printf("%-4s %-34s %8s %8s %8s\n", "wave", "name", "h1", "peak", "h1 share");
    for (int i = 0; i < kWaveSets * kWaveformsPerSet; ++i) {
        const float* a = &recipes.amplitudes[size_t(i) * kHarmonicCount];
        double energy = 0;
        for (int h = 0; h < kHarmonicCount; ++h)
            energy += double(a[h]) * a[h];
        float peak = 0;
        for (int band = 0; band < kWaveBands; ++band) {
            const float* t = &tables[size_t(i * kWaveBands + band) * kWaveTableSize];
            for (int l = 0; l < kWaveTableSize; ++l)
                peak = std::max(peak, std::fabs(t[l]));
        }
        std::printf("%d/%-2d %-34s %8.4f %8.4f %7.2f%%\n", i / kWaveformsPerSet,
                    i % kWaveformsPerSet + 1, recipes.names[i].c_str(), a[0], peak,
                    100 * double(a[0]) * a[0] / energy);
    }
    std::printf("wrote %zu bytes to %s\n", bytes.size(), argv[2]);
    return 0;
}
