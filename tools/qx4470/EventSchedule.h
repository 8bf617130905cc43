// The song's events as VST 2 events stamped with their sample frames, handed to the plug-in
// block by block with offsets inside the block.
#pragma once

#include "host/vst2.h"
#include "tools/qx4470/MidiFile.h"
#include "tools/qx4470/TempoMap.h"

#include <cstdint>
#include <vector>

class EventSchedule {
public:
    EventSchedule(const midi::Song& song, const midi::TempoMap& tempoMap, double sampleRate);
    EventSchedule(const EventSchedule&) = delete;
    EventSchedule& operator=(const EventSchedule&) = delete;

    size_t Count() const { return frames_.size(); }
    int64_t FrameOf(size_t index) const { return frames_[index]; }
    // The frame of the last event; -1 for a song without events.
    int64_t LastFrame() const { return frames_.empty() ? -1 : frames_.back(); }

    // The list for the block [start, start + frames): every event due in it, in song order,
    // with deltaFrames counted from `start`. Blocks must be asked for in order; an event left
    // behind by a skipped block is delivered at offset 0 of the next. The list stays valid
    // until the next call.
    VstEvents* EventsFor(int64_t start, int frames);

private:
    std::vector<int64_t> frames_;
    std::vector<VstMidiEvent> midiEvents_;
    std::vector<VstMidiSysexEvent> sysexEvents_;
    std::vector<VstEvent*> order_;
    std::vector<uint8_t> sysexBytes_;
    // Room for a VstEvents header and one pointer per event, pointer-aligned.
    std::vector<VstIntPtr> list_;
    size_t next_ = 0;
};
