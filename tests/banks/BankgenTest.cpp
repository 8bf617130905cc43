// The generator on hand-made sources: what a line may say, and that a faulty source is
// refused with its file and line while the output file stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/banks/BankImageReader.h"
#include "tools/bankgen/BankSource.h"
#include "tools/bankgen/Bankgen.h"

namespace {

namespace fs = std::filesystem;

// A source for PROG6000 with one line per program; `fields` go on every line unless a test
// replaces a line.
std::vector<std::string> ProgramLines(const std::string& fields = "cut=40") {
    const bankgen::FactoryBank* bank = bankgen::FindFactoryBank("PROG6000");
    std::vector<std::string> lines;
    for (int i = 0; i < bankgen::kBankPrograms; ++i)
        lines.push_back(std::string(bank->names[i]) + " | test sound | " + fields);
    return lines;
}

constexpr int kHeaderLines = 3; // "# comment", "bank:", "kind:"

std::string Source(const std::vector<std::string>& programs, const std::string& kind = "dw6000") {
    std::string text = "# a test bank\nbank: PROG6000\nkind: " + kind + "\n";
    for (const std::string& line : programs)
        text += line + "\n";
    return text;
}

// The line number of program `index` (0-based) in Source().
int LineOf(int index) {
    return kHeaderLines + index + 1;
}

class BankgenFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("qx_bankgen_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        input_ = (dir_ / "bank.txt").string();
        output_ = (dir_ / "bank.fxb").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteSource(const std::string& text) { std::ofstream(input_, std::ios::binary) << text; }

    // Runs the generator on `text`, expecting it to refuse the source at `line` for a reason
    // that contains `reason`, and to leave no output behind.
    void ExpectRefused(const std::string& text, int line, const std::string& reason) {
        WriteSource(text);
        std::string message;
        EXPECT_FALSE(bankgen::GenerateBank(input_, output_, &message));
        EXPECT_EQ(message.rfind(input_ + ":" + std::to_string(line) + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(reason), std::string::npos) << message;
        EXPECT_FALSE(fs::exists(output_)) << "an image was written for a faulty source";
    }

    fs::path dir_;
    std::string input_;
    std::string output_;
};

TEST_F(BankgenFiles, SoundSourceBecomesAReadableImage) {
    WriteSource(Source(ProgramLines()));
    std::string message;
    ASSERT_TRUE(bankgen::GenerateBank(input_, output_, &message)) << message;
    BankImage image;
    std::string error;
    ASSERT_TRUE(ReadBankImage(ReadFileBytes(output_), &image, &error)) << error;
    EXPECT_EQ(image.fxVersion, 10001);
    ASSERT_EQ(image.programs.size(), 64u);
    EXPECT_EQ(image.programs[63].name, "REVERSE SWEEP");
    EXPECT_EQ(image.programs[63].values[kVcfCutoff], 40);
}

TEST_F(BankgenFiles, UnknownFieldIsRefusedAtItsLine) {
    std::vector<std::string> lines = ProgramLines();
    lines[9] += " wobble=3";
    ExpectRefused(Source(lines), LineOf(9), "unknown field 'wobble'");
}

TEST_F(BankgenFiles, ValuesOutOfRangeOrBetweenStepsAreRefused) {
    std::vector<std::string> lines = ProgramLines("cut=64");
    ExpectRefused(Source(lines), LineOf(0), "out of range 0..63");
    lines = ProgramLines();
    lines[5] = lines[5] + " f.int=-1";
    ExpectRefused(Source(lines), LineOf(5), "out of range");
    lines = ProgramLines();
    lines[7] = lines[7] + " o1.lvl=12.5";
    ExpectRefused(Source(lines), LineOf(7), "steps of 1");
    lines = ProgramLines();
    lines[8] = lines[8] + " vol=0.755";
    ExpectRefused(Source(lines), LineOf(8), "steps of");
    // Exponents, hexadecimal and non-numbers are not plain numbers.
    for (const char* bad : {"res=1e1", "res=0x10", "res=nan", "res=", "res=.5", "res=5."}) {
        lines = ProgramLines();
        lines[2] = lines[2] + " " + bad;
        ExpectRefused(Source(lines), LineOf(2), "res");
    }
}

TEST_F(BankgenFiles, MissingOrExtraProgramsAreRefused) {
    std::vector<std::string> lines = ProgramLines();
    lines.pop_back();
    ExpectRefused(Source(lines), kHeaderLines + 63, "needs 64 programs, the source has 63");
    lines = ProgramLines();
    lines.push_back("EXTRA | one too many | cut=1");
    ExpectRefused(Source(lines), LineOf(64), "one too many");
}

TEST_F(BankgenFiles, ProgramsMustCarryTheBanksNamesInOrder) {
    std::vector<std::string> lines = ProgramLines();
    std::swap(lines[3], lines[4]);
    ExpectRefused(Source(lines), LineOf(3),
                  "wrong name: program 4 of PROG6000 is \"BOWED CELLOS\"");
    lines = ProgramLines();
    lines[0] = "synth brass | lower case | cut=3";
    ExpectRefused(Source(lines), LineOf(0), "wrong name");
}

TEST_F(BankgenFiles, MalformedLinesAndHeadersAreRefused) {
    std::vector<std::string> lines = ProgramLines();
    lines[1] = "BELLS 1 | no fields";
    ExpectRefused(Source(lines), LineOf(1), "three parts");
    lines = ProgramLines();
    lines[1] = "BELLS 1 |  | cut=3";
    ExpectRefused(Source(lines), LineOf(1), "no intent");
    lines = ProgramLines();
    lines[1] += " cut";
    ExpectRefused(Source(lines), LineOf(1), "no '=value'");
    lines = ProgramLines();
    lines[1] += " mode=\"Poly 1";
    ExpectRefused(Source(lines), LineOf(1), "unterminated quote");
    ExpectRefused(Source(ProgramLines(), "dw7000"), 3, "unknown kind 'dw7000'");
    ExpectRefused("bank: BANK_C\n", 1, "unknown bank 'BANK_C'");
    ExpectRefused("kind: dw8000\nSYNTH BRASS | x | cut=1\n", 2, "must come before the programs");
    ExpectRefused("# nothing\n", 1, "no 'bank:' header");
    lines = ProgramLines();
    lines.insert(lines.begin() + 2, "kind: dw8000");
    ExpectRefused(Source(lines), LineOf(2), "before the programs");
}

TEST_F(BankgenFiles, ASetParameterCannotBeSetAgain) {
    std::vector<std::string> lines = ProgramLines();
    lines[6] = lines[6] + " cut=20";
    ExpectRefused(Source(lines), LineOf(6), "a second time");
    lines = ProgramLines();
    lines[6] = lines[6] + " f.s=3 f.eg=1/2/3/4/5/6";
    ExpectRefused(Source(lines), LineOf(6), "\"VCF EG Sustain\" a second time");
}

TEST_F(BankgenFiles, EditParameterSelectsAProgramParameterOtherThanModeAndItself) {
    for (const char* bad : {"edit=mode", "edit=edit", "edit=13", "edit=14", "edit=51", "edit=vol",
                            "edit=f.eg", "edit=banana"}) {
        std::vector<std::string> lines = ProgramLines();
        lines[11] = lines[11] + " " + bad;
        ExpectRefused(Source(lines), LineOf(11), "\"Edit Parameter\"");
    }
}

TEST_F(BankgenFiles, AFailedRunLeavesAnExistingImageAlone) {
    std::ofstream(output_, std::ios::binary) << "previous image";
    std::vector<std::string> lines = ProgramLines();
    lines[20] += " noise=99";
    WriteSource(Source(lines));
    std::string message;
    EXPECT_FALSE(bankgen::GenerateBank(input_, output_, &message));
    std::ifstream in(output_, std::ios::binary);
    std::stringstream kept;
    kept << in.rdbuf();
    EXPECT_EQ(kept.str(), "previous image");
}

TEST_F(BankgenFiles, HardwareDataGivesTheProgramParametersAndLinesTheRest) {
    std::vector<uint8_t> sysex;
    for (int p = 0; p < 64; ++p) {
        sysex.insert(sysex.end(), {0xF0, 0x42, 0x30, 0x03, 0x40});
        sysex.insert(sysex.end(), 51, 5);
        sysex.push_back(0xF7);
    }
    std::ofstream(dir_ / "hw.syx", std::ios::binary)
        .write(reinterpret_cast<const char*>(sysex.data()), sysex.size());
    auto text = [](const std::string& data, const std::vector<std::string>& programs) {
        std::string t = "bank: PROG6000\nkind: dw8000\n" + data + "\n";
        for (const std::string& line : programs)
            t += line + "\n";
        return t;
    };
    std::vector<std::string> lines = ProgramLines("voices=16");
    WriteSource(text("sysex: hw.syx", lines));
    std::string message;
    ASSERT_TRUE(bankgen::GenerateBank(input_, output_, &message)) << message;
    BankImage image;
    ASSERT_TRUE(ReadBankImage(ReadFileBytes(output_), &image, &message)) << message;
    EXPECT_EQ(image.programs[7].values[kVcfCutoff], 5);
    EXPECT_EQ(image.programs[7].values[kOsc1Waveform], 6);
    EXPECT_EQ(image.programs[7].values[kVoices], 1) << "16 voices, from the line";
    EXPECT_EQ(image.programs[7].values[kModWheelOscMg], 8) << "a DW-8000 program's default";
    // The data alone gives parameters 0..50.
    fs::remove(output_);
    lines[4] = lines[4] + " cut=3";
    ExpectRefused(text("sysex: hw.syx", lines), 3 + 4 + 1, "comes from the hardware data");
    WriteSource(text("sysex: missing.syx", ProgramLines("voices=16")));
    EXPECT_FALSE(bankgen::GenerateBank(input_, output_, &message));
    EXPECT_NE(message.find("missing.syx: cannot read"), std::string::npos) << message;
    WriteSource(text("tape: hw.syx", ProgramLines("voices=16")));
    EXPECT_FALSE(bankgen::GenerateBank(input_, output_, &message));
    EXPECT_NE(message.find("hw.syx: line 1"), std::string::npos) << message;
}

TEST_F(BankgenFiles, UnreadableSourceAndBadArgumentsFail) {
    std::string message;
    EXPECT_FALSE(bankgen::GenerateBank((dir_ / "missing.txt").string(), output_, &message));
    EXPECT_NE(message.find("cannot read"), std::string::npos);
    EXPECT_FALSE(fs::exists(output_));
    std::string out, err;
    const char* oneArgument[] = {"only.txt"};
    EXPECT_EQ(bankgen::RunBankgen(1, oneArgument, &out, &err), 2);
    EXPECT_NE(err.find("usage"), std::string::npos);
}

// Parses one PROG6000-sized source whose first program carries `fields`.
bankgen::ProgramValues ParseFirst(const std::string& fields, const std::string& kind,
                                  std::string* failure = nullptr) {
    std::vector<std::string> lines = ProgramLines("");
    lines[0] += fields;
    bankgen::BankSource source;
    bankgen::SourceError error;
    bool ok = bankgen::ParseBankSource(Source(lines, kind), &source, &error);
    if (failure) *failure = ok ? "" : error.reason;
    EXPECT_TRUE(ok || failure) << error.line << ": " << error.reason;
    return ok ? source.programs[0].values : bankgen::ProgramValues{};
}

TEST(BankSource, OmittedFieldsTakeTheDefaultsOfTheDeclaredKind) {
    bankgen::ProgramValues dw8000 = ParseFirst("", "dw8000");
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(dw8000[i], kParameterTable[i].defaultValue) << kParameterTable[i].name;
    bankgen::ProgramValues dw6000 = ParseFirst("", "dw6000");
    EXPECT_EQ(dw6000[kEngineMode], 1);
    EXPECT_EQ(dw6000[kWaveSet], 1);
    EXPECT_EQ(dw6000[kVoices], -1);
    EXPECT_EQ(dw6000[kDelayTime], 1);
    EXPECT_EQ(dw6000[kDelayModFrequency], 2);
    EXPECT_EQ(dw6000[kDelayModIntensity], 27);
    EXPECT_EQ(dw6000[kDelayLevel], 15);
    EXPECT_EQ(dw6000[kModWheelOscMg], 8);
    EXPECT_EQ(dw6000[kMgFrequency], 19);
    EXPECT_EQ(dw6000[kVolume], 0.5);
}

TEST(BankSource, ValuesReadAsThePanelShowsThem) {
    bankgen::ProgramValues v =
        ParseFirst(" o1.oct=16' o2.oct=4' o2.ival=-3 kbd=1/2 f.pol=NEG. mode=\"Unison 2\" voices=6"
                   " edit=dly.lvl mgsrc=\"Modulation Wheel\" a.eg=1/2/3/4/5/6 vol=0.75 tune=-0.1",
                   "dw8000");
    EXPECT_EQ(v[kOsc1Octave], 0);
    EXPECT_EQ(v[kOsc2Octave], 2);
    EXPECT_EQ(v[kOsc2Interval], 1);
    EXPECT_EQ(v[kVcfKbdTrack], 2);
    EXPECT_EQ(v[kVcfEgPolarity], 1);
    EXPECT_EQ(v[kAssignMode], 3);
    EXPECT_EQ(v[kVoices], -1);
    EXPECT_EQ(v[kEditParameter], kDelayLevel);
    EXPECT_EQ(v[kVcfMgSource], 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(v[kVcaEgAttack + i], i + 1);
    EXPECT_EQ(v[kVolume], 0.75);
    EXPECT_EQ(v[kTune], -0.1);
    EXPECT_EQ(ParseFirst(" voices=64", "dw8000")[kVoices], 3);
    EXPECT_EQ(ParseFirst(" voices=1", "dw8000")[kVoices], -4);
}

TEST(BankSource, FormattedValuesReadBackAsTheSameValues) {
    // The key legend shows defaults through FormatValue; each must parse to the value shown.
    for (const char* kind : {"dw8000", "dw6000"}) {
        bankgen::ProgramKind programKind;
        ASSERT_TRUE(bankgen::ParseProgramKind(kind, &programKind));
        bankgen::ProgramValues defaults = bankgen::KindDefaults(programKind);
        // Values other than the defaults as well: every enum setting and voice count.
        for (int i = 0; i < kReservedFirst; ++i) {
            const ParameterInfo& info = kParameterTable[i];
            std::vector<double> values = {defaults[i], info.min, info.max};
            if (i == kEditParameter) values = {defaults[i], kDelayLevel, kVcaEgVelocity};
            for (double value : values) {
                std::string text = bankgen::FormatValue(i, value);
                std::string field = std::string(" ") + bankgen::KeyOfParameter(i) + "=" + text;
                std::string failure;
                bankgen::ProgramValues parsed = ParseFirst(field, kind, &failure);
                EXPECT_EQ(failure, "") << field;
                EXPECT_EQ(parsed[i], value) << field;
            }
        }
    }
}

TEST(BankSource, EnumsTakeOnlyTheirDisplayTexts) {
    std::string failure;
    // An index is not a display text: octaves are written in feet.
    ParseFirst(" o1.oct=1", "dw8000", &failure);
    EXPECT_NE(failure.find("16'"), std::string::npos) << failure;
    ParseFirst(" mode=Poly", "dw8000", &failure);
    EXPECT_NE(failure.find("no setting 'Poly'"), std::string::npos) << failure;
    ParseFirst(" voices=5", "dw8000", &failure);
    EXPECT_NE(failure.find("voice count"), std::string::npos) << failure;
    ParseFirst(" f.eg=1/2/3", "dw8000", &failure);
    EXPECT_NE(failure.find("takes 6 values"), std::string::npos) << failure;
}

TEST(BankSource, WindowsLineEndingsAndCommentsAreAccepted) {
    std::string text = "# comment\r\nbank: PROG6000\r\nkind: dw6000\r\n\r\n";
    for (const std::string& line : ProgramLines("cut=7"))
        text += "  " + line + "\r\n# between\r\n";
    bankgen::BankSource source;
    bankgen::SourceError error;
    ASSERT_TRUE(bankgen::ParseBankSource(text, &source, &error)) << error.reason;
    EXPECT_EQ(source.programs[0].name, "SYNTH BRASS");
    EXPECT_EQ(source.programs[0].intent, "test sound");
    EXPECT_EQ(source.programs[63].values[kVcfCutoff], 7);
}

TEST(FieldKeys, EveryProgramParameterHasExactlyOneKey) {
    for (int i = 0; i < kNumParams; ++i) {
        bool reserved = i >= kReservedFirst;
        int owners = 0;
        for (const bankgen::FieldKey& key : bankgen::FieldKeys())
            if (key.count == 1 && key.first == i) ++owners;
        EXPECT_EQ(owners, reserved ? 0 : 1) << kParameterTable[i].name;
    }
    std::set<std::string> spellings;
    for (const bankgen::FieldKey& key : bankgen::FieldKeys())
        EXPECT_TRUE(spellings.insert(key.key).second) << key.key << " is defined twice";
}

} // namespace
