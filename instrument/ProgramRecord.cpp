// The program state record stored in every preset and program chunk, the generated program
// names, program initialisation and the factory banks.
#include "instrument/QX4470.h"

#include <cstring>

namespace {

// The record's version tag; records without it are the older untagged form.
const char kRecordTag[] = "QX-4470_1.1.3";
constexpr int kRecordTagSize = 13;
constexpr int32_t kRecordMarker = 5;
constexpr int32_t kRecordTrailer = 1106;

bool HasTag(const ChunkBuffer& chunk, int position) {
    char tag[kRecordTagSize];
    return chunk.ReadBytes(position, tag, kRecordTagSize) >= 0 &&
           std::memcmp(tag, kRecordTag, kRecordTagSize) == 0;
}

} // namespace

std::string ProgramNameOf(int index) {
    return "PROGRAM " + std::to_string(index / 8 + 1) + "-" + std::to_string(index % 8 + 1);
}

bool QX4470::SerializeState(ChunkBuffer& chunk) {
    bool ok = chunk.AppendBytes(kRecordTag, kRecordTagSize);
    ok = chunk.AppendInt32(GetCurrentPresetIndex()) && ok;
    ok = chunk.AppendText(GetPresetName(GetCurrentPresetIndex())) && ok;
    // The placeholders are always stored as 0, whatever a host set them to.
    for (int i = kReservedFirst; i <= kReservedLast; ++i)
        GetParameter(i)->SetValueLimited(0.0);
    for (int i = 0; i < kNumParams; ++i)
        ok = chunk.AppendDouble(GetParameter(i)->Value()) && ok;
    ok = chunk.AppendInt32(kRecordMarker) && ok;
    return chunk.AppendInt32(kRecordTrailer) && ok;
}

int QX4470::UnserializeState(const ChunkBuffer& chunk, int position) {
    if (position >= 0 && HasTag(chunk, position)) {
        // The stored program index and name are not used: the program keeps its own.
        int32_t nameLength = 0;
        int next = chunk.ReadInt32(position + kRecordTagSize + 4, &nameLength);
        // A name longer than the rest of the chunk breaks the record off (and must not wrap
        // the position around).
        position =
            next < 0 || nameLength < 0 || nameLength > chunk.Size() - next ? -1 : next + nameLength;
    }
    for (int i = 0; i < kNumParams && position >= 0; ++i) {
        double value = 0.0;
        position = chunk.ReadDouble(position, &value);
        GetParameter(i)->SetValueLimited(value); // a missing value reads as 0, limited
    }
    NotifyAllParametersChanged();
    int32_t marker = 0;
    position = chunk.ReadInt32(position, &marker);
    if (position >= 0 && marker > 0) {
        int32_t trailer = 0;
        position = chunk.ReadInt32(position, &trailer);
    }
    return position;
}

void QX4470::InitializeProgram(bool dw6000Program) {
    for (int i = 0; i < kNumParams; ++i) {
        const IParameter* param = GetParameter(i);
        SetParameterFromEditor(i, param->ToNormalized(param->Default()));
    }
    if (dw6000Program) {
        SetParameterFromEditor(kEngineMode, 1.0);
        SetParameterFromEditor(kWaveSet, 1.0);
        // The DW-6000's fixed chorus, as its program data would set it.
        ApplyProgramByte(kDelayTime, 1, false);
        ApplyProgramByte(kDelayFactor, 0, false);
        ApplyProgramByte(kDelayFeedback, 0, false);
        ApplyProgramByte(kDelayModFrequency, 2, false);
        ApplyProgramByte(kDelayModIntensity, 27, false);
        ApplyProgramByte(kDelayLevel, 15, false);
        SetParameterFromEditor(kVoices, 3.0 / 7.0); // 6 voices
    }
    ModifyCurrentPreset(ProgramNameOf(GetCurrentPresetIndex()).c_str());
    RefreshParameterControls();
    NotifyHostOfAllParameters();
}

bool QX4470::RestoreFactoryBank(int kind) {
    static const char* const kBanks[3] = {"BANK_A", "BANK_B", "PROG6000"};
    if (kind < 0 || kind > 2) return false;
    os::ResourceData bank = os::FindModuleResource(kBanks[kind], "PROGINIT");
    bool ok = LoadBankImage(bank.data, static_cast<int>(bank.size));
    NotifyHostOfAllParameters();
    return ok;
}
