#include "common/file_descriptor.h"

#include <unistd.h>

namespace corvasse {

FileDescriptor::~FileDescriptor() { Close(); }

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int FileDescriptor::Close() noexcept {
    if (fd_ < 0) return 0;
    // Never retried on EINTR: the number is already free, and closing it
    // again could close a descriptor another thread has just been given.
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
}

int FileDescriptor::Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

}  // namespace corvasse
