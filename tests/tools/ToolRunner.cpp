// Running the tool as a program.
#include "ToolRunner.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char kOutFile[] = "tool_runner_stdout.txt";
const char kErrFile[] = "tool_runner_stderr.txt";

} // namespace

ToolResult RunTool(const std::string& arguments) {
#if defined(_WIN32)
    std::string command = std::string(QX_TOOL_FILE) + " " + arguments;
#else
    std::string command = std::string("./") + QX_TOOL_FILE + " " + arguments;
#endif
    command += std::string(" >") + kOutFile + " 2>" + kErrFile;
    int status = std::system(command.c_str());
    ToolResult result;
#if defined(_WIN32)
    result.exitCode = status;
#else
    // The wait status: the exit code sits in the second byte, a signal in the low bits.
    result.exitCode = (status & 0x7F) == 0 ? (status >> 8) & 0xFF : 128 + (status & 0x7F);
#endif
    result.out = ReadTextFile(kOutFile);
    result.err = ReadTextFile(kErrFile);
    RemoveFile(kOutFile);
    RemoveFile(kErrFile);
    return result;
}

void SetEnvironment(const std::string& name, const std::string& value) {
#if defined(_WIN32)
    _putenv((name + "=" + value).c_str());
#else
    if (value.empty())
        unsetenv(name.c_str());
    else
        setenv(name.c_str(), value.c_str(), 1);
#endif
}
