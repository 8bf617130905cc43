#include "instrument/SysExFormat.h"

#include "instrument/ParameterTable.h"

#include <algorithm>
#include <cmath>

namespace sysex {

namespace {
constexpr FieldCode P = FieldCode::Plain;
} // namespace

const Dw6000Field kDw6000Fields[kDw6000FieldCount] = {
    {0, kBendOsc, 0, 0x0F, P},
    {0, kAssignMode, 4, 0x03, P},
    {1, kPortamento, 0, 0x1F, P},
    {2, kOsc1Level, 0, 0x1F, P},
    {3, kOsc2Level, 0, 0x1F, P},
    {4, kNoiseLevel, 0, 0x1F, P},
    {5, kVcfCutoff, 0, 0x3F, P},
    {6, kVcfResonance, 0, 0x1F, P},
    {7, kVcfEgIntensity, 0, 0x1F, P},
    {8, kVcfEgAttack, 0, 0x1F, P},
    {9, kVcfEgDecay, 0, 0x1F, P},
    {10, kVcfEgBreakPoint, 0, 0x1F, P},
    {11, kVcfEgSlope, 0, 0x1F, P},
    {12, kVcfEgSustain, 0, 0x1F, P},
    {13, kVcfEgRelease, 0, 0x1F, P},
    {14, kVcaEgAttack, 0, 0x1F, P},
    {15, kVcaEgDecay, 0, 0x1F, P},
    {16, kVcaEgBreakPoint, 0, 0x1F, P},
    {17, kVcaEgSlope, 0, 0x1F, P},
    {18, kVcaEgSustain, 0, 0x1F, P},
    {18, kBendVcf, 5, 0x01, P},
    {19, kVcaEgRelease, 0, 0x1F, P},
    {19, kOsc1Octave, 5, 0x03, P},
    {20, kMgFrequency, 0, 0x1F, P},
    {20, kOsc2Octave, 5, 0x03, P},
    {21, kMgDelay, 0, 0x1F, P},
    {21, kVcfKbdTrack, 5, 0x03, FieldCode::KbdTrack},
    {22, kMgOsc, 0, 0x1F, P},
    {22, kVcfEgPolarity, 5, 0x01, P},
    {23, kMgVcf, 0, 0x1F, P},
    {23, kDelayLevel, 5, 0x01, FieldCode::Chorus},
    {24, kOsc2Waveform, 0, 0x07, P},
    {24, kOsc1Waveform, 3, 0x07, P},
    {25, kOsc2Detune, 0, 0x07, P},
    {25, kOsc2Interval, 3, 0x07, P},
};

void AppendHeader(ChunkBuffer& chunk, bool dw6000, uint8_t function) {
    const uint8_t header[kHeaderSize] = {kStart, kManufacturer, uint8_t(dw6000 ? 0x40 : 0x30),
                                         uint8_t(dw6000 ? 0x04 : 0x03), function};
    chunk.AppendBytes(header, kHeaderSize);
}

MessageKind Classify(const uint8_t* m, int s, bool dw6000) {
    if (!m || s <= kHeaderSize || m[0] != kStart || m[1] != kManufacturer || m[s - 1] != kEnd)
        return MessageKind::Ignored;
    // The DW-8000 dialect wants device 3, the DW-6000 dialect device 4.
    if (((m[3] + (dw6000 ? 0 : 1)) & 0x0F) != 4) return MessageKind::Ignored;
    if (m[4] == kProgramDump)
        return s >= (IsDw6000Device(m[3]) ? kDw6000DumpSize : kDw8000DumpSize)
                   ? MessageKind::ProgramDump
                   : MessageKind::Ignored;
    if (s == 6 && m[4] == kDumpRequest) return MessageKind::DumpRequest;
    if (s == 8 && m[4] == kParameterChange) return MessageKind::ParameterChange;
    return MessageKind::Ignored;
}

int CountProgramDumps(const uint8_t* bytes, int size) {
    int count = 0;
    for (int i = 0; bytes && i + kHeaderSize <= size; ++i)
        if (bytes[i] == kStart && bytes[i + 1] == kManufacturer && bytes[i + 4] == kProgramDump)
            ++count;
    return count;
}

uint8_t DataByte(double raw) {
    long value = std::isfinite(raw) ? std::lround(raw) : 0;
    return static_cast<uint8_t>(std::clamp<long>(value, 0, 127));
}

int Dw6000Unpack(const Dw6000Field& field, int byteValue) {
    int code = (byteValue >> field.shift) & field.mask;
    switch (field.code) {
    case FieldCode::KbdTrack: {
        static const int kTrackOfCode[4] = {0, 2, 3, 3};
        return kTrackOfCode[code];
    }
    case FieldCode::Chorus:
        return code ? 15 : 0;
    default:
        return code;
    }
}

uint8_t Dw6000Pack(int byte, const double* raw) {
    int packed = 0;
    for (const Dw6000Field& field : kDw6000Fields) {
        if (field.byte != byte) continue;
        int value = DataByte(raw[field.param]);
        if (field.code == FieldCode::KbdTrack) {
            static const int kCodeOfTrack[4] = {0, 1, 1, 2};
            value = kCodeOfTrack[std::min(value, 3)];
        } else if (field.code == FieldCode::Chorus) {
            value = raw[field.param] > 0 ? 1 : 0;
        }
        packed |= (value & field.mask) << field.shift;
    }
    return static_cast<uint8_t>(packed);
}

int Dw6000ByteOf(int param) {
    for (const Dw6000Field& field : kDw6000Fields)
        if (field.param == param) return field.byte;
    return -1;
}

} // namespace sysex
