// qx4470: a command-line host for VST 2 instruments. It loads a plug-in from its file exactly as
// a host does, lists what the plug-in offers, and renders MIDI files through it to WAV files. It
// also converts the hardware's SysEx files through the instrument's own code.
#include "tools/qx4470/Commands.h"

#include <cstdio>
#include <cstring>

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
};

// New subcommands are added here, each in a file of its own.
const Command kCommands[] = {
    {"info", RunInfo},
    {"render", RunRender},
    {"convert", RunConvert},
    {"programs", RunPrograms},
    {"tape", RunTape},
    {"edit", RunEdit},
};

const char kUsage[] =
    "usage:\n"
    "  qx4470 info PLUGIN\n"
    "      Lists the plug-in's name, vendor, version, unique ID, inputs and outputs, flags,\n"
    "      category, every parameter (index, name, display, label, normalised value) and\n"
    "      every program name.\n"
    "  qx4470 render PLUGIN SONG.mid -o OUT.wav [options]\n"
    "      Plays a Standard MIDI File (format 0 or 1) through the plug-in and writes the first\n"
    "      two outputs as a stereo WAV file (a mono plug-in fills both channels). The file\n"
    "      ends the release tail after the last MIDI event.\n"
    "      --rate HZ        sample rate (default 44100)\n"
    "      --block N        frames per processing block, 1 or more (default 512)\n"
    "      --double         process in double precision (default: single, --float)\n"
    "      --format F       s16, s24 (PCM, clipped to [-1, 1]) or f32 (default s16)\n"
    "      --program N      select program N before playing\n"
    "      --load FILE      load an FXP program or FXB bank before playing\n"
    "      --tail SEC       release tail after the last event in seconds (default 2)\n"
    "      --set I=V        set parameter I to the normalised value V (0 to 1) after the\n"
    "                       program is selected; may be repeated\n"
    "  qx4470 convert IN OUT\n"
    "      Converts between the hardware's SysEx files (.syx: one program, a bank, or a\n"
    "      stream of messages with write requests; DW-8000 or DW-6000) and QX-4470 program\n"
    "      (.fxp) and bank (.fxb) files, through the instrument's own code. Programs a file\n"
    "      does not set come from factory bank A.\n"
    "  qx4470 programs FILE\n"
    "      Lists the programs a .syx, .fxp or .fxb file sets, with their main settings.\n"
    "  qx4470 tape IN.wav OUT [options]\n"
    "      Decodes a WAV recording of a DW-8000 tape dump into a bank file (.fxb) or a SysEx\n"
    "      bank (.syx, each program with a write request) and prints what it found. Exits 3\n"
    "      (the file written all the same) when programs failed their checksum.\n"
    "      --highpass HZ    high-pass pre-filter against hum and rumble (default off)\n"
    "      --lowpass HZ     low-pass pre-filter against hiss (default off)\n"
    "      --threshold P    level an extreme must pass, in percent of the mean (default 50)\n"
    "      --auto           try a grid of settings until one reads every program intact\n"
    "  qx4470 edit PLUGIN [options]\n"
    "      Opens the plug-in's editor in a window of its own and keeps it running (idle calls\n"
    "      about 30 times a second) until the window is closed. Plays nothing.\n"
    "      --program N      select program N first\n"
    "      --screenshot OUT.png  save the window's pixels after a while, then exit\n"
    "      --after MS       when to take the screenshot, in milliseconds (default 1000)\n"
    "  qx4470 help\n"
    "      Shows this text.\n";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "help") == 0 || std::strcmp(name, "--help") == 0 ||
        std::strcmp(name, "-h") == 0) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& command : kCommands)
        if (std::strcmp(command.name, name) == 0) return command.run(args);
    ReportError(std::string("unknown command '") + name + "' (qx4470 help lists the commands)");
    return kExitUsage;
}
