// Builds the MIDI events that test hosts hand to the plug-in.
#pragma once

#include "host/vst2.h"

#include <cstdint>
#include <cstring>

inline VstMidiEvent MidiEvent(int offset, uint8_t status, uint8_t data1, uint8_t data2 = 0) {
    VstMidiEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstMidiType;
    event.byteSize = sizeof(event);
    event.deltaFrames = offset;
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>(data1);
    event.midiData[2] = static_cast<char>(data2);
    return event;
}
