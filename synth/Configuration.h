// The per-user configuration: the INI file "qx4470.ini" in the maker folder "MartenHollowLab"
// under the user's application-data folder, and the settings it feeds.
//
// Sections and keys: "Startup Bank"/"File", "Editor"/"Show Buttons", "Global"/"Path to Program
// Files", "MIDI Global"/"MIDI Thru", "Ignore Program Change", "Send Param Change SysEx",
// "Tape Read"/"Highpass Enabled", "Lowpass Enabled", "Highpass Frequency", "Lowpass Frequency",
// "Threshold", and "MIDI Control"/"CC0".."CC119". Booleans are written "true"/"false", numbers as
// decimal integers.
//
// Finding the file: Open() asks the operating-system seam for the application-data and documents
// folders (Windows: the shell folders; Linux: $XDG_CONFIG_HOME or ~/.config, and
// $XDG_DOCUMENTS_DIR, ~/Documents or ~). Open(appData, documents) takes both folders from the
// caller instead, which is how tests point the configuration at a temporary folder.
#pragma once

#include <string>

// Settings shared by every instance in the process: the tape-reading pre-filters and the folder
// of the last file command. Not guarded by a lock; the last instance that writes wins.
struct ProcessSettings {
    bool tapeHighpassEnabled = false;
    bool tapeLowpassEnabled = false;
    double tapeHighpassFrequency = 330;
    double tapeLowpassFrequency = 5000;
    double tapeThreshold = 50;
    // Empty until the first file command of the process.
    std::string lastFolder;

    static ProcessSettings& Get();
};

// The leading decimal integer of a text as the C runtime's atoi reads it (blanks, an optional
// sign, digits; 0 when there are none), limited to the int range instead of overflowing.
int LeadingInteger(const std::string& text);

class Configuration {
public:
    // ReadConfiguration's result when the INI file does not exist.
    static constexpr int fileMissing = 11;
    static constexpr int kControllerCount = 120;

    // Groups for WriteConfiguration: the number of the utility-menu command that changes the
    // setting, or kAllGroups.
    static constexpr int kAllGroups = -1;
    static constexpr int kGroupTapeRead = 10;
    static constexpr int kGroupShowButtons = 26;
    static constexpr int kGroupMidiThru = 29;
    static constexpr int kGroupIgnoreProgramChange = 30;
    static constexpr int kGroupSendParamChangeSysEx = 31;

    static constexpr const char* kMakerFolder = "MartenHollowLab";
    static constexpr const char* kFileName = "qx4470.ini";

    bool showProgramButtons = false;
    bool midiThru = false;
    bool ignoreProgramChange = false;
    bool sendParamChangeSysEx = false;
    // Fallback start folder of file dialogs.
    std::string documentsFolder;
    std::string iniPath;
    // The FXB file a new instance loads as its bank; empty for factory bank A.
    std::string startupBankPath;
    // Default folder for program and bank files.
    std::string programFilesPath;
    // Entry c is the parameter index bound to MIDI controller c; -1 binds nothing.
    int ccMap[kControllerCount];

    Configuration();

    // Finds the INI file, creates the maker folder and an empty INI file when they are missing,
    // sets both folders to the documents folder and reads the file.
    void Open();
    void Open(const std::string& appDataFolder, const std::string& userDocumentsFolder);

    // Reads every key into this object and the process settings; 0, or fileMissing when the
    // file does not exist or cannot be read (nothing is read then).
    int ReadConfiguration();
    // Rewrites the "Startup Bank" section, then the keys of the group (all of them, including
    // the "MIDI Control" section, for kAllGroups). False when the file could not be written.
    bool WriteConfiguration(int group);
    // programFilesPath := the process's last folder (kept while that is still empty), then
    // stores it.
    bool WriteProgramFilesPath();
    bool SelectStartupBank(const std::string& path);
    bool WriteStartupBank();
    bool UnselectStartupBank();
};
