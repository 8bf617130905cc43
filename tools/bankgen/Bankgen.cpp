#include "tools/bankgen/Bankgen.h"

#include <cstdio>
#include <vector>

#include "tools/bankgen/BankImage.h"
#include "tools/bankgen/BankSource.h"

namespace bankgen {

namespace {

bool ReadWholeFile(const std::string& path, std::string* text) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        text->append(block, got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

// Writes all bytes or, failing that, removes what it began so no partial image is left.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) std::remove(path.c_str());
    return ok;
}

const char kUsage[] =
    "usage: bankgen <source.txt> <image.fxb>   reads a factory-bank text source and writes "
    "its FXB image\n"
    "       bankgen --keys [dw8000|dw6000]     prints the field keys of the text sources with\n"
    "                                          the defaults of that kind of program\n";

} // namespace

bool GenerateBank(const std::string& inputPath, const std::string& outputPath,
                  std::string* message) {
    std::string text;
    if (!ReadWholeFile(inputPath, &text)) {
        *message = inputPath + ": cannot read the file";
        return false;
    }
    BankSource source;
    SourceError error;
    if (!ParseBankSource(text, &source, &error)) {
        *message = inputPath + ":" + std::to_string(error.line) + ": " + error.reason;
        return false;
    }
    if (!WriteWholeFile(outputPath, BuildBankImage(source))) {
        *message = outputPath + ": cannot write the file";
        return false;
    }
    *message =
        outputPath + ": " + source.bank->id + ", " + std::to_string(kBankPrograms) + " programs";
    return true;
}

int RunBankgen(int argc, const char* const* argv, std::string* out, std::string* err) {
    if ((argc == 1 || argc == 2) && std::string(argv[0]) == "--keys") {
        ProgramKind kind = ProgramKind::Dw8000;
        if (argc == 2 && !ParseProgramKind(argv[1], &kind)) {
            *err += kUsage;
            return 2;
        }
        *out += KeyLegend(kind);
        return 0;
    }
    if (argc != 2) {
        *err += kUsage;
        return 2;
    }
    std::string message;
    bool ok = GenerateBank(argv[0], argv[1], &message);
    (ok ? *out : *err) += message + "\n";
    return ok ? 0 : 1;
}

} // namespace bankgen
