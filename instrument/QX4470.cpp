#include "instrument/QX4470.h"

#include "dsp/WaveData.h"
#include "dsp/WaveStore.h"
#include "host/PluginEntry.h"
#include "instrument/SysExFormat.h"

#include <algorithm>
#include <cmath>

namespace {

const PlugIdentity kIdentity = {
    "QX-4470",                     // effect name
    "",                            // product string
    "Marten Hollow Lab",           // vendor
    VstFourCC('q', 'x', '4', '4'), // unique ID
    VstFourCC('M', 'a', 'H', 'o'), // maker code
    0x10106,                       // version 1.1.6
    kNumParams,
    64,        // programs
    "0-1 0-2", // no inputs, one or two outputs
    0,         // latency
    true,      // instrument
    true,      // receives and sends MIDI
    true,      // keeps its state in chunks
};

// The engine runs in one-millisecond control ticks; rates below 1 kHz have none.
constexpr double kLowestSampleRate = 1000.0;
constexpr double kHighestSampleRate = 1536000.0;

} // namespace

IPlugVST* MakePlug(audioMasterCallback hostCallback) {
    return new QX4470(hostCallback);
}

// The waveform tables are built once per process from the spectra stored in the plug-in,
// before any instance can render.
static void BuildWaveStore() {
    if (WaveStore::IsBuilt()) return;
    os::ResourceData data = os::FindModuleResource("DSTDATA", "WAVEDST");
    WaveStore::Build(DecodeWaveData(data.data, data.size));
}

QX4470::QX4470(audioMasterCallback hostCallback) : Synth(kIdentity, hostCallback) {
    BuildWaveStore();
    config.ReadConfiguration();
    for (int i = 0; i < kVoicePool; ++i)
        paths_[i] = &voices[i].path;
    // Dump requests are answered on the audio thread: room for the longest message sent.
    sysexOut_.Reserve(sysex::kDw8000DumpSize);
    ResetEngine(GetSampleRate());
    InitParameters();
    CreateEditor();
    NotifyAllParametersChanged();
    LoadStartupBank();
    constructing = false;
}

QX4470::~QX4470() = default;

void QX4470::SetSampleRate(double rate) {
    // Rates outside what the engine can run are refused; the previous rate stays.
    if (rate >= kLowestSampleRate && rate <= kHighestSampleRate) Synth::SetSampleRate(rate);
}

void QX4470::OnReset() {
    Synth::OnReset();
    InstanceLock lock(Mutex());
    events_.Resize(midiQueue.Capacity());
    nextEvent_ = 0;
    tickCountdown_ = 0;
    tickLength_ = std::max(1, samplesPerMillisecond);
    if (GetSampleRate() != lastSampleRate) ResetEngine(GetSampleRate());
}

void QX4470::ResetEngine(double sampleRate) {
    lastSampleRate = sampleRate;
    tickLength_ = std::max(1, static_cast<int>(sampleRate) / 1000);
    controllers = ControllerInputs();
    for (Voice& voice : voices)
        voice.reset(sampleRate, random);
    modulation.resetDelay();
    delay.resetForRate(sampleRate);
    // The line and the MG start afresh, but the program's delay and MG settings stay what the
    // program says (a host sets the rate without necessarily activating the instrument again).
    if (!constructing) {
        for (int index : {kMgDelay, kDelayTime, kDelayFactor, kDelayModFrequency})
            OnParameterChanged(index);
    }
}

void QX4470::SeedRandomness(uint32_t seed) {
    InstanceLock lock(Mutex());
    random.seed(seed);
    SharedNoise::SetSeed(static_cast<int32_t>(seed | 1));
    for (Voice& voice : voices)
        voice.reset(lastSampleRate, random);
}
