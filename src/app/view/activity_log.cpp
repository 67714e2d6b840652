#include "app/view/activity_log.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "common/errno_text.h"
#include "common/file_descriptor.h"
#include "common/posix_io.h"

namespace corvasse {

namespace {

// The I/O error numbers and texts that log failures are reported with.
int LogErrorCode(int errnoValue) {
    switch (errnoValue) {
        case ENOENT: return 2;
        case ENOTDIR:
        case EINVAL:
        case ENAMETOOLONG: return 3;
        case EMFILE:
        case ENFILE: return 4;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return 5;
        case ENOSPC:
        case EDQUOT: return 101;
        default: return errnoValue;
    }
}

std::string LogErrorText(int code) {
    switch (code) {
        case 2: return "File not found";
        case 3: return "Invalid filename";
        case 4: return "Too many open files";
        case 5: return "File access denied";
        case 100: return "Read beyond end of file";
        case 101: return "Disk full";
        default: return "I/O error " + std::to_string(code);
    }
}

IoError LogError(int errnoValue) {
    const int code = LogErrorCode(errnoValue);
    return IoError(code, LogErrorText(code), errnoValue);
}

}  // namespace

IoError::IoError(int code, const std::string& message, int systemError)
    : std::runtime_error(message), Code(code), SystemError(systemError) {}

ActivityLog::ActivityLog(std::filesystem::path fileName) : fileName_(std::move(fileName)) {}

std::filesystem::path ActivityLog::FullPath() const { return std::filesystem::absolute(fileName_); }

void ActivityLog::AppendLogLine(std::string_view text) {
    FileDescriptor file(::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!file.Valid()) throw LogError(errno);
    std::string record(text);
    record += "\r\n";
    if (!WriteAll(file.Get(), record)) throw LogError(errno);
    // fsync fails with EINVAL on devices and pipes, which hold nothing to flush.
    if (::fsync(file.Get()) != 0 && errno != EINVAL && errno != EROFS) throw LogError(errno);
    if (file.Close() != 0) throw LogError(errno);
}

std::string ActivityLog::WriteFailureText(const IoError& error) const {
    return "Cannot write the log \"" + FullPath().string() + "\": " + ErrnoText(error.SystemError);
}

std::string ActivityLog::ReadAll() const {
    FileDescriptor file(::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC));
    auto fail = [this](int error) {
        return IoError(LogErrorCode(error), "Cannot open file \"" + FullPath().string() + "\". " + ErrnoText(error),
                       error);
    };
    if (!file.Valid()) throw fail(errno);
    std::string content;
    if (!ReadToEnd(file.Get(), content)) throw fail(errno);
    return content;
}

std::string ActivityLog::ViewerText(const std::string& content) {
    std::string text = content;
    // A line end closes the last line; it does not open an empty one.
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
        text.resize(text.size() - 2);
    } else if (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    if (!content.empty()) text += "\n";
    return text + " \n--- End of File --";
}

void ActivityLog::Clear() {
    FileDescriptor file(::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    auto fail = [this](int error) {
        return IoError(LogErrorCode(error), "Cannot create file \"" + FullPath().string() + "\". " + ErrnoText(error),
                       error);
    };
    if (!file.Valid()) throw fail(errno);
    if (file.Close() != 0) throw fail(errno);
}

}  // namespace corvasse
