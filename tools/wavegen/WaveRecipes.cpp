#include "tools/wavegen/WaveRecipes.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>

namespace {

constexpr int kSets = 2;
constexpr int kWaves = 16;
constexpr int kHarmonics = 319;
constexpr int kLoudnessHarmonics = 39; // the band a note around A4 plays at 44.1 kHz
const double kSilent = -std::numeric_limits<double>::infinity();

// A deterministic generator for jitter and random signs, the same on every platform.
class RecipeRandom {
public:
    explicit RecipeRandom(uint64_t seed) : state_(seed * 2654435761u + 1) {}
    double unit() { // 0 <= u < 1
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(state_ >> 11) * (1.0 / 9007199254740992.0);
    }

private:
    uint64_t state_;
};

enum class Signs { Saw, Alternate, Random };

struct Recipe {
    bool defined = false;
    std::string name;
    int line = 0;
    int sameSet = -1, sameWave = -1;
    bool hasBase = false;
    std::vector<double> db = std::vector<double>(kHarmonics + 1, 0.0); // index = harmonic
    Signs signs = Signs::Saw;
    uint64_t signSeed = 0;
};

double ParseLevel(const std::string& token, bool& ok) {
    if (token == "off") return kSilent;
    char* end = nullptr;
    const double value = std::strtod(token.c_str(), &end);
    ok = ok && end != token.c_str() && *end == '\0';
    return value;
}

double ParseNumber(const std::string& token, bool& ok) {
    char* end = nullptr;
    const double value = std::strtod(token.c_str(), &end);
    ok = ok && end != token.c_str() && *end == '\0' && std::isfinite(value);
    return value;
}

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::istringstream in(line);
    std::string token;
    while (in >> token)
        tokens.push_back(token);
    return tokens;
}

// Applies one directive to a recipe; false with a message when it is malformed.
bool ApplyDirective(Recipe& r, const std::vector<std::string>& t, std::string& error) {
    const std::string& what = t[0];
    const size_t n = t.size();
    bool ok = true;
    if (what == "slope" && n == 2) {
        const double p = ParseNumber(t[1], ok);
        for (int h = 1; h <= kHarmonics; ++h)
            r.db[h] += -20 * p * std::log10(double(h));
        r.hasBase = true;
    } else if (what == "partials" && n >= 2) {
        std::vector<double> levels(kHarmonics + 1, kSilent);
        for (size_t i = 1; i < n && ok; ++i) {
            const size_t colon = t[i].find(':');
            if (colon == std::string::npos) {
                ok = false;
                break;
            }
            const double h = ParseNumber(t[i].substr(0, colon), ok);
            const double level = ParseLevel(t[i].substr(colon + 1), ok);
            if (!ok || h < 1 || h > kHarmonics || h != std::floor(h)) {
                ok = false;
                break;
            }
            levels[int(h)] = level;
        }
        for (int h = 1; h <= kHarmonics; ++h)
            r.db[h] += levels[h];
        r.hasBase = true;
    } else if ((what == "odd" || what == "even") && n == 2) {
        const double level = ParseLevel(t[1], ok);
        for (int h = 2; h <= kHarmonics; ++h)
            if ((h % 2 == 1) == (what == "odd")) r.db[h] += level;
    } else if (what == "fundamental" && n == 2) {
        r.db[1] += ParseLevel(t[1], ok);
    } else if (what == "formant" && n == 4) {
        const double centre = ParseNumber(t[1], ok);
        const double width = ParseNumber(t[2], ok);
        const double gain = ParseNumber(t[3], ok);
        ok = ok && width > 0;
        for (int h = 1; ok && h <= kHarmonics; ++h) {
            const double x = (h - centre) / width;
            r.db[h] += gain * std::exp(-0.5 * x * x);
        }
    } else if (what == "lowpass" && n == 3) {
        const double corner = ParseNumber(t[1], ok);
        const double perOctave = ParseNumber(t[2], ok);
        ok = ok && corner >= 1;
        for (int h = 1; ok && h <= kHarmonics; ++h)
            if (h > corner) r.db[h] -= perOctave * std::log2(h / corner);
    } else if (what == "gap" && n == 3) {
        const double k = ParseNumber(t[1], ok);
        const double level = ParseLevel(t[2], ok);
        ok = ok && k >= 2 && k == std::floor(k);
        for (int h = 1; ok && h <= kHarmonics; ++h)
            if (h % int(k) == 0) r.db[h] += level;
    } else if (what == "jitter" && n == 3) {
        const double depth = ParseNumber(t[1], ok);
        RecipeRandom random(uint64_t(ParseNumber(t[2], ok)));
        for (int h = 1; ok && h <= kHarmonics; ++h)
            r.db[h] += depth * (2 * random.unit() - 1);
    } else if (what == "signs" && n == 2 && t[1] == "saw") {
        r.signs = Signs::Saw;
    } else if (what == "signs" && n == 2 && t[1] == "alternate") {
        r.signs = Signs::Alternate;
    } else if (what == "signs" && n == 3 && t[1] == "random") {
        r.signs = Signs::Random;
        r.signSeed = uint64_t(ParseNumber(t[2], ok));
    } else if (what == "same" && n == 3) {
        r.sameSet = int(ParseNumber(t[1], ok));
        r.sameWave = int(ParseNumber(t[2], ok)) - 1;
        ok = ok && r.sameSet >= 0 && r.sameSet < kSets && r.sameWave >= 0 && r.sameWave < kWaves;
        r.hasBase = true;
    } else {
        error = "unknown or malformed directive \"" + what + "\"";
        return false;
    }
    if (!ok) error = "bad value in \"" + what + "\"";
    return ok;
}

