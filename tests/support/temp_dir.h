#pragma once
// A fresh folder under /tmp that is removed with everything in it when the
// object goes away, and reading a file back whole.

#include <filesystem>
#include <string>

namespace corvasse::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Changes the working directory for the object's lifetime.
class ScopedWorkingDir {
public:
    explicit ScopedWorkingDir(const std::filesystem::path& dir);
    ~ScopedWorkingDir();
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

private:
    std::filesystem::path previous_;
};

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace corvasse::test
