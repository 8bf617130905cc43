// Hands a parsed FXP or FXB file to a plug-in the way a host loads one.
#pragma once

#include "tools/qx4470/PluginHost.h"
#include "tools/qx4470/PresetFile.h"

#include <string>

// Chunk files go through effSetChunk (index 0 for a bank, 1 for a program); parameter-list
// files through setParameter, program by program for a bank. Refuses files made for another
// plug-in, chunk files for a plug-in without chunks, and value lists whose sizes do not match
// the plug-in. On failure says why in `error`; a load that went through but may not have been
// taken is described in `warning` (may be null). The chunk is handed over in place, so `file`
// must outlive the plug-in's use of it (until the instance is closed).
bool LoadPresetFile(PluginHost& host, fx::PresetFile& file, std::string* error,
                    std::string* warning);
