#pragma once
// Work that a SIGKILL cuts off: it runs in a forked child, which writes to a
// pipe what it has done; the parent waits (for the child's first byte, when
// asked to), then a little longer, kills the child and reads all it wrote.
//
//     const KilledChild child = RunAndKill([&](int pipe) { SaveForever(folder, pipe); },
//                                          KillAfter::FirstWrite, std::chrono::microseconds(random() % 20000));
//     ASSERT_TRUE(child.killed);

#include <chrono>
#include <functional>
#include <string>

namespace corvasse::test {

enum class KillAfter {
    Start,       // the delay runs from the fork
    FirstWrite,  // from the child's first byte on the pipe
};

struct KilledChild {
    // False when the child ended by itself before the kill (or never wrote,
    // with KillAfter::FirstWrite): then status says how.
    bool killed = false;
    int status = 0;
    // Everything the child wrote before it died.
    std::string written;
};

// work runs in the child and should not return (a return ends the child
// with status 0). Throws std::runtime_error when there is no pipe or fork.
KilledChild RunAndKill(const std::function<void(int pipe)>& work, KillAfter after, std::chrono::microseconds delay);

}  // namespace corvasse::test
