// A readable listing of factory bank images: one line per program with its name and main
// settings, so that the banks can be read, compared and reviewed without loading them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/bankgen/BankFormat.h"

namespace bankgen {

struct ListedProgram {
    std::string name;
    ProgramValues values{};
};

// The programs of an FXB bank image in the form the generator writes (opaque chunk of
// untagged program records). False with `reason` set when the image is malformed.
bool ReadImagePrograms(const std::vector<uint8_t>& image, std::vector<ListedProgram>* programs,
                       std::string* reason);

// The comment lines that explain the columns.
std::string ListingLegend();

// A title line and one line per program.
std::string ListBank(const std::string& title, const std::vector<ListedProgram>& programs);

} // namespace bankgen
