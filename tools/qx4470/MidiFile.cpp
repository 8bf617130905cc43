// Standard MIDI File reader. See MidiFile.h for what it returns.
#include "tools/qx4470/MidiFile.h"

#include <algorithm>
#include <cstring>

namespace midi {

const char* DescribeError(ReadError error) {
    switch (error) {
    case ReadError::None:
        return "no error";
    case ReadError::NotMidi:
        return "not a Standard MIDI File";
    case ReadError::BadHeader:
        return "header chunk is too short";
    case ReadError::UnsupportedFormat:
        return "only MIDI file formats 0 and 1 are supported";
    case ReadError::ZeroDivision:
        return "time division of zero ticks";
    case ReadError::BadTimecode:
        return "SMPTE time division with an unknown frame rate";
    case ReadError::Truncated:
        return "file is truncated";
    case ReadError::MissingTracks:
        return "fewer tracks than the header announces";
    case ReadError::BadVariableLength:
        return "variable-length number longer than 4 bytes";
    case ReadError::RunningStatusWithoutStatus:
        return "running status without a status byte";
    case ReadError::BadStatus:
        return "system message that a MIDI file cannot hold";
    case ReadError::BadDataByte:
        return "status byte where a data byte belongs";
    case ReadError::UnterminatedSysEx:
        return "SysEx message without its closing F7";
    case ReadError::BadTempo:
        return "tempo of zero";
    }
    return "unknown error";
}

std::string DescribeFailure(const ReadResult& result) {
    std::string text = DescribeError(result.error);
    if (result.track >= 0)
        text += " (track " + std::to_string(result.track + 1) + ", byte " +
                std::to_string(result.offset) + ")";
    else
        text += " (byte " + std::to_string(result.offset) + ")";
    return text;
}

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}
uint16_t BigEndian16(const uint8_t* p) {
    return (uint16_t)((p[0] << 8) | p[1]);
}

// Reads one track chunk into the song. Offsets are kept relative to the whole file so that
// failures can name the byte.
class TrackReader {
public:
    TrackReader(const uint8_t* file, size_t begin, size_t end, uint32_t track, Song& song)
        : file_(file), pos_(begin), end_(end), track_(track), song_(song) {}

    ReadError Read();
    size_t Position() const { return pos_; }

private:
    ReadError ReadVariableLength(uint32_t& value);
    ReadError ReadCounted(uint32_t& length, const uint8_t*& bytes);
    ReadError ReadChannelMessage(uint8_t status);
    ReadError ReadSysEx(uint8_t status);
    ReadError ReadMeta(bool& endOfTrack);
    void AddShort(const uint8_t* bytes, uint8_t size);
    void AddSysEx(uint64_t tick, size_t offset, size_t size);

    const uint8_t* file_;
    size_t pos_;
    size_t end_;
    uint32_t track_;
    Song& song_;
    uint64_t tick_ = 0;
    uint8_t runningStatus_ = 0;
    // A SysEx message split into an F0 packet and F7 continuation packets.
    bool sysexOpen_ = false;
    uint64_t sysexTick_ = 0;
    size_t sysexOffset_ = 0;
};

ReadError TrackReader::ReadVariableLength(uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos_ >= end_) return ReadError::Truncated;
        uint8_t byte = file_[pos_++];
        value = (value << 7) | (byte & 0x7F);
        if (!(byte & 0x80)) return ReadError::None;
    }
    --pos_;
    return ReadError::BadVariableLength;
}

void TrackReader::AddShort(const uint8_t* bytes, uint8_t size) {
    Event event;
    event.tick = tick_;
    event.track = track_;
    std::memcpy(event.bytes, bytes, size);
    event.size = size;
    song_.events.push_back(event);
}

void TrackReader::AddSysEx(uint64_t tick, size_t offset, size_t size) {
    Event event;
    event.tick = tick;
    event.track = track_;
    event.sysexOffset = (uint32_t)offset;
    event.sysexSize = (uint32_t)size;
    song_.events.push_back(event);
}

