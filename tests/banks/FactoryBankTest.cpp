// The three committed factory bank images: their header facts, names and values, that they
// are exactly what bankgen makes of their text sources, that the plug-in embeds them
// unchanged, and that PROG6000 is the DW-6000 factory chart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "host/Os.h"
#include "instrument/QX4470.h"
#include "tests/banks/BankImageReader.h"
#include "tools/bankgen/BankImage.h"
#include "tools/bankgen/BankListing.h"
#include "tools/bankgen/BankSource.h"
#include "tools/bankgen/Bankgen.h"

namespace {

const std::string kSourceDir = QX_BANK_SOURCE_DIR;
const std::string kImageDir = QX_BANK_IMAGE_DIR;
const std::string kChartPath = QX_DW6000_CHART;

struct BankFacts {
    const char* file;
    const char* resourceType;
    int32_t fxVersion;
    int32_t currentProgram;
    int32_t trailer;
    size_t size;
};

// Names the bank in test output instead of dumping the struct's bytes.
void PrintTo(const BankFacts& facts, std::ostream* out) {
    *out << facts.resourceType;
}

const BankFacts kBanks[] = {
    {"bank_a", "BANK_A", 502, 63, 502, 37008},
    {"bank_b", "BANK_B", 403, 0, 259, 37064},
    {"prog6000", "PROG6000", 10001, 0, 1001, 37028},
};

const char* const kBankANames[64] = {
    "BRASS DELAY",
    "BELL SE 1",
    "CX-3",
    "CHORUSED E.PIANO",
    "STRINGS-1",
    "SLAP BASS",
    "MODULAR LEAD",
    "DISINTEGRATOR",
    "ACOUSTIC PIANO",
    "E.PIANO",
    "GUITARISTIC PIANO",
    "HONKYTONK PIANO",
    "CLAVINET",
    "JAZZ ORGAN 1",
    "JAZZ ORGAN 2",
    "JAZZ ORGAN 3",
    "LOW STRINGS",
    "SOLO VIOLIN",
    "PIZZICATO",
    "CHOIR",
    "VOICE",
    "CATHEDRAL ORGAN 1",
    "CATHEDRAL ORGAN 2",
    "HARPSICHORD",
    "BEND BRASS",
    "CRESCENDO BRASS",
    "5TH BRASS",
    "CLARINET",
    "FLUTE",
    "TROMBONE",
    "HARMONICA",
    "WHISTLE",
    "VIBRAPHONE",
    "MARIMBA",
    "TOY PIANO",
    "STEEL DRUM",
    "GUT GUITAR",
    "HARP",
    "KOTO",
    "SHAMISEN",
    "UNISON LEAD",
    "TOUCH SYNTH",
    "LFO-MOD.",
    "AUTOPULSE",
    "MOUTH WAH",
    "SYNTH BASS 1",
    "SYNTH BASS 2",
    "SYNTH BASS 3",
    "PROLOGUE",
    "5TH SYNTH",
    "BELL SE 2",
    "SYNTH KOTO",
    "5TH SYNTH 2",
    "SPACE INSECT",
    "PULSE MOD. SE",
    "AIRPORT 8000",
    "ELECTRIC TOM 1",
    "ELECTRIC TOM 2",
    "GLIDE UP/DOWN SE",
    "TWINKLE MUSICBOX",
    "5TH SYNTH 3",
    "SLEEPING GIANT",
    "ELECTRONIC MACHINERY",
    "EPILOGUE",
};
const char* const kBankBNames[64] = {
    "GLIDE BRASS I",
    "GLIDE BRASS II",
    "BRASS I",
    "BRASS II",
    "MELLOW HORNS",
    "AUTO BRASS",
    "BRASS III",
    "AUTO BRASS (4th)",
    "NEW WORLD",
    "SYNTH SITAL",
    "SPACE GHOST",
    "SHOOTING STAR",
    "SYNTH HARP",
    "DIGITAL INVASION",
    "NOISE DROPS",
    "DEEP SEA",
    "BRIGHT STRINGS",
    "BOWED STRINGS",
    "STRINGS",
    "FLANGING STRINGS",
    "HIGH STRINGS",
    "VOICE I",
    "VOICE II",
    "VOICE III",
    "ANALOG SYNTH-BASS",
    "BASS I",
    "BASS II",
    "DIGITAL SYNTH-BASS",
    "JAZZ GUITAR I",
    "JAZZ GUITAR II",
    "GUITAR",
    "CHORUS GUITAR",
    "LEAD-SYNTH I",
    "LEAD-SYNTH II",
    "LEAD-SYNTH III",
    "BEAT IT",
    "MELLOW SYNTH",
    "SYNTH ORGAN I",
    "SYNTH ORGAN II",
    "PORTAMENTO",
    "ELECTRONIC GRAND",
    "E.PIANO",
    "CLAVINET",
    "FLANGING CLAV",
    "HARPSICHORD",
    "HONKEY TONK PIANO",
    "METALLIC PIANO",
    "TOY PIANO",
    "SPACE SYNTH I",
    "SPACE SYNTH II",
    "ROCKET NOISE",
    "HORROR",
    "SPACE SYNTH III",
    "SYNTH DRUM I",
    "SYNTH DRUM II",
    "SYNTH DRUM III",
    "FULL ORGAN",
    "ORGAN I",
    "ROTARY EFFECT I",
    "ROTARY EFFECT II",
    "NEW WAVE ORGAN I",
    "NEW WAVE ORGAN II",
    "KOTO",
    "HARP",
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

BankImage LoadImage(const std::string& path) {
    BankImage image;
    std::string error;
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_FALSE(bytes.empty()) << "cannot read " << path;
    if (!bytes.empty()) {
        EXPECT_TRUE(ReadBankImage(bytes, &image, &error)) << path << ": " << error;
    }
    return image;
}

class FactoryBankTest : public ::testing::TestWithParam<BankFacts> {
protected:
    std::string ImagePath() const { return kImageDir + "/" + GetParam().file + ".fxb"; }
    std::string SourcePath() const { return kSourceDir + "/" + GetParam().file + ".txt"; }
};

TEST_P(FactoryBankTest, HeaderHoldsTheBanksFacts) {
    const BankFacts& facts = GetParam();
    std::vector<uint8_t> bytes = ReadFileBytes(ImagePath());
    ASSERT_EQ(bytes.size(), facts.size);
    BankImage image = LoadImage(ImagePath());
    EXPECT_EQ(image.chunkMagic, "CcnK");
    EXPECT_EQ(image.byteSize, static_cast<int32_t>(facts.size));
    EXPECT_EQ(image.fxMagic, "FBCh");
    EXPECT_EQ(image.formatVersion, 2);
    EXPECT_EQ(image.fxId, "qx44");
    EXPECT_EQ(image.fxVersion, facts.fxVersion);
    EXPECT_EQ(image.numPrograms, 64);
    EXPECT_EQ(image.currentProgram, facts.currentProgram);
    EXPECT_TRUE(image.reservedZero);
    EXPECT_EQ(image.chunkSize, static_cast<int32_t>(facts.size) - 160);
    EXPECT_EQ(image.frameworkMagic, "tffp");
    EXPECT_EQ(image.frameworkVersion, 0x00010000);
}

TEST_P(FactoryBankTest, EveryRecordIsAnInitialisedUntaggedProgram) {
    BankImage image = LoadImage(ImagePath());
    ASSERT_EQ(image.programs.size(), 64u);
    for (const ImageProgram& program : image.programs) {
        EXPECT_EQ(program.initialised, 1) << program.name;
        EXPECT_EQ(program.marker, 5) << program.name;
        EXPECT_EQ(program.trailer, GetParam().trailer) << program.name;
    }
}

TEST_P(FactoryBankTest, ValuesLieInRangeOnTheirSteps) {
    BankImage image = LoadImage(ImagePath());
    for (const ImageProgram& program : image.programs) {
        for (int i = 0; i < kNumParams; ++i) {
            const ParameterInfo& info = kParameterTable[i];
            double value = program.values[i];
            SCOPED_TRACE(program.name + ", " + info.name + " = " + std::to_string(value));
            ASSERT_TRUE(std::isfinite(value));
            EXPECT_GE(value, info.min);
            EXPECT_LE(value, info.max);
            if (info.step == 1) {
                EXPECT_EQ(value, std::floor(value));
            }
            if (i >= kReservedFirst) {
                EXPECT_EQ(value, 0.0);
            }
        }
        double edit = program.values[kEditParameter];
        EXPECT_NE(edit, kAssignMode) << program.name;
        EXPECT_NE(edit, kEditParameter) << program.name;
    }
}

TEST_P(FactoryBankTest, NoTwoProgramsAreIdentical) {
    BankImage image = LoadImage(ImagePath());
    std::set<std::array<double, kNumParams>> seen;
    for (const ImageProgram& program : image.programs)
        EXPECT_TRUE(seen.insert(program.values).second) << program.name << " repeats a program";
}

TEST_P(FactoryBankTest, RegeneratingTheSourceGivesTheCommittedBytes) {
    bankgen::BankSource source;
    std::string message;
    ASSERT_TRUE(bankgen::LoadBankSource(SourcePath(), &source, &message)) << message;
    EXPECT_STREQ(source.bank->id, GetParam().resourceType);
    std::vector<uint8_t> regenerated = bankgen::BuildBankImage(source);
    std::vector<uint8_t> committed = ReadFileBytes(ImagePath());
    ASSERT_EQ(regenerated.size(), committed.size());
    for (size_t i = 0; i < committed.size(); ++i)
        ASSERT_EQ(regenerated[i], committed[i]) << "first difference at byte " << i;
}

TEST_P(FactoryBankTest, TheEmbeddedCopyIsTheFile) {
    os::ResourceData embedded = os::FindModuleResource(GetParam().resourceType, "PROGINIT");
    ASSERT_NE(embedded.data, nullptr) << GetParam().resourceType << " is not embedded";
    std::vector<uint8_t> file = ReadFileBytes(ImagePath());
    ASSERT_EQ(embedded.size, file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), embedded.data));
}

