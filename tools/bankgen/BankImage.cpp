#include "tools/bankgen/BankImage.h"

#include <cstring>

#include "host/ChunkBuffer.h"

namespace bankgen {

namespace {

constexpr int32_t kFrameworkVersion = 0x00010000;

// FXB header fields are big-endian whatever the machine.
void PutBigEndian(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

void PutTag(uint8_t* at, const char* tag) {
    std::memcpy(at, tag, 4);
}

ChunkBuffer BankChunk(const BankSource& source) {
    ChunkBuffer chunk;
    chunk.AppendBytes("tffp", 4);
    chunk.AppendInt32(kFrameworkVersion);
    for (const SourceProgram& program : source.programs) {
        chunk.AppendText(program.name);
        chunk.AppendByte(1); // initialised
        for (double value : program.values)
            chunk.AppendDouble(value);
        chunk.AppendInt32(kRecordMarker);
        chunk.AppendInt32(source.bank->recordTrailer);
    }
    return chunk;
}

} // namespace

std::vector<uint8_t> BuildBankImage(const BankSource& source) {
    ChunkBuffer chunk = BankChunk(source);
    std::vector<uint8_t> image(kFxbHeaderSize + chunk.Size(), 0);
    uint8_t* header = image.data();
    PutTag(header + 0, "CcnK");
    PutBigEndian(header + 4, static_cast<uint32_t>(image.size()));
    PutTag(header + 8, "FBCh");
    PutBigEndian(header + 12, 2); // format version
    PutTag(header + 16, "qx44");
    PutBigEndian(header + 20, static_cast<uint32_t>(source.bank->fxVersion));
    PutBigEndian(header + 24, kBankPrograms);
    PutBigEndian(header + 28, static_cast<uint32_t>(source.bank->currentProgram));
    // Bytes 32..155 stay zero.
    PutBigEndian(header + 156, static_cast<uint32_t>(chunk.Size()));
    std::memcpy(header + kFxbHeaderSize, chunk.Data(), chunk.Size());
    return image;
}

} // namespace bankgen
