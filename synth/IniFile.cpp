#include "synth/IniFile.h"

#include "host/Os.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string Cut(const std::string& text, int capacity) {
    if (capacity <= 0) return std::string();
    size_t limit = static_cast<size_t>(capacity) - 1;
    return text.size() > limit ? text.substr(0, limit) : text;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

bool IsComment(const std::string& line) {
    std::string trimmed = Trim(line);
    return !trimmed.empty() && trimmed[0] == ';';
}

// True for a "[name]" line; the name is what stands between '[' and the first ']', trimmed.
bool ParseHeader(const std::string& line, std::string* name) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] != '[') return false;
    size_t close = trimmed.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(trimmed.substr(1, close - 1));
    return true;
}

// A key line: "key=value", or a bare "key" that has no value.
struct KeyLine {
    std::string key;
    std::string value;
    bool hasValue = false;
};

bool ParseKey(const std::string& line, KeyLine* parsed) {
    std::string name;
    if (IsComment(line) || ParseHeader(line, &name)) return false;
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
        parsed->key = Trim(line);
        parsed->value.clear();
        parsed->hasValue = false;
    } else {
        parsed->key = Trim(line.substr(0, equals));
        parsed->value = Trim(line.substr(equals + 1));
        parsed->hasValue = true;
    }
    return !parsed->key.empty();
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\''))
        return value.substr(1, value.size() - 2);
    return value;
}

bool StorableSection(const std::string& section) {
    std::string name = Trim(section);
    return !name.empty() && !HasLineBreak(name) && name.find(']') == std::string::npos;
}

bool StorableKey(const std::string& key) {
    std::string name = Trim(key);
    return !name.empty() && !HasLineBreak(name) && name.find('=') == std::string::npos &&
           name[0] != ';' && name[0] != '[';
}

bool StorableEntry(const std::string& key, const std::string& value) {
    return StorableKey(key) && !HasLineBreak(value);
}

bool IsBlankLine(const std::string& line) {
    return Trim(line).empty();
}

} // namespace

IniDocument IniDocument::Parse(const std::string& text) {
    IniDocument document;
    size_t position = 0;
    if (text.compare(0, 3, kByteOrderMark) == 0) {
        document.byteOrderMark_ = true;
        position = 3;
    }
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(position, end - position);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        document.lines_.push_back(line);
        position = end + 1;
    }
    return document;
}

std::string IniDocument::Text() const {
    std::string text = byteOrderMark_ ? kByteOrderMark : "";
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

int IniDocument::FindSection(const std::string& section) const {
    std::string wanted = Trim(section);
    std::string name;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (ParseHeader(lines_[i], &name) && SameName(name, wanted)) return static_cast<int>(i);
    return -1;
}

int IniDocument::SectionEnd(int header) const {
    std::string name;
    for (size_t i = header + 1; i < lines_.size(); ++i)
        if (ParseHeader(lines_[i], &name)) return static_cast<int>(i);
    return static_cast<int>(lines_.size());
}

int IniDocument::SectionInsertPoint(int header) const {
    int point = SectionEnd(header);
    while (point > header + 1 && IsBlankLine(lines_[point - 1]))
        --point;
    return point;
}

int IniDocument::FindKey(int header, const std::string& key) const {
    std::string wanted = Trim(key);
    int end = SectionEnd(header);
    KeyLine parsed;
    for (int i = header + 1; i < end; ++i)
        if (ParseKey(lines_[i], &parsed) && SameName(parsed.key, wanted)) return i;
    return -1;
}

bool IniDocument::HasSection(const std::string& section) const {
    return FindSection(section) >= 0;
}

bool IniDocument::HasKey(const std::string& section, const std::string& key) const {
    int header = FindSection(section);
    return header >= 0 && FindKey(header, key) >= 0;
}

std::string IniDocument::GetString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue, int capacity) const {
    int header = FindSection(section);
    int line = header >= 0 ? FindKey(header, key) : -1;
    KeyLine parsed;
    if (line >= 0 && ParseKey(lines_[line], &parsed) && parsed.hasValue)
        return Cut(Unquote(parsed.value), capacity);
    std::string fallback = defaultValue;
    while (!fallback.empty() && IsBlank(fallback.back()))
        fallback.pop_back();
    return Cut(fallback, capacity);
}

bool IniDocument::SetString(const std::string& section, const std::string& key,
                            const std::string& value) {
    if (!StorableSection(section) || !StorableEntry(key, value)) return false;
    int header = FindSection(section);
    if (header < 0) {
        if (!lines_.empty() && !IsBlankLine(lines_.back())) lines_.push_back(std::string());
        lines_.push_back("[" + Trim(section) + "]");
        lines_.push_back(Trim(key) + "=" + value);
        return true;
    }
    int line = FindKey(header, key);
    if (line >= 0) {
        // The key keeps the spelling the file gave it, as the Windows functions do.
        KeyLine parsed;
        ParseKey(lines_[line], &parsed);
        lines_[line] = parsed.key + "=" + value;
    } else {
        lines_.insert(lines_.begin() + SectionInsertPoint(header), Trim(key) + "=" + value);
    }
    return true;
}

