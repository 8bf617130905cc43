#include "tools/bankgen/Bankgen.h"

#include <cstdio>
#include <vector>

#include "tools/bankgen/BankImage.h"
#include "tools/bankgen/BankListing.h"
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

// The folder part of a path, with its separator; empty for a bare file name.
std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    return path.substr(FolderOf(path).size());
}

const char kUsage[] =
    "usage: bankgen <source.txt> <image.fxb>   reads a factory-bank text source and writes "
    "its FXB image\n"
    "       bankgen --keys [dw8000|dw6000]     prints the field keys of the text sources with\n"
    "                                          the defaults of that kind of program\n"
    "       bankgen --list <image.fxb>... [-o <listing.txt>]\n"
    "                                          lists the programs of bank images\n";

int RunList(int argc, const char* const* argv, std::string* out, std::string* err) {
    std::vector<std::string> images;
    std::string output;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc && output.empty()) {
            output = argv[++i];
        } else if (arg.empty() || arg[0] == '-') {
            images.clear();
            break;
        } else {
            images.push_back(arg);
        }
    }
    if (images.empty()) {
        *err += kUsage;
        return 2;
    }
    std::string listing, message;
    if (!ListImages(images, &listing, &message)) {
        *err += message + "\n";
        return 1;
    }
    if (output.empty()) {
        *out += listing;
        return 0;
    }
    if (!WriteWholeFile(output, std::vector<uint8_t>(listing.begin(), listing.end()))) {
        *err += output + ": cannot write the file\n";
        return 1;
    }
    return 0;
}

} // namespace

bool LoadBankSource(const std::string& path, BankSource* source, std::string* message) {
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        *message = path + ": cannot read the file";
        return false;
    }
    SourceError error;
    if (!ParseBankSource(text, source, &error)) {
        *message = path + ":" + std::to_string(error.line) + ": " + error.reason;
        return false;
    }
    if (source->dataKind == HardwareDataKind::None) return true;
    const std::string& file = source->dataFile;
    bool absolute = file[0] == '/' || file[0] == '\\' || (file.size() > 1 && file[1] == ':');
    const std::string dataPath = absolute ? file : FolderOf(path) + file;
    std::string data, reason;
    if (!ReadWholeFile(dataPath, &data)) {
        *message = dataPath + ": cannot read the file";
        return false;
    }
    if (!ApplyHardwareData(std::vector<uint8_t>(data.begin(), data.end()), source, &reason)) {
        *message = dataPath + ": " + reason;
        return false;
    }
    return true;
}

bool ListImages(const std::vector<std::string>& paths, std::string* listing, std::string* message) {
    *listing = "# The programs of the factory bank images, as  bankgen --list  prints them.\n" +
               ListingLegend();
    for (const std::string& path : paths) {
        std::string bytes, reason;
        std::vector<ListedProgram> programs;
        if (!ReadWholeFile(path, &bytes)) {
            *message = path + ": cannot read the file";
            return false;
        }
        if (!ReadImagePrograms(std::vector<uint8_t>(bytes.begin(), bytes.end()), &programs,
                               &reason)) {
            *message = path + ": " + reason;
            return false;
        }
        *listing += ListBank(
            FileNameOf(path) + ": " + std::to_string(programs.size()) + " programs", programs);
    }
    return true;
}

bool GenerateBank(const std::string& inputPath, const std::string& outputPath,
                  std::string* message) {
    BankSource source;
    if (!LoadBankSource(inputPath, &source, message)) return false;
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
    if (argc >= 1 && std::string(argv[0]) == "--list") return RunList(argc - 1, argv + 1, out, err);
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
