#include "host/ChunkBuffer.h"

#include <cstdint>
#include <cstring>

// Values are stored little-endian whatever the machine: assemble them byte by byte.
bool ChunkBuffer::AppendInt32(int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    uint8_t bytes[4] = {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16),
                        uint8_t(bits >> 24)};
    return AppendBytes(bytes, 4);
}

bool ChunkBuffer::AppendDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = uint8_t(bits >> (8 * i));
    return AppendBytes(bytes, 8);
}

bool ChunkBuffer::AppendByte(uint8_t value) {
    return AppendBytes(&value, 1);
}

bool ChunkBuffer::AppendBytes(const void* bytes, int size) {
    if (size < 0 || (size > 0 && !bytes)) return false;
    const uint8_t* first = static_cast<const uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), first, first + size);
    return true;
}

bool ChunkBuffer::AppendText(const std::string& text) {
    return AppendInt32(static_cast<int32_t>(text.size())) &&
           AppendBytes(text.data(), static_cast<int>(text.size()));
}

bool ChunkBuffer::AppendText(const char* text) {
    const size_t length = text ? std::strlen(text) : 0;
    if (length > static_cast<size_t>(INT32_MAX)) return false;
    return AppendInt32(static_cast<int32_t>(length)) && AppendBytes(text, static_cast<int>(length));
}

int ChunkBuffer::ReadInt32(int position, int32_t* value) const {
    *value = 0;
    if (!Holds(position, 4)) return -1;
    const uint8_t* p = bytes_.data() + position;
    *value = static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                  uint32_t(p[3]) << 24);
    return position + 4;
}

int ChunkBuffer::ReadDouble(int position, double* value) const {
    *value = 0.0;
    if (!Holds(position, 8)) return -1;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(bytes_[position + i]) << (8 * i);
    std::memcpy(value, &bits, 8);
    return position + 8;
}

int ChunkBuffer::ReadByte(int position, uint8_t* value) const {
    *value = 0;
    if (!Holds(position, 1)) return -1;
    *value = bytes_[position];
    return position + 1;
}

int ChunkBuffer::ReadBytes(int position, void* bytes, int size) const {
    if (!Holds(position, size)) return -1;
    if (size > 0) std::memcpy(bytes, bytes_.data() + position, size);
    return position + size;
}

int ChunkBuffer::ReadText(int position, std::string* text) const {
    text->clear();
    int32_t length = 0;
    int next = ReadInt32(position, &length);
    // A negative length would move the reader backwards over data it has already taken.
    if (next < 0 || length < 0) return -1;
    if (length > 0 && Holds(next, length))
        text->assign(reinterpret_cast<const char*>(bytes_.data() + next), length);
    int64_t end = static_cast<int64_t>(next) + length;
    if (end > INT32_MAX) return -1;
    return static_cast<int>(end);
}
