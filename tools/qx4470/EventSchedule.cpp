// Event scheduling: each event's time in seconds from the tempo map becomes a sample frame;
// each block gets the events whose frames fall inside it.
#include "tools/qx4470/EventSchedule.h"

#include <cstring>

EventSchedule::EventSchedule(const midi::Song& song, const midi::TempoMap& tempoMap,
                             double sampleRate)
    : sysexBytes_(song.sysexBytes) {
    size_t sysexCount = 0;
    for (const midi::Event& event : song.events)
        if (event.IsSysEx()) ++sysexCount;
    // Reserved up front: the order list points into these vectors.
    midiEvents_.reserve(song.events.size() - sysexCount);
    sysexEvents_.reserve(sysexCount);
    frames_.reserve(song.events.size());
    order_.reserve(song.events.size());

    for (const midi::Event& event : song.events) {
        frames_.push_back(tempoMap.FrameAt(event.tick, sampleRate));
        if (event.IsSysEx()) {
            VstMidiSysexEvent sysex;
            std::memset(&sysex, 0, sizeof sysex);
            sysex.type = kVstSysExType;
            sysex.byteSize = (VstInt32)sizeof sysex;
            sysex.dumpBytes = (VstInt32)event.sysexSize;
            sysex.sysexDump = reinterpret_cast<char*>(sysexBytes_.data() + event.sysexOffset);
            sysexEvents_.push_back(sysex);
            order_.push_back(reinterpret_cast<VstEvent*>(&sysexEvents_.back()));
        } else {
            VstMidiEvent midi;
            std::memset(&midi, 0, sizeof midi);
            midi.type = kVstMidiType;
            midi.byteSize = (VstInt32)sizeof midi;
            std::memcpy(midi.midiData, event.bytes, event.size);
            midiEvents_.push_back(midi);
            order_.push_back(reinterpret_cast<VstEvent*>(&midiEvents_.back()));
        }
    }
    list_.assign(2 + order_.size(), 0);
}

VstEvents* EventSchedule::EventsFor(int64_t start, int frames) {
    VstEvents* list = reinterpret_cast<VstEvents*>(list_.data());
    VstEvent** slots = reinterpret_cast<VstEvent**>(list_.data() + 2);
    VstInt32 count = 0;
    while (next_ < order_.size() && frames_[next_] < start + frames) {
        VstEvent* event = order_[next_];
        int64_t offset = frames_[next_] - start;
        event->deltaFrames = (VstInt32)(offset < 0 ? 0 : offset);
        slots[count++] = event;
        ++next_;
    }
    list->numEvents = count;
    list->reserved = 0;
    return list;
}