ReadError TrackReader::ReadChannelMessage(uint8_t status) {
    uint8_t bytes[3] = {status, 0, 0};
    uint8_t kind = status & 0xF0;
    uint8_t dataCount = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    for (uint8_t i = 0; i < dataCount; ++i) {
        if (pos_ >= end_) return ReadError::Truncated;
        if (file_[pos_] & 0x80) return ReadError::BadDataByte;
        bytes[1 + i] = file_[pos_++];
    }
    AddShort(bytes, (uint8_t)(1 + dataCount));
    return ReadError::None;
}

// A variable-length count and the bytes it announces; when they are not all there, the reader
// stays at the count.
ReadError TrackReader::ReadCounted(uint32_t& length, const uint8_t*& bytes) {
    const size_t lengthAt = pos_;
    ReadError error = ReadVariableLength(length);
    if (error != ReadError::None) return error;
    if (length > end_ - pos_) {
        pos_ = lengthAt;
        return ReadError::Truncated;
    }
    bytes = file_ + pos_;
    return ReadError::None;
}

// F0 <length> <bytes>: a SysEx message whose F0 the file leaves out; when the bytes do not end
// with F7 the message continues in F7 packets. F7 <length> <bytes> outside such a message is an
// escape that carries any bytes verbatim.
ReadError TrackReader::ReadSysEx(uint8_t status) {
    uint32_t length = 0;
    const uint8_t* bytes = nullptr;
    ReadError error = ReadCounted(length, bytes);
    if (error != ReadError::None) return error;
    pos_ += length;
    bool endsMessage = length > 0 && bytes[length - 1] == 0xF7;
    std::vector<uint8_t>& store = song_.sysexBytes;

    if (status == 0xF0) {
        if (sysexOpen_) return ReadError::UnterminatedSysEx;
        size_t offset = store.size();
        store.push_back(0xF0);
        store.insert(store.end(), bytes, bytes + length);
        if (endsMessage) {
            AddSysEx(tick_, offset, store.size() - offset);
        } else {
            sysexOpen_ = true;
            sysexTick_ = tick_;
            sysexOffset_ = offset;
        }
        return ReadError::None;
    }
    if (sysexOpen_) {
        store.insert(store.end(), bytes, bytes + length);
        if (endsMessage) {
            sysexOpen_ = false;
            AddSysEx(sysexTick_, sysexOffset_, store.size() - sysexOffset_);
        }
        return ReadError::None;
    }
    if (length == 0) return ReadError::None;
    if (bytes[0] == 0xF0) {
        size_t offset = store.size();
        store.insert(store.end(), bytes, bytes + length);
        AddSysEx(tick_, offset, length);
    } else if (bytes[0] >= 0x80 && length <= 3) {
        AddShort(bytes, (uint8_t)length);
    }
    // Other escaped bytes are not a message the instrument can take; they are skipped.
    return ReadError::None;
}

ReadError TrackReader::ReadMeta(bool& endOfTrack) {
    if (pos_ >= end_) return ReadError::Truncated;
    uint8_t type = file_[pos_++];
    const size_t lengthAt = pos_;
    uint32_t length = 0;
    const uint8_t* bytes = nullptr;
    ReadError error = ReadCounted(length, bytes);
    if (error != ReadError::None) return error;
    if (type == 0x2F) {
        endOfTrack = true;
    } else if (type == 0x51 && length >= 3) {
        uint32_t micros = ((uint32_t)bytes[0] << 16) | ((uint32_t)bytes[1] << 8) | bytes[2];
        if (micros == 0) {
            pos_ = lengthAt - 1;
            return ReadError::BadTempo;
        }
        song_.tempos.push_back(TempoChange{tick_, micros});
    } else if (type == 0x58 && length >= 2) {
        // A meter that a host could not express (0 beats, beats shorter than 1/64) is ignored.
        if (bytes[0] > 0 && bytes[1] <= 6)
            song_.meters.push_back(MeterChange{tick_, bytes[0], 1 << bytes[1]});
    }
    pos_ += length;
    return ReadError::None;
}

