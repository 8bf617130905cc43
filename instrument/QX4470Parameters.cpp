// The parameters: creating them from the table, their special displays, the keypad numbers, the
// "Edit Parameter" codes, and what a parameter change does to the engine.
#include "instrument/QX4470.h"

#include "instrument/VoiceParameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

void ShowVoiceCount(double value, char* text) {
    std::snprintf(text, kParamTextCapacity, "%i", VoiceCountOf(value));
}

void ShowDecibels(double value, char* text) {
    if (value <= 0.0)
        CopyText(text, "-oo", kParamTextCapacity);
    else
        FormatNumber(text, kParamTextCapacity, 1, 20.0 * std::log10(value));
}

// "Tune" moves the pitch a whole semitone at +-1, so it shows cents as value x 100.
void ShowCents(double value, char* text) {
    FormatNumber(text, kParamTextCapacity, 0, value * 100.0);
}

// Panel position code (8 x (group - 1) + (position - 1)) to parameter index.
const int kEditParameterOfCode[64] = {
    0,  1,  2,  3,  4,  5,  6,  0,  7,  8,  9,  10, 11, 12, 0,  0,  15, 16, 17, 18, 19, 0,
    0,  0,  20, 21, 22, 23, 24, 25, 26, 0,  27, 28, 29, 30, 31, 32, 33, 0,  34, 35, 36, 37,
    38, 39, 40, 0,  41, 42, 43, 44, 45, 46, 47, 0,  48, 49, 50, 0,  0,  0,  0,  0,
};

} // namespace

int VoiceCountOf(double value) {
    static const int kCounts[8] = {1, 2, 4, 6, 8, 16, 32, 64};
    long n = std::lround(std::isfinite(value) ? std::clamp(value + 4.0, -1.0, 8.0) : 4.0);
    return kCounts[std::clamp<long>(n, 0, 7)];
}

double UnisonGainOf(int unisonVoices) {
    static const double kGains[8] = {1.0, 0.917, 0.841, 0.771, 0.707, 0.648, 0.595, 0.545};
    return kGains[std::clamp(unisonVoices, 1, 8) - 1];
}

int ParameterOfPanelNumber(int number) {
    for (int i = 0; i <= kVoices; ++i)
        if (kParameterTable[i].panelNumber == number) return i;
    return -1;
}

int EditParameterOfCode(int code) {
    return std::clamp(kEditParameterOfCode[code & 0x3F], 0, kNumProgramParams - 1);
}

int CodeOfEditParameter(int index) {
    for (int code = 0; code < 64; ++code)
        if (kEditParameterOfCode[code] == index) return code;
    return 0;
}

void QX4470::InitParameters() {
    for (int i = 0; i < kNumParams; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        IParameter* param = GetParameter(i);
        switch (info.kind) {
        case ParamKind::Enum:
            param->InitEnumParameter(info.name, info.defaultValue, info.textCount, info.texts);
            break;
        case ParamKind::Int:
            param->SetType(ParamTypeInt);
            param->InitNumberParameter(info.name, info.defaultValue, info.min, info.max, info.step,
                                       1.0);
            break;
        case ParamKind::Double:
            param->InitNumberParameter(info.name, info.defaultValue, info.min, info.max, info.step,
                                       1.0);
            break;
        }
    }
    GetParameter(kVoices)->SetDisplayFunction(ShowVoiceCount);
    GetParameter(kVolume)->SetDisplayFunction(ShowDecibels);
    GetParameter(kTune)->SetDisplayFunction(ShowCents);
}

void QX4470::OnParameterChanged(int index) {
    Synth::OnParameterChanged(index); // MIDI learn capture
    const IParameter* param = GetParameter(index);
    if (!param) return;
    const double b = param->Value();
    const double e = param->GetAsNormalized();
    switch (index) {
    case kAssignMode:
        AllNotesOff();
        assignMode = std::clamp(static_cast<int>(std::lround(b)), 0, 3);
        unison = assignMode == 2 || assignMode == 3;
        break;
    case kEditParameter:
        editParameterIndex = static_cast<int>(b);
        break;
    case kPseudoStereo:
        pseudoStereo = e >= 0.5;
        break;
    case kVoices:
        SetVoiceCount(VoiceCountOf(b));
        break;
    case kEngineMode:
        dw6000 = e >= 0.5;
        modulation.setDw6000(dw6000);
        delay.setDw6000(dw6000);
        // The MG's filter depth depends on the mode; programs set "MG VCF" before the mode.
        ApplyGlobalParameter(kMgVcf, GetParameter(kMgVcf)->Value(),
                             GetParameter(kMgVcf)->GetAsNormalized());
        break;
    case kWaveSet:
        waveSet = static_cast<int>(b);
        break;
    case kVcfMgSource:
        amounts.breathDrivesVcf = e < 0.5;
        break;
    default:
        ApplyGlobalParameter(index, b, e);
        break;
    }
    // The voices take what shapes their sound; they ignore the rest.
    for (Voice& voice : voices)
        ApplyVoiceParameter(voice.path, index, b, e);
    editorDirty = true;
}

// The global amounts of the modulation, the delay and the output stage.
void QX4470::ApplyGlobalParameter(int index, double b, double e) {
    switch (index) {
    case kMgWaveform:
        modulation.setWaveform(std::clamp(static_cast<int>(std::lround(b)), 0, 3));
        break;
    case kMgFrequency:
        modulation.setFrequency(e);
        break;
    case kMgDelay:
        modulation.setDelay(e);
        break;
    case kMgOsc:
        amounts.mgOsc = e;
        break;
    case kMgVcf:
        amounts.mgVcf = e * (dw6000 ? 60.0 : 30.0) * 128.0;
        break;
    case kBendOsc:
        amounts.bendOsc = e * 12.0 * 128.0;
        break;
    case kBendVcf:
        amounts.bendVcf = e * 15360.0;
        break;
    case kDelayTime:
        // Hosts set this through a float: 5/7 comes back as 5.0000001, 2/7 as 1.9999999.
        delay.setTime(static_cast<int>(std::lround(b)));
        break;
    case kDelayFactor:
        delay.setFactor(e * 0.5 + 0.5);
        break;
    case kDelayFeedback:
        delay.setFeedback(-(std::pow(e, 2.6) * 0.9));
        break;
    case kDelayModFrequency:
        delay.setModRate(std::exp(e * 3.348) * 0.6 / 1000.0);
        break;
    case kDelayModIntensity:
        delay.setModAmount(e);
        break;
    case kDelayLevel:
        delayLevel = std::pow(e, 2.6) * 0.9;
        break;
    case kAfterTouchOscMg:
        amounts.atOsc = e;
        break;
    case kAfterTouchVcf:
        amounts.atVcf = e * 15360.0;
        break;
    case kAfterTouchVca:
        amounts.atVca = e * 0.5;
        break;
    case kModWheelOscMg:
        amounts.wheelOsc = e * 1537.0;
        break;
    case kModWheelVcfMg:
        amounts.wheelVcf = e * 15360.0;
        break;
    case kVolume:
        amounts.volume = e * 0.5;
        break;
    case kTune:
        amounts.tune = b * 128.0;
        break;
    default:
        break; // voice parameters and the reserved ones
    }
}
