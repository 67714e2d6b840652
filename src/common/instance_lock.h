#pragma once
// One running window per settings folder: the first program for a folder
// holds a lock file and listens on a Unix-domain socket beside it; a later
// one finds the lock taken and asks the first, over the socket, to show its
// window instead of opening a second one.

#include <chrono>
#include <filesystem>
#include <optional>

#include "common/file_descriptor.h"

namespace corvasse {

// The lock file and the socket of one settings folder.
struct InstancePaths {
    std::filesystem::path lock;
    std::filesystem::path socket;
};

// In runtimeDir ($XDG_RUNTIME_DIR), or in the settings folder itself without
// one; named "corvasse-" and 16 hex digits of a hash of the folder's
// canonical path, so that every spelling of a folder names the same lock.
InstancePaths InstancePathsFor(const std::filesystem::path& settingsFolder,
                               const std::optional<std::filesystem::path>& runtimeDir);

class InstanceLock {
public:
    // The folder's lock, when no other program holds it; its socket then
    // listens (a socket file left by a program that ended is replaced).
    // Throws std::system_error when the lock file or the socket cannot be
    // made.
    static std::optional<InstanceLock> Acquire(const InstancePaths& paths);
    ~InstanceLock();
    InstanceLock(InstanceLock&&) = default;
    InstanceLock& operator=(InstanceLock&&) = default;

    // Readable when another program asks.
    int ListenerFd() const { return listener_.Get(); }
    // Answers every request waiting on the socket, without waiting for more;
    // how many of them asked to show the window.
    int TakeShowRequests();

private:
    InstanceLock(FileDescriptor lock, FileDescriptor listener, std::filesystem::path socket);

    FileDescriptor lock_;
    FileDescriptor listener_;
    std::filesystem::path socket_;
};

// Asks the program that holds the folder's lock to show its window, waiting
// up to `wait` for it to listen (it may be starting); true when it answered.
bool AskToShowWindow(const InstancePaths& paths, std::chrono::milliseconds wait);

}  // namespace corvasse
