#include "tools/bankgen/BankSource.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "tools/bankgen/HardwareData.h"

namespace bankgen {

namespace {

struct Field {
    std::string key;
    std::string value;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// Splits `key=value key="value with blanks" ...` into its fields.
bool SplitFields(const std::string& text, std::vector<Field>* fields, std::string* reason) {
    size_t i = 0;
    const size_t n = text.size();
    for (;;) {
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i == n) return true;
        Field field;
        while (i < n && text[i] != '=' && !IsBlank(text[i]))
            field.key += text[i++];
        if (i == n || text[i] != '=') {
            *reason = "field '" + field.key + "' has no '=value'";
            return false;
        }
        ++i;
        if (i < n && text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos) {
                *reason = "field '" + field.key + "' has an unterminated quote";
                return false;
            }
            field.value = text.substr(i + 1, close - i - 1);
            i = close + 1;
            if (i < n && !IsBlank(text[i])) {
                *reason = "field '" + field.key + "' has text right after its closing quote";
                return false;
            }
        } else {
            while (i < n && !IsBlank(text[i]))
                field.value += text[i++];
        }
        if (field.value.empty()) {
            *reason = "field '" + field.key + "' has no value";
            return false;
        }
        fields->push_back(field);
    }
}

// A plain decimal: optional sign, digits, optionally a point and more digits. Exponents, hex,
// "nan" and "inf" are refused so that every value in a source reads the same everywhere.
bool ParseDecimal(const std::string& text, double* value) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i, ++digits;
    if (digits == 0) return false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        size_t fraction = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, ++fraction;
        if (fraction == 0) return false;
    }
    if (i != text.size()) return false;
    *value = std::strtod(text.c_str(), nullptr);
    return true;
}

std::string Describe(int index) {
    return "\"" + std::string(kParameterTable[index].name) + "\"";
}

std::string RangeText(const ParameterInfo& info) {
    auto number = [](double v) {
        return v == std::floor(v) ? std::to_string(static_cast<int>(v)) : std::to_string(v);
    };
    return number(info.min) + ".." + number(info.max);
}

bool ParseEnum(int index, const std::string& text, double* value, std::string* reason) {
    const ParameterInfo& info = kParameterTable[index];
    for (int i = 0; i < info.textCount; ++i) {
        if (text == info.texts[i]) {
            *value = info.min + i;
            return true;
        }
    }
    *reason = Describe(index) + " has no setting '" + text + "'; it takes";
    for (int i = 0; i < info.textCount; ++i)
        *reason += " '" + std::string(info.texts[i]) + "'";
    return false;
}

bool ParseVoiceCount(const std::string& text, double* value, std::string* reason) {
    double count = 0;
    if (ParseDecimal(text, &count)) {
        for (int i = 0; i < 8; ++i) {
            if (count == kVoiceCounts[i]) {
                *value = kParameterTable[kVoices].min + i;
                return true;
            }
        }
    }
    *reason = "\"Voices\" takes a voice count of 1, 2, 4, 6, 8, 16, 32 or 64, not '" + text + "'";
    return false;
}

// "Edit Parameter" names the parameter by its key (or, less readably, by its index).
bool ParseEditParameter(const std::string& text, double* value, std::string* reason) {
    double index = -1;
    const FieldKey* key = FindFieldKey(text);
    if (key && key->count == 1) {
        index = key->first;
    } else if (!ParseDecimal(text, &index) || index != std::floor(index)) {
        *reason = "\"Edit Parameter\" takes the key of a parameter, not '" + text + "'";
        return false;
    }
    if (index < 0 || index >= kNumProgramParams || index == kAssignMode ||
        index == kEditParameter) {
        *reason = "\"Edit Parameter\" must select one of the parameters 0..50 other than "
                  "\"Mode\" and itself, not '" +
                  text + "'";
        return false;
    }
    *value = index;
    return true;
}

