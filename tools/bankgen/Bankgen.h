// The whole generator as a function, so that tests run it in-process exactly as the tool does.
#pragma once

#include <string>
#include <vector>

namespace bankgen {

struct BankSource;

// Reads the text source at `path` and the hardware data it names (relative to the source's
// folder). On any fault returns false with `message` set as GenerateBank describes.
bool LoadBankSource(const std::string& path, BankSource* source, std::string* message);

// Reads the text source at `inputPath` and writes its FXB image to `outputPath`. Returns true
// on success. On any fault returns false with `message` set to "file:line: reason" (or
// "file: reason" when the fault has no line) and leaves `outputPath` untouched.
bool GenerateBank(const std::string& inputPath, const std::string& outputPath,
                  std::string* message);

// The listing of the images at `paths`, each under its file name. False with `message` set
// when an image cannot be read.
bool ListImages(const std::vector<std::string>& paths, std::string* listing, std::string* message);

// The body of the bankgen program: arguments without the program name; returns the exit code
// and prints to the given streams.
int RunBankgen(int argc, const char* const* argv, std::string* out, std::string* err);

} // namespace bankgen
