// The operating-system seam. Everything the plug-in needs from the platform goes through these
// few functions; OsWin.cpp and OsLinux.cpp implement them and nothing else includes system
// headers.
#pragma once

#include <cstddef>
#include <string>

namespace os {

// A lock that the owning thread may take again (a critical section on Windows).
class RecursiveLock {
public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;
    void lock();
    void unlock();

private:
    alignas(16) unsigned char storage_[64];
};

// Binary data stored inside this module under a resource type and name; empty when missing.
struct ResourceData {
    const unsigned char* data = nullptr;
    size_t size = 0;
};
ResourceData FindModuleResource(const char* type, const char* name);

// The separator between folder names in a path.
extern const char kPathSeparator;

// The folder for per-user application data (Windows: local application data; Linux:
// $XDG_CONFIG_HOME, else ~/.config).
std::string LocalAppDataFolder();
// The user's documents folder (Linux: $XDG_DOCUMENTS_DIR, else ~/Documents when it exists,
// else the home folder).
std::string DocumentsFolder();

bool FileExists(const std::string& path);
// Whether the process's standard error goes to a terminal (where progress lines make sense).
bool StandardErrorIsTerminal();
bool DirectoryExists(const std::string& path);
// Creates one folder level; true when it exists afterwards.
bool MakeDirectory(const std::string& path);
// Moves `from` over `to` in one step, so readers see either the old or the new file.
bool ReplaceFile(const std::string& from, const std::string& to);

// Where the optional tuning-master library is installed (Windows: LIBMTS.dll in the system
// folder; Linux: /usr/local/lib/libMTS.so).
std::string TuningLibraryPath();

// Libraries loaded at run time. OpenLibrary returns null on failure and describes why.
void* OpenLibrary(const std::string& path, std::string* error);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);

} // namespace os