TEST_P(FactoryBankTest, SourceHeaderExplainsTheCurrentFieldKeys) {
    std::string text = ReadText(SourcePath());
    bankgen::BankSource source;
    bankgen::SourceError error;
    ASSERT_TRUE(bankgen::ParseBankSource(text, &source, &error)) << error.reason;
    EXPECT_NE(text.find(bankgen::KeyLegend(source.kind)), std::string::npos)
        << SourcePath() << " lacks the current key legend (bankgen --keys)";
}

INSTANTIATE_TEST_SUITE_P(Banks, FactoryBankTest, ::testing::ValuesIn(kBanks),
                         [](const ::testing::TestParamInfo<BankFacts>& info) {
                             return std::string(info.param.resourceType);
                         });

void ExpectNames(const std::string& file, const char* const* names) {
    BankImage image = LoadImage(kImageDir + "/" + file + ".fxb");
    ASSERT_EQ(image.programs.size(), 64u);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(image.programs[i].name, names[i]) << "program " << i;
}

TEST(FactoryBankNames, BanksAAndBCarryTheirNamesInOrder) {
    ExpectNames("bank_a", kBankANames);
    ExpectNames("bank_b", kBankBNames);
}

// The hardware's SysEx bank read here apart from the generator: program dumps of 51 bytes,
// byte i = parameter i above its minimum, byte 14 the panel code of "Edit Parameter".
std::vector<std::vector<uint8_t>> SysExDumps(const std::string& path) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::vector<std::vector<uint8_t>> dumps;
    for (size_t at = 0; at + 57 <= bytes.size(); ++at) {
        if (bytes[at] == 0xF0 && bytes[at + 4] == 0x40 && bytes[at + 56] == 0xF7)
            dumps.emplace_back(bytes.begin() + at + 5, bytes.begin() + at + 56);
    }
    return dumps;
}

