// SysEx files: a single program (57 or 32 bytes), a whole bank (3648 or 1670 bytes), or a stream
// of messages in which write requests say where each dump goes.
#include "host/FileIO.h"
#include "instrument/QX4470.h"
#include "instrument/SysExFormat.h"

#include <algorithm>
#include <cstdio>

using namespace sysex;

namespace {

// The file name without its folder and extension: the name a single-program file gives.
std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

long FileSize(const std::string& path) {
    FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!file) return -1;
    long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    std::fclose(file);
    return size;
}

int Find(const ChunkBuffer& data, int from, uint8_t byte) {
    for (int i = std::max(from, 0); i < data.Size(); ++i)
        if (data.Data()[i] == byte) return i;
    return -1;
}

} // namespace

bool QX4470::IsSysExBankFile(const std::string& path) {
    long size = FileSize(path);
    return size == kDw8000BankFileSize || size == kDw6000BankFileSize;
}

// Puts the remembered dump into a program, which takes the generated name.
bool QX4470::StoreDump(const ChunkBuffer& file, int dumpStart, int programNumber) {
    // Write requests name programs up to 127; only the instrument's 64 exist.
    if (programNumber < 0 || programNumber >= NPresets() || !ApplyPreset(programNumber))
        return false;
    if (ParseProgramDump(file.Data(), file.Size(), dumpStart) <= 0) return false;
    ModifyCurrentPreset(ProgramNameOf(programNumber).c_str());
    return true;
}

bool QX4470::LoadSysExFile(const std::string& path) {
    ChunkBuffer file;
    if (!ReadWholeFile(path, file)) return false;
    InstanceLock lock(Mutex());
    const int size = file.Size();
    const uint8_t* bytes = file.Data();
    const bool bank = size == kDw8000BankFileSize || size == kDw6000BankFileSize;
    const bool single = size == kDw8000DumpSize || size == kDw6000DumpSize;
    const int remembered = GetCurrentPresetIndex();
    int programNumber = -1;
    int dumpStart = -1;
    for (int start = Find(file, 0, kStart); start >= 0;) {
        if (start + kHeaderSize > size || bytes[start + 1] != kManufacturer) {
            // A foreign or broken message ends the load: what was stored stays, and so does
            // the program selected last.
            NotifyHostOfProgramChange();
            editorDirty = true;
            return false;
        }
        const uint8_t device = bytes[start + 3];
        const uint8_t function = bytes[start + 4];
        int next = start + kHeaderSize;
        bool store = bank;
        if (function == kProgramDump) {
            if (single) {
                ParseProgramDump(bytes, size, start);
                ModifyCurrentPreset(BaseName(path).c_str());
                editorDirty = true;
                return true; // the loaded program stays current
            }
            dumpStart = start;
            next += IsDw6000Device(device) ? kDw6000DataSize : kNumProgramParams;
        } else if (function == kWriteRequest && !bank) {
            if (next < size) programNumber = bytes[next] & 0x7F;
            store = true;
        }
        if (bank) ++programNumber;
        if (store && dumpStart >= 0) StoreDump(file, dumpStart, programNumber);
        const int end = Find(file, next, kEnd);
        start = end < 0 ? -1 : Find(file, end + 1, kStart);
    }
    ApplyPreset(remembered);
    NotifyHostOfProgramChange();
    editorDirty = true;
    return true;
}

bool QX4470::SaveSysExFile(const std::string& path, bool wholeBank) {
    if (path.empty()) return false;
    InstanceLock lock(Mutex());
    const int before = GetCurrentPresetIndex();
    ChunkBuffer file;
    for (int i = wholeBank ? 0 : before; i < (wholeBank ? NPresets() : before + 1); ++i) {
        ApplyPreset(i);
        BuildProgramDump(file);
    }
    ApplyPreset(before);
    return WriteWholeFile(path, file);
}
