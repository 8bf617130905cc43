// FXP program files and FXB bank files: always written in chunk form; read in chunk form and
// in the older parameter-list form.
#include "host/FileIO.h"
#include "host/FxFormat.h"
#include "host/IPlugBase.h"

#include <cstring>

namespace {

int32_t FieldAt(const ChunkBuffer& data, int offset) {
    return offset >= 0 && offset + 4 <= data.Size() ? fx::ReadBigEndian(data.Data() + offset) : 0;
}

float FloatAt(const ChunkBuffer& data, int offset) {
    uint32_t bits = static_cast<uint32_t>(FieldAt(data, offset));
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

void AppendField(ChunkBuffer& data, int32_t value) {
    uint8_t bytes[4];
    fx::WriteBigEndian(bytes, value);
    data.AppendBytes(bytes, 4);
}

// The program name field: at most 27 characters, NUL-terminated and zero-padded.
std::string NameAt(const ChunkBuffer& data, int offset) {
    char name[fx::kProgramNameSize + 1] = {0};
    if (offset + fx::kProgramNameSize <= data.Size())
        std::memcpy(name, data.Data() + offset, fx::kProgramNameSize);
    name[fx::kProgramNameSize - 1] = '\0';
    return name;
}

// Where a chunk starts: after the framework header when there is one.
int ChunkStart(const ChunkBuffer& data, int offset) {
    int32_t magic = 0;
    data.ReadInt32(offset, &magic);
    return magic == fx::kFrameworkMagic ? offset + fx::kFrameworkHeaderSize : offset;
}

// The chunk size field just before the chunk must not promise more than the file holds.
bool ChunkFits(const ChunkBuffer& data, int chunkStart) {
    int32_t size = FieldAt(data, chunkStart - 4);
    return size >= 0 && size <= data.Size() - chunkStart;
}

} // namespace

bool IPlugBase::WriteProgramData(ChunkBuffer& data) {
    InstanceLock lock(mutex_);
    ChunkBuffer state;
    WriteChunkHeader(state);
    if (!SerializeState(state)) return false;
    char name[fx::kProgramNameSize] = {0};
    std::strncpy(name, GetPresetName(currentPreset_), fx::kProgramNameSize - 1);
    data.Clear();
    AppendField(data, fx::kChunkMagic);
    AppendField(data, fx::kProgramHeaderSize + state.Size());
    AppendField(data, fx::kProgramChunkMagic);
    AppendField(data, 1);
    AppendField(data, uniqueID_);
    AppendField(data, GetDecimalVersion());
    AppendField(data, NParams());
    data.AppendBytes(name, fx::kProgramNameSize);
    AppendField(data, state.Size());
    return data.AppendBytes(state.Data(), state.Size());
}

bool IPlugBase::WriteBankData(ChunkBuffer& data) {
    InstanceLock lock(mutex_);
    ChunkBuffer bank;
    WriteChunkHeader(bank);
    if (!SerializePresets(bank)) return false;
    data.Clear();
    AppendField(data, fx::kChunkMagic);
    AppendField(data, fx::kBankHeaderSize + bank.Size());
    AppendField(data, fx::kBankChunkMagic);
    AppendField(data, 2);
    AppendField(data, uniqueID_);
    AppendField(data, GetDecimalVersion());
    AppendField(data, NPresets());
    AppendField(data, currentPreset_);
    uint8_t zeros[124] = {0};
    data.AppendBytes(zeros, sizeof(zeros));
    AppendField(data, bank.Size());
    return data.AppendBytes(bank.Data(), bank.Size());
}

bool IPlugBase::SaveProgramFile(const std::string& path) {
    ChunkBuffer data;
    return !path.empty() && WriteProgramData(data) && WriteWholeFile(path, data);
}

bool IPlugBase::SaveBankFile(const std::string& path) {
    ChunkBuffer data;
    return !path.empty() && WriteBankData(data) && WriteWholeFile(path, data);
}

bool IPlugBase::LoadProgramFile(const std::string& path) {
    ChunkBuffer data;
    return ReadWholeFile(path, data) && LoadProgramData(data);
}

bool IPlugBase::LoadBankFile(const std::string& path) {
    ChunkBuffer data;
    return ReadWholeFile(path, data) && LoadBankData(data);
}

bool IPlugBase::LoadProgramData(const ChunkBuffer& data) {
    InstanceLock lock(mutex_);
    if (data.Size() < fx::kProgramHeaderSize || FieldAt(data, 0) != fx::kChunkMagic ||
        FieldAt(data, 12) != 1 || FieldAt(data, 16) != uniqueID_)
        return false;
    int32_t kind = FieldAt(data, 8);
    if (kind == fx::kProgramChunkMagic) {
        if (!ChunkFits(data, fx::kProgramHeaderSize)) return false;
        // A state that breaks off is refused whole: the live state read so far is put back.
        ChunkBuffer before;
        SerializeState(before);
        if (UnserializeState(data, ChunkStart(data, fx::kProgramHeaderSize)) < 0) {
            UnserializeState(before, 0);
            return false;
        }
    } else if (kind == fx::kProgramParamsMagic) {
        if (data.Size() < fx::kProgramParamsOffset + 4 * NParams()) return false;
        for (int i = 0; i < NParams(); ++i)
            params_[i].SetFromNormalized(FloatAt(data, fx::kProgramParamsOffset + 4 * i));
    } else {
        return false;
    }
    ModifyCurrentPreset(NameAt(data, fx::kProgramNameOffset).c_str());
    ApplyPreset(currentPreset_);
    NotifyHostOfProgramChange();
    return true;
}

bool IPlugBase::LoadBankData(const ChunkBuffer& data) {
    InstanceLock lock(mutex_);
    if (data.Size() < fx::kBankHeaderSize || FieldAt(data, 0) != fx::kChunkMagic ||
        FieldAt(data, 16) != uniqueID_)
        return false;
    int32_t kind = FieldAt(data, 8);
    bool complete;
    if (kind == fx::kBankChunkMagic) {
        if (!ChunkFits(data, fx::kBankHeaderSize)) return false;
        complete = UnserializePresets(data, ChunkStart(data, fx::kBankHeaderSize)) >= 0;
    } else if (kind == fx::kBankParamsMagic) {
        complete = LoadParameterListBank(data);
    } else {
        return false;
    }
    NotifyHostOfProgramChange();
    return complete;
}

// A bank of parameter-list programs, each a program header and one normalised float per
// parameter. Programs read before a break stay loaded; programs beyond the preset count are
// not read.
bool IPlugBase::LoadParameterListBank(const ChunkBuffer& data) {
    const int programSize = fx::kProgramParamsOffset + 4 * NParams();
    int count = FieldAt(data, 24);
    if (count > NPresets()) count = NPresets();
    int position = fx::kBankParamsOffset;
    for (int i = 0; i < count; ++i, position += programSize) {
        if (position + programSize > data.Size() || FieldAt(data, position) != fx::kChunkMagic ||
            FieldAt(data, position + 8) != fx::kProgramParamsMagic ||
            FieldAt(data, position + 12) != 1 || FieldAt(data, position + 24) != NParams()) {
            ApplyPreset(currentPreset_); // the engine follows the values set so far
            return false;
        }
        ApplyPreset(i);
        for (int p = 0; p < NParams(); ++p)
            params_[p].SetFromNormalized(
                FloatAt(data, position + fx::kProgramParamsOffset + 4 * p));
        ModifyCurrentPreset(NameAt(data, position + fx::kProgramNameOffset).c_str());
    }
    if (!ApplyPreset(FieldAt(data, 28))) ApplyPreset(currentPreset_);
    return true;
}