TEST(FactoryBankA, IsTheHardwareSysExBank) {
    std::vector<std::vector<uint8_t>> dumps = SysExDumps(kSourceDir + "/dw8000-factory-bank-a.syx");
    ASSERT_EQ(dumps.size(), 64u);
    // The real bank's first program already holds BRASS DELAY's fixed values.
    const uint8_t kBrassDelay[13] = {0, 0, 31, 2, 1, 3, 10, 0, 0, 31, 0, 3, 0};
    EXPECT_TRUE(std::equal(kBrassDelay, kBrassDelay + 13, dumps[0].begin()));
    EXPECT_EQ(EditParameterOfCode(dumps[0][kEditParameter]), kDelayLevel);
    EXPECT_EQ(dumps[0][kVcfCutoff], 12);
    BankImage image = LoadImage(kImageDir + "/bank_a.fxb");
    ASSERT_EQ(image.programs.size(), 64u);
    for (int p = 0; p < 64; ++p) {
        for (int i = 0; i < kNumProgramParams; ++i) {
            double expected = i == kEditParameter ? EditParameterOfCode(dumps[p][i])
                                                  : kParameterTable[i].min + dumps[p][i];
            expected = std::min(expected, kParameterTable[i].max);
            EXPECT_EQ(image.programs[p].values[i], expected)
                << image.programs[p].name << ", " << kParameterTable[i].name;
        }
    }
}