// Signed amplitudes of a recipe, before the loudness scaling.
std::vector<double> Amplitudes(const Recipe& r) {
    std::vector<double> a(kHarmonics + 1, 0.0);
    RecipeRandom random(r.signSeed);
    for (int h = 1; h <= kHarmonics; ++h) {
        double sign = 1;
        if (r.signs == Signs::Alternate)
            sign = h % 2 == 1 ? 1 : -1;
        else if (r.signs == Signs::Random)
            sign = random.unit() < 0.5 ? -1 : 1;
        a[h] = r.db[h] == kSilent ? 0.0 : sign * std::pow(10.0, r.db[h] / 20);
    }
    return a;
}

// RMS of the table a note in the middle of the keyboard plays: the first 39 harmonics with
// the taper of that band.
double MidRangeRms(const std::vector<double>& a) {
    double sum = 0;
    for (int k = 0; k < kLoudnessHarmonics; ++k) {
        const double w = 1 - (double(k) / kLoudnessHarmonics) * (double(k) / kLoudnessHarmonics);
        sum += (a[k + 1] * w) * (a[k + 1] * w);
    }
    return std::sqrt(sum / 2);
}

} // namespace

bool BuildWaveRecipes(const std::string& text, WaveRecipeSet& result, std::string& error) {
    std::vector<Recipe> recipes(kSets * kWaves);
    double loudness = 0;
    Recipe* current = nullptr;
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string& message) {
        error = "line " + std::to_string(lineNumber) + ": " + message;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::vector<std::string> t = Tokens(line);
        if (t.empty()) continue;
        if (t[0] == "loudness") {
            bool ok = t.size() == 2;
            loudness = ok ? ParseNumber(t[1], ok) : 0;
            if (!ok || loudness <= 0) return fail("loudness needs one positive number");
        } else if (t[0] == "wave") {
            bool ok = t.size() >= 4;
            const int set = ok ? int(ParseNumber(t[1], ok)) : -1;
            const int wave = ok ? int(ParseNumber(t[2], ok)) - 1 : -1;
            if (!ok || set < 0 || set >= kSets || wave < 0 || wave >= kWaves)
                return fail("expected: wave <set 0..1> <number 1..16> \"<name>\"");
            current = &recipes[set * kWaves + wave];
            if (current->defined) return fail("waveform defined twice");
            const size_t open = line.find('"');
            const size_t close = line.rfind('"');
            if (open == std::string::npos || close == open)
                return fail("the waveform needs a quoted name");
            current->defined = true;
            current->name = line.substr(open + 1, close - open - 1);
            current->line = lineNumber;
        } else {
            if (current == nullptr) return fail("directive before the first wave line");
            std::string message;
            if (!ApplyDirective(*current, t, message)) return fail(message);
        }
    }
    if (loudness <= 0) {
        error = "the loudness line is missing";
        return false;
    }

    result.amplitudes.assign(size_t(kSets) * kWaves * kHarmonics, 0.0f);
    result.names.assign(kSets * kWaves, std::string());
    for (int i = 0; i < kSets * kWaves; ++i) {
        const Recipe& r = recipes[i];
        lineNumber = r.line;
        if (!r.defined) {
            error = "waveform " + std::to_string(i % kWaves + 1) + " of set " +
                    std::to_string(i / kWaves) + " has no recipe";
            return false;
        }
        if (!r.hasBase) return fail("the recipe needs slope, partials or same");
        result.names[i] = r.name;
        float* out = &result.amplitudes[size_t(i) * kHarmonics];
        if (r.sameSet >= 0) {
            const int source = r.sameSet * kWaves + r.sameWave;
            if (source >= i) return fail("\"same\" must name a waveform defined earlier");
            std::memcpy(out, &result.amplitudes[size_t(source) * kHarmonics],
                        sizeof(float) * kHarmonics);
            continue;
        }
        const std::vector<double> a = Amplitudes(r);
        const double rms = MidRangeRms(a);
        if (!(rms > 0)) return fail("the waveform is silent in the middle of the keyboard");
        const double scale = loudness / rms;
        for (int h = 1; h <= kHarmonics; ++h)
            out[h - 1] = float(a[h] * scale);
    }
    return true;
}

std::vector<unsigned char> EncodeWaveData(const std::vector<float>& amplitudes) {
    std::vector<unsigned char> bytes;
    bytes.reserve(amplitudes.size() * 4);
    for (float value : amplitudes) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<unsigned char>(bits >> shift));
    }
    return bytes;
}
