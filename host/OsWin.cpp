// Windows implementation of the operating-system seam.
#include "host/Os.h"

#include <cstdio>
#include <io.h>
#include <shlobj.h>
#include <windows.h>

// windows.h maps ReplaceFile to ReplaceFileA, which would rename os::ReplaceFile below and leave
// callers, who see only Os.h, with an unresolved symbol.
#undef ReplaceFile

namespace os {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "lock storage too small");

RecursiveLock::RecursiveLock() {
    InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
RecursiveLock::~RecursiveLock() {
    DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
void RecursiveLock::lock() {
    EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
void RecursiveLock::unlock() {
    LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

// The module that holds this code: the plug-in DLL, or the program a test links it into.
static HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

ResourceData FindModuleResource(const char* type, const char* name) {
    HMODULE module = ThisModule();
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return ResourceData{};
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return ResourceData{};
    ResourceData result;
    result.data = static_cast<const unsigned char*>(LockResource(loaded));
    result.size = result.data ? SizeofResource(module, found) : 0;
    return result;
}

const char kPathSeparator = '\\';

static std::string ShellFolder(int folder) {
    char path[MAX_PATH] = {0};
    if (SHGetFolderPathA(nullptr, folder, nullptr, 0, path) != S_OK) return std::string();
    return std::string(path);
}

std::string LocalAppDataFolder() {
    return ShellFolder(CSIDL_LOCAL_APPDATA);
}
std::string DocumentsFolder() {
    return ShellFolder(CSIDL_PERSONAL);
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || DirectoryExists(path);
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string TuningLibraryPath() {
    char folder[MAX_PATH] = {0};
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(folder) + "\\LIBMTS.dll";
}

void* OpenLibrary(const std::string& path, std::string* error) {
    // LoadLibrary wants backslashes in a path.
    std::string windowsPath = path;
    for (char& c : windowsPath)
        if (c == '/') c = '\\';
    HMODULE library = LoadLibraryA(windowsPath.c_str());
    if (!library && error)
        *error = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace os
