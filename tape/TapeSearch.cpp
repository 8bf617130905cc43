#include "tape/TapeSearch.h"

#include "tape/TapeLayout.h"
#include "tape/TapeLoad.h"

#include <new>

namespace {

struct FilterChoice {
    bool highpass;
    double highpassFrequency;
    bool lowpass;
    double lowpassFrequency;
};

// No filter first, then the usual suspects: hum and rumble, hiss, both; then gentler and
// firmer variants.
constexpr FilterChoice kFilters[] = {
    {false, 330, false, 5000}, {true, 330, false, 5000}, {false, 330, true, 5000},
    {true, 330, true, 5000},   {true, 120, false, 5000}, {false, 330, true, 3000},
    {true, 120, true, 3000},
};
constexpr int kFilterCount = sizeof kFilters / sizeof kFilters[0];
// The default first; a lower threshold keeps extremes where the level sags, a higher one
// ignores noise between them.
constexpr double kThresholds[] = {50, 30, 70, 15};
constexpr int kThresholdCount = sizeof kThresholds / sizeof kThresholds[0];

TapeSettings SettingsOf(const FilterChoice& filter, double threshold) {
    TapeSettings settings;
    settings.highpassEnabled = filter.highpass;
    settings.highpassFrequency = filter.highpassFrequency;
    settings.lowpassEnabled = filter.lowpass;
    settings.lowpassFrequency = filter.lowpassFrequency;
    settings.threshold = threshold;
    return settings;
}

} // namespace

std::vector<TapeSettings> TapeSearchGrid() {
    std::vector<TapeSettings> grid;
    for (const FilterChoice& filter : kFilters)
        for (double threshold : kThresholds)
            grid.push_back(SettingsOf(filter, threshold));
    return grid;
}

TapeSearchResult SearchTapeSettings(TapeReader& reader,
                                    const std::function<void(int, int)>& progress) {
    const std::vector<double>& samples = reader.Samples();
    const size_t count = samples.size();
    const double rate = reader.Format().sampleRate;
    const int total = kFilterCount * kThresholdCount;
    // Each filter choice filters the recording once into this copy, which every threshold then
    // reads; without room for it the filters run on the fly, which is merely slower.
    std::vector<double> filtered;

    TapeSearchResult best;
    for (const FilterChoice& filter : kFilters) {
        const TapeSettings chosen = SettingsOf(filter, 50);
        TapeSettings applied = chosen;
        const double* signal = samples.data();
        if (chosen.highpassEnabled || chosen.lowpassEnabled) {
            try {
                filtered.resize(count);
                FilterTapeSamples(samples.data(), count, rate, chosen, filtered.data());
                signal = filtered.data();
                applied.highpassEnabled = applied.lowpassEnabled = false;
            } catch (const std::bad_alloc&) {
                std::vector<double>().swap(filtered);
            }
        }
        const TapeLevels levels = MeasureTapeLevels(signal, count, rate, applied);
        for (double threshold : kThresholds) {
            if (progress) progress(best.settingsTried, total);
            ++best.settingsTried;
            applied.threshold = threshold;
            std::vector<uint8_t> bytes;
            try {
                std::vector<FrameError> errors;
                bytes =
                    FrameBytes(ClassifyHalfWaves(signal, count, rate, applied, levels), &errors);
            } catch (const std::bad_alloc&) {
                continue;
            }
            const bool dw6000 = bytes.size() == static_cast<size_t>(kTapeDw6000BankBytes);
            if (!dw6000 && bytes.size() != static_cast<size_t>(kTapeBankBytes)) continue;
            std::vector<int> corrupt = CorruptTapePrograms(bytes);
            if (!best.bytes.empty() && corrupt.size() >= best.corruptPrograms.size()) continue;
            best.settings = SettingsOf(filter, threshold);
            best.bytes = std::move(bytes);
            best.corruptPrograms = std::move(corrupt);
            if (best.corruptPrograms.empty()) {
                best.passed = true;
                if (progress) progress(best.settingsTried, total);
                return best;
            }
        }
    }
    if (progress) progress(best.settingsTried, total);
    return best;
}
