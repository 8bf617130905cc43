// The per-user configuration: where the INI file lives, and how each key is read and written.
#include "synth/Configuration.h"
#include "synth/IniFile.h"
#include "tests/synth/TestFolder.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProcessSettings::Get() = ProcessSettings();
        std::filesystem::create_directories(appData);
    }
    void TearDown() override { ProcessSettings::Get() = ProcessSettings(); }

    // The INI file of a configuration opened in the temporary folder, holding `text`.
    void WriteIni(const std::string& text) {
        std::filesystem::create_directories(folder.Join("AppData/MartenHollowLab"));
        ASSERT_TRUE(WriteFileBytes(iniPath, text));
    }
    // Reads the INI file into `config`, whose settings the test may have prepared.
    void Read(Configuration* config) {
        config->iniPath = iniPath;
        ASSERT_EQ(config->ReadConfiguration(), 0);
    }

    TestFolder folder;
    std::string appData = folder.Join("AppData");
    std::string documents = folder.Join("Documents");
    std::string iniPath = folder.Join("AppData/MartenHollowLab/qx4470.ini");
};

TEST_F(ConfigurationTest, AFreshInstanceCreatesAnEmptyFileAndHasEveryDefault) {
    Configuration config;
    config.Open(appData, documents);
    EXPECT_EQ(config.iniPath, iniPath);
    EXPECT_TRUE(os::DirectoryExists(folder.Join("AppData/MartenHollowLab")));
    ASSERT_TRUE(os::FileExists(iniPath));
    EXPECT_EQ(ReadFileBytes(iniPath), "");

    EXPECT_FALSE(config.showProgramButtons);
    EXPECT_FALSE(config.midiThru);
    EXPECT_FALSE(config.ignoreProgramChange);
    EXPECT_FALSE(config.sendParamChangeSysEx);
    EXPECT_EQ(config.documentsFolder, documents);
    EXPECT_EQ(config.programFilesPath, documents);
    EXPECT_EQ(config.startupBankPath, "");
    for (int controller = 0; controller < Configuration::kControllerCount; ++controller)
        EXPECT_EQ(config.ccMap[controller], -1) << "controller " << controller;
    const ProcessSettings& process = ProcessSettings::Get();
    EXPECT_FALSE(process.tapeHighpassEnabled);
    EXPECT_FALSE(process.tapeLowpassEnabled);
    EXPECT_EQ(process.tapeHighpassFrequency, 330);
    EXPECT_EQ(process.tapeLowpassFrequency, 5000);
    EXPECT_EQ(process.tapeThreshold, 50);
}

TEST_F(ConfigurationTest, OpeningReadsAnExistingFileWithoutChangingIt) {
    const std::string text = "[MIDI Global]\r\nMIDI Thru=true\r\n";
    WriteIni(text);
    Configuration config;
    config.Open(appData, documents);
    EXPECT_TRUE(config.midiThru);
    EXPECT_EQ(ReadFileBytes(iniPath), text);
}

#ifndef _WIN32
// Sets an environment variable for one test and restores it afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};
#endif

TEST_F(ConfigurationTest, CreatesTheWholeMissingConfigPathOnAFreshLinuxSystem) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows always has its application-data folder";
#else
    ScopedEnvironment home("HOME", folder.Join("home"));
    ScopedEnvironment config("XDG_CONFIG_HOME", folder.Join("home/.config"));
    ScopedEnvironment docs("XDG_DOCUMENTS_DIR", documents);
    Configuration configuration;
    configuration.Open();
    EXPECT_EQ(configuration.iniPath, folder.Join("home/.config/MartenHollowLab/qx4470.ini"));
    EXPECT_TRUE(os::FileExists(configuration.iniPath));
    EXPECT_EQ(configuration.programFilesPath, documents);
#endif
}

TEST_F(ConfigurationTest, AMissingFileReadsNothing) {
    Configuration config;
    config.iniPath = iniPath;
    config.midiThru = true;
    config.startupBankPath = "bank.fxb";
    config.ccMap[3] = 5;
    ProcessSettings::Get().tapeHighpassFrequency = 123;
    EXPECT_EQ(config.ReadConfiguration(), Configuration::fileMissing);
    EXPECT_TRUE(config.midiThru);
    EXPECT_EQ(config.startupBankPath, "bank.fxb");
    EXPECT_EQ(config.ccMap[3], 5);
    EXPECT_EQ(ProcessSettings::Get().tapeHighpassFrequency, 123);
}

