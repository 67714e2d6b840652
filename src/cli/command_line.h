#pragma once
// What the two command-line front ends share: the files they are given, and
// the error of a command line that cannot be followed.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/monitor/monitor.h"

namespace corvasse {

// A command line that cannot be followed; the message says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether a settings file named on the command line may be missing. The
// window then starts from the form's initial values and its first "Save
// Settings" creates the file; a watch without a window has nothing to watch.
enum class NewSettingsFile { Refused, Allowed };

// "cannot read the settings file "<file>": <reason>" when the file cannot be
// opened for reading or is a folder; nothing when it can be read.
std::optional<std::string> UnreadableSettingsFile(const std::filesystem::path& file);

// The settings file given on the command line, which must be readable (or,
// when allowed, not exist yet), or else the user's own (missing on a fresh
// installation); the log and the history database given, or else the
// defaults. Throws UsageError with UnreadableSettingsFile's message, or for
// an empty log or history name.
MonitorFiles FilesFromCommandLine(const std::optional<std::filesystem::path>& settings,
                                  const std::optional<std::filesystem::path>& log,
                                  const std::optional<std::filesystem::path>& history, NewSettingsFile newSettings);

// "Corvasse 2.00"
std::string VersionLine();

}  // namespace corvasse
