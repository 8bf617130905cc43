// Helpers shared by the subcommands.
#include "tools/qx4470/Commands.h"

#include <cstdio>

void ReportError(const std::string& message) {
    std::fprintf(stderr, "qx4470: %s\n", message.c_str());
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes->clear();
    uint8_t buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + count);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}
