#include "app/settings/watch_folder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "common/errno_text.h"
#include "common/file_descriptor.h"
#include "common/posix_io.h"
#include "common/private_folder.h"

namespace corvasse {

namespace {

constexpr std::string_view kWatchFileExtension = ".conf";

bool IsWatchName(std::string_view name) {
    auto allowed = [](char c) {
        // ASCII alone: the name is also a file's and a systemd unit instance's.
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    };
    return !name.empty() && std::all_of(name.begin(), name.end(), allowed);
}

std::string ExistsMessage(std::string_view name) {
    return "A watch named \"" + std::string(name) + "\" already exists.";
}

std::filesystem::path WatchPath(const std::filesystem::path& folder, std::string_view name) {
    return folder / (std::string(name) + std::string(kWatchFileExtension));
}

std::string CannotCreateMessage(const std::filesystem::path& file, int error) {
    return "The watch file \"" + file.string() + "\" cannot be made: " + ErrnoText(error) + ".";
}

}  // namespace

std::vector<WatchFile> ListWatches(const std::filesystem::path& folder) {
    std::vector<WatchFile> watches;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::filesystem::path& file = entry.path();
        if (file.extension() != kWatchFileExtension || file.stem().empty() || !entry.is_regular_file(error)) continue;
        watches.push_back({file.stem().string(), file});
    }
    std::sort(watches.begin(), watches.end(), [](const WatchFile& a, const WatchFile& b) { return a.name < b.name; });
    return watches;
}

std::optional<std::string> WatchNameRefusal(const std::filesystem::path& folder, std::string_view name) {
    if (!IsWatchName(name)) return "A watch's name may hold only letters, digits, - and _.";
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(WatchPath(folder, name), error))) {
        return ExistsMessage(name);
    }
    return std::nullopt;
}

WatchFile CreateWatch(const std::filesystem::path& folder, std::string_view name) {
    if (std::optional<std::string> refusal = WatchNameRefusal(folder, name)) throw WatchFolderError(*refusal);
    const std::filesystem::path file = WatchPath(folder, name);
    try {
        CreatePrivateFolder(folder);
    } catch (const std::system_error& error) {
        throw WatchFolderError(CannotCreateMessage(file, error.code().value()));
    }
    // Made here, not by the store's first write, so that of two makers of
    // one name only one succeeds.
    FileDescriptor made(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!made.Valid()) {
        if (errno == EEXIST) throw WatchFolderError(ExistsMessage(name));
        throw WatchFolderError(CannotCreateMessage(file, errno));
    }
    if (!WriteAll(made.Get(), std::string(kSettingsFileHeader) + "\n") || made.Close() != 0) {
        const int error = errno;
        ::unlink(file.c_str());
        throw WatchFolderError(CannotCreateMessage(file, error));
    }
    // What "Save Settings" writes of a fresh "URL Details" page, in its
    // order; the page's opt-in values are off and so not written.
    const std::pair<SettingKey, std::string_view> initialValues[] = {
        {setting::url2watch, setting::url2watch.initial},
        {setting::expfilesize, setting::expfilesize.initial},
        {setting::checktype, kCheckTypeLookFor},
        {setting::txtLookFor, setting::txtLookFor.initial},
        {setting::txtWatchFreq, setting::txtWatchFreq.initial},
        {setting::PingOnly, ""},
        {setting::PingAddr, setting::PingAddr.initial},
    };
    try {
        SettingsStore settings = SettingsStore::AtFile(file);
        for (const auto& [key, value] : initialValues) WriteSetting(settings, key, value);
    } catch (const RegistryError& error) {
        ::unlink(file.c_str());
        throw WatchFolderError("The watch file \"" + file.string() + "\" cannot be made: " + error.what() + ".");
    }
    return {std::string(name), file};
}

void RemoveWatch(const WatchFile& watch) {
    if (watch.file.filename() == kSettingsFileName) {
        throw WatchFolderError("The watch \"" + watch.name + "\" cannot be removed: its file, " + kSettingsFileName +
                               ", holds the mail and alert settings that every watch shares.");
    }
    if (::unlink(watch.file.c_str()) != 0 && errno != ENOENT) {
        throw WatchFolderError("The watch \"" + watch.name + "\" cannot be removed: " + ErrnoText(errno) + ".");
    }
}

bool StartsAllWatches(const std::filesystem::path& folder) {
    return IsSettingOn(SettingsStore(folder), setting::startAll);
}

void SetStartsAllWatches(const std::filesystem::path& folder, bool startAll) {
    SettingsStore settings(folder);
    if (startAll) {
        WriteSetting(settings, setting::startAll, kSettingOn);
    } else {
        DeleteSetting(settings, setting::startAll);
    }
}

}  // namespace corvasse
