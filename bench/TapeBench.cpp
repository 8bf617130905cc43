// The tape reader on a 5-minute 44.1 kHz mono recording (22 copies of factory bank B's dump):
// reading and decoding once with the default settings, decoding again with both pre-filters,
// and the --auto search, both where it stops early (a humming tape) and where it has to try
// every setting (a tape with one bad checksum).
#include "tape/TapeSearch.h"
#include "tests/tape/TapeWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

namespace {

constexpr double kMinutes = 5;

// The recording's file, made once per kind and removed at exit.
class BenchTape {
public:
    BenchTape(const char* name, bool hum, bool damaged) {
        path_ = (std::filesystem::temp_directory_path() / name).string();
        std::vector<uint8_t> bank = ReadHexBytes(QX_TAPE_BANK_HEX);
        if (damaged) bank[2 + 31 * 9 + 30] ^= 0x40;
        TapeRecording recording;
        recording.humLevel = hum ? 1.0 : 0.0;
        const std::vector<double> one = RenderTape(bank, recording);
        std::vector<double> samples;
        while (samples.size() < kMinutes * 60 * recording.sampleRate)
            samples.insert(samples.end(), one.begin(), one.end());
        samples.resize(static_cast<size_t>(kMinutes * 60 * recording.sampleRate));
        WriteTapeWav(path_, samples, recording.sampleRate);
    }
    ~BenchTape() { std::remove(path_.c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

const BenchTape& CleanTape() {
    static BenchTape tape("qx-bench-clean.wav", false, false);
    return tape;
}

void BM_TapeReadAndDecode(benchmark::State& state) {
    for (auto _ : state) {
        TapeReader reader;
        if (!reader.Open(CleanTape().Path()) || reader.Decode(TapeSettings()) != 1987)
            state.SkipWithError("the recording did not decode");
    }
}
BENCHMARK(BM_TapeReadAndDecode)->Unit(benchmark::kMillisecond);

void BM_TapeDecodeBothFilters(benchmark::State& state) {
    TapeReader reader;
    reader.Open(CleanTape().Path());
    TapeSettings settings;
    settings.highpassEnabled = settings.lowpassEnabled = true;
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.Decode(settings));
}
BENCHMARK(BM_TapeDecodeBothFilters)->Unit(benchmark::kMillisecond);

void Search(benchmark::State& state, const BenchTape& tape, bool passes) {
    for (auto _ : state) {
        TapeReader reader;
        reader.Open(tape.Path());
        const TapeSearchResult found = SearchTapeSettings(reader);
        state.counters["settings"] = found.settingsTried;
        if (found.passed != passes || found.bytes.size() != 1987)
            state.SkipWithError("unexpected search result");
    }
}

void BM_TapeSearchHum(benchmark::State& state) {
    static BenchTape tape("qx-bench-hum.wav", true, false);
    Search(state, tape, true);
}
BENCHMARK(BM_TapeSearchHum)->Unit(benchmark::kMillisecond);

void BM_TapeSearchWholeGrid(benchmark::State& state) {
    static BenchTape tape("qx-bench-damaged.wav", true, true);
    Search(state, tape, false);
}
BENCHMARK(BM_TapeSearchWholeGrid)->Unit(benchmark::kMillisecond);

} // namespace