TEST_F(ConfigurationTest, SwitchesIgnoreCaseButTapeSwitchesWantExactlyTrue) {
    WriteIni("[Editor]\r\nShow Buttons=TRUE\r\n"
             "[MIDI Global]\r\nMIDI Thru=yes\r\nIgnore Program Change=\r\n"
             "[Tape Read]\r\nHighpass Enabled=TRUE\r\nLowpass Enabled=true\r\n");
    Configuration config;
    config.midiThru = true;
    config.ignoreProgramChange = true;
    config.sendParamChangeSysEx = true;
    ProcessSettings::Get().tapeHighpassEnabled = true;
    Read(&config);
    EXPECT_TRUE(config.showProgramButtons);
    EXPECT_FALSE(config.midiThru);            // any other text is false
    EXPECT_TRUE(config.ignoreProgramChange);  // an empty value keeps the setting
    EXPECT_TRUE(config.sendParamChangeSysEx); // so does a missing key
    EXPECT_FALSE(ProcessSettings::Get().tapeHighpassEnabled);
    EXPECT_TRUE(ProcessSettings::Get().tapeLowpassEnabled);
}

TEST_F(ConfigurationTest, MissingTapeSwitchesReadAsFalse) {
    WriteIni("[Tape Read]\r\n");
    ProcessSettings::Get().tapeHighpassEnabled = true;
    ProcessSettings::Get().tapeLowpassEnabled = true;
    Configuration config;
    Read(&config);
    EXPECT_FALSE(ProcessSettings::Get().tapeHighpassEnabled);
    EXPECT_FALSE(ProcessSettings::Get().tapeLowpassEnabled);
}

TEST_F(ConfigurationTest, TapeNumbersNeedAPositiveValueWithoutLeadingZero) {
    struct Case {
        const char* line;
        double expected;
    };
    const Case cases[] = {
        {"Highpass Frequency=0", 1000},    {"Highpass Frequency=0440", 1000},
        {"Highpass Frequency=440.9", 440}, {"", 330},
        {"Highpass Frequency=-5", 1000},   {"Highpass Frequency=abc", 1000},
        {"Highpass Frequency=  77  ", 77}, {"Highpass Frequency=", 1000},
        {"Highpass Frequency=\"90\"", 90},
    };
    for (const Case& c : cases) {
        WriteIni(std::string("[Tape Read]\r\n") + c.line + "\r\n");
        ProcessSettings::Get().tapeHighpassFrequency = 1000;
        Configuration config;
        Read(&config);
        EXPECT_EQ(ProcessSettings::Get().tapeHighpassFrequency, c.expected) << c.line;
    }
}

TEST_F(ConfigurationTest, EveryTapeNumberHasItsOwnKeyAndMissingValue) {
    WriteIni("[Tape Read]\r\nLowpass Frequency=3000\r\nThreshold=07\r\n");
    ProcessSettings& process = ProcessSettings::Get();
    process.tapeHighpassFrequency = 1;
    process.tapeLowpassFrequency = 2;
    process.tapeThreshold = 3;
    Configuration config;
    Read(&config);
    EXPECT_EQ(process.tapeHighpassFrequency, 330);
    EXPECT_EQ(process.tapeLowpassFrequency, 3000);
    EXPECT_EQ(process.tapeThreshold, 3);

    WriteIni("[Tape Read]\r\n");
    Read(&config);
    EXPECT_EQ(process.tapeLowpassFrequency, 5000);
    EXPECT_EQ(process.tapeThreshold, 50);
}

TEST_F(ConfigurationTest, ControllerValuesBindUnbindOrKeepTheEntry) {
    struct Case {
        const char* value; // null: no key at all
        int expected;
    };
    const Case cases[] = {
        {"12", 12}, {"abc", -1}, {"", 3},    {"200", 200},  {"0", 0},
        {"007", 7}, {"-0", -1},  {"-7", -7}, {nullptr, -1}, {"12abc", 12},
    };
    for (const Case& c : cases) {
        WriteIni(c.value ? std::string("[MIDI Control]\r\nCC7=") + c.value + "\r\n" : "");
        Configuration config;
        config.ccMap[7] = 3;
        config.ccMap[8] = 4;
        Read(&config);
        EXPECT_EQ(config.ccMap[7], c.expected) << (c.value ? c.value : "(missing)");
        EXPECT_EQ(config.ccMap[8], -1);
    }
}