bool ParseNumber(int index, const std::string& text, double* value, std::string* reason) {
    const ParameterInfo& info = kParameterTable[index];
    double number = 0;
    if (!ParseDecimal(text, &number)) {
        *reason = Describe(index) + " takes a number, not '" + text + "'";
        return false;
    }
    double steps = (number - info.min) / info.step;
    if (std::fabs(steps - std::round(steps)) > 1e-9) {
        *reason = Describe(index) + " moves in steps of " +
                  (info.step == 1 ? std::string("1") : std::to_string(info.step)) + ", so '" +
                  text + "' is not a setting";
        return false;
    }
    if (number < info.min || number > info.max) {
        *reason = "value " + text + " out of range " + RangeText(info) + " of " + Describe(index);
        return false;
    }
    *value = number;
    return true;
}

bool ParseValue(int index, const std::string& text, double* value, std::string* reason) {
    const ParameterInfo& info = kParameterTable[index];
    if (info.kind == ParamKind::Enum) return ParseEnum(index, text, value, reason);
    if (index == kEditParameter) return ParseEditParameter(text, value, reason);
    if (info.display == ParamDisplay::VoiceCount) return ParseVoiceCount(text, value, reason);
    return ParseNumber(index, text, value, reason);
}

// With hardware data, parameters 0..50 come from it alone, so that no line can quietly
// contradict what the hardware stored.
bool ParseProgramFields(const std::string& text, bool hardwareData, ProgramValues* values,
                        std::string* reason) {
    std::vector<Field> fields;
    if (!SplitFields(text, &fields, reason)) return false;
    bool assigned[kNumParams] = {};
    for (const Field& field : fields) {
        const FieldKey* key = FindFieldKey(field.key);
        if (!key) {
            *reason = "unknown field '" + field.key + "'";
            return false;
        }
        // Only groups split at '/': "1/2" is one of the keyboard-track settings.
        std::vector<std::string> parts =
            key->count == 1 ? std::vector<std::string>{field.value} : Split(field.value, '/');
        if (static_cast<int>(parts.size()) != key->count) {
            *reason = "field '" + field.key + "' takes " + std::to_string(key->count) +
                      (key->count == 1 ? " value" : " values separated by '/'");
            return false;
        }
        for (int k = 0; k < key->count; ++k) {
            int index = key->first + k;
            if (assigned[index]) {
                *reason = "field '" + field.key + "' sets " + Describe(index) + " a second time";
                return false;
            }
            assigned[index] = true;
            if (hardwareData && index < kNumProgramParams) {
                *reason = "field '" + field.key + "': " + Describe(index) +
                          " comes from the hardware data; a line sets only the instrument's own "
                          "parameters";
                return false;
            }
            std::string why;
            if (!ParseValue(index, parts[k], &(*values)[index], &why)) {
                *reason = "field '" + field.key + "': " + why;
                return false;
            }
        }
    }
    return true;
}

class SourceParser {
public:
    SourceParser(BankSource* source, SourceError* error) : source_(source), error_(error) {}

    bool Run(const std::string& text) {
        std::vector<std::string> lines = Split(text, '\n');
        // A final newline does not start another line.
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        for (size_t i = 0; i < lines.size(); ++i) {
            line_ = static_cast<int>(i) + 1;
            std::string content = lines[i];
            if (!content.empty() && content.back() == '\r') content.pop_back();
            content = Trim(content);
            if (content.empty() || content[0] == '#') continue;
            bool ok = content.find('|') == std::string::npos ? Header(content) : Program(content);
            if (!ok) return false;
        }
        line_ = lines.empty() ? 1 : static_cast<int>(lines.size());
        if (!source_->bank) return Fail("the source has no 'bank:' header line");
        int count = static_cast<int>(source_->programs.size());
        if (count != kBankPrograms) {
            return Fail(std::string(source_->bank->id) + " needs " + std::to_string(kBankPrograms) +
                        " programs, the source has " + std::to_string(count));
        }
        return true;
    }

private:
    bool Fail(const std::string& reason) {
        error_->line = line_;
        error_->reason = reason;
        return false;
    }

