// One tempo map for a whole song, built from the tempo and meter changes of all its tracks:
// turns ticks into seconds (and so into sample positions) and answers the musical position at a
// time, for the host's time info.
#pragma once

#include "tools/qx4470/MidiFile.h"

#include <cstdint>
#include <vector>

namespace midi {

// Where the music stands at one moment.
struct MusicalPosition {
    double tempo = 120.0;  // beats (quarter notes) per minute
    double quarters = 0.0; // quarter notes since the start
    double barStart = 0.0; // quarter notes at the start of the current bar
    int numerator = 4;
    int denominator = 4;
};

class TempoMap {
public:
    explicit TempoMap(const Song& song);

    double SecondsAt(uint64_t tick) const;
    // The sample nearest to the tick's time.
    int64_t FrameAt(uint64_t tick, double sampleRate) const;
    MusicalPosition PositionAt(double seconds) const;

private:
    struct Segment {
        uint64_t tick;
        double seconds; // time at the segment's first tick
        double secondsPerTick;
        double tempo; // quarter notes per minute
    };
    const Segment& SegmentAtTick(uint64_t tick) const;
    const Segment& SegmentAtTime(double seconds) const;

    double ticksPerQuarter_;
    std::vector<Segment> segments_; // never empty; the first starts at tick 0
    std::vector<MeterChange> meters_;
};

} // namespace midi
