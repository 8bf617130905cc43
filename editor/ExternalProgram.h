// Starting helper programs (dialog tools, the desktop's URL opener) from the X11 editor. The
// argument vector goes to the program as it is: no shell ever reads it, so texts and paths
// need no quoting.
#pragma once

#include <string>
#include <vector>

// The full path of an executable program found on PATH, or empty.
std::string FindProgram(const std::string& name);

// Runs the program (full path) with the arguments, waits for it and collects its standard
// output. Returns its exit status, or -1 when it could not be started or did not exit.
int RunProgram(const std::string& path, const std::vector<std::string>& args, std::string* output);

// Starts the program and returns at once; it is not the host's child, so it leaves no zombie.
bool StartDetached(const std::string& path, const std::vector<std::string>& args);
