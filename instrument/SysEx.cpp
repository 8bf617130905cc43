// The hardware's system-exclusive messages: program dumps, dump requests and parameter changes,
// in the DW-8000 dialect (one byte per program parameter) and the DW-6000 dialect (26 packed
// bytes).
#include "instrument/QX4470.h"

#include "instrument/SysExFormat.h"

#include <algorithm>
#include <cmath>

using namespace sysex;

// One program parameter from its raw data value (value - min), limited to the range.
void QX4470::SetProgramValue(int index, double raw) {
    IParameter* param = GetParameter(index);
    param->SetValueLimited(param->Min() + raw);
    OnParameterChanged(index);
    NotifyHostOfParameter(index, param->GetAsNormalized());
}

void QX4470::ApplyProgramByte(int number, int value, bool dw6000Data) {
    if (!dw6000Data) {
        if (number < 0 || number == kEditParameter || number >= kNumProgramParams) return;
        SetProgramValue(number, value);
        return;
    }
    if (number < 0 || number >= kDw6000DataSize) return;
    for (const Dw6000Field& field : kDw6000Fields)
        if (field.byte == number) SetProgramValue(field.param, Dw6000Unpack(field, value));
}

void QX4470::BuildProgramDump(ChunkBuffer& chunk) {
    AppendHeader(chunk, dw6000, kProgramDump);
    double raw[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        raw[i] = GetParameter(i)->Value() - GetParameter(i)->Min();
    if (dw6000) {
        for (int byte = 0; byte < kDw6000DataSize; ++byte)
            chunk.AppendByte(Dw6000Pack(byte, raw));
    } else {
        for (int i = 0; i < kNumProgramParams; ++i)
            chunk.AppendByte(i == kEditParameter ? CodeOfEditParameter(editParameterIndex)
                                                 : DataByte(raw[i]));
    }
    chunk.AppendByte(kEnd);
}

int QX4470::ParseProgramDump(const uint8_t* bytes, int size, int position) {
    if (!bytes || position < 0 || position + kHeaderSize > size) return -1;
    const bool dw = IsDw6000Device(bytes[position + 3]);
    InitializeProgram(dw);
    position += kHeaderSize;
    const int count = dw ? kDw6000DataSize : kNumProgramParams;
    if (dw) SetProgramValue(kVoices, -1.0 - GetParameter(kVoices)->Min()); // 6 voices
    for (int i = 0; i < count; ++i, ++position) {
        // A status byte inside the data means the dump was cut short.
        if (position >= size || bytes[position] >= 0x80) return -1;
        const int value = bytes[position];
        if (!dw && i == kEditParameter)
            SetProgramValue(kEditParameter, EditParameterOfCode(value));
        else
            ApplyProgramByte(i, value, dw);
    }
    return position;
}

void QX4470::SendProgramDump() {
    sysexOut_.Clear();
    BuildProgramDump(sysexOut_);
    ISysExMessage message;
    message.size = sysexOut_.Size();
    message.data = sysexOut_.Data();
    SendSysExMessage(message);
}

void QX4470::SendParameterChange(int index) {
    if (!config.sendParamChangeSysEx || constructing) return;
    int number, value;
    if (!dw6000) {
        if (index < 0 || index == kEditParameter || index >= kNumProgramParams) return;
        number = index;
        value = DataByte(GetParameter(index)->Value() - GetParameter(index)->Min());
    } else {
        number = Dw6000ByteOf(index);
        if (number < 0) return;
        double raw[kNumParams];
        for (int i = 0; i < kNumParams; ++i)
            raw[i] = GetParameter(i)->Value() - GetParameter(i)->Min();
        value = Dw6000Pack(number, raw);
    }
    sysexOut_.Clear();
    AppendHeader(sysexOut_, dw6000, kParameterChange);
    sysexOut_.AppendByte(static_cast<uint8_t>(number));
    sysexOut_.AppendByte(static_cast<uint8_t>(value));
    sysexOut_.AppendByte(kEnd);
    ISysExMessage message;
    message.size = sysexOut_.Size();
    message.data = sysexOut_.Data();
    SendSysExMessage(message);
}

void QX4470::ProcessSysExMessage(const ISysExMessage& message) {
    const uint8_t* m = message.data;
    const int s = message.size;
    switch (Classify(m, s, dw6000)) {
    case MessageKind::ProgramDump:
        ParseProgramDump(m, s, 0);
        break;
    case MessageKind::DumpRequest:
        SendProgramDump();
        break;
    case MessageKind::ParameterChange:
        ApplyProgramByte(m[5], m[6], dw6000);
        break;
    case MessageKind::Ignored:
        break;
    }
}
