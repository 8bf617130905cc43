// qx4470 tape IN.wav OUT: decodes a DW-8000 cassette recording into a bank file (.fxb) or a
// SysEx bank (.syx, each dump followed by a write request), through the instrument's own tape
// reader. --auto searches pre-filter and threshold settings for worn tapes.
#include "host/FileIO.h"
#include "host/Os.h"
#include "instrument/SysExFormat.h"
#include "tape/TapeLoad.h"
#include "tape/TapeSearch.h"
#include "tools/qx4470/Commands.h"
#include "tools/qx4470/ProgramFiles.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

const char kUsage[] = "usage: qx4470 tape IN.wav OUT.fxb|OUT.syx [--highpass HZ] [--lowpass HZ] "
                      "[--threshold PERCENT] [--auto]";

struct TapeOptions {
    std::string in, out;
    TapeSettings settings;
    bool search = false;
};

bool ParsePositive(const std::string& text, double max, double* value) {
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(parsed > 0) || parsed > max) return false;
    *value = parsed;
    return true;
}

bool ParseTapeOptions(const std::vector<std::string>& args, TapeOptions* options) {
    std::vector<std::string> files;
    bool explicitSettings = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--auto") {
            options->search = true;
            continue;
        }
        if (arg != "--highpass" && arg != "--lowpass" && arg != "--threshold") {
            if (arg.size() > 1 && arg[0] == '-') return false;
            files.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) return false;
        const std::string& value = args[++i];
        explicitSettings = true;
        TapeSettings& s = options->settings;
        if (arg == "--highpass") {
            if (!ParsePositive(value, 1e6, &s.highpassFrequency)) return false;
            s.highpassEnabled = true;
        } else if (arg == "--lowpass") {
            if (!ParsePositive(value, 1e6, &s.lowpassFrequency)) return false;
            s.lowpassEnabled = true;
        } else if (!ParsePositive(value, 100, &s.threshold)) {
            return false;
        }
    }
    if (files.size() != 2 || (options->search && explicitSettings)) return false;
    options->in = files[0];
    options->out = files[1];
    return true;
}

std::string Describe(const TapeSettings& s) {
    char text[160];
    std::snprintf(
        text, sizeof text, "high-pass %s, low-pass %s, threshold %.0f %%",
        s.highpassEnabled ? (std::to_string(int(s.highpassFrequency)) + " Hz").c_str() : "off",
        s.lowpassEnabled ? (std::to_string(int(s.lowpassFrequency)) + " Hz").c_str() : "off",
        s.threshold);
    return text;
}

// A progress line on the terminal, once the work has taken long enough to need one.
class Progress {
public:
    Progress() : shown_(os::StandardErrorIsTerminal()), start_(Clock::now()) {}
    ~Progress() { Clear(); }
    void Show(const char* what, double fraction) {
        if (!shown_ || Clock::now() - start_ < std::chrono::milliseconds(500)) return;
        std::fprintf(stderr, "\r%s %3d%%", what, static_cast<int>(fraction * 100));
        std::fflush(stderr);
        dirty_ = true;
    }
    void Clear() {
        if (!dirty_) return;
        std::fprintf(stderr, "\r%40s\r", "");
        dirty_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    bool shown_;
    bool dirty_ = false;
    Clock::time_point start_;
};

// The 64 programs as dumps, each followed by the request to store it in its place.
bool SaveSysExBank(QX4470& synth, const std::string& path) {
    ChunkBuffer file;
    for (int i = 0; i < synth.NPresets(); ++i) {
        synth.ApplyPreset(i);
        synth.BuildProgramDump(file);
        sysex::AppendHeader(file, false, sysex::kWriteRequest);
        file.AppendByte(static_cast<uint8_t>(i));
        file.AppendByte(sysex::kEnd);
    }
    synth.ApplyPreset(0);
    return WriteWholeFile(path, file);
}

bool SaveBank(QX4470& synth, const std::string& path, ProgramFileKind kind) {
    const std::string part = path + ".part";
    const bool saved =
        kind == ProgramFileKind::Bank ? synth.SaveBankFile(part) : SaveSysExBank(synth, part);
    if (saved && os::ReplaceFile(part, path)) return true;
    std::remove(part.c_str());
    return false;
}

} // namespace

int RunTape(const std::vector<std::string>& args) {
    TapeOptions options;
    if (!ParseTapeOptions(args, &options)) {
        ReportError(kUsage);
        return kExitUsage;
    }
    const ProgramFileKind kind = KindOfPath(options.out);
    if (kind != ProgramFileKind::Bank && kind != ProgramFileKind::SysEx) {
        ReportError(options.out + ": a tape holds a bank: the name must end in .fxb or .syx");
        return kExitUsage;
    }

    TapeReader reader;
    std::vector<uint8_t> bytes;
    TapeSettings used = options.settings;
    {
        Progress progress;
        if (!reader.Open(options.in, [&](double done) { progress.Show("reading", done); })) {
            progress.Clear();
            ReportError(options.in + ": Cannot load file! (" + reader.FailureReason() + ")");
            return kExitFailure;
        }
        if (options.search) {
            const TapeSearchResult found = SearchTapeSettings(reader, [&](int tried, int total) {
                progress.Show("searching", double(tried) / total);
            });
            bytes = found.bytes;
            used = found.settings;
        } else {
            reader.Decode(options.settings);
            bytes = reader.Bytes();
        }
    }
    if (bytes.empty()) {
        ReportError(options.in + ": Cannot load file! (no complete tape dump: leader, data and " +
                    "trailer" + (options.search ? ", with any setting)" : "; try --auto)"));
        return kExitFailure;
    }
    if (options.search) std::printf("settings: %s\n", Describe(used).c_str());

    std::unique_ptr<QX4470> synth = NewFileInstrument();
    bool dw6000 = false;
    if (!synth || !ApplyTapeStream(*synth, bytes, &dw6000)) {
        ReportError(options.in + ": " +
                    (dw6000 ? synth->tapeStatus
                            : "Cannot load file! (" + std::to_string(bytes.size()) +
                                  " bytes between leader and trailer, not a DW-8000 bank)"));
        return kExitFailure;
    }
    std::string status = synth->tapeStatus;
    if (!status.empty() && status.back() != '\n') status += '\n';
    std::fputs(status.c_str(), stdout);
    if (!SaveBank(*synth, options.out, kind)) {
        ReportError(options.out + ": cannot be written");
        return kExitFailure;
    }
    std::printf("%s: 64 programs\n", options.out.c_str());
    const size_t corrupt = CorruptTapePrograms(bytes).size();
    if (corrupt == 0) return kExitOk;
    if (options.search)
        ReportError("no setting read every program intact; kept the one with the fewest bad "
                    "programs (" +
                    std::to_string(corrupt) + ")");
    return kExitDamaged;
}
