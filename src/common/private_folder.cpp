#include "common/private_folder.h"

#include <cerrno>
#include <system_error>

#include <sys/stat.h>

namespace corvasse {

void CreatePrivateFolder(const std::filesystem::path& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) return;
    // A failure here shows again, with its reason, in the mkdir below.
    std::filesystem::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        throw std::system_error(errno, std::generic_category());
    }
}

}  // namespace corvasse
