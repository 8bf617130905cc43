#include "tape/TapeLayout.h"

#include "instrument/ParameterTable.h"

namespace {

// One bit field of a packed byte: parameter = ((byte >> shift) & mask) + offset.
struct PackedField {
    int byte;
    int shift;
    int mask;
    int parameter;
    int offset;
};

// The cassette packs two or three parameters into most bytes. The waveforms are stored as
// 0..15 for the panel's 1..16. "VCA EG Release" is split over two bytes and is assembled
// separately; d29 is the whole "Edit Parameter" panel code.
constexpr PackedField kFields[] = {
    {0, 0, 0x0F, kOsc1Waveform, 1},       {0, 4, 0x0F, kOsc2Waveform, 1},
    {1, 5, 0x03, kOsc1Octave, 0},         {1, 0, 0x1F, kOsc1Level, 0},
    {1, 7, 0x01, kVcfEgPolarity, 0},      {2, 5, 0x03, kOsc2Octave, 0},
    {2, 0, 0x1F, kOsc2Level, 0},          {2, 7, 0x01, kBendVcf, 0},
    {3, 5, 0x03, kAutoBendSelect, 0},     {3, 7, 0x01, kAutoBendMode, 0},
    {3, 0, 0x1F, kAutoBendIntensity, 0},  {4, 0, 0x07, kOsc2Interval, 0},
    {4, 3, 0x1F, kNoiseLevel, 0},         {5, 2, 0x3F, kVcfCutoff, 0},
    {5, 0, 0x03, kVcfKbdTrack, 0},        {6, 0, 0x07, kOsc2Detune, 0},
    {6, 3, 0x1F, kVcfResonance, 0},       {7, 3, 0x1F, kVcfEgIntensity, 0},
    {7, 0, 0x07, kVcfEgVelocity, 0},      {8, 0, 0x1F, kVcfEgAttack, 0},
    {9, 0, 0x1F, kVcfEgDecay, 0},         {10, 0, 0x1F, kVcfEgBreakPoint, 0},
    {11, 0, 0x1F, kVcfEgSlope, 0},        {12, 0, 0x1F, kVcfEgSustain, 0},
    {13, 0, 0x1F, kVcfEgRelease, 0},      {14, 0, 0x1F, kVcaEgAttack, 0},
    {15, 0, 0x1F, kVcaEgDecay, 0},        {16, 0, 0x1F, kVcaEgBreakPoint, 0},
    {17, 0, 0x1F, kVcaEgSlope, 0},        {18, 3, 0x1F, kVcaEgSustain, 0},
    {19, 0, 0x1F, kAutoBendTime, 0},      {20, 0, 0x07, kVcaEgVelocity, 0},
    {20, 3, 0x1F, kMgFrequency, 0},       {21, 0, 0x07, kDelayTime, 0},
    {21, 3, 0x1F, kDelayModIntensity, 0}, {22, 0, 0x0F, kBendOsc, 0},
    {22, 4, 0x0F, kDelayFactor, 0},       {23, 3, 0x1F, kMgDelay, 0},
    {23, 0, 0x03, kAfterTouchOscMg, 0},   {24, 3, 0x1F, kMgOsc, 0},
    {24, 0, 0x03, kAfterTouchVcf, 0},     {25, 3, 0x1F, kMgVcf, 0},
    {25, 0, 0x03, kAfterTouchVca, 0},     {26, 0, 0x03, kAssignMode, 0},
    {26, 3, 0x1F, kPortamento, 0},        {27, 0, 0x03, kMgWaveform, 0},
    {27, 3, 0x1F, kDelayModFrequency, 0}, {28, 4, 0x0F, kDelayFeedback, 0},
    {28, 0, 0x0F, kDelayLevel, 0},        {29, 0, 0x3F, kEditParameter, 0},
};
constexpr int kPackedFieldCount = sizeof kFields / sizeof kFields[0];
static_assert(kPackedFieldCount + 1 == kTapeFieldCount, "the release is the one split field");

// "VCA EG Release": its bits 2..4 are bits 0..2 of d18, its bits 0..1 are bits 6..7 of d19.
int VcaEgRelease(const uint8_t* data) {
    return (data[18] & 0x07) << 2 | (data[19] >> 6 & 0x03);
}

} // namespace

void UnpackTapeProgram(const uint8_t* data, TapeField fields[kTapeFieldCount]) {
    int n = 0;
    for (const PackedField& field : kFields) {
        fields[n++] = {field.parameter,
                       (data[field.byte] >> field.shift & field.mask) + field.offset};
        // Keep the release in its byte's place of the layout, after "VCA EG Sustain".
        if (field.parameter == kVcaEgSustain) fields[n++] = {kVcaEgRelease, VcaEgRelease(data)};
    }
}

uint8_t TapeChecksum(const uint8_t* data) {
    unsigned sum = 0;
    for (int i = 0; i < kTapeProgramDataBytes; ++i)
        sum += data[i];
    return static_cast<uint8_t>(sum);
}
