// The hardware's own data behind banks A and B: the cassette tape layout against values known
// apart from it, and the readers refusing data a factory bank must not be built from.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "instrument/ParameterTable.h"
#include "tape/TapeLayout.h"
#include "tools/bankgen/HardwareData.h"

namespace {

const std::string kSourceDir = QX_BANK_SOURCE_DIR;

std::vector<uint8_t> RealTapeBank() {
    std::ifstream in(kSourceDir + "/dw8000-tape-bank.hex", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<uint8_t> bytes;
    std::string reason;
    EXPECT_TRUE(bankgen::ParseHexText(text.str(), &bytes, &reason)) << reason;
    return bytes;
}

const uint8_t* Record(const std::vector<uint8_t>& bank, int program) {
    return bank.data() + kTapeHeaderBytes + program * kTapeProgramRecordBytes;
}

int FieldValue(const TapeField* fields, int parameter) {
    for (int i = 0; i < kTapeFieldCount; ++i)
        if (fields[i].parameter == parameter) return fields[i].value;
    ADD_FAILURE() << "no field for " << kParameterTable[parameter].name;
    return -1;
}

TEST(TapeLayout, RealBankUnpacksToItsKnownWaveformsWithGoodChecksums) {
    std::vector<uint8_t> bank = RealTapeBank();
    ASSERT_EQ(bank.size(), static_cast<size_t>(kTapeBankBytes));
    for (int p = 0; p < kTapePrograms; ++p)
        EXPECT_EQ(TapeChecksum(Record(bank, p)), Record(bank, p)[kTapeProgramDataBytes]) << p;
    // Bank B places named for their waveforms: 7 organ, 6 clavi, 4 electric piano.
    const struct {
        int program;
        int waveform;
    } known[] = {{56, 7}, {58, 7}, {59, 7}, {42, 6}, {43, 6}, {41, 4}};
    for (const auto& k : known) {
        TapeField fields[kTapeFieldCount];
        UnpackTapeProgram(Record(bank, k.program), fields);
        EXPECT_EQ(FieldValue(fields, kOsc1Waveform), k.waveform) << k.program;
        EXPECT_EQ(FieldValue(fields, kOsc2Waveform), k.waveform) << k.program;
    }
}

TEST(TapeLayout, EveryProgramParameterComesOnceFromItsBits) {
    uint8_t data[kTapeProgramDataBytes] = {};
    data[0] = 0xA5;         // OSC1 waveform 5 + 1, OSC2 waveform 10 + 1
    data[1] = 0xC9;         // polarity 1, octave 2, level 9
    data[5] = 0xF6;         // cutoff 61, keyboard track 2
    data[18] = 21 << 3 | 3; // sustain 21; release bits 2..4 = 3
    data[19] = 2 << 6 | 7;  // release bits 0..1 = 2; auto bend time 7
    data[26] = 13 << 3 | 3; // portamento 13, mode 3
    data[28] = 0x9C;        // feedback 9, delay level 12
    data[29] = 0xFF;        // only six bits of the panel code count
    TapeField fields[kTapeFieldCount];
    UnpackTapeProgram(data, fields);
    bool seen[kNumProgramParams] = {};
    for (const TapeField& field : fields) {
        ASSERT_GE(field.parameter, 0);
        ASSERT_LT(field.parameter, kNumProgramParams);
        EXPECT_FALSE(seen[field.parameter]) << kParameterTable[field.parameter].name;
        seen[field.parameter] = true;
    }
    const int expected[][2] = {
        {kOsc1Waveform, 6},  {kOsc2Waveform, 11}, {kVcfEgPolarity, 1},  {kOsc1Octave, 2},
        {kOsc1Level, 9},     {kVcfCutoff, 61},    {kVcfKbdTrack, 2},    {kVcaEgSustain, 21},
        {kVcaEgRelease, 14}, {kAutoBendTime, 7},  {kPortamento, 13},    {kAssignMode, 3},
        {kDelayFeedback, 9}, {kDelayLevel, 12},   {kEditParameter, 63}, {kOsc2Level, 0},
        {kMgWaveform, 0},
    };
    for (const auto& e : expected)
        EXPECT_EQ(FieldValue(fields, e[0]), e[1]) << kParameterTable[e[0]].name;
}

// A DW-8000 SysEx bank: program p's 51 data bytes all `p`, each dump followed by its write
// request.
std::vector<uint8_t> SysExBank() {
    std::vector<uint8_t> bytes;
    for (int p = 0; p < 64; ++p) {
        bytes.insert(bytes.end(), {0xF0, 0x42, 0x30, 0x03, 0x40});
        bytes.insert(bytes.end(), 51, static_cast<uint8_t>(p));
        bytes.push_back(0xF7);
        bytes.insert(bytes.end(), {0xF0, 0x42, 0x30, 0x03, 0x11, static_cast<uint8_t>(p), 0xF7});
    }
    return bytes;
}

TEST(HardwareData, SysExBankIsPlacedByWriteRequestsAndLimited) {
    std::vector<uint8_t> bytes = SysExBank();
    // Swap the places of programs 1 and 2: the write requests decide.
    bytes[64 * 1 + 57 + 5] = 2;
    bytes[64 * 2 + 57 + 5] = 1;
    std::vector<bankgen::HardwareProgram> programs;
    std::string reason;
    ASSERT_TRUE(bankgen::ReadSysExBank(bytes, &programs, &reason)) << reason;
    EXPECT_EQ(programs[2][kVcfCutoff], 1);
    EXPECT_EQ(programs[1][kVcfCutoff], 2);
    EXPECT_EQ(programs[40][kOsc1Waveform], 16) << "40 above the minimum 1, limited to 16";
    EXPECT_EQ(programs[40][kVcfCutoff], 40);
    EXPECT_EQ(programs[16][kEditParameter], 15) << "panel code 16 selects the cutoff";
}

TEST(HardwareData, FaultyDataIsRefused) {
    std::vector<bankgen::HardwareProgram> programs;
    std::string reason;
    auto refusedSysEx = [&](std::vector<uint8_t> bytes, const std::string& why) {
        EXPECT_FALSE(bankgen::ReadSysExBank(bytes, &programs, &reason)) << why;
        EXPECT_NE(reason.find(why), std::string::npos) << reason;
    };
    std::vector<uint8_t> bytes = SysExBank();
    bytes[3] = 0x04; // a DW-6000 dump
    refusedSysEx(bytes, "not a DW-8000 message");
    bytes = SysExBank();
    bytes[64 * 3 + 57 + 5] = 4; // program 4 twice, program 3 never
    refusedSysEx(bytes, "program 4 is given twice");
    bytes = SysExBank();
    bytes.resize(bytes.size() - 64); // the last dump and write request missing
    refusedSysEx(bytes, "no program dump for program 63");
    bytes = SysExBank();
    bytes.pop_back();
    refusedSysEx(bytes, "no closing F7");

    std::vector<uint8_t> tape = RealTapeBank();
    ASSERT_FALSE(tape.empty());
    tape[kTapeHeaderBytes + 9 * kTapeProgramRecordBytes + 3] ^= 0x10;
    EXPECT_FALSE(bankgen::ReadTapeBank(tape, &programs, &reason));
    EXPECT_NE(reason.find("program 9: checksum"), std::string::npos) << reason;
    tape.push_back(0);
    EXPECT_FALSE(bankgen::ReadTapeBank(tape, &programs, &reason));
    std::vector<uint8_t> parsed;
    EXPECT_FALSE(bankgen::ParseHexText("# ok\n42 03\n4G\n", &parsed, &reason));
    EXPECT_NE(reason.find("line 3"), std::string::npos) << reason;
}

} // namespace
