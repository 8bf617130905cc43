// qx4470 edit PLUGIN: opens a plug-in's editor in a small window of its own, as a host would,
// and optionally saves a screenshot of it.
#include "tools/qx4470/Commands.h"
#include "tools/qx4470/EditWindow.h"
#include "tools/qx4470/PluginHost.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool ParseNonNegative(const std::string& text, int* value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed > INT_MAX) return false;
    *value = static_cast<int>(parsed);
    return true;
}

// Reads the options; on a mistake says what was wrong.
bool ParseEditArgs(const std::vector<std::string>& args, std::string* plugin, EditOptions* options,
                   std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--program" || arg == "--after" || arg == "--screenshot") {
            if (!hasValue) {
                *error = arg + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            if (arg == "--screenshot") {
                options->screenshotPath = value;
            } else if (!ParseNonNegative(value, arg == "--program" ? &options->program
                                                                   : &options->afterMs)) {
                *error = arg + " needs a whole number of 0 or more, not '" + value + "'";
                return false;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            *error = "unknown option '" + arg + "'";
            return false;
        } else if (plugin->empty()) {
            *plugin = arg;
        } else {
            *error = "edit takes one plug-in file";
            return false;
        }
    }
    if (plugin->empty()) {
        *error = "edit needs a plug-in file";
        return false;
    }
    return true;
}

} // namespace

int RunEdit(const std::vector<std::string>& args) {
    std::string pluginPath, error;
    EditOptions options;
    if (!ParseEditArgs(args, &pluginPath, &options, &error)) {
        ReportError(error + " (qx4470 help shows the usage)");
        return kExitUsage;
    }
    PluginHost host;
    if (!host.Load(pluginPath, &error)) {
        ReportError(error);
        return kExitFailure;
    }
    if (!host.HasFlag(effFlagsHasEditor)) {
        ReportError(pluginPath + " has no editor");
        return kExitFailure;
    }
    host.Open();
    host.SetSampleRate(44100.0);
    host.SetBlockSize(512);
    if (options.program >= 0) {
        if (options.program >= host.Effect()->numPrograms) {
            ReportError("--program " + std::to_string(options.program) +
                        " is out of range: " + "the plug-in has " +
                        std::to_string(host.Effect()->numPrograms) + " programs");
            return kExitUsage;
        }
        host.Dispatch(effSetProgram, 0, options.program);
    }
    return RunEditorWindow(host, options);
}
