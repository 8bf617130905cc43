// Builds Standard MIDI Files byte by byte for the tests, including malformed ones.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testmidi {

using Bytes = std::vector<uint8_t>;

inline Bytes VariableLength(uint32_t value) {
    Bytes out{(uint8_t)(value & 0x7F)};
    while (value >>= 7)
        out.insert(out.begin(), (uint8_t)(0x80 | (value & 0x7F)));
    return out;
}

inline void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

inline void Put32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((uint8_t)(value >> shift));
}

// The events of one track, placed at absolute ticks; raw bytes follow each delta time.
class Track {
public:
    Track& At(uint32_t tick, std::initializer_list<uint8_t> message) {
        return At(tick, Bytes(message));
    }
    Track& At(uint32_t tick, const Bytes& message) {
        Append(bytes_, VariableLength(tick - now_));
        now_ = tick;
        Append(bytes_, message);
        return *this;
    }
    Track& Tempo(uint32_t tick, uint32_t micros) {
        return At(tick, {0xFF, 0x51, 0x03, (uint8_t)(micros >> 16), (uint8_t)(micros >> 8),
                         (uint8_t)micros});
    }
    Track& Meter(uint32_t tick, uint8_t numerator, uint8_t denominatorPower) {
        return At(tick, {0xFF, 0x58, 0x04, numerator, denominatorPower, 24, 8});
    }
    Track& End(uint32_t tick) { return At(tick, {0xFF, 0x2F, 0x00}); }
    // Bytes added as they are, without a delta time.
    Track& Raw(std::initializer_list<uint8_t> bytes) {
        Append(bytes_, Bytes(bytes));
        return *this;
    }
    const Bytes& Data() const { return bytes_; }

private:
    Bytes bytes_;
    uint32_t now_ = 0;
};

inline Bytes Header(uint16_t format, uint16_t tracks, uint16_t division) {
    Bytes out{'M', 'T', 'h', 'd'};
    Put32(out, 6);
    for (uint16_t value : {format, tracks, division}) {
        out.push_back((uint8_t)(value >> 8));
        out.push_back((uint8_t)value);
    }
    return out;
}

inline Bytes TrackChunk(const Bytes& data) {
    Bytes out{'M', 'T', 'r', 'k'};
    Put32(out, (uint32_t)data.size());
    Append(out, data);
    return out;
}

inline Bytes Song(uint16_t format, uint16_t division, const std::vector<Track>& tracks) {
    Bytes out = Header(format, (uint16_t)tracks.size(), division);
    for (const Track& track : tracks)
        Append(out, TrackChunk(track.Data()));
    return out;
}

} // namespace testmidi
