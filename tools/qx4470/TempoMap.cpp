// Tempo map: piecewise-constant tempo segments over ticks.
#include "tools/qx4470/TempoMap.h"

#include <algorithm>
#include <cmath>

namespace midi {

TempoMap::TempoMap(const Song& song) : meters_(song.meters) {
    if (song.framesPerSecond > 0) {
        // SMPTE timing: ticks are fractions of a frame and tempo events do not move them. The
        // host still wants a tempo, so the music is reported at 120 beats per minute.
        double framesPerSecond =
            song.framesPerSecond == 29 ? 30000.0 / 1001.0 : (double)song.framesPerSecond;
        double ticksPerSecond = framesPerSecond * song.ticksPerFrame;
        ticksPerQuarter_ = ticksPerSecond / 2.0;
        segments_.push_back(Segment{0, 0.0, 1.0 / ticksPerSecond, 120.0});
        return;
    }
    ticksPerQuarter_ = song.ticksPerQuarter > 0 ? song.ticksPerQuarter : 1;
    auto segmentFor = [&](uint64_t tick, double seconds, uint32_t micros) {
        return Segment{tick, seconds, micros * 1e-6 / ticksPerQuarter_, 60e6 / micros};
    };
    segments_.push_back(segmentFor(0, 0.0, 500000));
    for (const TempoChange& change : song.tempos) {
        const Segment& last = segments_.back();
        if (change.tick == last.tick) {
            segments_.back() = segmentFor(last.tick, last.seconds, change.microsPerQuarter);
            continue;
        }
        double seconds = last.seconds + (double)(change.tick - last.tick) * last.secondsPerTick;
        segments_.push_back(segmentFor(change.tick, seconds, change.microsPerQuarter));
    }
}

const TempoMap::Segment& TempoMap::SegmentAtTick(uint64_t tick) const {
    auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                  [](uint64_t t, const Segment& s) { return t < s.tick; });
    return *(after - 1);
}

const TempoMap::Segment& TempoMap::SegmentAtTime(double seconds) const {
    auto after = std::upper_bound(segments_.begin(), segments_.end(), seconds,
                                  [](double t, const Segment& s) { return t < s.seconds; });
    return after == segments_.begin() ? segments_.front() : *(after - 1);
}

double TempoMap::SecondsAt(uint64_t tick) const {
    const Segment& segment = SegmentAtTick(tick);
    return segment.seconds + (double)(tick - segment.tick) * segment.secondsPerTick;
}

int64_t TempoMap::FrameAt(uint64_t tick, double sampleRate) const {
    return (int64_t)std::floor(SecondsAt(tick) * sampleRate + 0.5);
}

MusicalPosition TempoMap::PositionAt(double seconds) const {
    if (seconds < 0) seconds = 0;
    const Segment& segment = SegmentAtTime(seconds);
    double ticks = (double)segment.tick + (seconds - segment.seconds) / segment.secondsPerTick;

    MusicalPosition position;
    position.tempo = segment.tempo;
    position.quarters = ticks / ticksPerQuarter_;

    // Meter changes are taken to fall on bar lines; bars are counted from the latest one.
    double meterStart = 0.0;
    for (const MeterChange& meter : meters_) {
        if ((double)meter.tick > ticks) break;
        meterStart = (double)meter.tick / ticksPerQuarter_;
        position.numerator = meter.numerator;
        position.denominator = meter.denominator;
    }
    double barLength = position.numerator * 4.0 / position.denominator;
    position.barStart =
        meterStart + std::floor((position.quarters - meterStart) / barLength) * barLength;
    return position;
}

} // namespace midi
