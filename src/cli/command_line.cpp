#include "cli/command_line.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings_store.h"
#include "app/version.h"
#include "common/file_descriptor.h"

namespace corvasse {

namespace {

// Why the file cannot be read, or "" when it can.
std::string UnreadableReason(const std::filesystem::path& file) {
    const FileDescriptor fd(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return std::strerror(errno);
    struct stat status {};
    if (fstat(fd.Get(), &status) != 0) return std::strerror(errno);
    if (S_ISDIR(status.st_mode)) return std::strerror(EISDIR);
    return "";
}

}  // namespace

MonitorFiles FilesFromCommandLine(const std::optional<std::filesystem::path>& settings,
                                  const std::optional<std::filesystem::path>& log,
                                  const std::optional<std::filesystem::path>& history) {
    MonitorFiles files = MonitorFiles::InFolder(SettingsStore::DefaultFolder());
    if (settings) {
        if (std::string reason = UnreadableReason(*settings); !reason.empty()) {
            throw UsageError("cannot read the settings file \"" + settings->string() + "\": " + reason);
        }
        files.settings = *settings;
    }
    if (log) {
        if (log->empty()) throw UsageError("the log file name is empty");
        files.log = *log;
    }
    if (history) {
        if (history->empty()) throw UsageError("the history file name is empty");
        files.history = *history;
    }
    return files;
}

std::string VersionLine() { return std::string("Corvasse ") + kVersion; }

}  // namespace corvasse
