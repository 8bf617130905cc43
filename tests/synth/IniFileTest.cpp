// The INI reader and writer: the Windows profile semantics and the safe rewrite of the file.
#include "synth/IniFile.h"
#include "tests/synth/TestFolder.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    TestFolder folder;
    std::string path = folder.Join("test.ini");
};

TEST_F(IniFileTest, ReadsNamesIgnoringCaseAndBlanksAndStripsMatchingQuotes) {
    ASSERT_TRUE(WriteFileBytes(path, "; Hidden=comment before any section\r\n"
                                     "[ Editor ]\r\n"
                                     "  Show Buttons =  yes  \r\n"
                                     "Double=\"  spaced  \"\r\n"
                                     "Single='x'\r\n"
                                     "Mismatched=\"x'\r\n"
                                     "Lone=\"\r\n"
                                     "   ;Hidden=1\r\n"
                                     "NoValue\r\n"
                                     "Empty=\r\n"
                                     "Equals=a=b\r\n"
                                     "[editor]\r\n"
                                     "Other=only in the second section\r\n"
                                     "[Twice]\r\n"
                                     "key=first\r\n"
                                     "KEY=second\r\n"));
    IniFile ini(path);
    EXPECT_EQ(ini.GetString("EDITOR", "show buttons", "d", 64), "yes");
    EXPECT_EQ(ini.GetString(" editor ", " SHOW BUTTONS ", "d", 64), "yes");
    EXPECT_EQ(ini.GetString("Editor", "Double", "d", 64), "  spaced  ");
    EXPECT_EQ(ini.GetString("Editor", "Single", "d", 64), "x");
    EXPECT_EQ(ini.GetString("Editor", "Mismatched", "d", 64), "\"x'");
    EXPECT_EQ(ini.GetString("Editor", "Lone", "d", 64), "\"");
    EXPECT_EQ(ini.GetString("Editor", ";Hidden", "d", 64), "d");
    EXPECT_EQ(ini.GetString("Editor", "NoValue", "d", 64), "d");
    EXPECT_EQ(ini.GetString("Editor", "Empty", "d", 64), "");
    EXPECT_EQ(ini.GetString("Editor", "Equals", "d", 64), "a=b");
    // The first section of a name wins, and so does the first key of a name.
    EXPECT_EQ(ini.GetString("Editor", "Other", "d", 64), "d");
    EXPECT_EQ(ini.GetString("twice", "Key", "d", 64), "first");
    EXPECT_EQ(ini.GetString("Missing", "Key", "d", 64), "d");
}

TEST_F(IniFileTest, CutsValuesAndDefaultsToTheCapacity) {
    ASSERT_TRUE(WriteFileBytes(path, "[S]\r\nkey=abcdef\r\nquoted=\"abcdef\"\r\n"));
    IniFile ini(path);
    EXPECT_EQ(ini.GetString("S", "key", "", 7), "abcdef");
    EXPECT_EQ(ini.GetString("S", "key", "", 4), "abc");
    EXPECT_EQ(ini.GetString("S", "quoted", "", 4), "abc");
    EXPECT_EQ(ini.GetString("S", "key", "", 1), "");
    EXPECT_EQ(ini.GetString("S", "key", "", 0), "");
    EXPECT_EQ(ini.GetString("S", "missing", "12345", 3), "12");
    // Trailing blanks of a default are dropped, as the Windows function does.
    EXPECT_EQ(ini.GetString("S", "missing", "ab  ", 64), "ab");
}

TEST_F(IniFileTest, MissingFileReadsAsEmpty) {
    IniFile ini(folder.Join("absent.ini"));
    EXPECT_EQ(ini.GetString("S", "key", "fallback", 64), "fallback");
    IniDocument document;
    EXPECT_TRUE(ini.Load(&document));
    EXPECT_TRUE(document.Empty());
}

TEST_F(IniFileTest, ReadsBareLineFeedsAndWritesCarriageReturnLineFeedEverywhere) {
    ASSERT_TRUE(WriteFileBytes(path, "[A]\na=1\n\n[B]\nb=2"));
    IniFile ini(path);
    EXPECT_EQ(ini.GetString("A", "a", "", 64), "1");
    EXPECT_EQ(ini.GetString("B", "b", "", 64), "2");
    ASSERT_TRUE(ini.WriteString("A", "c", "3"));
    EXPECT_EQ(ReadFileBytes(path), "[A]\r\na=1\r\nc=3\r\n\r\n[B]\r\nb=2\r\n");
}

