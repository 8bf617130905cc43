// The event schedule: events land in the block that holds their frame, with the offset inside
// that block, and every block gets a list, empty or not.
#include "tools/qx4470/EventSchedule.h"

#include "SmfBuilder.h"
#include "SongReading.h"

#include <gtest/gtest.h>

#include <string>

using namespace testmidi;

TEST(EventSchedule, EventsGoToTheirBlockWithOffsets) {
    // 100 ticks per quarter at 120 bpm: one tick is 5 ms, 5 frames at 1000 Hz.
    Track track;
    track.At(0, {0x90, 1, 1})
        .At(12, {0x90, 2, 1}) // frame 60
        .At(13, {0x90, 3, 1}) // frame 65
        .At(40, {0x90, 4, 1}) // frame 200
        .At(40, {0x80, 4, 0}) // same frame, kept in order
        .End(40);
    midi::Song song = ReadOk(Song(0, 100, {track}));
    midi::TempoMap map(song);
    EventSchedule schedule(song, map, 1000.0);
    ASSERT_EQ(schedule.Count(), 5u);
    EXPECT_EQ(schedule.LastFrame(), 200);

    struct Expected {
        int64_t start;
        std::vector<std::pair<int, int>> keysAndOffsets;
    };
    const std::vector<Expected> blocks = {
        {0, {{1, 0}, {2, 60}}}, {64, {{3, 1}}}, {128, {}}, {192, {{4, 8}, {4, 8}}}, {256, {}}};
    for (const Expected& block : blocks) {
        VstEvents* events = schedule.EventsFor(block.start, 64);
        ASSERT_EQ(events->numEvents, (int)block.keysAndOffsets.size()) << block.start;
        for (size_t i = 0; i < block.keysAndOffsets.size(); ++i) {
            auto* midi = reinterpret_cast<VstMidiEvent*>(events->events[i]);
            EXPECT_EQ(midi->type, kVstMidiType);
            EXPECT_EQ(midi->byteSize, (int)sizeof(VstMidiEvent));
            EXPECT_EQ(midi->midiData[1], block.keysAndOffsets[i].first);
            EXPECT_EQ(midi->deltaFrames, block.keysAndOffsets[i].second);
        }
    }
}

TEST(EventSchedule, BlockOfOneFrameAndSysEx) {
    Track track;
    track.At(1, {0xF0, 0x03, 0x7D, 0x05, 0xF7}).At(2, {0x90, 9, 9}).End(2);
    midi::Song song = ReadOk(Song(0, 100, {track}));
    midi::TempoMap map(song);
    EventSchedule schedule(song, map, 1000.0);
    int delivered = 0;
    for (int64_t frame = 0; frame <= schedule.LastFrame(); ++frame) {
        VstEvents* events = schedule.EventsFor(frame, 1);
        for (int i = 0; i < events->numEvents; ++i, ++delivered) {
            EXPECT_EQ(events->events[i]->deltaFrames, 0);
            if (frame == 5) {
                ASSERT_EQ(events->events[i]->type, kVstSysExType);
                auto* sysex = reinterpret_cast<VstMidiSysexEvent*>(events->events[i]);
                EXPECT_EQ(sysex->byteSize, (int)sizeof(VstMidiSysexEvent));
                ASSERT_EQ(sysex->dumpBytes, 4);
                EXPECT_EQ(std::string(sysex->sysexDump, 4), std::string("\xF0\x7D\x05\xF7", 4));
            } else {
                EXPECT_EQ(frame, 10);
                EXPECT_EQ(events->events[i]->type, kVstMidiType);
            }
        }
    }
    EXPECT_EQ(delivered, 2);
}
