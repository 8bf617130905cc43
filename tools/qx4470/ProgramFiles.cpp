#include "tools/qx4470/ProgramFiles.h"

#include "host/PluginEntry.h"
#include "instrument/SysExFormat.h"
#include "tools/qx4470/Commands.h"

#include "host/FileIO.h"

#include <algorithm>
#include <cctype>

namespace {
// A SysEx file of exactly one dump's size loads into the current program; any other is a bank
// or a stream of messages.
bool IsSingleProgramSysEx(const ChunkBuffer& data) {
    return data.Size() == sysex::kDw8000DumpSize || data.Size() == sysex::kDw6000DumpSize;
}
} // namespace

ProgramFileKind KindOfPath(const std::string& path) {
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return ProgramFileKind::Unknown;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "syx") return ProgramFileKind::SysEx;
    if (extension == "fxp") return ProgramFileKind::Program;
    if (extension == "fxb") return ProgramFileKind::Bank;
    return ProgramFileKind::Unknown;
}

std::unique_ptr<QX4470> NewFileInstrument() {
    std::unique_ptr<QX4470> synth(static_cast<QX4470*>(MakePlug(nullptr)));
    if (synth) synth->RestoreFactoryBank(0);
    return synth;
}

bool LoadProgramFile(QX4470& synth, const std::string& path, LoadedPrograms* loaded,
                     std::string* error) {
    std::vector<ChunkBuffer> before;
    std::vector<std::string> namesBefore;
    for (int i = 0; i < synth.NPresets(); ++i) {
        before.push_back(synth.GetPreset(i)->state);
        namesBefore.push_back(synth.GetPresetName(i));
    }
    bool ok = false;
    ChunkBuffer data;
    switch (KindOfPath(path)) {
    case ProgramFileKind::SysEx:
        if (!ReadWholeFile(path, data)) {
            *error = path + ": cannot be read";
            return false;
        }
        if (sysex::CountProgramDumps(data.Data(), data.Size()) == 0) {
            *error = path + ": holds no program dump";
            return false;
        }
        ok = synth.LoadSysExFile(path);
        if (!ok) *error = path + ": cannot be read, or holds a message of another instrument";
        break;
    case ProgramFileKind::Program:
        ok = synth.LoadProgramFile(path);
        if (!ok) *error = path + ": not a QX-4470 program file, or broken";
        break;
    case ProgramFileKind::Bank:
        ok = synth.LoadBankFile(path);
        if (!ok) *error = path + ": not a QX-4470 bank file, or broken";
        break;
    case ProgramFileKind::Unknown:
        *error = path + ": the name must end in .syx, .fxp or .fxb";
        return false;
    }
    if (!ok) return false;

    loaded->programs.clear();
    const ProgramFileKind kind = KindOfPath(path);
    loaded->bank = kind == ProgramFileKind::Bank ||
                   (kind == ProgramFileKind::SysEx && !IsSingleProgramSysEx(data));
    if (!loaded->bank) {
        loaded->programs.push_back(synth.GetCurrentPresetIndex());
        return true;
    }
    for (int i = 0; i < synth.NPresets(); ++i) {
        const bool changed =
            !(synth.GetPreset(i)->state == before[i]) || namesBefore[i] != synth.GetPresetName(i);
        if (kind == ProgramFileKind::Bank || changed) loaded->programs.push_back(i);
    }
    if (loaded->programs.empty()) {
        *error = path + ": sets no program (its dumps have no write requests)";
        return false;
    }
    return true;
}

std::unique_ptr<QX4470> OpenProgramFile(const std::string& path, LoadedPrograms* loaded) {
    std::unique_ptr<QX4470> synth = NewFileInstrument();
    std::string error = "cannot make the instrument";
    if (!synth || !LoadProgramFile(*synth, path, loaded, &error)) {
        ReportError(error);
        return nullptr;
    }
    return synth;
}
