// Time per voice-sample of sounding voices: both oscillators, noise, both envelopes with their
// smoothers, the ladder filter and the amplifier, with a control tick every millisecond;
// rendered one sample at a time and by each path of the chunk renderer.
#include "dsp/VoiceParameters.h"
#include "dsp/VoicePath.h"
#include "dsp/VoiceRenderer.h"
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

// Busy voices as the instrument drives them: a control tick every millisecond, and a new note
// every two seconds, which keeps the envelopes cycling through their stages.
class BusyVoices {
public:
    explicit BusyVoices(int count) : voices_(count), notes_(count) {
        const os::ResourceData data = os::FindModuleResource("DSTDATA", "WAVEDST");
        WaveStore::Build(DecodeWaveData(data.data, data.size));
        Random random(1);
        for (int v = 0; v < count; ++v) {
            SetUpVoice(voices_[v], random, kSampleRate);
            notes_[v] = 48 + 5 * v % 24;
            voices_[v].vcfEnv.gate();
            voices_[v].vcaEnv.gate();
            pointers_.push_back(&voices_[v]);
        }
    }

    static constexpr double kSampleRate = 44100;
    static constexpr int kTickLength = 44;

    void controlTick() {
        const bool retrigger = ++ticks_ == 2000;
        if (retrigger) ticks_ = 0;
        for (size_t v = 0; v < voices_.size(); ++v) {
            VoicePath& voice = voices_[v];
            if (retrigger) {
                notes_[v] = 36 + (notes_[v] + 7) % 48;
                voice.vcfEnv.gate();
                voice.vcaEnv.gate();
            }
            voice.refreshNoteTerms(notes_[v], 0.8);
            voice.followPitch(notes_[v] * 128.0, notes_[v] * 128.0);
            voice.refreshActive();
        }
    }
    int count() const { return int(voices_.size()); }
    VoicePath& operator[](int v) { return voices_[v]; }
    VoicePath* const* pointers() const { return pointers_.data(); }

private:
    std::vector<VoicePath> voices_;
    std::vector<int> notes_;
    std::vector<VoicePath*> pointers_;
    int ticks_ = 0;
};

void ReportPerVoiceSample(benchmark::State& state, double voiceSamples) {
    state.SetItemsProcessed(int64_t(voiceSamples));
    state.counters["ns_per_voice_sample"] =
        benchmark::Counter(voiceSamples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The numbers of sounding voices each benchmark runs with.
void VoiceCounts(benchmark::internal::Benchmark* benchmark) {
    for (int voices : {1, 2, 3, 4, 8, 16, 64})
        benchmark->Arg(voices);
}

// Voices rendered one sample at a time (VoicePath::sample), every voice in turn, summed. With
// one voice this is the latency of a single voice's path; with several, the time per
// voice-sample when the processor overlaps independent voices. One iteration is one sample.
void VoicesSummed(benchmark::State& state) {
    BusyVoices voices(int(state.range(0)));
    int tick = 0;
    double sum = 0;
    for (auto _ : state) {
        if (tick == 0) {
            voices.controlTick();
            tick = BusyVoices::kTickLength;
        }
        --tick;
        double mix = 0;
        for (int v = 0; v < voices.count(); ++v)
            mix += voices[v].sample();
        sum += mix;
    }
    benchmark::DoNotOptimize(sum);
    ReportPerVoiceSample(state, double(state.iterations()) * voices.count());
}
BENCHMARK(VoicesSummed)->Apply(VoiceCounts);

// The same voices rendered by the chunk renderer, one control tick per call, by a given path.
// One iteration is one tick (44 samples).
void VoicesInChunks(benchmark::State& state, VoiceRendererPath path) {
    if (!VoiceRendererPathAvailable(path)) {
        state.SkipWithError("this path is not available on this build or processor");
        return;
    }
    BusyVoices voices(int(state.range(0)));
    double mix[BusyVoices::kTickLength] = {};
    for (auto _ : state) {
        voices.controlTick();
        RenderVoices(voices.pointers(), voices.count(), BusyVoices::kTickLength, mix, path);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(mix);
    ReportPerVoiceSample(state,
                         double(state.iterations()) * BusyVoices::kTickLength * voices.count());
}
BENCHMARK_CAPTURE(VoicesInChunks, plain, VoiceRendererPath::kPlain)->Apply(VoiceCounts);
BENCHMARK_CAPTURE(VoicesInChunks, sse2, VoiceRendererPath::kSse2)->Apply(VoiceCounts);
BENCHMARK_CAPTURE(VoicesInChunks, avx, VoiceRendererPath::kAvx)->Apply(VoiceCounts);
BENCHMARK_CAPTURE(VoicesInChunks, avx512, VoiceRendererPath::kAvx512)->Apply(VoiceCounts);

} // namespace
