// Time per sample of one sounding voice: both oscillators, noise, both envelopes with their
// smoothers, the ladder filter and the amplifier, with a control tick every millisecond.
#include "dsp/VoiceParameters.h"
#include "dsp/VoicePath.h"
#include "dsp/WaveStore.h"
#include "host/Os.h"
#include "instrument/ParameterTable.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void SetParameter(VoicePath& voice, int index, double value) {
    const ParameterInfo& info = kParameterTable[index];
    ApplyVoiceParameter(voice, index, value, (value - info.min) / (info.max - info.min));
}

// A busy voice: a resonant filter swept by its envelope, noise on, a long decay and slope so
// that every stage's code runs.
void SetUpVoice(VoicePath& voice, Random& random, double fs) {
    voice.reset(fs, random);
    for (int i = 0; i < kNumParams; ++i)
        SetParameter(voice, i, kParameterTable[i].defaultValue);
    SetParameter(voice, kOsc2Waveform, 8);
    SetParameter(voice, kNoiseLevel, 10);
    SetParameter(voice, kVcfCutoff, 30);
    SetParameter(voice, kVcfResonance, 25);
    SetParameter(voice, kVcfEgIntensity, 20);
    SetParameter(voice, kVcfEgDecay, 25);
    SetParameter(voice, kVcfEgBreakPoint, 12);
    SetParameter(voice, kVcfEgSlope, 25);
    SetParameter(voice, kVcaEgDecay, 25);
    SetParameter(voice, kVcaEgBreakPoint, 20);
    SetParameter(voice, kVcaEgSlope, 25);
    SetParameter(voice, kVcaEgSustain, 10);
}

// Voices rendered as the block renderer does: per sample, every voice in turn, summed. With
// one voice this is the latency of a single voice's path; with several, the time per
// voice-sample when the processor overlaps independent voices.
void VoicesSummed(benchmark::State& state) {
    const os::ResourceData data = os::FindModuleResource("DSTDATA", "WAVEDST");
    WaveStore::Build(DecodeWaveData(data.data, data.size));
    const double fs = 44100;
    const int count = int(state.range(0));
    Random random(1);
    std::vector<VoicePath> voices(count);
    std::vector<int> notes(count);
    for (int v = 0; v < count; ++v) {
        SetUpVoice(voices[v], random, fs);
        notes[v] = 48 + 5 * v % 24;
        voices[v].vcfEnv.gate();
        voices[v].vcaEnv.gate();
    }
    const int tickLength = 44;
    int tick = 0, ticks = 0;
    double sum = 0;
    for (auto _ : state) {
        if (tick == 0) {
            // A new note every two seconds keeps the envelopes cycling through their stages.
            const bool retrigger = ++ticks == 2000;
            if (retrigger) ticks = 0;
            for (int v = 0; v < count; ++v) {
                VoicePath& voice = voices[v];
                if (retrigger) {
                    notes[v] = 36 + (notes[v] + 7) % 48;
                    voice.vcfEnv.gate();
                    voice.vcaEnv.gate();
                }
                voice.refreshNoteTerms(notes[v], 0.8);
                voice.followPitch(notes[v] * 128.0, notes[v] * 128.0);
                voice.refreshActive();
            }
            tick = tickLength;
        }
        --tick;
        double mix = 0;
        for (int v = 0; v < count; ++v)
            mix += voices[v].sample();
        sum += mix;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["ns_per_voice_sample"] =
        benchmark::Counter(double(state.iterations()) * count,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(VoicesSummed)->Arg(1)->Arg(2)->Arg(8)->Arg(16);

} // namespace