TEST_F(IniFileTest, WritingKeepsEveryLineItDoesNotTouch) {
    ASSERT_TRUE(WriteFileBytes(path, "; written by hand\r\n"
                                     "[Editor]\r\n"
                                     "; the next key is mine\r\n"
                                     "  show BUTTONS = false\r\n"
                                     "Unknown=kept\r\n"
                                     "\r\n"
                                     "[Other]\r\n"
                                     "x = 1\r\n"));
    IniFile ini(path);
    // In place, with the key's spelling from the file.
    ASSERT_TRUE(ini.WriteString("editor", "Show Buttons", "true"));
    // Appended after the section's last line, before the blank line that ends it.
    ASSERT_TRUE(ini.WriteString("Editor", "Added", "1"));
    // A new section goes to the end of the file.
    ASSERT_TRUE(ini.WriteString("New", "k", "v"));
    EXPECT_EQ(ReadFileBytes(path), "; written by hand\r\n"
                                   "[Editor]\r\n"
                                   "; the next key is mine\r\n"
                                   "show BUTTONS=true\r\n"
                                   "Unknown=kept\r\n"
                                   "Added=1\r\n"
                                   "\r\n"
                                   "[Other]\r\n"
                                   "x = 1\r\n"
                                   "\r\n"
                                   "[New]\r\n"
                                   "k=v\r\n");
}

TEST_F(IniFileTest, DeletesKeysAndSectionsAndReplacesSectionContent) {
    const std::string original = "[A]\r\n"
                                 "a=1\r\n"
                                 "; note\r\n"
                                 "b=2\r\n"
                                 "\r\n"
                                 "[B]\r\n"
                                 "x=1\r\n"
                                 "\r\n"
                                 "[C]\r\n"
                                 "c=3\r\n";
    ASSERT_TRUE(WriteFileBytes(path, original));
    IniFile ini(path);
    ASSERT_TRUE(ini.DeleteKey("a", "A"));
    EXPECT_EQ(ini.GetString("A", "a", "gone", 64), "gone");
    ASSERT_TRUE(ini.ReplaceSection("B", {{"y", "2"}, {"z", "3"}}));
    ASSERT_TRUE(ini.DeleteSection("c"));
    EXPECT_EQ(ReadFileBytes(path), "[A]\r\n; note\r\nb=2\r\n\r\n[B]\r\ny=2\r\nz=3\r\n\r\n");

    // An empty content empties the section and keeps its header.
    ASSERT_TRUE(ini.ReplaceSection("A", {}));
    EXPECT_EQ(ReadFileBytes(path), "[A]\r\n\r\n[B]\r\ny=2\r\nz=3\r\n\r\n");
    // Emptying a section that does not exist adds nothing.
    ASSERT_TRUE(ini.ReplaceSection("Absent", {}));
    EXPECT_FALSE(ReadFileBytes(path).find("Absent") != std::string::npos);
}

TEST_F(IniFileTest, DeletingAKeyRemovesItsDuplicatesSoNoneReappears) {
    ASSERT_TRUE(WriteFileBytes(path, "[A]\r\nk=1\r\nK=2\r\n[A]\r\nk=3\r\n"));
    IniFile ini(path);
    ASSERT_TRUE(ini.DeleteKey("A", "k"));
    EXPECT_EQ(ini.GetString("A", "k", "gone", 64), "gone");
    ASSERT_TRUE(ini.DeleteSection("A"));
    EXPECT_EQ(ini.GetString("A", "k", "gone", 64), "gone");
    EXPECT_EQ(ReadFileBytes(path), "");
}

TEST_F(IniFileTest, RefusesTextThatWouldAddLines) {
    const std::string original = "[A]\r\na=1\r\n";
    ASSERT_TRUE(WriteFileBytes(path, original));
    IniFile ini(path);
    EXPECT_FALSE(ini.WriteString("A", "a", "x\r\n[Injected]\r\nb=2"));
    EXPECT_FALSE(ini.WriteString("A", "k=v", "1"));
    EXPECT_FALSE(ini.WriteString("A]", "k", "1"));
    EXPECT_FALSE(ini.ReplaceSection("A", {{"ok", "1"}, {"bad", "line\nbreak"}}));
    EXPECT_EQ(ReadFileBytes(path), original);
}

TEST_F(IniFileTest, KeepsAByteOrderMark) {
    ASSERT_TRUE(WriteFileBytes(path, "\xEF\xBB\xBF[A]\r\na=1\r\n"));
    IniFile ini(path);
    EXPECT_EQ(ini.GetString("A", "a", "", 64), "1");
    ASSERT_TRUE(ini.WriteString("A", "a", "2"));
    EXPECT_EQ(ReadFileBytes(path), "\xEF\xBB\xBF[A]\r\na=2\r\n");
}