TEST(FactoryBankB, CarriesTheWaveformsItsProgramsAreNamedFor) {
    BankImage image = LoadImage(kImageDir + "/bank_b.fxb");
    ASSERT_EQ(image.programs.size(), 64u);
    const std::pair<const char*, int> kNamedFor[] = {
        {"FULL ORGAN", 7}, {"ROTARY EFFECT I", 7}, {"ROTARY EFFECT II", 7},
        {"CLAVINET", 6},   {"FLANGING CLAV", 6},   {"E.PIANO", 4},
    };
    for (const auto& named : kNamedFor) {
        auto program = std::find_if(image.programs.begin(), image.programs.end(),
                                    [&](const ImageProgram& p) { return p.name == named.first; });
        ASSERT_NE(program, image.programs.end()) << named.first;
        EXPECT_EQ(program->values[kOsc1Waveform], named.second) << named.first;
        EXPECT_EQ(program->values[kOsc2Waveform], named.second) << named.first;
    }
}

TEST(FactoryBankListing, IsTheListingOfTheCommittedImages) {
    std::string listing, message;
    ASSERT_TRUE(bankgen::ListImages(
        {kImageDir + "/bank_a.fxb", kImageDir + "/bank_b.fxb", kImageDir + "/prog6000.fxb"},
        &listing, &message))
        << message;
    EXPECT_EQ(ReadText(kSourceDir + "/LISTING.txt"), listing)
        << "regenerate LISTING.txt with the regenerate_banks target";
    EXPECT_NE(listing.find("11 BRASS DELAY"), std::string::npos);
}

TEST(FactoryBankA, BrassDelayHoldsItsFixedValues) {
    BankImage image = LoadImage(kImageDir + "/bank_a.fxb");
    ASSERT_FALSE(image.programs.empty());
    const ImageProgram& brass = image.programs[0];
    EXPECT_EQ(brass.name, "BRASS DELAY");
    const double kFirst13[13] = {0, 1, 31, 2, 1, 3, 10, 0, 1, 31, 0, 3, 0};
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(brass.values[i], kFirst13[i]) << kParameterTable[i].name;
    EXPECT_EQ(brass.values[kEditParameter], kDelayLevel);
    EXPECT_EQ(brass.values[kVcfCutoff], 12);
    // A delayed brass sound has its delay switched on.
    EXPECT_GT(brass.values[kDelayLevel], 0);
}

TEST(FactoryBankAB, ProgramsAreInitialisedDw8000ProgramsAroundTheHardwareData) {
    for (const char* file : {"bank_a", "bank_b"}) {
        BankImage image = LoadImage(kImageDir + "/" + file + ".fxb");
        for (const ImageProgram& program : image.programs) {
            SCOPED_TRACE(std::string(file) + ": " + program.name);
            // The hardware stores none of the instrument's own parameters: they are as a
            // freshly initialised DW-8000 program has them.
            for (int i = kNumProgramParams; i < kNumParams; ++i)
                EXPECT_EQ(program.values[i], kParameterTable[i].defaultValue)
                    << kParameterTable[i].name;
            // A program that makes no sound at all is a fault in the data.
            bool audible = program.values[kOsc1Level] > 0 || program.values[kOsc2Level] > 0 ||
                           program.values[kNoiseLevel] > 0;
            EXPECT_TRUE(audible);
        }
    }
}

