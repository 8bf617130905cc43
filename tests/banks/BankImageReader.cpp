#include "tests/banks/BankImageReader.h"

#include <cstdio>

#include "host/ChunkBuffer.h"

namespace {

int32_t BigEndian(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<int32_t>(uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
                                uint32_t(bytes[at + 2]) << 8 | uint32_t(bytes[at + 3]));
}

std::string Tag(const std::vector<uint8_t>& bytes, size_t at) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

bool Fail(std::string* error, const std::string& why) {
    *error = why;
    return false;
}

} // namespace

bool ReadBankImage(const std::vector<uint8_t>& bytes, BankImage* image, std::string* error) {
    constexpr size_t kHeader = 160;
    if (bytes.size() < kHeader + 8) return Fail(error, "shorter than an FXB header");
    image->chunkMagic = Tag(bytes, 0);
    image->byteSize = BigEndian(bytes, 4);
    image->fxMagic = Tag(bytes, 8);
    image->formatVersion = BigEndian(bytes, 12);
    image->fxId = Tag(bytes, 16);
    image->fxVersion = BigEndian(bytes, 20);
    image->numPrograms = BigEndian(bytes, 24);
    image->currentProgram = BigEndian(bytes, 28);
    image->reservedZero = true;
    for (size_t i = 32; i < 156; ++i)
        image->reservedZero = image->reservedZero && bytes[i] == 0;
    image->chunkSize = BigEndian(bytes, 156);

    ChunkBuffer chunk(bytes.data() + kHeader, static_cast<int>(bytes.size() - kHeader));
    char magic[4];
    int at = chunk.ReadBytes(0, magic, 4);
    image->frameworkMagic.assign(magic, 4);
    at = chunk.ReadInt32(at, &image->frameworkVersion);
    for (int p = 0; p < image->numPrograms && p < 64; ++p) {
        ImageProgram program;
        at = chunk.ReadText(at, &program.name);
        if (at < 0 || at > chunk.Size()) return Fail(error, "name of program " + std::to_string(p));
        at = chunk.ReadByte(at, &program.initialised);
        for (int i = 0; i < kNumParams && at >= 0; ++i)
            at = chunk.ReadDouble(at, &program.values[i]);
        at = chunk.ReadInt32(at, &program.marker);
        at = chunk.ReadInt32(at, &program.trailer);
        if (at < 0) return Fail(error, "record of program " + std::to_string(p) + " is cut short");
        image->programs.push_back(program);
    }
    image->endPosition = static_cast<int>(kHeader) + at;
    if (image->endPosition != static_cast<int>(bytes.size()))
        return Fail(error, std::to_string(bytes.size() - image->endPosition) +
                               " bytes follow the last record");
    return true;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    return bytes;
}
