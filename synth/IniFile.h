// The Windows private-profile text format ("[Section]" header lines, "key=value" lines), read
// and written by our own code with the same semantics on every platform, so that one INI file
// behaves identically wherever it is used.
//
// Reading rules, as the Windows profile functions apply them:
// - section and key names match ignoring ASCII case; blanks around names and values are trimmed;
// - the first section of a name and, inside it, the first key of a name win;
// - a value enclosed in matching double or single quotes loses them;
// - lines whose first non-blank character is ';' are comments; a line without '=' inside a
//   section is a key without a value and reads like a missing key;
// - a value (or the default) is cut to capacity - 1 characters; trailing blanks of a default are
//   dropped; a missing file reads as empty.
// Editing keeps every line it does not touch (comments, unknown keys and sections, blank lines)
// exactly as it was. Files are written with "\r\n" line ends on every platform; "\r\n" and "\n"
// are both read.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

// One key and its value, as given to IniDocument::ReplaceSection.
using IniEntry = std::pair<std::string, std::string>;

// The parsed text of one INI file, edited in memory.
class IniDocument {
public:
    static IniDocument Parse(const std::string& text);
    // The whole text, "\r\n" after every line.
    std::string Text() const;
    bool Empty() const { return lines_.empty(); }

    bool HasSection(const std::string& section) const;
    bool HasKey(const std::string& section, const std::string& key) const;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, int capacity) const;

    // Replaces the first key's value in place, or appends the key at the end of the section, or
    // appends the section at the end. False (nothing changed) when a name or the value cannot be
    // stored in this format: a line break anywhere, '=' in a key, ']' in a section name, an
    // empty key.
    bool SetString(const std::string& section, const std::string& key, const std::string& value);
    // Removes every line of the key in the section that reads are taken from.
    void DeleteKey(const std::string& section, const std::string& key);
    // Replaces everything inside the section with the entries, keeping its header and the blank
    // lines that separate it from the next section. With no entries the section stays, empty; a
    // missing section is appended only when there are entries. False (nothing changed) when an
    // entry cannot be stored.
    bool ReplaceSection(const std::string& section, const std::vector<IniEntry>& entries);
    // Removes every section of the name with all its lines.
    void DeleteSection(const std::string& section);

private:
    int FindSection(const std::string& section) const;
    int SectionEnd(int header) const;
    // The line where new lines of the section go: after its last non-blank line.
    int SectionInsertPoint(int header) const;
    int FindKey(int header, const std::string& key) const;

    std::vector<std::string> lines_;
    bool byteOrderMark_ = false;
};

// One INI file on disk. Every operation reads the file afresh, so that several instances (or
// processes) writing different keys keep each other's keys. A write never leaves a truncated
// file: the new text goes to a uniquely named temporary file beside the original, which then
// replaces the original in one rename. Writes within the process are serialised.
class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    virtual ~IniFile() = default;

    const std::string& Path() const { return path_; }

    // The file's content; a missing file is an empty document. False when the file exists but
    // cannot be read.
    bool Load(IniDocument* document) const;

    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, int capacity) const;
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool DeleteKey(const std::string& section, const std::string& key);
    bool ReplaceSection(const std::string& section, const std::vector<IniEntry>& entries);
    bool DeleteSection(const std::string& section);

    // Reads the file, lets `edit` change the document and stores the result with one
    // replacement. Nothing is written when `edit` returns false, when the file cannot be read or
    // when the text did not change. True when the file holds the edited text afterwards.
    bool Update(const std::function<bool(IniDocument&)>& edit);

protected:
    // Creates the file `path` holding `text`; false on any failure. Tests override it to
    // simulate a full disk.
    virtual bool WriteNewFile(const std::string& path, const std::string& text);

private:
    bool Store(const std::string& text);

    std::string path_;
};
