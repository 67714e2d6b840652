#pragma once
// The per-user settings: named text values in sections, kept in
// <folder>/Corvasse.conf, or in a watch's own file beside it, which takes
// every value it does not set from Corvasse.conf. Every call reads or
// rewrites the files afresh, so nothing is cached and hand edits are seen at
// the next read - unless the store is told to keep its first read, for a
// process that runs one watch and ends.

#include <filesystem>
#include <mutex>
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
// The first line of every file the store makes.
inline constexpr std::string_view kSettingsFileHeader = "# Corvasse settings; lines starting with # or ; are comments";

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

// Whose value it is, for a write on a watch's own file.
enum class SettingScope {
    Watch,   // the watch's own: written to the watch's file
    Shared,  // every watch's: written to Corvasse.conf, unless the watch's file sets it itself
};

class SettingsStore {
public:
    // The folder is created (mode 0700) by every operation when it is missing.
    explicit SettingsStore(std::filesystem::path folder);
    // The store in a file of any name, with the same rules; its folder stands
    // in for the settings folder. A file not named Corvasse.conf is a watch's
    // own: a value it does not set is read from the folder's Corvasse.conf
    // (where a missing file reads as empty, as the watch's own does), and a
    // shared value is written there.
    static SettingsStore AtFile(const std::filesystem::path& file);

    // $XDG_CONFIG_HOME/Corvasse, or $HOME/.config/Corvasse; nothing when
    // neither variable is set.
    static std::optional<std::filesystem::path> UserFolder();
    // UserFolder(), or .config/Corvasse in the working directory without one.
    static std::filesystem::path DefaultFolder();

    // The stored text, or "n/a" when the section or the value is missing (on
    // a watch's file: missing from Corvasse.conf too; Corvasse.conf is read
    // only then). Throws RegistryError "Failed to get data for '<key>'" when
    // a file it needs cannot be read.
    std::string ReadSetting(std::string_view section, std::string_view key) const;

    // Stores the text, replacing any earlier value. The file is rewritten
    // atomically with mode 0600; other lines keep their text and place. On a
    // watch's file, a shared value goes to Corvasse.conf unless the watch's
    // file sets it already (a watch's file that cannot be read then fails the
    // write). Throws RegistryError "Failed to create key <section>" or
    // "Failed to set data for '<key>'".
    void WriteSetting(std::string_view section, std::string_view key, std::string_view value,
                      SettingScope scope = SettingScope::Watch);

    // Removes the value from the file a write of it would change; a missing
    // section or value is not an error.
    void DeleteSetting(std::string_view section, std::string_view key, SettingScope scope = SettingScope::Watch);

    // From now on each file is read once, at the first read that needs it,
    // and what it held answers every later read of this store; a write reads
    // the files afresh. For a process that runs one watch and ends, which
    // would otherwise read the same file some twenty times.
    void KeepFirstRead();
    // No file is read: every read answers as a missing file would, but for
    // the overrides. For a watch given whole on a command line.
    void ReadNoFile();
    // A store that reads each file once, at its first read that needs it,
    // through this one (which must outlive it), and answers every later read
    // from what it read: one watch's view of the settings. It keeps the
    // overrides.
    SettingsStore Snapshot() const;
    // While the hold lives, every read of this store answers from one read
    // of each file (the first), as a snapshot would; a write reads afresh.
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
    // Every later read of the value answers `value`, whatever the files hold
    // (a value given on a command line). The files themselves are not changed.
    void Override(std::string_view section, std::string_view key, std::string_view value);

    // The watch's own file, or Corvasse.conf.
    std::filesystem::path FilePath() const;

    // LostFile::ReadsAsIs unless set; a service that must go on watching with
    // the settings it has while its files are moved away sets ReadsAsLastRead.
    void SetLostFile(LostFile lostFile) { lostFile_ = lostFile; }
    // FolderCreation::OnEveryCall unless set; writes create it all the same.
    void SetFolderCreation(FolderCreation creation) { folderCreation_ = creation; }

private:
    struct Replacement {
        std::string section;
        std::string key;
        std::string value;
    };

    // The two files a store on a watch's file reads.
    enum class StoreFile { Own, Shared };
    // What the store keeps of one file's reads. A watch on the pool reads
    // its store while the window's thread may read it too, so each use of
    // these is locked.
    struct FileReads {
        FileReads() = default;
        FileReads(const FileReads& other);
        FileReads& operator=(const FileReads& other);

        mutable std::mutex mutex;
        std::optional<std::string> kept;      // answers every read while reads are kept
        std::optional<std::string> lastRead;  // for LostFile::ReadsAsLastRead
    };

    SettingsStore(std::filesystem::path folder, std::filesystem::path fileName);
    // Whether this is a watch's own file, which takes what it lacks from Corvasse.conf.
    bool HasSharedFile() const;
    // The file's bytes ("" when it or its folder is missing); throws
    // RegistryError "Failed to get data for '<key>'" when it cannot be read.
    std::string FileContent(StoreFile file, std::string_view key) const;
    // The file that a write or a removal of the value changes; none when the
    // watch's own file, which decides it, cannot be read.
    std::optional<std::filesystem::path> FileToChange(std::string_view section, std::string_view key,
                                                      SettingScope scope) const;
    void ForgetKeptReads();

    std::filesystem::path folder_;
    std::filesystem::path fileName_;
    bool keepFirstRead_ = false;
    std::vector<Replacement> overrides_;
    LostFile lostFile_ = LostFile::ReadsAsIs;
    FolderCreation folderCreation_ = FolderCreation::OnEveryCall;
    mutable FileReads ownReads_;
    mutable FileReads sharedReads_;
    // A snapshot's store, which reads the files for it.
    const SettingsStore* source_ = nullptr;
};

}  // namespace corvasse
