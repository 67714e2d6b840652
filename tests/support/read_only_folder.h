#pragma once
// Makes a folder read-only for this process while the object lives. Root
// ignores permission bits, so it gets a read-only bind mount in a mount
// namespace of its own, which nothing outside this process sees.

#include <filesystem>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvasse::test {

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
        if (geteuid() != 0) {
            ready_ = ::chmod(folder_.c_str(), 0555) == 0;
            return;
        }
        ready_ = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                 ::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) == 0;
        mounted_ = ready_;
        ready_ = ready_ && ::mount(nullptr, folder_.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
        if (geteuid() != 0) ::chmod(folder_.c_str(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool Ready() const { return ready_; }

private:
    std::filesystem::path folder_;
    bool ready_ = false;
    bool mounted_ = false;
};

}  // namespace corvasse::test
