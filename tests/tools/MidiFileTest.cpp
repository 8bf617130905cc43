// The Standard MIDI File reader: both formats, merging, running status, SysEx, and malformed
// input that must fail cleanly with its own result.
#include "tools/qx4470/MidiFile.h"

#include "SmfBuilder.h"

#include <gtest/gtest.h>

#include <set>

using namespace testmidi;
using midi::ReadError;

namespace {

midi::ReadResult Read(const Bytes& bytes) {
    return midi::ReadSong(bytes.data(), bytes.size());
}

Bytes ShortBytes(const midi::Event& event) {
    return Bytes(event.bytes, event.bytes + event.size);
}

Bytes SysExBytes(const midi::Song& song, const midi::Event& event) {
    auto begin = song.sysexBytes.begin() + event.sysexOffset;
    return Bytes(begin, begin + event.sysexSize);
}

} // namespace

TEST(MidiFile, Format0WithRunningStatus) {
    Track track;
    track.At(0, {0x90, 60, 100})
        .At(96, {62, 90}) // running status: another note-on
        .At(192, {60, 0}) // note-on with velocity 0, still running
        .At(200, {0xC3, 5})
        .At(210, {7}) // running program change: one data byte
        .End(300);
    midi::ReadResult result = Read(Song(0, 96, {track}));
    ASSERT_TRUE(result.ok()) << midi::DescribeFailure(result);
    const midi::Song& song = result.song;
    EXPECT_EQ(song.format, 0);
    EXPECT_EQ(song.ticksPerQuarter, 96);
    EXPECT_EQ(song.endTick, 300u);
    ASSERT_EQ(song.events.size(), 5u);
    EXPECT_EQ(ShortBytes(song.events[1]), (Bytes{0x90, 62, 90}));
    EXPECT_EQ(song.events[1].tick, 96u);
    EXPECT_EQ(ShortBytes(song.events[2]), (Bytes{0x90, 60, 0}));
    EXPECT_EQ(ShortBytes(song.events[4]), (Bytes{0xC3, 7}));
    EXPECT_EQ(song.events[4].tick, 210u);
}

TEST(MidiFile, Format1MergesTracksByTickThenTrack) {
    Track conductor;
    conductor.Tempo(0, 500000).Meter(0, 3, 2).End(0);
    Track first;
    first.At(10, {0x90, 60, 1}).At(20, {0x90, 61, 1}).End(20);
    Track second;
    second.At(5, {0x91, 70, 1}).At(20, {0x91, 71, 1}).Tempo(20, 250000).End(30);
    midi::ReadResult result = Read(Song(1, 480, {conductor, first, second}));
    ASSERT_TRUE(result.ok()) << midi::DescribeFailure(result);
    const midi::Song& song = result.song;
    EXPECT_EQ(song.trackCount, 3);
    ASSERT_EQ(song.events.size(), 4u);
    EXPECT_EQ(song.events[0].bytes[1], 70);
    EXPECT_EQ(song.events[1].bytes[1], 60);
    // At tick 20 the first track's event comes before the second's.
    EXPECT_EQ(song.events[2].bytes[1], 61);
    EXPECT_EQ(song.events[2].track, 1u);
    EXPECT_EQ(song.events[3].bytes[1], 71);
    EXPECT_EQ(song.events[3].track, 2u);
    // Tempo changes come from any track; meta events never reach the event list.
    ASSERT_EQ(song.tempos.size(), 2u);
    EXPECT_EQ(song.tempos[1].tick, 20u);
    EXPECT_EQ(song.tempos[1].microsPerQuarter, 250000u);
    ASSERT_EQ(song.meters.size(), 1u);
    EXPECT_EQ(song.meters[0].numerator, 3);
    EXPECT_EQ(song.meters[0].denominator, 4);
    EXPECT_EQ(song.endTick, 30u);
}

TEST(MidiFile, SameTickTempoChangesKeepTheLast) {
    Track a;
    a.Tempo(100, 400000).End(100);
    Track b;
    b.Tempo(100, 300000).Tempo(100, 200000).End(100);
    midi::ReadResult result = Read(Song(1, 96, {a, b}));
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.song.tempos.size(), 1u);
    EXPECT_EQ(result.song.tempos[0].microsPerQuarter, 200000u);
}

