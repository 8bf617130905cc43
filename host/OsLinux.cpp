// Linux implementation of the operating-system seam.
#include "host/EmbeddedResources.h"
#include "host/Os.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

static_assert(sizeof(std::recursive_mutex) <= 64, "lock storage too small");

RecursiveLock::RecursiveLock() {
    new (storage_) std::recursive_mutex();
}
RecursiveLock::~RecursiveLock() {
    reinterpret_cast<std::recursive_mutex*>(storage_)->~recursive_mutex();
}
void RecursiveLock::lock() {
    reinterpret_cast<std::recursive_mutex*>(storage_)->lock();
}
void RecursiveLock::unlock() {
    reinterpret_cast<std::recursive_mutex*>(storage_)->unlock();
}

ResourceData FindModuleResource(const char* type, const char* name) {
    for (unsigned i = 0; i < kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& r = kEmbeddedResources[i];
        if (std::strcmp(r.type, type) == 0 && std::strcmp(r.name, name) == 0)
            return ResourceData{r.data, r.size};
    }
    return ResourceData{};
}

const char kPathSeparator = '/';

static std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

static std::string HomeFolder() {
    std::string home = Environment("HOME");
    return home.empty() ? std::string("/tmp") : home;
}

std::string LocalAppDataFolder() {
    std::string config = Environment("XDG_CONFIG_HOME");
    return config.empty() ? HomeFolder() + "/.config" : config;
}

std::string DocumentsFolder() {
    std::string documents = Environment("XDG_DOCUMENTS_DIR");
    if (!documents.empty()) return documents;
    std::string fallback = HomeFolder() + "/Documents";
    return DirectoryExists(fallback) ? fallback : HomeFolder();
}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

bool FileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0 || DirectoryExists(path);
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string TuningLibraryPath() {
    return "/usr/local/lib/libMTS.so";
}

void* OpenLibrary(const std::string& path, std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library && error) {
        const char* text = dlerror();
        *error = text ? text : "cannot load library";
    }
    return library;
}

void* LibrarySymbol(void* library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

void CloseLibrary(void* library) {
    if (library) dlclose(library);
}

} // namespace os
