// A growable little-endian byte buffer for presets, state chunks, the copy buffer and files.
// Reads take a position and return the position after the value, or -1 when the buffer is too
// short or the position is negative; a failed read yields 0 (or the empty text).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ChunkBuffer {
public:
    ChunkBuffer() = default;
    ChunkBuffer(const void* bytes, int size) { AppendBytes(bytes, size); }

    int Size() const { return static_cast<int>(bytes_.size()); }
    bool Empty() const { return bytes_.empty(); }
    const uint8_t* Data() const { return bytes_.empty() ? nullptr : bytes_.data(); }
    uint8_t* Data() { return bytes_.empty() ? nullptr : bytes_.data(); }

    // Empties the buffer but keeps its storage, so refilling it does not allocate again.
    void Clear() { bytes_.clear(); }
    // Shrinks (truncation) or grows (zero-filled) to `size` bytes.
    void Resize(int size) { bytes_.resize(size < 0 ? 0 : static_cast<size_t>(size)); }
    void Reserve(int size) { bytes_.reserve(size < 0 ? 0 : static_cast<size_t>(size)); }

    bool AppendInt32(int32_t value);
    bool AppendDouble(double value);
    bool AppendByte(uint8_t value);
    bool AppendBytes(const void* bytes, int size);
    // An int32 length, then the bytes of the text without terminator.
    bool AppendText(const std::string& text);
    // The same for a terminated text (null: the empty text), without making a std::string of
    // it: program names are stored on the audio thread, where a long one must not allocate.
    bool AppendText(const char* text);

    int ReadInt32(int position, int32_t* value) const;
    int ReadDouble(int position, double* value) const;
    int ReadByte(int position, uint8_t* value) const;
    int ReadBytes(int position, void* bytes, int size) const;
    // Reads an int32 length L and then L bytes. Returns position + 4 + L (so a text that runs
    // past the end gives a position past the end, which later reads reject), or -1 when the
    // length is missing or negative. L = 0 gives the empty text.
    int ReadText(int position, std::string* text) const;

    bool operator==(const ChunkBuffer& other) const { return bytes_ == other.bytes_; }

private:
    bool Holds(int position, int size) const {
        return position >= 0 && size >= 0 && static_cast<int64_t>(position) + size <= Size();
    }
    std::vector<uint8_t> bytes_;
};
