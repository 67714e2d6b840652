#pragma once
// The watches of a settings folder: every *.conf file in it is one watch,
// named by the file's base name ("shop.conf" is "shop"). Corvasse.conf is the
// watch "Corvasse", whose values the other files share.

#include <filesystem>
#include <string>
#include <vector>

namespace corvasse {

struct WatchFile {
    std::string name;
    std::filesystem::path file;

    bool operator==(const WatchFile&) const = default;
};

// Every watch of the folder, by name; none when the folder is missing or
// cannot be read. Folders and other files are left out.
std::vector<WatchFile> ListWatches(const std::filesystem::path& folder);

}  // namespace corvasse
