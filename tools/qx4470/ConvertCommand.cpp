// qx4470 convert IN OUT: hardware SysEx files to program and bank files and back, through the
// instrument's own readers and writers.
#include "host/Os.h"
#include "tools/qx4470/Commands.h"
#include "tools/qx4470/ProgramFiles.h"

#include <cstdio>

namespace {

bool Save(QX4470& synth, const std::string& path, ProgramFileKind kind, bool bank) {
    switch (kind) {
    case ProgramFileKind::SysEx:
        return synth.SaveSysExFile(path, bank);
    case ProgramFileKind::Program:
        return synth.SaveProgramFile(path);
    case ProgramFileKind::Bank:
        return synth.SaveBankFile(path);
    default:
        return false;
    }
}

} // namespace

int RunConvert(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        ReportError("usage: qx4470 convert IN OUT (each .syx, .fxp or .fxb)");
        return kExitUsage;
    }
    const std::string& in = args[0];
    const std::string& out = args[1];
    const ProgramFileKind outKind = KindOfPath(out);
    if (outKind == ProgramFileKind::Unknown) {
        ReportError(out + ": the name must end in .syx, .fxp or .fxb");
        return kExitUsage;
    }
    LoadedPrograms loaded;
    std::unique_ptr<QX4470> synth = OpenProgramFile(in, &loaded);
    if (!synth) return kExitFailure;
    if (loaded.bank && outKind == ProgramFileKind::Program) {
        ReportError(in + " holds a bank: write it to a .fxb or .syx file");
        return kExitFailure;
    }
    // A single program goes out as the current program, a bank as all 64.
    synth->ApplyPreset(loaded.programs.front());
    const std::string part = out + ".part";
    if (!Save(*synth, part, outKind, loaded.bank) || !os::ReplaceFile(part, out)) {
        std::remove(part.c_str());
        ReportError(out + ": cannot be written");
        return kExitFailure;
    }
    std::printf("%s: %d program%s\n", out.c_str(), loaded.bank ? 64 : 1, loaded.bank ? "s" : "");
    return kExitOk;
}
