// A uniquely named folder under the system's temporary folder, removed with everything in it
// when the test ends. Tests of the INI file never touch the real home or profile folders.
#pragma once

#include "host/Os.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

class TestFolder {
public:
    TestFolder() {
        auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        static int sequence = 0;
        path_ = std::filesystem::temp_directory_path().string();
        if (!path_.empty() && path_.back() != os::kPathSeparator) path_ += os::kPathSeparator;
        path_ += "qx-ini-" + std::to_string(ticks) + "-" + std::to_string(++sequence);
        std::filesystem::create_directories(path_);
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::string& Path() const { return path_; }
    // `name` inside the folder; names may hold several levels separated by '/'.
    std::string Join(const std::string& name) const {
        std::string joined = path_;
        for (char c : "/" + name)
            joined += c == '/' ? os::kPathSeparator : c;
        return joined;
    }
    // Names of the entries of a folder inside this one, or of this folder itself.
    std::vector<std::string> List(const std::string& folder = std::string()) const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(folder.empty() ? path_ : Join(folder)))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::string path_;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return text;
    char block[4096];
    size_t count;
    while ((count = std::fread(block, 1, sizeof block, file)) > 0)
        text.append(block, count);
    std::fclose(file);
    return text;
}

inline bool WriteFileBytes(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}
