#include "app/activity_log.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

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

IoError LogError(int errnoValue) {
    int code = LogErrorCode(errnoValue);
    switch (code) {
        case 2: return IoError(code, "File not found");
        case 3: return IoError(code, "Invalid filename");
        case 4: return IoError(code, "Too many open files");
        case 5: return IoError(code, "File access denied");
        case 100: return IoError(code, "Read beyond end of file");
        case 101: return IoError(code, "Disk full");
        default: return IoError(code, "I/O error " + std::to_string(code));
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now and reports the outcome; the destructor then does nothing.
    int Close() {
        int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

}  // namespace

IoError::IoError(int code, const std::string& message) : std::runtime_error(message), Code(code) {}

ActivityLog::ActivityLog(std::filesystem::path fileName) : fileName_(std::move(fileName)) {}

std::filesystem::path ActivityLog::FullPath() const { return std::filesystem::absolute(fileName_); }

void ActivityLog::AppendLogLine(std::string_view text) {
    FileDescriptor file(::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (file.Get() < 0) throw LogError(errno);
    std::string record(text);
    record += "\r\n";
    size_t done = 0;
    while (done < record.size()) {
        ssize_t n = ::write(file.Get(), record.data() + done, record.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw LogError(errno);
        }
        done += static_cast<size_t>(n);
    }
    // fsync fails with EINVAL on devices and pipes, which hold nothing to flush.
    if (::fsync(file.Get()) != 0 && errno != EINVAL && errno != EROFS) throw LogError(errno);
    if (file.Close() != 0) throw LogError(errno);
}

std::string ActivityLog::ReadAll() const {
    FileDescriptor file(::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC));
    auto fail = [this](int error) {
        return IoError(LogErrorCode(error),
                       "Cannot open file \"" + FullPath().string() + "\". " + std::strerror(error));
    };
    if (file.Get() < 0) throw fail(errno);
    std::string content;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fail(errno);
        }
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
    }
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
        return IoError(LogErrorCode(error),
                       "Cannot create file \"" + FullPath().string() + "\". " + std::strerror(error));
    };
    if (file.Get() < 0) throw fail(errno);
    if (file.Close() != 0) throw fail(errno);
}

}  // namespace corvasse
