// Replays the committed fuzz inputs, seeds and the inputs of every fault found, through the
// same targets and checks as the fuzzers, so that each build (the Windows ones too) keeps them
// passing.
#include "tests/fuzz/FuzzHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void ReplayFolder(const fuzz::NamedTarget& target, const char* kind, int* count) {
    const std::filesystem::path folder = std::filesystem::path(QX_FUZZ_INPUTS) / kind / target.name;
    if (!std::filesystem::is_directory(folder)) return;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().string());
        const std::vector<uint8_t> bytes = ReadFile(entry.path());
        target.run(bytes.data(), bytes.size()); // a broken check aborts the program
        ++*count;
    }
}

} // namespace

// Every target has seeds; a fault's input stays in regressions/<target>/ once it is fixed.
TEST(FuzzReplay, EveryCommittedInputLeavesTheInstanceWhole) {
    for (int t = 0; t < fuzz::kTargetCount; ++t) {
        const fuzz::NamedTarget& target = fuzz::kTargets[t];
        SCOPED_TRACE(target.name);
        int seeds = 0, regressions = 0;
        ReplayFolder(target, "corpus", &seeds);
        ReplayFolder(target, "regressions", &regressions);
        EXPECT_GE(seeds, 3) << "seed corpus of " << target.name;
    }
}
