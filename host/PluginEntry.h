// Creating an instance for a host: what the exported entry points do.
#pragma once

#include "host/vst2.h"

class IPlugVST;

// Made by the instrument: constructs its instance for a host (null when it cannot).
IPlugVST* MakePlug(audioMasterCallback hostCallback);

// Under the process-wide creation lock: constructs the instance, gives every preset that is still
// empty the live state, and returns the effect record for the host (null on failure; no
// exception leaves).
AEffect* CreateEffectInstance(audioMasterCallback hostCallback);
