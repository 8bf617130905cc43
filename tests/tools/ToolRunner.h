// Runs the built qx4470 program from the tests. Everything lives in the working folder (the
// build root), so the same names work under wine.
#pragma once

#include "TestFiles.h"

#include <string>

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs qx4470 with the arguments (file names without blanks) and collects its output.
ToolResult RunTool(const std::string& arguments);

// Sets or (with an empty value) clears a variable that the tool and its plug-in inherit.
void SetEnvironment(const std::string& name, const std::string& value);