void IniDocument::DeleteKey(const std::string& section, const std::string& key) {
    int header = FindSection(section);
    if (header < 0) return;
    for (int line = FindKey(header, key); line >= 0; line = FindKey(header, key))
        lines_.erase(lines_.begin() + line);
}

bool IniDocument::ReplaceSection(const std::string& section, const std::vector<IniEntry>& entries) {
    if (!StorableSection(section)) return false;
    for (const IniEntry& entry : entries)
        if (!StorableEntry(entry.first, entry.second)) return false;
    std::vector<std::string> body;
    for (const IniEntry& entry : entries)
        body.push_back(Trim(entry.first) + "=" + entry.second);

    int header = FindSection(section);
    if (header < 0) {
        if (body.empty()) return true;
        if (!lines_.empty() && !IsBlankLine(lines_.back())) lines_.push_back(std::string());
        lines_.push_back("[" + Trim(section) + "]");
        lines_.insert(lines_.end(), body.begin(), body.end());
        return true;
    }
    int keepFrom = SectionInsertPoint(header);
    lines_.erase(lines_.begin() + header + 1, lines_.begin() + keepFrom);
    lines_.insert(lines_.begin() + header + 1, body.begin(), body.end());
    return true;
}

void IniDocument::DeleteSection(const std::string& section) {
    for (int header = FindSection(section); header >= 0; header = FindSection(section))
        lines_.erase(lines_.begin() + header, lines_.begin() + SectionEnd(header));
}

namespace {

// One lock for every INI file of the process: a read-modify-write of one instance never
// interleaves with another's.
std::mutex& FileLock() {
    static std::mutex lock;
    return lock;
}

// Another process may hold the file open for a moment (Windows refuses to open or replace a file
// that is open without shared delete access), so file operations are retried for a while.
const int kAttempts = 50;
const auto kRetryPause = std::chrono::milliseconds(10);

// Reads the whole file; a missing file is empty text.
bool ReadText(const std::string& path, std::string* text) {
    text->clear();
    if (!os::FileExists(path)) return true;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kRetryPause);
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            if (!os::FileExists(path)) return true;
            continue;
        }
        char block[4096];
        size_t count;
        while ((count = std::fread(block, 1, sizeof block, file)) > 0)
            text->append(block, count);
        bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (!failed) return true;
        text->clear();
    }
    return false;
}

uint64_t Scramble(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t ProcessSeed() {
    static int anchor;
    uint64_t seed = reinterpret_cast<uintptr_t>(&anchor);
    seed ^= static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count())
            << 17;
    try {
        std::random_device device;
        seed ^= (static_cast<uint64_t>(device()) << 32) ^ device();
    } catch (...) {
        // The clocks and the address still differ between processes.
    }
    return Scramble(seed);
}

// A name beside `path` that no other writer, in this process or another, picks at the same time.
std::string TemporaryPath(const std::string& path) {
    static const uint64_t seed = ProcessSeed();
    static std::atomic<uint64_t> counter{0};
    const char* digits = "0123456789abcdef";
    for (;;) {
        uint64_t value = Scramble(
            seed ^ Scramble(++counter) ^
            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::string name = path + ".~";
        for (int shift = 60; shift >= 0; shift -= 4)
            name += digits[(value >> shift) & 15];
        name += ".tmp";
        if (!os::FileExists(name)) return name;
    }
}

} // namespace

bool IniFile::WriteNewFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fflush(file) == 0 && written;
    return std::fclose(file) == 0 && written;
}

bool IniFile::Store(const std::string& text) {
    std::string temporary = TemporaryPath(path_);
    if (!WriteNewFile(temporary, text)) {
        std::remove(temporary.c_str());
        return false;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kRetryPause);
        if (os::ReplaceFile(temporary, path_)) return true;
    }
    std::remove(temporary.c_str());
    return false;
}

bool IniFile::Load(IniDocument* document) const {
    std::string text;
    bool read;
    {
        std::lock_guard<std::mutex> guard(FileLock());
        read = ReadText(path_, &text);
    }
    *document = IniDocument::Parse(text);
    return read;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue, int capacity) const {
    IniDocument document;
    Load(&document);
    return document.GetString(section, key, defaultValue, capacity);
}

bool IniFile::Update(const std::function<bool(IniDocument&)>& edit) {
    std::lock_guard<std::mutex> guard(FileLock());
    std::string text;
    if (!ReadText(path_, &text)) return false;
    IniDocument document = IniDocument::Parse(text);
    std::string before = document.Text();
    if (!edit(document)) return false;
    std::string after = document.Text();
    if (after == before) return true;
    return Store(after);
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    return Update([&](IniDocument& document) { return document.SetString(section, key, value); });
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key) {
    return Update([&](IniDocument& document) {
        document.DeleteKey(section, key);
        return true;
    });
}

bool IniFile::ReplaceSection(const std::string& section, const std::vector<IniEntry>& entries) {
    return Update([&](IniDocument& document) { return document.ReplaceSection(section, entries); });
}

bool IniFile::DeleteSection(const std::string& section) {
    return Update([&](IniDocument& document) {
        document.DeleteSection(section);
        return true;
    });
}
