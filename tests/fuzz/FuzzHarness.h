// Fuzz targets for every reader of bytes from outside the plug-in: state chunks, program and
// bank files, SysEx, tape recordings, the INI file and Standard MIDI Files. Each target feeds
// one input to a fresh instance and then checks that the instance is still whole: it answers,
// every parameter lies in its range, every program name fits, and a note renders finite.
// A broken promise aborts with a message, which libFuzzer and the test programs both report.
//
// The targets are plain functions, so the libFuzzer programs (clang builds) and the replay test
// of the committed corpus (every build) run the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

using Target = void (*)(const uint8_t* data, size_t size);

// Chunks through effSetChunk. Byte 0: bit 0 the index (0 bank, 1 program), bit 1 a host that
// exchanges program chunks only. The rest is the chunk.
void FuzzChunk(const uint8_t* data, size_t size);
// FXP/FXB files. Byte 0: bit 0 bank, bit 1 read by the plug-in's own file reader (else parsed
// as a host parses it and handed over as the host would). The rest is the file.
void FuzzPresetFile(const uint8_t* data, size_t size);
// SysEx. Byte 0: bit 0 the DW-6000 dialect, bit 1 a SysEx file (else messages from the host,
// split after every F7). The rest is the bytes.
void FuzzSysEx(const uint8_t* data, size_t size);
// Tape. Byte 0: bit 0 a decoded tape stream applied to the programs (else a WAV recording read
// and decoded). The rest is the bytes.
void FuzzTape(const uint8_t* data, size_t size);
// The INI file, as the configuration reads it; every controller binding is then played.
void FuzzIni(const uint8_t* data, size_t size);
// A Standard MIDI File read as `qx4470 render` reads it and played into an instance.
void FuzzMidiFile(const uint8_t* data, size_t size);

struct NamedTarget {
    const char* name; // also the corpus folder name
    Target run;
};
extern const NamedTarget kTargets[];
extern const int kTargetCount;

// A folder of the process for the files the targets write; made on first use.
const std::string& ScratchFolder();

} // namespace fuzz