ReadError TrackReader::Read() {
    bool endOfTrack = false;
    while (pos_ < end_ && !endOfTrack) {
        uint32_t delta = 0;
        ReadError error = ReadVariableLength(delta);
        if (error != ReadError::None) return error;
        tick_ += delta;
        if (pos_ >= end_) return ReadError::Truncated;
        uint8_t byte = file_[pos_];
        if (byte < 0x80) {
            if (runningStatus_ == 0) return ReadError::RunningStatusWithoutStatus;
            error = ReadChannelMessage(runningStatus_);
        } else if (byte < 0xF0) {
            ++pos_;
            runningStatus_ = byte;
            error = ReadChannelMessage(byte);
        } else if (byte == 0xF0 || byte == 0xF7) {
            ++pos_;
            error = ReadSysEx(byte);
        } else if (byte == 0xFF) {
            ++pos_;
            error = ReadMeta(endOfTrack);
        } else {
            return ReadError::BadStatus;
        }
        if (error != ReadError::None) return error;
    }
    if (sysexOpen_) return ReadError::UnterminatedSysEx;
    song_.endTick = std::max(song_.endTick, tick_);
    return ReadError::None;
}

// Keeps one change per tick, the last one given (track order, then file order).
template <typename Change> void OrderChanges(std::vector<Change>& changes) {
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.tick < b.tick; });
    std::vector<Change> kept;
    for (const Change& change : changes) {
        if (!kept.empty() && kept.back().tick == change.tick)
            kept.back() = change;
        else
            kept.push_back(change);
    }
    changes.swap(kept);
}

ReadResult Fail(ReadError error, int track, size_t offset) {
    ReadResult result;
    result.error = error;
    result.track = track;
    result.offset = offset;
    return result;
}

} // namespace

ReadResult ReadSong(const uint8_t* data, size_t size) {
    if (size < 4 || std::memcmp(data, "MThd", 4) != 0) return Fail(ReadError::NotMidi, -1, 0);
    if (size < 8) return Fail(ReadError::Truncated, -1, 4);
    uint32_t headerLength = BigEndian32(data + 4);
    if (headerLength < 6) return Fail(ReadError::BadHeader, -1, 4);
    if (headerLength > size - 8) return Fail(ReadError::Truncated, -1, 4);

    ReadResult result;
    Song& song = result.song;
    song.format = BigEndian16(data + 8);
    uint16_t announcedTracks = BigEndian16(data + 10);
    uint16_t division = BigEndian16(data + 12);
    if (song.format > 1) return Fail(ReadError::UnsupportedFormat, -1, 8);
    if (division & 0x8000) {
        int framesPerSecond = -(int)(int8_t)(division >> 8);
        if (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 29 &&
            framesPerSecond != 30)
            return Fail(ReadError::BadTimecode, -1, 12);
        if ((division & 0xFF) == 0) return Fail(ReadError::ZeroDivision, -1, 12);
        song.framesPerSecond = framesPerSecond;
        song.ticksPerFrame = division & 0xFF;
    } else {
        if (division == 0) return Fail(ReadError::ZeroDivision, -1, 12);
        song.ticksPerQuarter = division;
    }

    // Chunks other than "MTrk" are skipped, as the file format asks of readers.
    size_t pos = 8 + (size_t)headerLength;
    while (song.trackCount < announcedTracks) {
        int track = song.trackCount;
        if (pos == size) return Fail(ReadError::MissingTracks, track, pos);
        if (size - pos < 8) return Fail(ReadError::Truncated, track, pos);
        uint32_t length = BigEndian32(data + pos + 4);
        if (length > size - pos - 8) return Fail(ReadError::Truncated, track, pos + 4);
        if (std::memcmp(data + pos, "MTrk", 4) == 0) {
            TrackReader reader(data, pos + 8, pos + 8 + length, (uint32_t)track, song);
            ReadError error = reader.Read();
            if (error != ReadError::None) return Fail(error, track, reader.Position());
            ++song.trackCount;
        }
        pos += 8 + (size_t)length;
    }

    // Merge the tracks: by tick, and at the same tick by track and then file order.
    std::stable_sort(song.events.begin(), song.events.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
    OrderChanges(song.tempos);
    OrderChanges(song.meters);
    return result;
}

} // namespace midi
