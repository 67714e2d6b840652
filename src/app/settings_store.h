#pragma once
// The per-user settings: named text values in sections, kept in
// <folder>/Corvasse.conf. Every call reads or rewrites the file afresh, so
// nothing is cached and hand edits are seen at the next read.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

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

class SettingsStore {
public:
    // The folder is created (mode 0700) by every operation when it is missing.
    explicit SettingsStore(std::filesystem::path folder);
    // The store in a file of any name, with the same rules; its folder stands
    // in for the settings folder.
    static SettingsStore AtFile(const std::filesystem::path& file);

    // $XDG_CONFIG_HOME/Corvasse, or $HOME/.config/Corvasse.
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

    std::filesystem::path FilePath() const;

    // LostFile::ReadsAsIs unless set; a service that must go on watching with
    // the settings it has while its file is moved away sets ReadsAsLastRead.
    void SetLostFile(LostFile lostFile) { lostFile_ = lostFile; }

private:
    SettingsStore(std::filesystem::path folder, std::filesystem::path fileName);

    std::filesystem::path folder_;
    std::filesystem::path fileName_;
    LostFile lostFile_ = LostFile::ReadsAsIs;
    mutable std::optional<std::string> lastRead_;
};

}  // namespace corvasse
