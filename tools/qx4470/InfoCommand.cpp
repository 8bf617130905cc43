// qx4470 info PLUGIN: everything a host learns about a plug-in when it scans it.
#include "tools/qx4470/Commands.h"
#include "tools/qx4470/PluginHost.h"
#include "tools/qx4470/PresetFile.h"

#include <cstdio>

namespace {

std::string FlagNames(VstInt32 flags) {
    static const struct {
        VstInt32 flag;
        const char* name;
    } kNames[] = {
        {effFlagsHasEditor, "HasEditor"},
        {effFlagsCanMono, "CanMono"},
        {effFlagsCanReplacing, "CanReplacing"},
        {effFlagsProgramChunks, "ProgramChunks"},
        {effFlagsIsSynth, "IsSynth"},
        {effFlagsNoSoundInStop, "NoSoundInStop"},
        {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
    };
    std::string text;
    for (const auto& entry : kNames)
        if (flags & entry.flag) text += (text.empty() ? "" : " ") + std::string(entry.name);
    return text;
}

const char* CategoryName(VstIntPtr category) {
    static const char* const kNames[] = {
        "unknown",     "effect",          "synth",       "analysis", "mastering", "spatialiser",
        "room effect", "surround effect", "restoration", "offline",  "shell",     "generator"};
    if (category < 0 || category >= (VstIntPtr)(sizeof kNames / sizeof kNames[0])) return "other";
    return kNames[category];
}

} // namespace

int RunInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        ReportError("info needs exactly one plug-in file (qx4470 help shows the usage)");
        return kExitUsage;
    }
    PluginHost host;
    std::string error;
    if (!host.Load(args[0], &error)) {
        ReportError(error);
        return kExitFailure;
    }
    AEffect* effect = host.Effect();
    host.Open();
    host.SetSampleRate(44100.0);
    host.SetBlockSize(512);

    VstIntPtr category = host.Dispatch(effGetPlugCategory);
    std::printf("Plug-in:    %s\n", args[0].c_str());
    std::printf("Name:       %s\n", host.Text(effGetEffectName).c_str());
    std::printf("Vendor:     %s\n", host.Text(effGetVendorString).c_str());
    std::printf("Product:    %s\n", host.Text(effGetProductString).c_str());
    std::printf("Version:    %ld (effect record %d)\n", (long)host.Dispatch(effGetVendorVersion),
                effect->version);
    std::printf("VST:        %ld\n", (long)host.Dispatch(effGetVstVersion));
    std::printf("Unique ID:  %s (0x%08X)\n", fx::FourCharCode(effect->uniqueID).c_str(),
                (unsigned)effect->uniqueID);
    std::printf("Inputs:     %d\n", effect->numInputs);
    std::printf("Outputs:    %d\n", effect->numOutputs);
    std::printf("Flags:      0x%X %s\n", (unsigned)effect->flags, FlagNames(effect->flags).c_str());
    std::printf("Category:   %ld (%s)\n", (long)category, CategoryName(category));

    std::printf("Parameters: %d\n", effect->numParams);
    for (VstInt32 i = 0; i < effect->numParams; ++i) {
        std::string name = host.Text(effGetParamName, i);
        std::string display = host.Text(effGetParamDisplay, i);
        std::string label = host.Text(effGetParamLabel, i);
        float value = effect->getParameter ? effect->getParameter(effect, i) : 0.0f;
        std::printf("  %3d  %-24s  %-16s  %-8s  %.6f\n", i, name.c_str(), display.c_str(),
                    label.c_str(), value);
    }
    std::printf("Programs:   %d\n", effect->numPrograms);
    for (VstInt32 i = 0; i < effect->numPrograms; ++i) {
        VstIntPtr answered = 0;
        std::string name = host.Text(effGetProgramNameIndexed, i, &answered);
        std::printf("  %3d  %s\n", i, name.empty() && !answered ? "(no name given)" : name.c_str());
    }

    host.Unload();
    return kExitOk;
}
