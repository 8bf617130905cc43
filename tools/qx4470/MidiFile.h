// Standard MIDI File reader: a pure function from the file's bytes to one merged, time-ordered
// event list plus the tempo and meter changes of all tracks. Every malformed input gives its own
// failure result instead of a partial song.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace midi {

enum class ReadError {
    None,
    NotMidi,                    // no "MThd" at the start
    BadHeader,                  // header chunk shorter than 6 bytes
    UnsupportedFormat,          // format 2 (independent sequences) or unknown
    ZeroDivision,               // 0 ticks per quarter note or per frame
    BadTimecode,                // SMPTE division with a frame rate other than 24, 25, 29, 30
    Truncated,                  // a chunk or an event runs past the end of its data
    MissingTracks,              // fewer track chunks than the header announces
    BadVariableLength,          // a variable-length number longer than 4 bytes
    RunningStatusWithoutStatus, // a data byte where a track has no status yet
    BadStatus,                  // a system common or real-time status inside a track
    BadDataByte,                // a byte >= 0x80 where a channel message needs data
    UnterminatedSysEx,          // a SysEx split into packets never receives its closing F7
    BadTempo,                   // a tempo event of zero microseconds per quarter note
};

// A short text for each failure, e.g. "file is truncated".
const char* DescribeError(ReadError error);

// One event for the instrument: a channel message of 1 to 3 bytes, or a complete SysEx message
// (starting with F0) or an escaped message, whose bytes live in Song::sysexBytes.
struct Event {
    uint64_t tick = 0;
    uint32_t track = 0;
    uint8_t bytes[3] = {0, 0, 0};
    uint8_t size = 0;         // bytes used for a short message; 0 for SysEx
    uint32_t sysexOffset = 0; // into Song::sysexBytes
    uint32_t sysexSize = 0;   // > 0 for SysEx
    bool IsSysEx() const { return sysexSize > 0; }
};

struct TempoChange {
    uint64_t tick = 0;
    uint32_t microsPerQuarter = 500000;
};

struct MeterChange {
    uint64_t tick = 0;
    int numerator = 4;
    int denominator = 4;
};

struct Song {
    int format = 0;
    int trackCount = 0;      // track chunks read
    int ticksPerQuarter = 0; // metrical timing when > 0
    int framesPerSecond = 0; // SMPTE timing when > 0 (29 means 29.97 drop-frame)
    int ticksPerFrame = 0;
    std::vector<Event> events; // ordered by tick, then track, then file order
    std::vector<uint8_t> sysexBytes;
    std::vector<TempoChange> tempos; // ordered by tick; one per tick (the last given wins)
    std::vector<MeterChange> meters; // ordered by tick; one per tick
    uint64_t endTick = 0;            // the latest end-of-track or event tick of all tracks
};

struct ReadResult {
    ReadError error = ReadError::None;
    int track = -1;    // the track chunk where reading failed (0-based), -1 for the header
    size_t offset = 0; // byte offset in the file where reading failed
    Song song;
    bool ok() const { return error == ReadError::None; }
};

ReadResult ReadSong(const uint8_t* data, size_t size);

// "running status without a status byte (track 2, byte 1234)" and the like.
std::string DescribeFailure(const ReadResult& result);

} // namespace midi
