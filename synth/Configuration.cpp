#include "synth/Configuration.h"

#include "host/Os.h"
#include "synth/IniFile.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const char kStartupBank[] = "Startup Bank";
const char kEditor[] = "Editor";
const char kGlobal[] = "Global";
const char kMidiGlobal[] = "MIDI Global";
const char kTapeRead[] = "Tape Read";
const char kMidiControl[] = "MIDI Control";

const char kFile[] = "File";
const char kShowButtons[] = "Show Buttons";
const char kProgramFilesPath[] = "Path to Program Files";
const char kMidiThru[] = "MIDI Thru";
const char kIgnoreProgramChange[] = "Ignore Program Change";
const char kSendParamChangeSysEx[] = "Send Param Change SysEx";
const char kHighpassEnabled[] = "Highpass Enabled";
const char kLowpassEnabled[] = "Lowpass Enabled";
const char kHighpassFrequency[] = "Highpass Frequency";
const char kLowpassFrequency[] = "Lowpass Frequency";
const char kThreshold[] = "Threshold";

// Read capacities, terminator included: a path of up to 258 characters for the startup bank, 63
// characters for the short settings. The program-files folder is stored whole by the writer, so
// it is read with room for any path the platforms allow.
const int kPathCapacity = 259;
const int kTapeCapacity = 259;
const int kShortCapacity = 64;
const int kProgramFilesCapacity = 4096;

bool EqualsIgnoringCase(const std::string& text, const char* word) {
    size_t i = 0;
    for (; i < text.size() && word[i]; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return i == text.size() && !word[i];
}

// "Show Buttons" and the "MIDI Global" switches: a non-empty value is true exactly when it is
// "true" in any case; an empty or missing value keeps the setting.
void ReadSwitch(const IniDocument& ini, const char* section, const char* key, bool* target) {
    std::string value = ini.GetString(section, key, "", kShortCapacity);
    if (!value.empty()) *target = EqualsIgnoringCase(value, "true");
}

// The tape-reading numbers: taken only when positive and not written with a leading "0"; a
// missing key reads as the initial value.
void ReadTapeNumber(const IniDocument& ini, const char* key, const char* missing, double* target) {
    std::string value = ini.GetString(kTapeRead, key, missing, kTapeCapacity);
    int number = LeadingInteger(value);
    if (number > 0 && value.compare(0, 1, "0") != 0) *target = number;
}

const char* BoolText(bool value) {
    return value ? "true" : "false";
}

// "%i" of a value truncated toward zero; values outside the int range are limited to it instead
// of being undefined, and a NaN writes 0.
std::string IntegerText(double value) {
    if (std::isnan(value)) return "0";
    if (value >= static_cast<double>(INT_MAX)) return std::to_string(INT_MAX);
    if (value <= static_cast<double>(INT_MIN)) return std::to_string(INT_MIN);
    return std::to_string(static_cast<int>(value));
}

std::string Join(const std::string& folder, const char* name) {
    return folder + os::kPathSeparator + name;
}

// Creates the folder and, where allowed, every missing folder above it.
void CreateFolder(const std::string& folder) {
    if (os::DirectoryExists(folder)) return;
#ifdef _WIN32
    // The application-data folder exists on every Windows system: one level is enough.
    os::MakeDirectory(folder);
#else
    // A fresh system may have no ~/.config yet: create the whole missing path.
    for (size_t end = folder.find(os::kPathSeparator, 1); end != std::string::npos;
         end = folder.find(os::kPathSeparator, end + 1)) {
        std::string level = folder.substr(0, end);
        if (!level.empty() && !os::DirectoryExists(level)) os::MakeDirectory(level);
    }
    os::MakeDirectory(folder);
#endif
}

// Creates an empty file unless one exists; never shortens a file another instance has just
// written.
bool CreateEmptyFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) return false;
    return std::fclose(file) == 0;
}

// A path as stored: the reader trims blanks and strips matching quotes around a value, so a path
// that starts or ends with either is enclosed in double quotes to come back unchanged.
std::string PathValue(const std::string& path) {
    if (path.empty()) return path;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    bool blankEdge = blank(path.front()) || blank(path.back());
    bool quoted = path.size() >= 2 && path.front() == path.back() &&
                  (path.front() == '"' || path.front() == '\'');
    return (blankEdge || quoted) ? '"' + path + '"' : path;
}

// Empties the "Startup Bank" section and writes "File" (an empty path gives an empty value).
bool StoreStartupBank(IniDocument& ini, const std::string& path) {
    return ini.ReplaceSection(kStartupBank, {IniEntry(kFile, PathValue(path))});
}

} // namespace

ProcessSettings& ProcessSettings::Get() {
    static ProcessSettings settings;
    return settings;
}

int LeadingInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) {
            magnitude = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

Configuration::Configuration() {
    for (int& entry : ccMap)
        entry = -1;
}

void Configuration::Open() {
    Open(os::LocalAppDataFolder(), os::DocumentsFolder());
}

void Configuration::Open(const std::string& appDataFolder, const std::string& userDocumentsFolder) {
    std::string makerFolder = Join(appDataFolder, kMakerFolder);
    CreateFolder(makerFolder);
    iniPath = Join(makerFolder, kFileName);
    documentsFolder = userDocumentsFolder;
    programFilesPath = userDocumentsFolder;
    if (os::FileExists(iniPath) || CreateEmptyFile(iniPath)) ReadConfiguration();
}

int Configuration::ReadConfiguration() {
    if (!os::FileExists(iniPath)) return fileMissing;
    IniDocument ini;
    // A file that exists but stays unreadable (held by another program) is not taken as empty,
    // which would reset every setting; it reads nothing, like a missing file.
    if (!IniFile(iniPath).Load(&ini)) return fileMissing;
    ProcessSettings& process = ProcessSettings::Get();

    startupBankPath.clear();
    std::string bank = ini.GetString(kStartupBank, kFile, "", kPathCapacity);
    if (!bank.empty()) startupBankPath = bank;

    ReadSwitch(ini, kEditor, kShowButtons, &showProgramButtons);

    std::string folder = ini.GetString(kGlobal, kProgramFilesPath, "", kProgramFilesCapacity);
    if (!folder.empty()) programFilesPath = folder;

    ReadSwitch(ini, kMidiGlobal, kMidiThru, &midiThru);
    ReadSwitch(ini, kMidiGlobal, kIgnoreProgramChange, &ignoreProgramChange);
    ReadSwitch(ini, kMidiGlobal, kSendParamChangeSysEx, &sendParamChangeSysEx);

    // Unlike the switches above, the tape switches count only an exact "true".
    process.tapeHighpassEnabled =
        ini.GetString(kTapeRead, kHighpassEnabled, "false", kTapeCapacity) == "true";
    process.tapeLowpassEnabled =
        ini.GetString(kTapeRead, kLowpassEnabled, "false", kTapeCapacity) == "true";
    ReadTapeNumber(ini, kHighpassFrequency, "330", &process.tapeHighpassFrequency);
    ReadTapeNumber(ini, kLowpassFrequency, "5000", &process.tapeLowpassFrequency);
    ReadTapeNumber(ini, kThreshold, "50", &process.tapeThreshold);

    for (int controller = 0; controller < kControllerCount; ++controller) {
        std::string key = "CC" + std::to_string(controller);
        std::string value = ini.GetString(kMidiControl, key, "-1", kShortCapacity);
        if (value.empty()) continue;
        int parameter = LeadingInteger(value);
        ccMap[controller] = (parameter != 0 || value[0] == '0') ? parameter : -1;
    }
    return 0;
}

bool Configuration::WriteConfiguration(int group) {
    const ProcessSettings& process = ProcessSettings::Get();
    const bool all = group < 0;
    return IniFile(iniPath).Update([&](IniDocument& ini) {
        // A startup path that the format cannot hold fails the whole write.
        if (!StoreStartupBank(ini, startupBankPath)) return false;
        if (all || group == kGroupShowButtons)
            ini.SetString(kEditor, kShowButtons, BoolText(showProgramButtons));
        if (all || group == kGroupMidiThru)
            ini.SetString(kMidiGlobal, kMidiThru, BoolText(midiThru));
        if (all || group == kGroupIgnoreProgramChange)
            ini.SetString(kMidiGlobal, kIgnoreProgramChange, BoolText(ignoreProgramChange));
        if (all || group == kGroupSendParamChangeSysEx)
            ini.SetString(kMidiGlobal, kSendParamChangeSysEx, BoolText(sendParamChangeSysEx));
        if (all || group == kGroupTapeRead) {
            ini.SetString(kTapeRead, kHighpassEnabled, BoolText(process.tapeHighpassEnabled));
            ini.SetString(kTapeRead, kLowpassEnabled, BoolText(process.tapeLowpassEnabled));
            ini.SetString(kTapeRead, kHighpassFrequency,
                          IntegerText(process.tapeHighpassFrequency));
            ini.SetString(kTapeRead, kLowpassFrequency, IntegerText(process.tapeLowpassFrequency));
            ini.SetString(kTapeRead, kThreshold, IntegerText(process.tapeThreshold));
        }
        if (all) {
            std::vector<IniEntry> bound;
            for (int controller = 0; controller < kControllerCount; ++controller)
                if (ccMap[controller] != -1)
                    bound.emplace_back("CC" + std::to_string(controller),
                                       std::to_string(ccMap[controller]));
            ini.ReplaceSection(kMidiControl, bound);
        }
        return true;
    });
}

bool Configuration::WriteProgramFilesPath() {
    const std::string& lastFolder = ProcessSettings::Get().lastFolder;
    if (!lastFolder.empty()) programFilesPath = lastFolder;
    return IniFile(iniPath).WriteString(kGlobal, kProgramFilesPath, PathValue(programFilesPath));
}

bool Configuration::SelectStartupBank(const std::string& path) {
    startupBankPath = path;
    return WriteStartupBank();
}

bool Configuration::WriteStartupBank() {
    return IniFile(iniPath).Update(
        [&](IniDocument& ini) { return StoreStartupBank(ini, startupBankPath); });
}

bool Configuration::UnselectStartupBank() {
    startupBankPath.clear();
    return IniFile(iniPath).ReplaceSection(kStartupBank, {});
}
