#pragma once
// A fresh folder under /tmp that is removed with everything in it when the
// object goes away, and writing a file or reading one back whole.

#include <filesystem>
#include <string>
#include <string_view>

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

// Creates or replaces the file with the bytes. Throws std::runtime_error when
// it cannot be written.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace corvasse::test
