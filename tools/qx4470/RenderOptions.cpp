// Parsing of the render command line: two positional arguments and named options, each
// written "--name value" or "--name=value".
#include "tools/qx4470/RenderOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

bool ParseInteger(const std::string& text, long minimum, long maximum, int* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < minimum || parsed > maximum) return false;
    *value = (int)parsed;
    return true;
}

bool ParseNumber(const std::string& text, double maximum, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    double parsed = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(parsed) || parsed < 0 || parsed > maximum) return false;
    *value = parsed;
    return true;
}

// "INDEX=VALUE": a parameter number from 0 and a normalised value from 0 to 1.
bool ParseParameterSetting(const std::string& text, ParameterSetting* setting) {
    size_t equals = text.find('=');
    if (equals == std::string::npos) return false;
    int index = 0;
    double value = 0.0;
    if (!ParseInteger(text.substr(0, equals), 0, 0x7FFFFFFF, &index) ||
        !ParseNumber(text.substr(equals + 1), 1.0, &value))
        return false;
    *setting = {index, value};
    return true;
}

} // namespace

bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options,
                        std::string* error) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name.size() < 2 || name[0] != '-') {
            positional.push_back(name);
            continue;
        }
        std::string value;
        bool hasValue = false;
        size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (name == "--double" || name == "--float") {
            if (hasValue) {
                *error = name + " takes no value";
                return false;
            }
            options->processDouble = name == "--double";
            continue;
        }
        bool known = name == "-o" || name == "--output" || name == "--rate" || name == "--block" ||
                     name == "--format" || name == "--program" || name == "--load" ||
                     name == "--tail" || name == "--set";
        if (!known) {
            *error = "unknown option " + name;
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                *error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (name == "-o" || name == "--output") {
            options->output = value;
        } else if (name == "--load") {
            options->presetFile = value;
        } else if (name == "--rate") {
            if (!ParseInteger(value, kMinSampleRate, kMaxSampleRate, &options->sampleRate)) {
                *error = "--rate must be a whole number of Hz from " +
                         std::to_string(kMinSampleRate) + " to " + std::to_string(kMaxSampleRate);
                return false;
            }
        } else if (name == "--block") {
            if (!ParseInteger(value, 1, kMaxBlockSize, &options->blockSize)) {
                *error =
                    "--block must be a whole number from 1 to " + std::to_string(kMaxBlockSize);
                return false;
            }
        } else if (name == "--format") {
            if (!wav::ParseSampleFormat(value, &options->format)) {
                *error = "--format must be s16, s24 or f32";
                return false;
            }
        } else if (name == "--program") {
            if (!ParseInteger(value, 0, 0x7FFFFFFF, &options->program)) {
                *error = "--program must be a program number from 0";
                return false;
            }
        } else if (name == "--set") {
            ParameterSetting setting;
            if (!ParseParameterSetting(value, &setting)) {
                *error = "--set takes INDEX=VALUE, a parameter number and a value from 0 to 1";
                return false;
            }
            options->parameters.push_back(setting);
        } else if (name == "--tail") {
            if (!ParseNumber(value, kMaxTailSeconds, &options->tailSeconds)) {
                *error = "--tail must be a number of seconds from 0 to 3600";
                return false;
            }
        }
    }
    if (positional.size() != 2) {
        *error = "render needs a plug-in and a MIDI file";
        return false;
    }
    options->plugin = positional[0];
    options->midiFile = positional[1];
    if (options->output.empty()) {
        *error = "render needs an output file (-o out.wav)";
        return false;
    }
    return true;
}