TEST(MidiFile, SysExGetsItsF0BackAndPacketsAreJoined) {
    Track track;
    track
        .At(0, {0xF0, 0x04, 0x43, 0x10, 0x01, 0xF7})  // complete message
        .At(10, {0xF0, 0x02, 0x7E, 0x01})             // first packet, no F7
        .At(12, {0x90, 60, 100})                      // other events may come between
        .At(20, {0xF7, 0x03, 0x02, 0x03, 0xF7})       // last packet
        .At(30, {0xF7, 0x04, 0xF0, 0x41, 0x42, 0xF7}) // escaped complete message
        .At(40, {0xF7, 0x01, 0xF8})                   // escaped real-time byte
        .At(50, {0x80, 60, 0})                        // a new status afterwards
        .End(60);
    midi::ReadResult result = Read(Song(0, 96, {track}));
    ASSERT_TRUE(result.ok()) << midi::DescribeFailure(result);
    const midi::Song& song = result.song;
    ASSERT_EQ(song.events.size(), 6u);
    ASSERT_TRUE(song.events[0].IsSysEx());
    EXPECT_EQ(SysExBytes(song, song.events[0]), (Bytes{0xF0, 0x43, 0x10, 0x01, 0xF7}));
    // The split message is delivered whole, at the time of its first packet.
    ASSERT_TRUE(song.events[1].IsSysEx());
    EXPECT_EQ(song.events[1].tick, 10u);
    EXPECT_EQ(SysExBytes(song, song.events[1]), (Bytes{0xF0, 0x7E, 0x01, 0x02, 0x03, 0xF7}));
    EXPECT_FALSE(song.events[2].IsSysEx());
    EXPECT_EQ(SysExBytes(song, song.events[3]), (Bytes{0xF0, 0x41, 0x42, 0xF7}));
    EXPECT_EQ(ShortBytes(song.events[4]), (Bytes{0xF8}));
    EXPECT_EQ(ShortBytes(song.events[5]), (Bytes{0x80, 60, 0}));
}

TEST(MidiFile, RunningStatusOutlivesMetaEvents) {
    Track track;
    track.At(0, {0x90, 60, 100}).Tempo(10, 400000).At(20, {61, 100}).End(30);
    midi::ReadResult result = Read(Song(0, 96, {track}));
    ASSERT_TRUE(result.ok()) << midi::DescribeFailure(result);
    ASSERT_EQ(result.song.events.size(), 2u);
    EXPECT_EQ(ShortBytes(result.song.events[1]), (Bytes{0x90, 61, 100}));
}

TEST(MidiFile, EventsAfterEndOfTrackAndForeignChunksAreSkipped) {
    Track track;
    track.At(0, {0x90, 60, 100}).End(10).At(20, {0x90, 61, 100});
    Bytes bytes = Header(1, 1, 96);
    Bytes foreign{'X', 'Y', 'Z', 'W', 0, 0, 0, 3, 1, 2, 3};
    Append(bytes, foreign);
    Append(bytes, TrackChunk(track.Data()));
    midi::ReadResult result = Read(bytes);
    ASSERT_TRUE(result.ok()) << midi::DescribeFailure(result);
    EXPECT_EQ(result.song.events.size(), 1u);
    EXPECT_EQ(result.song.endTick, 10u);
}

TEST(MidiFile, SmpteDivisionIsSupported) {
    Track track;
    track.At(1000, {0x90, 60, 100}).End(1000);
    // -25 frames per second, 40 ticks per frame.
    midi::ReadResult result = Read(Song(0, (uint16_t)((0xE7 << 8) | 40), {track}));
    ASSERT_TRUE(result.ok()) << midi::DescribeFailure(result);
    EXPECT_EQ(result.song.framesPerSecond, 25);
    EXPECT_EQ(result.song.ticksPerFrame, 40);
    EXPECT_EQ(result.song.ticksPerQuarter, 0);
}

TEST(MidiFile, ManyTracksAreMerged) {
    std::vector<Track> tracks(1500);
    for (size_t i = 0; i < tracks.size(); ++i)
        tracks[i].At((uint32_t)(tracks.size() - i), {0x90, (uint8_t)(i % 128), 1}).End(2000);
    midi::ReadResult result = Read(Song(1, 96, tracks));
    ASSERT_TRUE(result.ok()) << midi::DescribeFailure(result);
    ASSERT_EQ(result.song.events.size(), tracks.size());
    for (size_t i = 1; i < result.song.events.size(); ++i)
        EXPECT_LT(result.song.events[i - 1].tick, result.song.events[i].tick);
    EXPECT_EQ(result.song.events.front().track, 1499u);
}

struct BadFile {
    const char* what;
    Bytes bytes;
    ReadError expected;
};

Bytes WithTrack(const Bytes& header, std::initializer_list<uint8_t> data) {
    Bytes out = header;
    Append(out, TrackChunk(Bytes(data)));
    return out;
}