    bool Header(const std::string& content) {
        size_t colon = content.find(':');
        if (colon == std::string::npos)
            return Fail("neither a header line 'key: value' nor a program line "
                        "'NAME | intent | fields'");
        if (!source_->programs.empty()) return Fail("header lines must come before the programs");
        std::string key = Trim(content.substr(0, colon));
        std::string value = Trim(content.substr(colon + 1));
        if (key == "bank") {
            if (source_->bank) return Fail("the bank is given twice");
            source_->bank = FindFactoryBank(value);
            if (!source_->bank)
                return Fail("unknown bank '" + value + "' (BANK_A, BANK_B or PROG6000)");
            return true;
        }
        if (key == "kind") {
            if (haveKind_) return Fail("the kind is given twice");
            if (!ParseProgramKind(value, &source_->kind))
                return Fail("unknown kind '" + value + "' (dw8000 or dw6000)");
            haveKind_ = true;
            return true;
        }
        if (key == "sysex" || key == "tape") {
            if (source_->dataKind != HardwareDataKind::None)
                return Fail("the hardware data is given twice");
            if (value.empty()) return Fail("'" + key + ":' names no file");
            source_->dataKind = key == "sysex" ? HardwareDataKind::SysEx : HardwareDataKind::Tape;
            source_->dataFile = value;
            return true;
        }
        return Fail("unknown header '" + key + "' (bank, kind, sysex or tape)");
    }

    bool Program(const std::string& content) {
        if (!source_->bank || !haveKind_)
            return Fail("the 'bank:' and 'kind:' header lines must come before the programs");
        std::vector<std::string> parts = Split(content, '|');
        if (parts.size() != 3)
            return Fail("a program line has three parts: NAME | intent | fields");
        SourceProgram program;
        program.name = Trim(parts[0]);
        program.intent = Trim(parts[1]);
        program.line = line_;
        int position = static_cast<int>(source_->programs.size());
        if (position >= kBankPrograms)
            return Fail(std::string(source_->bank->id) + " has only " +
                        std::to_string(kBankPrograms) + " programs; '" + program.name +
                        "' is one too many");
        const char* expected = source_->bank->names[position];
        if (program.name != expected) {
            return Fail("wrong name: program " + std::to_string(position + 1) + " of " +
                        source_->bank->id + " is \"" + expected + "\", not \"" + program.name +
                        "\"");
        }
        if (program.intent.empty()) return Fail("program \"" + program.name + "\" has no intent");
        program.values = KindDefaults(source_->kind);
        std::string reason;
        bool hardwareData = source_->dataKind != HardwareDataKind::None;
        if (!ParseProgramFields(parts[2], hardwareData, &program.values, &reason))
            return Fail(reason);
        source_->programs.push_back(program);
        return true;
    }

    BankSource* source_;
    SourceError* error_;
    int line_ = 0;
    bool haveKind_ = false;
};

} // namespace

bool ParseBankSource(const std::string& text, BankSource* source, SourceError* error) {
    *source = BankSource();
    return SourceParser(source, error).Run(text);
}

bool ApplyHardwareData(const std::vector<uint8_t>& bytes, BankSource* source, std::string* reason) {
    std::vector<HardwareProgram> programs;
    bool ok = false;
    if (source->dataKind == HardwareDataKind::SysEx) {
        ok = ReadSysExBank(bytes, &programs, reason);
    } else if (source->dataKind == HardwareDataKind::Tape) {
        std::vector<uint8_t> tape;
        ok = ParseHexText(std::string(bytes.begin(), bytes.end()), &tape, reason) &&
             ReadTapeBank(tape, &programs, reason);
    } else {
        *reason = "the source names no hardware data";
    }
    if (!ok) return false;
    for (size_t p = 0; p < source->programs.size() && p < programs.size(); ++p)
        std::copy(programs[p].begin(), programs[p].end(), source->programs[p].values.begin());
    return true;
}

} // namespace bankgen
