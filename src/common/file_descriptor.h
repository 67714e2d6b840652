#pragma once
// Owns one open file descriptor and closes it exactly once: when the owner
// goes, or earlier through Close(), which reports the outcome (a close can
// fail, and for a file just written that failure matters).
//
//     FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC));
//     if (!file.Valid()) ...errno...

namespace corvasse {

class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes over fd; a negative value holds nothing.
    explicit FileDescriptor(int fd) noexcept : fd_(fd < 0 ? -1 : fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // The descriptor, or -1 when none is held.
    int Get() const noexcept { return fd_; }
    bool Valid() const noexcept { return fd_ >= 0; }

    // Closes now: 0, or -1 with errno when close() failed. Holding nothing
    // afterwards either way (Linux frees the number even when close fails);
    // 0 when nothing was held.
    int Close() noexcept;
    // Gives the descriptor up without closing it.
    int Release() noexcept;

private:
    int fd_ = -1;
};

}  // namespace corvasse
