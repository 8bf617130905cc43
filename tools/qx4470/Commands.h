// The subcommands of qx4470. Each lives in its own file and takes the arguments after its name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1; // the command could not be carried out
constexpr int kExitUsage = 2;   // the command line was wrong
constexpr int kExitDamaged = 3; // written, but some programs failed their checksum

int RunInfo(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);
int RunPrograms(const std::vector<std::string>& args);
int RunTape(const std::vector<std::string>& args);
int RunEdit(const std::vector<std::string>& args);

// Helpers shared by the commands.
// Prints "qx4470: <message>" as one line on stderr.
void ReportError(const std::string& message);
// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);
