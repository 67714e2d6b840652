#pragma once
// The per-user settings: named text values in sections, kept in
// <folder>/Corvasse.conf. Every call reads or rewrites the file afresh, so
// nothing is cached and hand edits are seen at the next read - unless the
// store is told to keep its first read, for a process that runs one watch
// and ends.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace corvasse {

// What a read returns for a missing section or value.
inline constexpr std::string_view kAbsentSetting = "n/a";
// The file's name in the settings folder.
inline constexpr const char* kSettingsFileName = "Corvasse.conf";

// Every failure of the store carries one of its fixed messages.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What reads make of a file that was read before and now is gone or cannot
// be read.
enum class LostFile {
    ReadsAsIs,        // a missing file reads as empty, an unreadable one fails
    ReadsAsLastRead,  // both read as the file did the last time it could be read
};

// Whether reads create the settings folder when it is missing.
enum class FolderCreation {
    OnEveryCall,  // as every operation of the store does
    Never,        // a missing folder reads as a missing file (a process that only reads)
};

class SettingsStore {
public:
    // The folder is created (mode 0700) by every operation when it is missing.
    explicit SettingsStore(std::filesystem::path folder);
    // The store in a file of any name, with the same rules; its folder stands
    // in for the settings folder.
    static SettingsStore AtFile(const std::filesystem::path& file);

    // $XDG_CONFIG_HOME/Corvasse, or $HOME/.config/Corvasse; nothing when
    // neither variable is set.
    static std::optional<std::filesystem::path> UserFolder();
    // UserFolder(), or .config/Corvasse in the working directory without one.
    static std::filesystem::path DefaultFolder();

    // The stored text, or "n/a" when the section or the value is missing.
    // Throws RegistryError "Failed to get data for '<key>'" when the file
    // cannot be read.
    std::string ReadSetting(std::string_view section, std::string_view key) const;

    // Stores the text, replacing any earlier value. The file is rewritten
    // atomically with mode 0600; other lines keep their text and place.
    // Throws RegistryError "Failed to create key <section>" or
    // "Failed to set data for '<key>'".
    void WriteSetting(std::string_view section, std::string_view key, std::string_view value);

    // Removes the value; a missing section or value is not an error.
    void DeleteSetting(std::string_view section, std::string_view key);

    // From now on the file is read once, at the next read, and what it held
    // answers every later read of this store; a write reads it afresh. For a
    // process that runs one watch and ends, which would otherwise read the
    // same file some twenty times.
    void KeepFirstRead();
    // No file is read: every read answers as a missing file would, but for
    // the overrides. For a watch given whole on a command line.
    void ReadNoFile();
    // A store that reads the file once, at its first read, through this one
    // (which must outlive it), and answers every later read from what it
    // read: one watch's view of the settings. It keeps the overrides.
    SettingsStore Snapshot() const;
    // While the hold lives, every read of this store answers from one read
    // of the file (the first), as a snapshot would; a write reads afresh.
    // For a group of steps that each read the settings on one thread.
    class HeldReads {
    public:
        explicit HeldReads(SettingsStore& store);
        ~HeldReads();
        HeldReads(const HeldReads&) = delete;
        HeldReads& operator=(const HeldReads&) = delete;

    private:
        SettingsStore& store_;
        bool wasKeeping_;
    };
    // Every later read of the value answers `value`, whatever the file holds
    // (a value given on a command line). The file itself is not changed.
    void Override(std::string_view section, std::string_view key, std::string_view value);

    std::filesystem::path FilePath() const;

    // LostFile::ReadsAsIs unless set; a service that must go on watching with
    // the settings it has while its file is moved away sets ReadsAsLastRead.
    void SetLostFile(LostFile lostFile) { lostFile_ = lostFile; }
    // FolderCreation::OnEveryCall unless set; writes create it all the same.
    void SetFolderCreation(FolderCreation creation) { folderCreation_ = creation; }

private:
    struct Replacement {
        std::string section;
        std::string key;
        std::string value;
    };

    SettingsStore(std::filesystem::path folder, std::filesystem::path fileName);
    // The file's bytes ("" when it or its folder is missing); throws
    // RegistryError "Failed to get data for '<key>'" when it cannot be read.
    std::string FileContent(std::string_view key) const;

    std::filesystem::path folder_;
    std::filesystem::path fileName_;
    bool keepFirstRead_ = false;
    mutable std::optional<std::string> kept_;
    std::vector<Replacement> overrides_;
    LostFile lostFile_ = LostFile::ReadsAsIs;
    FolderCreation folderCreation_ = FolderCreation::OnEveryCall;
    mutable std::optional<std::string> lastRead_;
    // A snapshot's store, which reads the file for it.
    const SettingsStore* source_ = nullptr;
};

}  // namespace corvasse