TEST_F(ConfigurationTest, StartupBankIsEmptiedFirstAndCutTo258Characters) {
    Configuration config;
    config.startupBankPath = "old.fxb";
    WriteIni("[Startup Bank]\r\nFile=\r\n");
    Read(&config);
    EXPECT_EQ(config.startupBankPath, "");

    std::string longPath(300, 'p');
    WriteIni("[Startup Bank]\r\nFile=" + longPath + "\r\n");
    Read(&config);
    EXPECT_EQ(config.startupBankPath, longPath.substr(0, 258));
}

TEST_F(ConfigurationTest, SavingWritesOnlyBoundControllersAndDropsStaleOnes) {
    WriteIni("[MIDI Control]\r\nCC1=5\r\n; old binding\r\nCC2=6\r\n\r\n[Other]\r\nkept=1\r\n");
    Configuration config;
    config.iniPath = iniPath;
    config.ccMap[119] = 68;
    config.ccMap[3] = 4;
    config.ccMap[7] = 200;
    ASSERT_TRUE(config.WriteConfiguration(Configuration::kAllGroups));
    std::string text = ReadFileBytes(iniPath);
    EXPECT_NE(
        text.find("[MIDI Control]\r\nCC3=4\r\nCC7=200\r\nCC119=68\r\n\r\n[Other]\r\nkept=1\r\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("CC1="), std::string::npos);
    EXPECT_EQ(text.find("CC2="), std::string::npos);

    // With no controller bound the section stays, empty.
    for (int& entry : config.ccMap)
        entry = -1;
    ASSERT_TRUE(config.WriteConfiguration(Configuration::kAllGroups));
    text = ReadFileBytes(iniPath);
    EXPECT_NE(text.find("[MIDI Control]\r\n\r\n[Other]"), std::string::npos) << text;
}

TEST_F(ConfigurationTest, ToggleRewritesOnlyItsKeyAndTheStartupBank) {
    const std::string handEdited = "[MIDI Control]\r\n"
                                   "; mine\r\n"
                                   "CC5 = 9\r\n"
                                   "cc6=10\r\n";
    WriteIni("[Startup Bank]\r\n"
             "File=old.fxb\r\n"
             "Stray=1\r\n"
             "\r\n"
             "[Editor]\r\n"
             "Show Buttons=false\r\n"
             "\r\n"
             "[MIDI Global]\r\n"
             "MIDI Thru=false\r\n"
             "Ignore Program Change=false\r\n"
             "\r\n" +
             handEdited);
    Configuration config;
    config.iniPath = iniPath;
    config.startupBankPath = "new.fxb";
    config.midiThru = true;
    config.showProgramButtons = true;
    config.ignoreProgramChange = true;
    config.ccMap[1] = 2;
    ProcessSettings::Get().tapeHighpassEnabled = true;
    ASSERT_TRUE(config.WriteConfiguration(Configuration::kGroupMidiThru));
    EXPECT_EQ(ReadFileBytes(iniPath), "[Startup Bank]\r\n"
                                      "File=new.fxb\r\n"
                                      "\r\n"
                                      "[Editor]\r\n"
                                      "Show Buttons=false\r\n"
                                      "\r\n"
                                      "[MIDI Global]\r\n"
                                      "MIDI Thru=true\r\n"
                                      "Ignore Program Change=false\r\n"
                                      "\r\n" +
                                          handEdited);
}

TEST_F(ConfigurationTest, EachGroupWritesItsOwnKeys) {
    struct Case {
        int group;
        const char* key;
    };
    const Case cases[] = {
        {Configuration::kGroupShowButtons, "Show Buttons="},
        {Configuration::kGroupMidiThru, "MIDI Thru="},
        {Configuration::kGroupIgnoreProgramChange, "Ignore Program Change="},
        {Configuration::kGroupSendParamChangeSysEx, "Send Param Change SysEx="},
        {Configuration::kGroupTapeRead, "Threshold="},
    };
    const char* allKeys[] = {"Show Buttons=", "MIDI Thru=", "Ignore Program Change=",
                             "Send Param Change SysEx=", "Threshold="};
    for (const Case& c : cases) {
        WriteIni("");
        Configuration config;
        config.iniPath = iniPath;
        ASSERT_TRUE(config.WriteConfiguration(c.group));
        std::string text = ReadFileBytes(iniPath);
        for (const char* key : allKeys)
            EXPECT_EQ(text.find(key) != std::string::npos, std::string(key) == c.key)
                << "group " << c.group << ", key " << key;
        EXPECT_EQ(text.find("[MIDI Control]"), std::string::npos);
    }
}

TEST_F(ConfigurationTest, TapeGroupOnAFreshFileGivesTheseExactLines) {
    WriteIni("");
    ProcessSettings& process = ProcessSettings::Get();
    process.tapeHighpassEnabled = true;
    process.tapeHighpassFrequency = 440.9;
    process.tapeLowpassFrequency = -3.7;
    process.tapeThreshold = 1e12;
    Configuration config;
    config.iniPath = iniPath;
    ASSERT_TRUE(config.WriteConfiguration(Configuration::kGroupTapeRead));
    EXPECT_EQ(ReadFileBytes(iniPath), "[Startup Bank]\r\n"
                                      "File=\r\n"
                                      "\r\n"
                                      "[Tape Read]\r\n"
                                      "Highpass Enabled=true\r\n"
                                      "Lowpass Enabled=false\r\n"
                                      "Highpass Frequency=440\r\n"
                                      "Lowpass Frequency=-3\r\n"
                                      "Threshold=2147483647\r\n");
    process.tapeThreshold = std::nan("");
    ASSERT_TRUE(config.WriteConfiguration(Configuration::kGroupTapeRead));
    EXPECT_NE(ReadFileBytes(iniPath).find("Threshold=0\r\n"), std::string::npos);
}

TEST_F(ConfigurationTest, SavedConfigurationReadsBackInANewInstance) {
    Configuration saved;
    saved.Open(appData, documents);
    saved.showProgramButtons = true;
    saved.ignoreProgramChange = true;
    saved.sendParamChangeSysEx = true;
    saved.startupBankPath = folder.Join("banks/My Bank.fxb");
    saved.ccMap[0] = 0;
    saved.ccMap[64] = 68;
    saved.ccMap[119] = 200;
    ProcessSettings& process = ProcessSettings::Get();
    process.tapeLowpassEnabled = true;
    process.tapeHighpassFrequency = 120.5;
    process.tapeLowpassFrequency = 4000;
    process.tapeThreshold = 35;
    ASSERT_TRUE(saved.WriteConfiguration(Configuration::kAllGroups));

    process = ProcessSettings();
    Configuration loaded;
    loaded.Open(appData, documents);
    EXPECT_TRUE(loaded.showProgramButtons);
    EXPECT_FALSE(loaded.midiThru);
    EXPECT_TRUE(loaded.ignoreProgramChange);
    EXPECT_TRUE(loaded.sendParamChangeSysEx);
    EXPECT_EQ(loaded.startupBankPath, saved.startupBankPath);
    for (int controller = 0; controller < Configuration::kControllerCount; ++controller)
        EXPECT_EQ(loaded.ccMap[controller], saved.ccMap[controller]) << "controller " << controller;
    EXPECT_FALSE(process.tapeHighpassEnabled);
    EXPECT_TRUE(process.tapeLowpassEnabled);
    EXPECT_EQ(process.tapeHighpassFrequency, 120);
    EXPECT_EQ(process.tapeLowpassFrequency, 4000);
    EXPECT_EQ(process.tapeThreshold, 35);
}

TEST_F(ConfigurationTest, StartupBankSelectionIsStoredAndRemoved) {
    WriteIni("[Startup Bank]\r\nFile=a.fxb\r\n; note\r\n\r\n[Editor]\r\nShow Buttons=true\r\n");
    Configuration config;
    config.iniPath = iniPath;
    ASSERT_TRUE(config.SelectStartupBank(folder.Join("b.fxb")));
    EXPECT_EQ(config.startupBankPath, folder.Join("b.fxb"));
    EXPECT_EQ(ReadFileBytes(iniPath), "[Startup Bank]\r\nFile=" + folder.Join("b.fxb") +
                                          "\r\n\r\n[Editor]\r\nShow Buttons=true\r\n");

    ASSERT_TRUE(config.UnselectStartupBank());
    EXPECT_EQ(config.startupBankPath, "");
    EXPECT_EQ(ReadFileBytes(iniPath), "[Startup Bank]\r\n\r\n[Editor]\r\nShow Buttons=true\r\n");

    // An empty path is written as an empty value.
    ASSERT_TRUE(config.WriteStartupBank());
    EXPECT_EQ(ReadFileBytes(iniPath),
              "[Startup Bank]\r\nFile=\r\n\r\n[Editor]\r\nShow Buttons=true\r\n");
}

TEST_F(ConfigurationTest, AStartupPathWithALineBreakIsNotWritten) {
    const std::string text = "[Startup Bank]\r\nFile=a.fxb\r\n";
    WriteIni(text);
    Configuration config;
    config.iniPath = iniPath;
    EXPECT_FALSE(config.SelectStartupBank("evil\r\n[Editor]\r\nShow Buttons=true"));
    EXPECT_FALSE(config.WriteConfiguration(Configuration::kAllGroups));
    EXPECT_EQ(ReadFileBytes(iniPath), text);
}

TEST_F(ConfigurationTest, ProgramFilesPathComesFromTheLastFolderAndKeepsLongPaths) {
    Configuration config;
    config.Open(appData, documents);
    std::string longFolder = folder.Join(std::string(150, 'a') + "/" + std::string(150, 'b'));
    ProcessSettings::Get().lastFolder = longFolder;
    ASSERT_TRUE(config.WriteProgramFilesPath());
    EXPECT_EQ(config.programFilesPath, longFolder);

    Configuration reopened;
    reopened.Open(appData, documents);
    EXPECT_EQ(reopened.programFilesPath, longFolder);

    // Before any file command there is no last folder: the current one stays.
    ProcessSettings::Get().lastFolder.clear();
    ASSERT_TRUE(reopened.WriteProgramFilesPath());
    EXPECT_EQ(reopened.programFilesPath, longFolder);
    EXPECT_EQ(IniFile(iniPath).GetString("Global", "Path to Program Files", "", 4096), longFolder);
}

TEST_F(ConfigurationTest, PathsWithEdgeBlanksOrQuotesComeBackUnchanged) {
    const std::string paths[] = {folder.Join("bank.fxb "), " leading.fxb", "'quoted'", "\"double\"",
                                 "plain.fxb"};
    for (const std::string& path : paths) {
        Configuration config;
        config.Open(appData, documents);
        ASSERT_TRUE(config.SelectStartupBank(path));
        ProcessSettings::Get().lastFolder = path;
        ASSERT_TRUE(config.WriteProgramFilesPath());
        Configuration reopened;
        reopened.Open(appData, documents);
        EXPECT_EQ(reopened.startupBankPath, path);
        EXPECT_EQ(reopened.programFilesPath, path);
    }
    EXPECT_NE(ReadFileBytes(iniPath).find("File=plain.fxb\r\n"), std::string::npos);
}

TEST(LeadingIntegerTest, ReadsLikeTheCRuntimeWithoutOverflowing) {
    EXPECT_EQ(LeadingInteger("  -12x"), -12);
    EXPECT_EQ(LeadingInteger("\t\n+7"), 7);
    EXPECT_EQ(LeadingInteger("440.9"), 440);
    EXPECT_EQ(LeadingInteger("x12"), 0);
    EXPECT_EQ(LeadingInteger("- 3"), 0);
    EXPECT_EQ(LeadingInteger(""), 0);
    EXPECT_EQ(LeadingInteger("2147483647"), INT_MAX);
    EXPECT_EQ(LeadingInteger("99999999999999999999"), INT_MAX);
    EXPECT_EQ(LeadingInteger("-2147483648"), INT_MIN);
    EXPECT_EQ(LeadingInteger("-99999999999999999999"), INT_MIN);
}

} // namespace
