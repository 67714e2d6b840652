#include "cli/command_line.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/monitor/version.h"
#include "app/settings/settings_store.h"
#include "common/errno_text.h"
#include "common/file_descriptor.h"

namespace corvasse {

namespace {

// The errno that keeps the file from being read, or 0 when it can be.
int UnreadableBecause(const std::filesystem::path& file) {
    const FileDescriptor fd(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return errno;
    struct stat status {};
    if (fstat(fd.Get(), &status) != 0) return errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    return 0;
}

std::string UnreadableMessage(const std::filesystem::path& file, int error) {
    return "cannot read the settings file \"" + file.string() + "\": " + ErrnoText(error);
}

}  // namespace

std::optional<std::string> UnreadableSettingsFile(const std::filesystem::path& file) {
    const int error = UnreadableBecause(file);
    if (error == 0) return std::nullopt;
    return UnreadableMessage(file, error);
}

MonitorFiles FilesFromCommandLine(const std::optional<std::filesystem::path>& settings,
                                  const std::optional<std::filesystem::path>& log,
                                  const std::optional<std::filesystem::path>& history, NewSettingsFile newSettings) {
    MonitorFiles files = MonitorFiles::InFolder(SettingsStore::DefaultFolder());
    if (settings) {
        const int error = UnreadableBecause(*settings);
        if (error != 0 && !(error == ENOENT && newSettings == NewSettingsFile::Allowed)) {
            throw UsageError(UnreadableMessage(*settings, error));
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
