// Loading FXP/FXB files into a plug-in.
#include "tools/qx4470/PresetLoader.h"

#include <vector>

namespace {

bool CheckValueCount(const AEffect* effect, const fx::Program& program, std::string* error) {
    if ((VstInt32)program.values.size() == effect->numParams) return true;
    *error = "the file holds " + std::to_string(program.values.size()) +
             " parameter values, the plug-in has " + std::to_string(effect->numParams);
    return false;
}

void ApplyValues(PluginHost& host, const fx::Program& program) {
    AEffect* effect = host.Effect();
    if (!effect->setParameter) return;
    for (size_t i = 0; i < program.values.size(); ++i)
        effect->setParameter(effect, (VstInt32)i, program.values[i]);
}

void NameProgram(PluginHost& host, const std::string& name) {
    if (name.empty()) return;
    std::vector<char> text(name.begin(), name.end());
    text.push_back('\0');
    host.Dispatch(effSetProgramName, 0, 0, text.data());
}

bool SetChunk(PluginHost& host, fx::PresetFile& file, bool isBank, std::string* error,
              std::string* warning) {
    if (!host.HasFlag(effFlagsProgramChunks)) {
        *error = "the file holds a chunk, but the plug-in does not take chunks";
        return false;
    }
    VstIntPtr accepted =
        host.Dispatch(effSetChunk, isBank ? 0 : 1, (VstIntPtr)file.chunk.size(), file.chunk.data());
    // Many plug-ins answer 0 even to a chunk they took, so hosts ignore the answer and so does
    // this load; the caller still learns of it, since a plug-in may also mean a refusal.
    if (accepted == 0 && warning)
        *warning = std::string("the plug-in answered 0 to the ") + (isBank ? "bank" : "program") +
                   " chunk (many plug-ins always do; others mean they refused it)";
    return true;
}

} // namespace

bool LoadPresetFile(PluginHost& host, fx::PresetFile& file, std::string* error,
                    std::string* warning) {
    AEffect* effect = host.Effect();
    if (file.fxId != effect->uniqueID) {
        *error = "the file is for plug-in " + fx::FourCharCode(file.fxId) + ", this one is " +
                 fx::FourCharCode(effect->uniqueID);
        return false;
    }
    switch (file.kind) {
    case fx::Kind::ProgramChunk:
        return SetChunk(host, file, false, error, warning);
    case fx::Kind::BankChunk:
        return SetChunk(host, file, true, error, warning);
    case fx::Kind::ProgramParams:
        if (!CheckValueCount(effect, file.program, error)) return false;
        ApplyValues(host, file.program);
        NameProgram(host, file.program.name);
        return true;
    case fx::Kind::BankParams: {
        if (file.numPrograms > effect->numPrograms) {
            *error = "the bank holds " + std::to_string(file.numPrograms) +
                     " programs, the plug-in has " + std::to_string(effect->numPrograms);
            return false;
        }
        for (const fx::Program& program : file.programs)
            if (!CheckValueCount(effect, program, error)) return false;
        for (size_t i = 0; i < file.programs.size(); ++i) {
            host.Dispatch(effSetProgram, 0, (VstIntPtr)i);
            ApplyValues(host, file.programs[i]);
            NameProgram(host, file.programs[i].name);
        }
        int current = file.currentProgram;
        if (current < 0 || current >= effect->numPrograms) current = 0;
        host.Dispatch(effSetProgram, 0, current);
        return true;
    }
    }
    return false;
}
