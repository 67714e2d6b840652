#pragma once
// What the two command-line front ends share: the files they are given, and
// the error of a command line that cannot be followed.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/monitor.h"

namespace corvasse {

// A command line that cannot be followed; the message says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The settings file given on the command line, which must exist and be
// readable, or else the user's own (missing on a fresh installation); the
// log and the history database given, or else the defaults. Throws
// UsageError "cannot read the settings file "<file>": <reason>", or for an
// empty log or history name.
MonitorFiles FilesFromCommandLine(const std::optional<std::filesystem::path>& settings,
                                  const std::optional<std::filesystem::path>& log,
                                  const std::optional<std::filesystem::path>& history);

// "Corvasse 2.00"
std::string VersionLine();

}  // namespace corvasse
