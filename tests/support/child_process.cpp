#include "support/child_process.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/file_descriptor.h"

extern char** environ;

namespace corvasse::test {

namespace {

constexpr int kPollIntervalMs = 5;

bool IsUnset(const char* entry, const std::vector<std::string>& unset) {
    const std::string_view text(entry);
    for (const std::string& name : unset) {
        if (text.size() > name.size() && text.starts_with(name) && text[name.size()] == '=') return true;
    }
    return false;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> args, const std::filesystem::path& workingDir,
                           const std::vector<std::string>& unsetVariables) {
    // Everything the child needs is prepared before the fork: a forked child
    // of a threaded process must not allocate.
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // The child's state (its default history) goes to a folder of its own,
    // never to the user's.
    std::vector<std::string> unset = unsetVariables;
    unset.push_back("XDG_STATE_HOME");
    std::string stateHome = "XDG_STATE_HOME=" + (streams_.Path() / "state").string();
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!IsUnset(*entry, unset)) envp.push_back(*entry);
    }
    envp.push_back(stateHome.data());
    envp.push_back(nullptr);
    const std::string dir = workingDir.string();
    const std::string outPath = (streams_.Path() / "out").string();
    const std::string errPath = (streams_.Path() / "err").string();
    const FileDescriptor out(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    const FileDescriptor err(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!out.Valid() || !err.Valid()) throw std::runtime_error("cannot open the child's output files");
    const pid_t pid = fork();
    if (pid == 0) {
        if (dup2(out.Get(), STDOUT_FILENO) < 0 || dup2(err.Get(), STDERR_FILENO) < 0 || chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) throw std::runtime_error("fork failed");
    pid_ = pid;
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

void ChildProcess::Signal(int signalNumber) const {
    if (pid_ > 0) kill(pid_, signalNumber);
}

std::optional<int> ChildProcess::Wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pid_ > 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid_, &status, WNOHANG, &usage) == pid_) {
            pid_ = -1;
            peakResidentKiB_ = usage.ru_maxrss;
            if (WIFEXITED(status)) status_ = WEXITSTATUS(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollIntervalMs));
    }
    return status_;
}

bool ChildProcess::Running() {
    Wait(0);
    return pid_ > 0;
}

std::string ChildProcess::Output() const { return ReadFile(streams_.Path() / "out"); }

std::string ChildProcess::Errors() const { return ReadFile(streams_.Path() / "err"); }

}  // namespace corvasse::test
