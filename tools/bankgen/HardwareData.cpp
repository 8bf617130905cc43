#include "tools/bankgen/HardwareData.h"

#include <algorithm>
#include <cctype>

#include "instrument/QX4470.h"
#include "tape/TapeLayout.h"

namespace bankgen {

namespace {

constexpr int kPrograms = 64;
constexpr uint8_t kStart = 0xF0;
constexpr uint8_t kEnd = 0xF7;
constexpr uint8_t kManufacturer = 0x42;
constexpr uint8_t kProgramDump = 0x40;
constexpr uint8_t kWriteRequest = 0x11;
constexpr int kDumpSize = 57; // header, 51 data bytes, F7
constexpr int kWriteRequestSize = 7;

// A value as the hardware stores it becomes a parameter value the way the instrument reads
// outside data: limited to the range, "Edit Parameter" decoded from its panel code.
double ValueOf(int parameter, int stored) {
    if (parameter == kEditParameter) return EditParameterOfCode(stored);
    const ParameterInfo& info = kParameterTable[parameter];
    return std::clamp(static_cast<double>(stored), info.min, info.max);
}

std::string Hex(int value) {
    const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[value >> 4 & 15] + digits[value & 15];
}

// Places the program dumps of a SysEx bank: a dump goes where the write request right after
// it says, or else to the place of its count in the file.
class SysExPlacer {
public:
    explicit SysExPlacer(std::vector<HardwareProgram>* programs) : programs_(programs) {
        programs_->assign(kPrograms, HardwareProgram{});
    }

    bool Dump(const uint8_t* data, std::string* reason) {
        if (havePending_ && !Place(dumps_ - 1, reason)) return false;
        // A dump carries value - min ("OSC1 Waveform" 1..16 as 0..15); the panel code of
        // "Edit Parameter" stays as it is.
        for (int i = 0; i < kNumProgramParams; ++i) {
            int offset = i == kEditParameter ? 0 : static_cast<int>(kParameterTable[i].min);
            pending_[i] = ValueOf(i, data[i] + offset);
        }
        havePending_ = true;
        ++dumps_;
        return true;
    }

    bool WriteRequest(int program, std::string* reason) {
        if (!havePending_) {
            *reason = "a write request for program " + std::to_string(program) +
                      " follows no program dump";
            return false;
        }
        return Place(program, reason);
    }

    bool Finish(std::string* reason) {
        if (havePending_ && !Place(dumps_ - 1, reason)) return false;
        for (int p = 0; p < kPrograms; ++p) {
            if (!filled_[p]) {
                *reason = "no program dump for program " + std::to_string(p) + " (" +
                          std::to_string(dumps_) + " dumps in the file)";
                return false;
            }
        }
        return true;
    }

private:
    bool Place(int program, std::string* reason) {
        havePending_ = false;
        if (program < 0 || program >= kPrograms) {
            *reason = "program " + std::to_string(program) + " is outside the bank's 0.." +
                      std::to_string(kPrograms - 1);
            return false;
        }
        if (filled_[program]) {
            *reason = "program " + std::to_string(program) + " is given twice";
            return false;
        }
        filled_[program] = true;
        (*programs_)[program] = pending_;
        return true;
    }

    std::vector<HardwareProgram>* programs_;
    HardwareProgram pending_{};
    bool havePending_ = false;
    int dumps_ = 0;
    bool filled_[kPrograms] = {};
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

bool ReadSysExBank(const std::vector<uint8_t>& bytes, std::vector<HardwareProgram>* programs,
                   std::string* reason) {
    SysExPlacer placer(programs);
    size_t at = 0;
    while (at < bytes.size()) {
        std::string where = "at byte " + std::to_string(at) + ": ";
        if (bytes[at] != kStart) {
            *reason = where + "a message must start with F0";
            return false;
        }
        size_t end = at + 1;
        while (end < bytes.size() && bytes[end] != kEnd) {
            if (bytes[end] & 0x80) {
                *reason = where + "the message holds " + Hex(bytes[end]) + ", not MIDI data";
                return false;
            }
            ++end;
        }
        if (end == bytes.size()) {
            *reason = where + "the message has no closing F7";
            return false;
        }
        const uint8_t* message = bytes.data() + at;
        const int size = static_cast<int>(end - at + 1);
        // Only DW-8000 messages: the low four bits of the device byte are 3.
        if (size < 6 || message[1] != kManufacturer || (message[3] & 0x0F) != 3) {
            *reason = where + "not a DW-8000 message";
            return false;
        }
        bool ok;
        if (message[4] == kProgramDump && size == kDumpSize) {
            ok = placer.Dump(message + 5, reason);
        } else if (message[4] == kWriteRequest && size == kWriteRequestSize) {
            ok = placer.WriteRequest(message[5], reason);
        } else {
            *reason = "function " + Hex(message[4]) + " in a message of " + std::to_string(size) +
                      " bytes: only program dumps of 57 bytes and write requests belong in a bank";
            ok = false;
        }
        if (!ok) {
            *reason = where + *reason;
            return false;
        }
        at = end + 1;
    }
    return placer.Finish(reason);
}

bool ParseHexText(const std::string& text, std::vector<uint8_t>* bytes, std::string* reason) {
    bytes->clear();
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\n') {
            ++line, ++i;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else {
            size_t end = i;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
                ++end;
            std::string token = text.substr(i, end - i);
            if (token.size() != 2 || HexDigit(token[0]) < 0 || HexDigit(token[1]) < 0) {
                *reason = "line " + std::to_string(line) + ": '" + token +
                          "' is not a two-digit hexadecimal byte";
                return false;
            }
            bytes->push_back(static_cast<uint8_t>(HexDigit(token[0]) * 16 + HexDigit(token[1])));
            i = end;
        }
    }
    return true;
}

bool ReadTapeBank(const std::vector<uint8_t>& bytes, std::vector<HardwareProgram>* programs,
                  std::string* reason) {
    if (bytes.size() != static_cast<size_t>(kTapeBankBytes)) {
        *reason = "a DW-8000 tape bank is " + std::to_string(kTapeBankBytes) + " bytes, not " +
                  std::to_string(bytes.size());
        return false;
    }
    programs->assign(kTapePrograms, HardwareProgram{});
    for (int p = 0; p < kTapePrograms; ++p) {
        const uint8_t* record = bytes.data() + kTapeHeaderBytes + p * kTapeProgramRecordBytes;
        uint8_t stored = record[kTapeProgramDataBytes];
        if (TapeChecksum(record) != stored) {
            *reason = "program " + std::to_string(p) + ": checksum " + Hex(stored) +
                      ", but its data sums to " + Hex(TapeChecksum(record));
            return false;
        }
        TapeField fields[kTapeFieldCount];
        UnpackTapeProgram(record, fields);
        for (const TapeField& field : fields)
            (*programs)[p][field.parameter] = ValueOf(field.parameter, field.value);
    }
    return true;
}

} // namespace bankgen
