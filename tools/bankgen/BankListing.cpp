#include "tools/bankgen/BankListing.h"

#include <cstring>
#include <initializer_list>

#include "host/ChunkBuffer.h"
#include "tools/bankgen/BankImage.h"

namespace bankgen {

namespace {

uint32_t BigEndian(const uint8_t* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

bool Fail(std::string* reason, const std::string& why) {
    *reason = why;
    return false;
}

// A value as the panel shows it, without the quotes a text source puts around blanks.
std::string Show(const ProgramValues& v, int index) {
    std::string text = FormatValue(index, v[index]);
    if (text.size() >= 2 && text.front() == '"') text = text.substr(1, text.size() - 2);
    return text;
}

std::string Pad(std::string text, size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

// `count` consecutive values joined by '/'.
std::string Run(const ProgramValues& v, int first, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i ? "/" : "") + Show(v, first + i);
    return text;
}

std::string Join(const ProgramValues& v, std::initializer_list<int> indices) {
    std::string text;
    for (int index : indices)
        text += (text.empty() ? "" : "/") + Show(v, index);
    return text;
}

std::string ProgramLine(int position, const ListedProgram& program) {
    const ProgramValues& v = program.values;
    std::string line = std::to_string(position / 8 + 1) + std::to_string(position % 8 + 1) + " ";
    line += Pad(program.name, 21);
    line += Pad(Show(v, kAssignMode), 9) + Pad(Show(v, kVoices) + "v", 4);
    line += "osc1 " + Pad(Show(v, kOsc1Octave), 4) + "w" + Pad(Show(v, kOsc1Waveform), 3) +
            Pad(Show(v, kOsc1Level), 3);
    line += "osc2 " + Pad(Show(v, kOsc2Octave), 4) + "w" + Pad(Show(v, kOsc2Waveform), 3) +
            Pad(Show(v, kOsc2Level), 3) + "i" + Pad(Show(v, kOsc2Interval), 3) + "d" +
            Pad(Show(v, kOsc2Detune), 2);
    line += "noise " + Pad(Show(v, kNoiseLevel), 3);
    line += "vcf " + Pad(Show(v, kVcfCutoff), 3) + "r" + Pad(Show(v, kVcfResonance), 3) + "k" +
            Pad(Show(v, kVcfKbdTrack), 4) + Pad(Show(v, kVcfEgPolarity), 5) +
            Pad(Show(v, kVcfEgIntensity), 3) + "v" + Pad(Show(v, kVcfEgVelocity), 2);
    line += "f.eg " + Pad(Run(v, kVcfEgAttack, 6), 18);
    line += "a.eg " + Pad(Run(v, kVcaEgAttack, 6), 18) + "v" + Pad(Show(v, kVcaEgVelocity), 2);
    line += "mg " + Pad(Show(v, kMgWaveform), 5) + Pad(Run(v, kMgFrequency, 4), 12);
    line += "ab " + Pad(Show(v, kAutoBendSelect), 5) + Pad(Show(v, kAutoBendMode), 5) +
            Pad(Join(v, {kAutoBendTime, kAutoBendIntensity}), 6);
    line += "bend " + Pad(Show(v, kBendOsc), 3) + Pad(Show(v, kBendVcf), 4);
    line += "porta " + Pad(Show(v, kPortamento), 3);
    line += "at " + Pad(Run(v, kAfterTouchOscMg, 3), 6);
    line += "dly " + Pad(Run(v, kDelayTime, 3), 9) +
            Pad(Join(v, {kDelayModFrequency, kDelayModIntensity}), 6) + "l" +
            Pad(Show(v, kDelayLevel), 3);
    line += "mw " + Pad(Run(v, kModWheelOscMg, 2), 6);
    line += "st " + Pad(Show(v, kPseudoStereo), 4);
    line += "dw " + Show(v, kEngineMode) + "/" + Show(v, kWaveSet);
    line += " vol " + Show(v, kVolume) + " tune " + Show(v, kTune);
    line += " edit " + Show(v, kEditParameter);
    return line + "\n";
}

} // namespace

bool ReadImagePrograms(const std::vector<uint8_t>& image, std::vector<ListedProgram>* programs,
                       std::string* reason) {
    programs->clear();
    if (image.size() < static_cast<size_t>(kFxbHeaderSize))
        return Fail(reason, "shorter than an FXB header");
    const uint8_t* header = image.data();
    if (std::memcmp(header, "CcnK", 4) != 0 || std::memcmp(header + 8, "FBCh", 4) != 0)
        return Fail(reason, "not an FXB bank in chunk form");
    const uint32_t count = BigEndian(header + 24);
    const uint32_t chunkSize = BigEndian(header + 156);
    if (count > static_cast<uint32_t>(kBankPrograms) || chunkSize != image.size() - kFxbHeaderSize)
        return Fail(reason, "the header's program count or chunk size does not fit the file");
    ChunkBuffer chunk(header + kFxbHeaderSize, static_cast<int>(chunkSize));
    char magic[4] = {};
    int32_t version = 0;
    int at = chunk.ReadBytes(0, magic, 4);
    at = chunk.ReadInt32(at, &version);
    if (at < 0 || std::memcmp(magic, "tffp", 4) != 0) return Fail(reason, "no framework chunk");
    for (uint32_t p = 0; p < count; ++p) {
        ListedProgram program;
        uint8_t initialised = 0;
        int32_t marker = 0, trailer = 0;
        at = chunk.ReadText(at, &program.name);
        at = chunk.ReadByte(at, &initialised);
        for (double& value : program.values)
            at = chunk.ReadDouble(at, &value);
        at = chunk.ReadInt32(at, &marker);
        if (marker > 0) at = chunk.ReadInt32(at, &trailer);
        if (at < 0) return Fail(reason, "program " + std::to_string(p) + " is cut short");
        programs->push_back(program);
    }
    if (at != chunk.Size())
        return Fail(reason, std::to_string(chunk.Size() - at) + " bytes follow the last program");
    return true;
}

std::string ListingLegend() {
    return "# One line per program: keypad number and name; assign mode and voices; osc1 octave,\n"
           "# waveform (w) and level; osc2 octave, waveform, level, interval (i) and detune (d);\n"
           "# noise level; vcf cutoff, resonance (r), keyboard track (k), EG polarity and\n"
           "# intensity, velocity (v); VCF and VCA envelopes attack/decay/break point/slope/\n"
           "# sustain/release, VCA velocity; MG waveform and frequency/delay/osc/vcf; auto bend\n"
           "# select, mode, time/intensity; bend range and bend VCF; portamento; after touch\n"
           "# osc MG/vcf/vca; delay time/factor/feedback, modulation frequency/intensity, level\n"
           "# (l); mod. wheel osc/vcf MG; \"pseudo\" stereo; DW mode of engine/waveform set;\n"
           "# volume; tune; the parameter the panel selects on recall (its field key).\n";
}

std::string ListBank(const std::string& title, const std::vector<ListedProgram>& programs) {
    std::string text = "\n" + title + "\n";
    for (size_t p = 0; p < programs.size(); ++p)
        text += ProgramLine(static_cast<int>(p), programs[p]);
    return text;
}

} // namespace bankgen
