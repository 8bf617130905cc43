#include "host/FileIO.h"

#include <cstdio>

bool ReadWholeFile(const std::string& path, ChunkBuffer& contents) {
    contents.Clear();
    if (path.empty()) return false;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && size <= kMaxDataFileSize && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        contents.Resize(static_cast<int>(size));
        ok = size == 0 || std::fread(contents.Data(), 1, size, file) == static_cast<size_t>(size);
    }
    std::fclose(file);
    if (!ok) contents.Clear();
    return ok;
}

bool WriteWholeFile(const std::string& path, const ChunkBuffer& contents) {
    if (path.empty()) return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    size_t size = static_cast<size_t>(contents.Size());
    bool ok = size == 0 || std::fwrite(contents.Data(), 1, size, file) == size;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}
