#pragma once
// A folder of the user's own data (settings, history): made when missing,
// itself with mode 0700 so that no other user can read what is in it; the
// folders above it, when missing too, with the usual mode.

#include <filesystem>

namespace corvasse {

// Does nothing when the folder exists. Throws std::system_error (with the
// errno of the failed step) when it cannot be made.
void CreatePrivateFolder(const std::filesystem::path& folder);

}  // namespace corvasse