TEST(Prog6000, EveryProgramIsASixVoiceDw6000Program) {
    BankImage image = LoadImage(kImageDir + "/prog6000.fxb");
    for (const ImageProgram& program : image.programs) {
        EXPECT_EQ(program.values[kVoices], -1) << program.name;
        EXPECT_EQ(program.values[kEngineMode], 1) << program.name;
        EXPECT_EQ(program.values[kWaveSet], 1) << program.name;
    }
}

// One program of the DW-6000 factory chart: name and its 35 columns.
struct ChartProgram {
    std::string name;
    std::vector<int> columns;
};

std::vector<ChartProgram> ReadChart(const std::string& path) {
    std::vector<ChartProgram> chart;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon < 3) continue;
        ChartProgram program;
        program.name = line.substr(3, colon - 3); // after the two-digit panel number
        std::istringstream values(line.substr(colon + 1));
        int value;
        while (values >> value)
            program.columns.push_back(value);
        chart.push_back(program);
    }
    return chart;
}

// The chart program as the instrument reads a DW-6000 program: a freshly initialised DW-6000
// program with the chart's settings in it.
std::array<double, kNumParams> MapChartProgram(const std::vector<int>& c) {
    std::array<double, kNumParams> v;
    for (int i = 0; i < kNumParams; ++i)
        v[i] = kParameterTable[i].defaultValue;
    v[kEngineMode] = v[kWaveSet] = 1;
    v[kDelayTime] = 1;
    v[kDelayFactor] = 0;
    v[kDelayFeedback] = 0;
    v[kDelayModFrequency] = 2;
    v[kDelayModIntensity] = 27;
    v[kVoices] = -1;
    auto feet = [](int f) { return f == 16 ? 0 : f == 8 ? 1 : f == 4 ? 2 : -100; };
    const int kKbdTrackDecode[4] = {0, 2, 3, 3};
    v[kOsc1Octave] = feet(c[0]);
    v[kOsc1Waveform] = c[1];
    v[kOsc1Level] = c[2];
    v[kOsc2Octave] = feet(c[3]);
    v[kOsc2Waveform] = c[4];
    v[kOsc2Level] = c[5];
    v[kOsc2Interval] = c[6] - 1;
    v[kOsc2Detune] = c[7];
    v[kNoiseLevel] = c[8];
    v[kVcfCutoff] = c[9];
    v[kVcfResonance] = c[10];
    v[kVcfKbdTrack] = c[11] >= 0 && c[11] <= 3 ? kKbdTrackDecode[c[11]] : -100;
    v[kVcfEgPolarity] = c[12] - 1;
    v[kVcfEgIntensity] = c[13];
    v[kDelayLevel] = c[14] ? 15 : 0;
    for (int i = 0; i < 6; ++i)
        v[kVcfEgAttack + i] = c[15 + i];
    for (int i = 0; i < 6; ++i)
        v[kVcaEgAttack + i] = c[21 + i];
    v[kMgFrequency] = c[27];
    v[kMgDelay] = c[28];
    v[kMgOsc] = c[29];
    v[kMgVcf] = c[30];
    v[kBendOsc] = c[31];
    v[kBendVcf] = c[32];
    v[kPortamento] = c[33];
    v[kAssignMode] = c[34];
    return v;
}

TEST(Prog6000, IsTheDw6000FactoryChart) {
    std::vector<ChartProgram> chart = ReadChart(kChartPath);
    ASSERT_EQ(chart.size(), 64u) << kChartPath;
    BankImage image = LoadImage(kImageDir + "/prog6000.fxb");
    ASSERT_EQ(image.programs.size(), 64u);
    for (size_t p = 0; p < chart.size(); ++p) {
        SCOPED_TRACE(chart[p].name);
        ASSERT_EQ(chart[p].columns.size(), 35u);
        EXPECT_EQ(image.programs[p].name, chart[p].name);
        std::array<double, kNumParams> expected = MapChartProgram(chart[p].columns);
        for (int i = 0; i < kNumParams; ++i)
            EXPECT_EQ(image.programs[p].values[i], expected[i]) << kParameterTable[i].name;
    }
}

} // namespace
