// qx4470 render PLUGIN SONG.mid -o OUT.wav: plays a MIDI file through a plug-in offline.
// The host sequence is the one real hosts use: effOpen, sample rate, block size, the preset
// file, the program, single parameter values, effMainsChanged(1), then per block one
// effProcessEvents (an empty list too) followed by the audio callback, and at the end
// effMainsChanged(0) and effClose.
#include "tools/qx4470/Commands.h"
#include "tools/qx4470/EventSchedule.h"
#include "tools/qx4470/PluginHost.h"
#include "tools/qx4470/PresetFile.h"
#include "tools/qx4470/PresetLoader.h"
#include "tools/qx4470/RenderOptions.h"
#include "tools/qx4470/TempoMap.h"
#include "tools/qx4470/WavWriter.h"

#include "host/Os.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kMaxChannels = 256;

// The output is written beside its final name and moved there only when the render succeeded,
// so a failed render leaves no output file behind.
class PendingFile {
public:
    explicit PendingFile(const std::string& path) : path_(path) {}
    ~PendingFile() {
        if (!kept_) std::remove(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

// The plug-in's audio buffers for one block, in the precision it processes in.
class AudioBuffers {
public:
    AudioBuffers(int inputs, int outputs, int frames, bool isDouble)
        : inputs_(inputs), outputs_(outputs), isDouble_(isDouble) {
        size_t count = (size_t)(inputs + outputs);
        if (isDouble)
            doubles_.assign(count, std::vector<double>((size_t)frames, 0.0));
        else
            floats_.assign(count, std::vector<float>((size_t)frames, 0.0f));
        for (size_t i = 0; i < count; ++i) {
            doublePointers_.push_back(isDouble ? doubles_[i].data() : nullptr);
            floatPointers_.push_back(isDouble ? nullptr : floats_[i].data());
        }
        // Never an empty array: some plug-ins read the first pointer regardless.
        doublePointers_.push_back(nullptr);
        floatPointers_.push_back(nullptr);
    }

    // Silence in every buffer: inputs carry nothing and the accumulating callback adds to it.
    void Clear() {
        for (auto& buffer : floats_)
            std::fill(buffer.begin(), buffer.end(), 0.0f);
        for (auto& buffer : doubles_)
            std::fill(buffer.begin(), buffer.end(), 0.0);
    }

    void Process(AEffect* effect, int frames) {
        if (isDouble_) {
            effect->processDoubleReplacing(effect, doublePointers_.data(),
                                           doublePointers_.data() + inputs_, frames);
        } else if (effect->processReplacing &&
                   ((effect->flags & effFlagsCanReplacing) || !effect->process)) {
            effect->processReplacing(effect, floatPointers_.data(), floatPointers_.data() + inputs_,
                                     frames);
        } else {
            effect->process(effect, floatPointers_.data(), floatPointers_.data() + inputs_, frames);
        }
    }

    double Output(int channel, int frame) const {
        size_t index = (size_t)(inputs_ + std::min(channel, outputs_ - 1));
        return isDouble_ ? doubles_[index][(size_t)frame] : floats_[index][(size_t)frame];
    }

private:
    int inputs_;
    int outputs_;
    bool isDouble_;
    std::vector<std::vector<float>> floats_;
    std::vector<std::vector<double>> doubles_;
    std::vector<float*> floatPointers_;
    std::vector<double*> doublePointers_;
};

void UpdateTimeInfo(VstTimeInfo& info, const midi::TempoMap& tempoMap, int64_t frame,
                    double sampleRate) {
    midi::MusicalPosition position = tempoMap.PositionAt((double)frame / sampleRate);
    info.samplePos = (double)frame;
    info.sampleRate = sampleRate;
    info.ppqPos = position.quarters;
    info.tempo = position.tempo;
    info.barStartPos = position.barStart;
    info.timeSigNumerator = position.numerator;
    info.timeSigDenominator = position.denominator;
    info.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                 kVstTimeSigValid | (frame == 0 ? kVstTransportChanged : 0);
}

struct RenderStats {
    double peak = 0.0;
    uint64_t nonFinite = 0;
};

} // namespace

int RunRender(const std::vector<std::string>& args) {
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(args, &options, &error)) {
        ReportError(error + " (qx4470 help shows the usage)");
        return kExitUsage;
    }

    std::vector<uint8_t> midiBytes;
    if (!ReadWholeFile(options.midiFile, &midiBytes)) {
        ReportError("cannot read MIDI file " + options.midiFile);
        return kExitFailure;
    }
    midi::ReadResult song = midi::ReadSong(midiBytes.data(), midiBytes.size());
    if (!song.ok()) {
        ReportError(options.midiFile + ": " + midi::DescribeFailure(song));
        return kExitFailure;
    }

    fx::ParseResult preset;
    if (!options.presetFile.empty()) {
        std::vector<uint8_t> presetBytes;
        if (!ReadWholeFile(options.presetFile, &presetBytes)) {
            ReportError("cannot read preset file " + options.presetFile);
            return kExitFailure;
        }
        preset = fx::Parse(presetBytes.data(), presetBytes.size());
        if (!preset.ok()) {
            ReportError(options.presetFile + ": " + fx::DescribeError(preset.error) + " (byte " +
                        std::to_string(preset.offset) + ")");
            return kExitFailure;
        }
    }

    const double sampleRate = options.sampleRate;
    midi::TempoMap tempoMap(song.song);
    EventSchedule schedule(song.song, tempoMap, sampleRate);
    // The render covers the last event and then the tail.
    int64_t tailFrames = (int64_t)std::floor(options.tailSeconds * sampleRate + 0.5);
    int64_t totalFrames = schedule.LastFrame() + std::max<int64_t>(tailFrames, 1);
    if (schedule.Count() == 0) totalFrames = tailFrames;
    if ((uint64_t)totalFrames > wav::MaxFrames(options.format, 2)) {
        ReportError("the render would not fit the 4 GB limit of a WAV file");
        return kExitFailure;
    }

    PluginHost host(sampleRate, options.blockSize);
    if (!host.Load(options.plugin, &error)) {
        ReportError(error);
        return kExitFailure;
    }
    AEffect* effect = host.Effect();
    if (options.processDouble &&
        (!host.HasFlag(effFlagsCanDoubleReplacing) || !effect->processDoubleReplacing)) {
        ReportError("the plug-in cannot process in double precision");
        return kExitFailure;
    }
    if (!options.processDouble && !effect->processReplacing && !effect->process) {
        ReportError("the plug-in has no audio callback");
        return kExitFailure;
    }

    host.Open();
    host.SetSampleRate(sampleRate);
    host.SetBlockSize(options.blockSize);
    if (!options.presetFile.empty()) {
        std::string warning;
        if (!LoadPresetFile(host, preset.file, &error, &warning)) {
            ReportError(options.presetFile + ": " + error);
            return kExitFailure;
        }
        if (!warning.empty()) ReportError("warning: " + options.presetFile + ": " + warning);
    }
    if (options.program >= 0) {
        if (options.program >= effect->numPrograms) {
            ReportError("program " + std::to_string(options.program) +
                        " does not exist (the plug-in has " + std::to_string(effect->numPrograms) +
                        ")");
            return kExitFailure;
        }
        host.Dispatch(effSetProgram, 0, options.program);
    }
    // Single values go on top of the program, as a user turning knobs after choosing it.
    for (const ParameterSetting& setting : options.parameters) {
        if (setting.index >= effect->numParams || !effect->setParameter) {
            ReportError("parameter " + std::to_string(setting.index) +
                        " does not exist (the plug-in has " + std::to_string(effect->numParams) +
                        ")");
            return kExitFailure;
        }
        effect->setParameter(effect, setting.index, (float)setting.value);
    }
    // The channel counts may change while the plug-in is opened and set up.
    int inputs = effect->numInputs;
    int outputs = effect->numOutputs;
    if (inputs < 0 || inputs > kMaxChannels || outputs < 1 || outputs > kMaxChannels) {
        ReportError("the plug-in reports " + std::to_string(inputs) + " inputs and " +
                    std::to_string(outputs) + " outputs; it needs 1 to 256 outputs");
        return kExitFailure;
    }

    PendingFile pending(options.output + ".part");
    wav::Writer writer;
    if (!writer.Open(pending.Path(), options.format, 2, (uint32_t)options.sampleRate)) {
        ReportError("cannot write " + pending.Path());
        return kExitFailure;
    }

    AudioBuffers buffers(inputs, outputs, options.blockSize, options.processDouble);
    std::vector<double> interleaved((size_t)options.blockSize * 2);
    RenderStats stats;
    host.Dispatch(effMainsChanged, 0, 1);
    for (int64_t start = 0; start < totalFrames; start += options.blockSize) {
        int frames = (int)std::min<int64_t>(options.blockSize, totalFrames - start);
        UpdateTimeInfo(host.TimeInfo(), tempoMap, start, sampleRate);
        host.Dispatch(effProcessEvents, 0, 0, schedule.EventsFor(start, frames));
        buffers.Clear();
        buffers.Process(effect, frames);
        for (int i = 0; i < frames; ++i) {
            for (int channel = 0; channel < 2; ++channel) {
                double sample = buffers.Output(channel, i);
                if (!std::isfinite(sample))
                    ++stats.nonFinite;
                else
                    stats.peak = std::max(stats.peak, std::fabs(sample));
                interleaved[(size_t)(2 * i + channel)] = sample;
            }
        }
        if (!writer.Write(interleaved.data(), (size_t)frames)) {
            host.Dispatch(effMainsChanged, 0, 0);
            ReportError("cannot write " + pending.Path());
            return kExitFailure;
        }
    }
    host.Dispatch(effMainsChanged, 0, 0);
    host.Unload();

    if (!writer.Finish() || !os::ReplaceFile(pending.Path(), options.output)) {
        ReportError("cannot write " + options.output);
        return kExitFailure;
    }
    pending.Keep();

    if (stats.nonFinite > 0)
        std::fprintf(stderr, "qx4470: warning: the plug-in produced %llu non-finite samples\n",
                     (unsigned long long)stats.nonFinite);
    double peakDb = stats.peak > 0 ? 20.0 * std::log10(stats.peak) : -INFINITY;
    std::printf("%s: %lld frames at %d Hz, %s, %s processing, peak %.1f dBFS\n",
                options.output.c_str(), (long long)totalFrames, options.sampleRate,
                wav::SampleFormatName(options.format), options.processDouble ? "double" : "float",
                peakDb);
    return kExitOk;
}