// Writes half of the new text, then reports the disk full.
class DiskFullIniFile : public IniFile {
public:
    using IniFile::IniFile;

protected:
    bool WriteNewFile(const std::string& temporary, const std::string& text) override {
        std::string half = text.substr(0, text.size() / 2);
        WriteFileBytes(temporary, half);
        return false;
    }
};

TEST_F(IniFileTest, AFailedWriteLeavesTheOriginalWholeAndNoTemporaryFile) {
    const std::string original = "[A]\r\na=1\r\n";
    ASSERT_TRUE(WriteFileBytes(path, original));
    DiskFullIniFile ini(path);
    EXPECT_FALSE(ini.WriteString("A", "b", "a long value that would have been written"));
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(folder.List(), std::vector<std::string>{"test.ini"});
}

TEST_F(IniFileTest, AFailedReplacementRemovesItsTemporaryFile) {
    // A folder stands where the file should go, so the rename cannot succeed.
    std::filesystem::create_directories(folder.Join("taken.ini/inside"));
    IniFile ini(folder.Join("taken.ini"));
    EXPECT_FALSE(ini.WriteString("A", "a", "1"));
    EXPECT_EQ(folder.List(), std::vector<std::string>{"taken.ini"});
}

TEST_F(IniFileTest, WritingIntoAMissingFolderFailsAndCreatesNothing) {
    IniFile ini(folder.Join("no such folder/test.ini"));
    EXPECT_FALSE(ini.WriteString("A", "a", "1"));
    EXPECT_TRUE(folder.List().empty());
}

TEST_F(IniFileTest, UnchangedTextIsNotRewritten) {
    // The bare line feeds would become "\r\n" if the file were written again.
    ASSERT_TRUE(WriteFileBytes(path, "[A]\na=1\n"));
    IniFile ini(path);
    ASSERT_TRUE(ini.WriteString("A", "a", "1"));
    ASSERT_TRUE(ini.DeleteKey("A", "absent"));
    EXPECT_EQ(ReadFileBytes(path), "[A]\na=1\n");
}

TEST_F(IniFileTest, TwoWritersOfOneFileKeepEachOthersKeys) {
    IniFile first(path);
    IniFile second(path);
    ASSERT_TRUE(first.WriteString("S", "one", "1"));
    ASSERT_TRUE(second.WriteString("S", "two", "2"));
    ASSERT_TRUE(first.WriteString("T", "three", "3"));
    ASSERT_TRUE(second.WriteString("S", "one", "uno"));
    EXPECT_EQ(ReadFileBytes(path), "[S]\r\none=uno\r\ntwo=2\r\n\r\n[T]\r\nthree=3\r\n");
}

TEST_F(IniFileTest, ConcurrentWritersNeverExposeAPartialFile) {
    const std::string start = "[Keep]\r\nmarker=1\r\n";
    ASSERT_TRUE(WriteFileBytes(path, start));
    const int kWrites = 40;
    std::atomic<bool> writing{true};
    std::atomic<int> partialReads{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (writing) {
            std::string text = ReadFileBytes(path);
            // A read may miss the file while Windows swaps it, but never sees half of it.
            if (!text.empty()) {
                ++reads;
                if (text.compare(0, start.size(), start) != 0 || text.size() < 2 ||
                    text.compare(text.size() - 2, 2, "\r\n") != 0)
                    ++partialReads;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    auto writer = [&](const char* prefix) {
        // The writes must overlap the reader, which a slow thread start could otherwise miss.
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (reads == 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::yield();
        IniFile ini(path);
        for (int i = 0; i < kWrites; ++i)
            EXPECT_TRUE(ini.WriteString("Keys", prefix + std::to_string(i), std::to_string(i)));
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    writing = false;
    reader.join();

    EXPECT_EQ(partialReads, 0);
    EXPECT_GT(reads, 0);
    IniDocument document;
    ASSERT_TRUE(IniFile(path).Load(&document));
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_EQ(document.GetString("Keys", "a" + std::to_string(i), "", 64), std::to_string(i));
        EXPECT_EQ(document.GetString("Keys", "b" + std::to_string(i), "", 64), std::to_string(i));
    }
    EXPECT_EQ(folder.List(), std::vector<std::string>{"test.ini"});
}

} // namespace
