// The one place where the instrument's parameters meet a voice's sound: turns a parameter's
// raw value b and normalised value e (0..1) into the state of the voice's units.
#pragma once

#include "dsp/VoicePath.h"

// Applies one parameter to a voice. Indices that do not shape the voice are ignored. The
// instrument calls this for every voice with each changed parameter; a value reaching here
// has already been limited to the parameter's range.
void ApplyVoiceParameter(VoicePath& voice, int index, double b, double e);
