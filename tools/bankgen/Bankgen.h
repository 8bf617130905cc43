// The whole generator as a function, so that tests run it in-process exactly as the tool does.
#pragma once

#include <string>

namespace bankgen {

// Reads the text source at `inputPath` and writes its FXB image to `outputPath`. Returns true
// on success. On any fault returns false with `message` set to "file:line: reason" (or
// "file: reason" when the fault has no line) and leaves `outputPath` untouched.
bool GenerateBank(const std::string& inputPath, const std::string& outputPath,
                  std::string* message);

// The body of the bankgen program: arguments without the program name; returns the exit code
// and prints to the given streams.
int RunBankgen(int argc, const char* const* argv, std::string* out, std::string* err);

} // namespace bankgen
