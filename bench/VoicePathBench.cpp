// Time per voice-sample of sounding voices: both oscillators, noise, both envelopes with their
// smoothers, the ladder filter and the amplifier, with a control tick every millisecond;
// rendered one sample at a time and by each path of the chunk renderer.
#include "dsp/VoicePath.h"
#include "dsp/VoiceRenderer.h"
#include "dsp/WaveStore.h"
#include "host/Os.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// Envelope settings 0..1: attack, decay, break point, slope, sustain and release.
void SetEnvelope(Envelope& envelope, double attack, double decay, double breakPoint, double slope,
                 double sustain, double release) {
    envelope.setAttack(attack);
    envelope.setDecay(decay);
    envelope.setBreakPoint(breakPoint);
    envelope.setSlope(slope);
    envelope.setSustain(sustain);
    envelope.setRelease(release);
}

// A busy voice: both oscillators at full level, a resonant filter swept by its envelope, noise
// on, a long decay and slope so that every stage's code runs.
void SetUpVoice(VoicePath& voice, Random& random, double fs) {
    voice.reset(fs, random);
    voice.osc1.setWaveform(0);
    voice.osc2.setWaveform(7);
    voice.osc2.setDetune(0.3);
    voice.osc1Level = voice.osc2Level = 1;
    voice.noiseLevel = 10 / 31.0;
    voice.filter.setBaseCutoff(68 * 128.0);
    voice.filter.setResonance(0.95);
    voice.settings.egInt = 20 / 31.0;
    SetEnvelope(voice.vcfEnv, 0, 25 / 31.0, 12 / 31.0, 25 / 31.0, 1, 0);
    SetEnvelope(voice.vcaEnv, 0, 25 / 31.0, 20 / 31.0, 25 / 31.0, 10 / 31.0, 0);
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