TEST(MidiFile, MalformedInputFailsWithItsOwnResult) {
    Bytes good = Header(0, 1, 96);
    Bytes hugeHeader{'M', 'T', 'h', 'd', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 1, 0, 96};
    Bytes shortHeader{'M', 'T', 'h', 'd', 0, 0, 0, 5, 0, 0, 0, 1, 0};
    Bytes hugeTrack = good;
    Append(hugeTrack, Bytes{'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xF0, 0x00, 0x90});
    const std::vector<BadFile> cases = {
        {"empty", {}, ReadError::NotMidi},
        {"RIFF file", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, ReadError::NotMidi},
        {"header cut", {'M', 'T', 'h', 'd', 0, 0}, ReadError::Truncated},
        {"header shorter than 6", shortHeader, ReadError::BadHeader},
        {"header length past the end", hugeHeader, ReadError::Truncated},
        {"format 2", WithTrack(Header(2, 1, 96), {0, 0xFF, 0x2F, 0}), ReadError::UnsupportedFormat},
        {"zero ticks per quarter", WithTrack(Header(0, 1, 0), {0, 0xFF, 0x2F, 0}),
         ReadError::ZeroDivision},
        {"zero ticks per frame", WithTrack(Header(0, 1, 0xE700), {0, 0xFF, 0x2F, 0}),
         ReadError::ZeroDivision},
        {"SMPTE at 23 fps", WithTrack(Header(0, 1, 0xE904), {0, 0xFF, 0x2F, 0}),
         ReadError::BadTimecode},
        {"track length past the end", hugeTrack, ReadError::Truncated},
        {"fewer tracks than announced", WithTrack(Header(1, 3, 96), {0, 0xFF, 0x2F, 0}),
         ReadError::MissingTracks},
        {"65535 tracks announced", WithTrack(Header(1, 0xFFFF, 96), {0, 0xFF, 0x2F, 0}),
         ReadError::MissingTracks},
        {"five-byte delta time", WithTrack(good, {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1}),
         ReadError::BadVariableLength},
        {"running status with no status", WithTrack(good, {0, 60, 100, 0, 0xFF, 0x2F, 0}),
         ReadError::RunningStatusWithoutStatus},
        {"note cut short", WithTrack(good, {0, 0x90, 60}), ReadError::Truncated},
        {"status byte as data", WithTrack(good, {0, 0x90, 60, 0x90}), ReadError::BadDataByte},
        {"system common in a track", WithTrack(good, {0, 0xF2, 0, 0}), ReadError::BadStatus},
        {"SysEx never closed", WithTrack(good, {0, 0xF0, 2, 0x43, 0x10, 0, 0xFF, 0x2F, 0}),
         ReadError::UnterminatedSysEx},
        {"SysEx opened twice", WithTrack(good, {0, 0xF0, 1, 0x43, 0, 0xF0, 1, 0xF7}),
         ReadError::UnterminatedSysEx},
        {"SysEx running off the chunk", WithTrack(good, {0, 0xF0, 1, 0x43}),
         ReadError::UnterminatedSysEx},
        {"SysEx length past the end", WithTrack(good, {0, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0xF7}),
         ReadError::Truncated},
        {"meta length past the end", WithTrack(good, {0, 0xFF, 0x01, 0x8F, 0xFF, 0x7F, 'a'}),
         ReadError::Truncated},
        {"meta type missing", WithTrack(good, {0, 0xFF}), ReadError::Truncated},
        {"tempo of zero", WithTrack(good, {0, 0xFF, 0x51, 3, 0, 0, 0}), ReadError::BadTempo},
    };
    for (const BadFile& bad : cases) {
        midi::ReadResult result = Read(bad.bytes);
        EXPECT_EQ(result.error, bad.expected)
            << bad.what << ": got \"" << midi::DescribeError(result.error) << "\"";
        EXPECT_TRUE(result.song.events.empty()) << bad.what;
    }
}

TEST(MidiFile, EveryFailureHasItsOwnDescription) {
    std::set<std::string> texts;
    int count = 0;
    for (int e = (int)ReadError::None; e <= (int)ReadError::BadTempo; ++e, ++count)
        texts.insert(midi::DescribeError((ReadError)e));
    EXPECT_EQ((int)texts.size(), count);
    midi::ReadResult result = Read(WithTrack(Header(0, 1, 96), {0, 60}));
    EXPECT_NE(midi::DescribeFailure(result).find("track 1"), std::string::npos);
}

TEST(MidiFile, EveryCutOfAValidFileFailsAndNoMutationCrashes) {
    Track conductor;
    conductor.Tempo(0, 600000).Meter(0, 4, 2).Tempo(480, 400000).End(960);
    Track notes;
    notes.At(0, {0x90, 60, 100})
        .At(240, {0xF0, 0x03, 0x7E, 0x00, 0xF7})
        .At(480, {60, 0})
        .At(500, {0xB0, 64, 127})
        .At(960, {0xE0, 0, 64})
        .End(960);
    Bytes file = Song(1, 480, {conductor, notes});
    ASSERT_TRUE(Read(file).ok());
    for (size_t length = 0; length < file.size(); ++length) {
        Bytes cut(file.begin(), file.begin() + (long)length);
        EXPECT_FALSE(Read(cut).ok()) << "cut at " << length;
    }
    // Deterministic byte mutations: any result is acceptable except a crash or a failure
    // without a reason.
    uint32_t seed = 12345;
    for (int round = 0; round < 20000; ++round) {
        Bytes mutated = file;
        for (int flips = 0; flips < 3; ++flips) {
            seed = seed * 1664525u + 1013904223u;
            mutated[(seed >> 8) % mutated.size()] = (uint8_t)(seed >> 24);
        }
        midi::ReadResult result = Read(mutated);
        if (!result.ok()) {
            EXPECT_LE(result.offset, mutated.size());
        }
    }
}
