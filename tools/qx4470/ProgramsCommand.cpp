// qx4470 programs FILE: the names and main settings of the programs in a .syx, .fxp or .fxb file.
#include "tools/qx4470/Commands.h"
#include "tools/qx4470/ProgramFiles.h"

#include <cstdio>

namespace {

std::string Show(QX4470& synth, int index) {
    char text[kParamTextCapacity] = {0};
    const IParameter* param = synth.GetParameter(index);
    param->FormatValue(param->Value(), false, text, true);
    return text;
}

// One line per program: its number on the keypad, name, model, assign mode and voices, the two
// oscillators (octave, waveform, level), filter, amplifier envelope and delay level.
void PrintProgram(QX4470& synth, int program) {
    synth.ApplyPreset(program);
    std::printf(
        "%2d %-3s %-24s %-4s %-8s v%-2s  osc1 %-3s w%-2s l%-2s  osc2 %-3s w%-2s l%-2s  "
        "vcf %-2s r%-2s  vca %s/%s/%s/%s/%s/%s  dly %s\n",
        program,
        ("[" + std::to_string(program / 8 + 1) + std::to_string(program % 8 + 1) + "]").c_str(),
        synth.GetPresetName(program), Show(synth, kEngineMode).c_str(),
        Show(synth, kAssignMode).c_str(), Show(synth, kVoices).c_str(),
        Show(synth, kOsc1Octave).c_str(), Show(synth, kOsc1Waveform).c_str(),
        Show(synth, kOsc1Level).c_str(), Show(synth, kOsc2Octave).c_str(),
        Show(synth, kOsc2Waveform).c_str(), Show(synth, kOsc2Level).c_str(),
        Show(synth, kVcfCutoff).c_str(), Show(synth, kVcfResonance).c_str(),
        Show(synth, kVcaEgAttack).c_str(), Show(synth, kVcaEgDecay).c_str(),
        Show(synth, kVcaEgBreakPoint).c_str(), Show(synth, kVcaEgSlope).c_str(),
        Show(synth, kVcaEgSustain).c_str(), Show(synth, kVcaEgRelease).c_str(),
        Show(synth, kDelayLevel).c_str());
}

} // namespace

int RunPrograms(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        ReportError("usage: qx4470 programs FILE (.syx, .fxp or .fxb)");
        return kExitUsage;
    }
    LoadedPrograms loaded;
    std::unique_ptr<QX4470> synth = OpenProgramFile(args[0], &loaded);
    if (!synth) return kExitFailure;
    for (int program : loaded.programs)
        PrintProgram(*synth, program);
    return kExitOk;
}
