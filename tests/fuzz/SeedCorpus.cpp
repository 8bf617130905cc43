// Writes the seed corpus of every fuzz target: files the project's own writers make, plus edge
// cases that sit right at the readers' limits. Usage: fuzz_seedgen <folder> (the corpus root).
#include "tests/fuzz/FuzzInstance.h"
#include "tests/tape/TapeWriter.h"
#include "tests/tools/FxBuilder.h"
#include "tests/tools/SmfBuilder.h"

#include "host/FileIO.h"
#include "instrument/ParameterTable.h"
#include "instrument/SysExFormat.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using Bytes = std::vector<uint8_t>;
using fuzz::Require;

std::string root;

void Put(const char* target, const char* name, uint8_t mode, const Bytes& bytes) {
    const std::filesystem::path folder = std::filesystem::path(root) / target;
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary);
    out.put(static_cast<char>(mode));
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes Of(const ChunkBuffer& chunk) {
    return Bytes(chunk.Data(), chunk.Data() + chunk.Size());
}

Bytes Chunk(fuzz::Instance& instance, int index) {
    void* data = nullptr;
    const int size = static_cast<int>(instance.Dispatch(effGetChunk, index, 0, &data));
    return Bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

Bytes Cut(Bytes bytes, size_t size) {
    bytes.resize(std::min(size, bytes.size()));
    return bytes;
}

void ChunkSeeds(fuzz::Instance& instance) {
    const Bytes bank = Chunk(instance, 0), program = Chunk(instance, 1);
    Put("chunk", "bank", 0, bank);
    Put("chunk", "program", 1, program);
    Put("chunk", "program-host-program", 3, program);
    Put("chunk", "program-host-bank", 2, bank);
    Put("chunk", "bank-cut", 0, Cut(bank, bank.size() / 3));
    Put("chunk", "program-cut", 1, Cut(program, program.size() - 5));
    Put("chunk", "header-only", 0, Cut(bank, 8));
    Bytes hugeName = program;
    const size_t name = program.size() - 4 - std::strlen(instance.Synth().GetPresetName(0));
    if (name < hugeName.size()) hugeName[name + 3] = 0x7F;
    Put("chunk", "program-name-length", 1, hugeName);
}

void PresetFileSeeds(fuzz::Instance& instance) {
    QX4470& synth = instance.Synth();
    ChunkBuffer program, bank;
    synth.WriteProgramData(program);
    synth.WriteBankData(bank);
    for (uint8_t reader : {0, 2}) {
        const std::string suffix = reader ? "-plugin" : "-host";
        Put("preset_file", ("fpch" + suffix).c_str(), reader, Of(program));
        Put("preset_file", ("fbch" + suffix).c_str(), reader | 1, Of(bank));
    }
    Put("preset_file", "fbch-cut", 3, Cut(Of(bank), 12000));
    std::vector<float> values;
    for (int i = 0; i < synth.NParams(); ++i)
        values.push_back(synth.GetParameter(i)->GetAsNormalized());
    const Bytes list = testfx::ParamProgram("qx44", values, "Param Program");
    Put("preset_file", "fxck-host", 0, list);
    Put("preset_file", "fxck-plugin", 2, list);
    values[kEngineMode] = 2.5f; // out of range
    values[0] = -1.0f;
    const Bytes listBank =
        testfx::ParamBank("qx44", {list, testfx::ParamProgram("qx44", values, "Wild")}, 1);
    Put("preset_file", "fxbk-host", 1, listBank);
    Put("preset_file", "fxbk-plugin", 3, listBank);
    Put("preset_file", "fxbk-cut", 3, Cut(listBank, listBank.size() - 7));
}

void SysExSeeds(fuzz::Instance& instance) {
    QX4470& synth = instance.Synth();
    for (bool dw6000 : {false, true}) {
        // The dialect is a program value: the DW-6000 factory programs speak the other one.
        synth.RestoreFactoryBank(dw6000 ? 2 : 0);
        instance.Dispatch(effSetProgram, 0, 0);
        Require(synth.dw6000 == dw6000, "factory bank of the dialect");
        const uint8_t mode = dw6000 ? 1 : 0;
        const std::string dialect = dw6000 ? "6000" : "8000";
        ChunkBuffer dump;
        synth.BuildProgramDump(dump);
        Bytes messages = Of(dump);
        ChunkBuffer request;
        sysex::AppendHeader(request, dw6000, sysex::kDumpRequest);
        request.AppendByte(sysex::kEnd);
        ChunkBuffer change;
        sysex::AppendHeader(change, dw6000, sysex::kParameterChange);
        for (uint8_t b : {uint8_t(3), uint8_t(0x7F), sysex::kEnd})
            change.AppendByte(b);
        messages.insert(messages.end(), request.Data(), request.Data() + request.Size());
        messages.insert(messages.end(), change.Data(), change.Data() + change.Size());
        Put("sysex", ("messages-" + dialect).c_str(), mode, messages);
        Put("sysex", ("dump-cut-" + dialect).c_str(), mode, Cut(Of(dump), dump.Size() - 4));
        const std::string single = root + "/single.syx", whole = root + "/bank.syx";
        synth.SaveSysExFile(single, false);
        synth.SaveSysExFile(whole, true);
        ChunkBuffer file;
        ReadWholeFile(single, file);
        Put("sysex", ("file-program-" + dialect).c_str(), mode | 2, Of(file));
        ReadWholeFile(whole, file);
        Put("sysex", ("file-bank-" + dialect).c_str(), mode | 2, Of(file));
        // A stream: a dump, then a write request to program 70 (beyond the 64) and to 5.
        Bytes stream = Of(dump);
        for (uint8_t number : {uint8_t(70), uint8_t(5)}) {
            ChunkBuffer write;
            sysex::AppendHeader(write, dw6000, sysex::kWriteRequest);
            write.AppendByte(number);
            write.AppendByte(sysex::kEnd);
            stream.insert(stream.end(), write.Data(), write.Data() + write.Size());
        }
        Put("sysex", ("file-stream-" + dialect).c_str(), mode | 2, stream);
        std::remove(single.c_str());
        std::remove(whole.c_str());
    }
}

void TapeSeeds(const std::string& bankHex) {
    const Bytes stream = ReadHexBytes(bankHex);
    Put("tape", "stream-factory", 1, stream);
    Bytes broken = stream;
    for (size_t i = 2; i < broken.size(); i += 31)
        broken[i] = 0xFF; // every program's first byte out of range, checksums wrong
    Put("tape", "stream-broken", 1, broken);
    Put("tape", "stream-dw6000-length", 3, Bytes(1730, 0x11));

    // A short recording (a few programs' worth of bytes) in each sample format.
    TapeRecording recording;
    recording.sampleRate = 22050;
    recording.leaderBytes = 12;
    recording.trailerBytes = 4;
    recording.silence = 0.01;
    const std::vector<double> samples = RenderTape(Cut(stream, 48), recording);
    const struct {
        const char* name;
        WavFormat format;
        int channels;
        bool extensible;
    } layouts[] = {{"wav-s16", WavFormat::S16, 1, false},
                   {"wav-u8-stereo", WavFormat::U8, 2, false},
                   {"wav-s24-extensible", WavFormat::S24, 1, true},
                   {"wav-f32", WavFormat::F32, 2, false},
                   {"wav-f64-extensible", WavFormat::F64, 1, true}};
    for (const auto& layout : layouts) {
        WavLayout wav;
        wav.format = layout.format;
        wav.channels = layout.channels;
        wav.extensible = layout.extensible;
        const bool full = layout.format == WavFormat::S16;
        const std::vector<double> part(samples.begin(),
                                       samples.begin() + (full ? samples.size() : 256));
        Put("tape", layout.name, layout.format == WavFormat::F32 ? 6 : 0,
            WavFileBytes(part, recording.sampleRate, wav));
    }
}

void IniSeeds(fuzz::Instance& instance) {
    Configuration& config = instance.Synth().config;
    config.ccMap[7] = 12;
    config.ccMap[74] = 68;
    config.ccMap[119] = 0;
    config.midiThru = true;
    config.startupBankPath = "/no/such/bank.fxb";
    config.iniPath = root + "/written.ini";
    config.WriteConfiguration(Configuration::kAllGroups);
    ChunkBuffer written;
    ReadWholeFile(config.iniPath, written);
    std::remove(config.iniPath.c_str());
    const Bytes text = Of(written);
    Put("ini", "written", text.empty() ? 0 : text[0], Bytes(text.begin() + 1, text.end()));
    const std::string edges =
        "\xEF\xBB\xBF; comment\n[MIDI Control]\nCC1=68\ncc7 = -5\nCC8=99999999999\nCC9=\"3\"\n"
        "CC10\n[midi control]\nCC11=4\n[Tape Read]\nThreshold=-40\nHighpass Frequency=1e308\n"
        "Lowpass Enabled=true\n[MIDI Global]\nMIDI Thru=1\n[Startup Bank\nFile=x\n";
    Put("ini", "edges", static_cast<uint8_t>(edges[0]), Bytes(edges.begin() + 1, edges.end()));
    Put("ini", "crlf", '[', Bytes{'M', 'I',  'D',  'I', ' ', 'C', 'o', 'n', 't', 'r',  'o', 'l',
                                  ']', '\r', '\n', 'C', 'C', '0', '=', '6', '8', '\r', '\n'});
}

void MidiSeeds(const std::string& demo) {
    ChunkBuffer song;
    ReadWholeFile(demo, song);
    const Bytes bytes = Of(song);
    Put("midi_file", "demo", bytes[0], Bytes(bytes.begin() + 1, bytes.end()));
    using testmidi::Track;
    Track notes, sysexTrack;
    notes.Tempo(0, 400000).Meter(0, 3, 2).At(0, {0x90, 60, 100}).At(96, {64, 0});
    notes.At(100, {0xB0, 64, 127}).At(120, {0xE0, 0, 0x7F}).At(200, {0x80, 60, 0}).End(400);
    ChunkBuffer dump;
    sysexTrack.At(10, {0xF0, 0x05, 0x42, 0x30, 0x03, 0x10, 0xF7});
    sysexTrack.At(20, {0xF0, 0x03, 0x42, 0x30}).At(5, {0xF7, 0x03, 0x03, 0x10, 0xF7});
    sysexTrack.End(30);
    for (const auto& [name, smf] :
         {std::pair<const char*, Bytes>{"format1", testmidi::Song(1, 96, {notes, sysexTrack})},
          {"format0-smpte", testmidi::Song(0, 0xE728, {notes})}}) {
        Put("midi_file", name, smf[0], Bytes(smf.begin() + 1, smf.end()));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: fuzz_seedgen CORPUS TAPE_BANK_HEX DEMO_MIDI\n");
        return 2;
    }
    root = argv[1];
    fuzz::Instance instance;
    instance.Synth().SeedRandomness(1);
    ChunkSeeds(instance);
    PresetFileSeeds(instance);
    SysExSeeds(instance);
    IniSeeds(instance);
    TapeSeeds(argv[2]);
    MidiSeeds(argv[3]);
    return 0;
}
