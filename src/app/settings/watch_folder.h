#pragma once
// The watches of a settings folder: every *.conf file in it is one watch,
// named by the file's base name ("shop.conf" is "shop"). Corvasse.conf is the
// watch "Corvasse", whose values the other files share.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace corvasse {

struct WatchFile {
    std::string name;
    std::filesystem::path file;

    bool operator==(const WatchFile&) const = default;
};

// A watch that cannot be made or removed; the message is a sentence for a box.
class WatchFolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every watch of the folder, by name; none when the folder is missing or
// cannot be read. Folders and other files are left out.
std::vector<WatchFile> ListWatches(const std::filesystem::path& folder);

// Why a new watch cannot be named `name` in the folder, as a box says it;
// nothing when it can. A name holds letters (a-z, A-Z), digits, - and _
// only, and no file of the folder may have it yet (letter case counts as the
// file system counts it).
std::optional<std::string> WatchNameRefusal(const std::filesystem::path& folder, std::string_view name);

// Makes the watch's file NAME.conf (mode 0600; the folder, mode 0700, when
// missing), holding the initial values of "URL Details" as the settings form
// saves them. Throws WatchFolderError with the refusal of WatchNameRefusal,
// also when the file appears meanwhile, or when it cannot be made (then
// nothing is left behind).
WatchFile CreateWatch(const std::filesystem::path& folder, std::string_view name);

// Deletes the watch's file; its history stays, and a file already gone is
// not an error. Throws WatchFolderError for Corvasse.conf, which holds what
// the other watches share, and for a file that cannot be removed.
void RemoveWatch(const WatchFile& watch);

// "Start all watches when Corvasse starts": startAll=y in the folder's
// Corvasse.conf, deleted while off (the default). Both throw RegistryError.
bool StartsAllWatches(const std::filesystem::path& folder);
void SetStartsAllWatches(const std::filesystem::path& folder, bool startAll);

}  // namespace corvasse
