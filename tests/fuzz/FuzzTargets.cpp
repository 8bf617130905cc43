#include "tests/fuzz/FuzzHarness.h"
#include "tests/fuzz/FuzzInstance.h"

#include "host/FileIO.h"
#include "host/Os.h"
#include "instrument/ParameterTable.h"
#include "synth/IniFile.h"
#include "tape/TapeLoad.h"
#include "tools/qx4470/EventSchedule.h"
#include "tools/qx4470/MidiFile.h"
#include "tools/qx4470/PresetFile.h"
#include "tools/qx4470/TempoMap.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

namespace fuzz {
namespace {

constexpr int kTapeBankStreamSize = 1987;
// A song plays at most this long: enough for every event of a seed, short enough for fuzzing.
constexpr int64_t kSongFrameLimit = 48 * 512;

struct Input {
    uint8_t mode = 0;
    const uint8_t* bytes = nullptr;
    int size = 0;
};

Input Split(const uint8_t* data, size_t size) {
    Input input;
    if (size == 0) return input;
    input.mode = data[0];
    input.bytes = data + 1;
    input.size = static_cast<int>(std::min<size_t>(size - 1, 1 << 24));
    return input;
}

// Writes the bytes to a file of the scratch folder for the readers that take a path.
std::string WriteScratchFile(const char* name, const Input& input) {
    const std::string path = ScratchFolder() + os::kPathSeparator + name;
    Require(WriteWholeFile(path, ChunkBuffer(input.bytes, input.size)), "scratch file written");
    return path;
}

void SetDw6000Dialect(Instance& instance, bool dw6000) {
    instance.Effect()->setParameter(instance.Effect(), kEngineMode, dw6000 ? 1.0f : 0.0f);
    Require(instance.Synth().dw6000 == dw6000, "engine mode follows its parameter");
}

void ApplyPresetFileAsHost(Instance& instance, const fx::PresetFile& file) {
    AEffect* effect = instance.Effect();
    switch (file.kind) {
    case fx::Kind::ProgramChunk:
    case fx::Kind::BankChunk: {
        std::vector<uint8_t> chunk = file.chunk;
        instance.Dispatch(effSetChunk, file.kind == fx::Kind::BankChunk ? 0 : 1,
                          static_cast<VstIntPtr>(chunk.size()), chunk.data());
        break;
    }
    case fx::Kind::ProgramParams:
    case fx::Kind::BankParams: {
        std::vector<fx::Program> programs = file.kind == fx::Kind::BankParams
                                                ? file.programs
                                                : std::vector<fx::Program>{file.program};
        for (size_t p = 0; p < programs.size() && p < size_t(effect->numPrograms); ++p) {
            if (file.kind == fx::Kind::BankParams)
                instance.Dispatch(effSetProgram, 0, static_cast<VstIntPtr>(p));
            const std::vector<float>& values = programs[p].values;
            for (size_t i = 0; i < values.size() && i < size_t(effect->numParams); ++i)
                effect->setParameter(effect, static_cast<VstInt32>(i), values[i]);
            std::string name = programs[p].name.substr(0, kVstMaxProgNameLen);
            instance.Dispatch(effSetProgramName, 0, 0, &name[0]);
        }
        break;
    }
    }
}

} // namespace

const std::string& ScratchFolder() {
    static const struct Folder {
        std::string path;
        Folder() {
            const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
            path = (std::filesystem::temp_directory_path() / ("qx-fuzz-" + std::to_string(ticks)))
                       .string();
            std::filesystem::create_directories(path);
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

void FuzzChunk(const uint8_t* data, size_t size) {
    const Input input = Split(data, size);
    Instance instance((input.mode & 2) != 0);
    instance.Dispatch(effSetChunk, input.mode & 1, input.size, const_cast<uint8_t*>(input.bytes));
    instance.CheckWhole();
}

void FuzzPresetFile(const uint8_t* data, size_t size) {
    const Input input = Split(data, size);
    Instance instance;
    const bool bank = (input.mode & 1) != 0;
    if (input.mode & 2) {
        const ChunkBuffer bytes(input.bytes, input.size);
        QX4470& synth = instance.Synth();
        if (bank)
            synth.LoadBankData(bytes);
        else
            synth.LoadProgramData(bytes);
    } else {
        const fx::ParseResult parsed = fx::Parse(input.bytes, static_cast<size_t>(input.size));
        if (parsed.ok()) ApplyPresetFileAsHost(instance, parsed.file);
    }
    instance.CheckWhole();
}

void FuzzSysEx(const uint8_t* data, size_t size) {
    const Input input = Split(data, size);
    Instance instance;
    SetDw6000Dialect(instance, (input.mode & 1) != 0);
    if (input.mode & 2) {
        instance.Synth().LoadSysExFile(WriteScratchFile("fuzz.syx", input));
    } else {
        // A host splits a stream into messages at their ends; each goes in its own block.
        int start = 0;
        for (int i = 0; i < input.size; ++i) {
            if (input.bytes[i] != 0xF7 && i + 1 < input.size) continue;
            instance.SendSysEx(input.bytes + start, i + 1 - start, start % 256);
            instance.Render(256);
            start = i + 1;
        }
    }
    instance.CheckWhole();
}

void FuzzTape(const uint8_t* data, size_t size) {
    const Input input = Split(data, size);
    Instance instance;
    bool dw6000Tape = false;
    if (input.mode & 1) {
        // Programs as a tape carries them: any bytes, checksum right or wrong.
        std::vector<uint8_t> stream(input.bytes, input.bytes + input.size);
        if (!(input.mode & 2)) stream.resize(kTapeBankStreamSize, 0);
        ApplyTapeStream(instance.Synth(), stream, &dw6000Tape);
    } else {
        ProcessSettings& settings = ProcessSettings::Get();
        settings.tapeHighpassEnabled = (input.mode & 2) != 0;
        settings.tapeLowpassEnabled = (input.mode & 4) != 0;
        LoadTapeDump(instance.Synth(), WriteScratchFile("fuzz.wav", input), &dw6000Tape);
        settings = ProcessSettings();
    }
    instance.CheckWhole();
}

void FuzzIni(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Editing keeps every line it does not touch: the text it writes reads back to itself.
    const std::string once = IniDocument::Parse(text).Text();
    Require(IniDocument::Parse(once).Text() == once, "INI text stable after one pass");

    Instance instance;
    Configuration& config = instance.Synth().config;
    config.iniPath = WriteScratchFile("fuzz.ini", Input{0, data, static_cast<int>(size)});
    config.ReadConfiguration();
    // What the configuration writes, it reads back the same.
    const Configuration read = config;
    config.WriteConfiguration(Configuration::kAllGroups);
    config.ReadConfiguration();
    Require(std::equal(read.ccMap, read.ccMap + Configuration::kControllerCount, config.ccMap),
            "controller bindings read back");
    Require(read.midiThru == config.midiThru &&
                read.ignoreProgramChange == config.ignoreProgramChange &&
                read.sendParamChangeSysEx == config.sendParamChangeSysEx,
            "MIDI switches read back");
    // Every binding moves its parameter, whatever number the file gave.
    for (int controller = 0; controller < Configuration::kControllerCount; ++controller)
        instance.SendMidi(0xB0, static_cast<uint8_t>(controller), 127, controller);
    instance.Render(256);
    ProcessSettings::Get() = ProcessSettings();
    instance.CheckWhole();
}

void FuzzMidiFile(const uint8_t* data, size_t size) {
    const midi::ReadResult result = midi::ReadSong(data, size);
    if (!result.ok()) return;
    const midi::TempoMap tempoMap(result.song);
    EventSchedule schedule(result.song, tempoMap, 44100.0);
    Instance instance;
    const int64_t end = std::min(schedule.LastFrame() + 512, kSongFrameLimit);
    for (int64_t start = 0; start < end; start += 512) {
        instance.Dispatch(effProcessEvents, 0, 0, schedule.EventsFor(start, 512));
        instance.Render(512);
    }
    instance.Dispatch(effMainsChanged, 0, 0);
    instance.CheckWhole();
}

const NamedTarget kTargets[] = {
    {"chunk", FuzzChunk}, {"preset_file", FuzzPresetFile}, {"sysex", FuzzSysEx}, {"tape", FuzzTape},
    {"ini", FuzzIni},     {"midi_file", FuzzMidiFile},
};
const int kTargetCount = static_cast<int>(sizeof(kTargets) / sizeof(kTargets[0]));

} // namespace fuzz
