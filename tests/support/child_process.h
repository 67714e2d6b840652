#pragma once
// A program a test runs to see what it does: its standard output and error
// are kept, chosen environment variables are removed for it, its
// XDG_STATE_HOME is a folder of its own (the user's history stays untouched),
// and its exit is awaited with a limit.
//
//     ChildProcess child({CORVASSE_BINARY, "--headless"}, dir.Path(), kDisplayVariables);
//     child.Signal(SIGTERM);
//     EXPECT_EQ(child.Wait(5000), 0);
//     EXPECT_EQ(child.Output(), "...");

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/message_lines.h"
#include "support/temp_dir.h"

namespace corvasse::test {

// What a program needs to find a display; unset, it finds none.
inline const std::vector<std::string> kDisplayVariables = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

class ChildProcess {
public:
    // Starts args[0] with the arguments that follow, in workingDir, with the
    // named environment variables removed.
    ChildProcess(std::vector<std::string> args, const std::filesystem::path& workingDir,
                 const std::vector<std::string>& unsetVariables = {});
    // Kills and reaps a child still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Signal(int signalNumber) const;
    // The exit status once the child exited; nothing when it has not within
    // timeoutMs (it keeps running) or when a signal ended it.
    std::optional<int> Wait(int timeoutMs);
    // True until the child has exited (and was reaped).
    bool Running();
    int Pid() const { return pid_; }
    // The most memory it held resident, once it has exited (else 0), in KiB.
    long PeakResidentKiB() const { return peakResidentKiB_; }

    // What it wrote so far.
    std::string Output() const;
    std::string Errors() const;

private:
    TempDir streams_;
    int pid_ = -1;
    std::optional<int> status_;
    long peakResidentKiB_ = 0;
};

}  // namespace corvasse::test
