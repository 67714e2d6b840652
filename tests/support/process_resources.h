#pragma once
// What a test counts before and after an operation to see that it left no
// descriptor or thread behind.

#include <filesystem>

namespace corvasse::test {

// Entries of a /proc/self folder (the counting itself opens one descriptor
// while it runs, so a count before and one after compare equal).
inline int ProcSelfEntries(const char* folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

inline int OpenDescriptorCount() { return ProcSelfEntries("/proc/self/fd"); }
inline int ThreadCount() { return ProcSelfEntries("/proc/self/task"); }

}  // namespace corvasse::test
