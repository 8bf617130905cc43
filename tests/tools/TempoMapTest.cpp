// The tempo map: ticks to seconds and sample frames across tempo changes from any track, and
// the musical position reported to the plug-in.
#include "tools/qx4470/TempoMap.h"

#include "SmfBuilder.h"
#include "SongReading.h"

#include <gtest/gtest.h>

using namespace testmidi;

TEST(TempoMap, DefaultTempoIs120) {
    Track track;
    track.End(0);
    midi::TempoMap map(ReadOk(Song(0, 480, {track})));
    EXPECT_DOUBLE_EQ(map.SecondsAt(480), 0.5);
    EXPECT_EQ(map.FrameAt(480, 44100), 22050);
    EXPECT_EQ(map.FrameAt(1, 44100), 46); // 45.9375 rounds to the nearest frame
    midi::MusicalPosition position = map.PositionAt(1.0);
    EXPECT_DOUBLE_EQ(position.tempo, 120.0);
    EXPECT_DOUBLE_EQ(position.quarters, 2.0);
    EXPECT_EQ(position.numerator, 4);
    EXPECT_EQ(position.denominator, 4);
}

TEST(TempoMap, TempoChangeMidSongFromAnotherTrackMovesLaterEvents) {
    Track notes;
    notes.At(0, {0x90, 60, 1}).End(3000);
    Track conductor;
    // 120 beats per minute, then 240 from the third beat, then 60 from tick 1920.
    conductor.Tempo(960, 250000).Tempo(1920, 1000000).End(1920);
    midi::TempoMap map(ReadOk(Song(1, 480, {notes, conductor})));
    EXPECT_DOUBLE_EQ(map.SecondsAt(960), 1.0);
    EXPECT_DOUBLE_EQ(map.SecondsAt(1440), 1.25);
    EXPECT_DOUBLE_EQ(map.SecondsAt(1920), 1.5);
    EXPECT_DOUBLE_EQ(map.SecondsAt(2400), 2.5);
    EXPECT_EQ(map.FrameAt(1440, 44100), 55125);
    EXPECT_EQ(map.FrameAt(2400, 48000), 120000);
    EXPECT_EQ(map.FrameAt(1000, 1000), 1021); // 1.0 + 40 ticks at 240 bpm = 1.0208333 s

    EXPECT_DOUBLE_EQ(map.PositionAt(0.5).tempo, 120.0);
    EXPECT_DOUBLE_EQ(map.PositionAt(1.2).tempo, 240.0);
    EXPECT_DOUBLE_EQ(map.PositionAt(1.2).quarters, 2.8);
    EXPECT_DOUBLE_EQ(map.PositionAt(3.0).tempo, 60.0);
    EXPECT_DOUBLE_EQ(map.PositionAt(3.0).quarters, 5.5);
}

TEST(TempoMap, BarsFollowMeterChanges) {
    Track conductor;
    conductor.Meter(0, 3, 2).Meter(1440 * 2, 6, 3).End(1440 * 2);
    midi::TempoMap map(ReadOk(Song(1, 480, {conductor})));
    // 3/4 at 120 bpm: a bar is 1.5 s; at 2.0 s (4 quarters) the second bar began at 3.
    midi::MusicalPosition position = map.PositionAt(2.0);
    EXPECT_EQ(position.numerator, 3);
    EXPECT_DOUBLE_EQ(position.barStart, 3.0);
    // From quarter 6, 6/8 bars of 3 quarters each.
    position = map.PositionAt(5.0); // quarter 10
    EXPECT_EQ(position.numerator, 6);
    EXPECT_EQ(position.denominator, 8);
    EXPECT_DOUBLE_EQ(position.barStart, 9.0);
}

TEST(TempoMap, SmpteTimeIgnoresTempoEvents) {
    Track track;
    track.Tempo(0, 1000000).End(0);
    // 30 frames per second, 10 ticks per frame: 300 ticks a second.
    midi::TempoMap map(ReadOk(Song(0, (uint16_t)((0xE2 << 8) | 10), {track})));
    EXPECT_DOUBLE_EQ(map.SecondsAt(300), 1.0);
    EXPECT_EQ(map.FrameAt(450, 44100), 66150);
    // 29 means 29.97 drop-frame.
    midi::TempoMap dropFrame(ReadOk(Song(0, (uint16_t)((0xE3 << 8) | 1), {track})));
    EXPECT_NEAR(dropFrame.SecondsAt(30000), 1001.0, 1e-9);
}
