#include "support/killed_child.h"

#include <stdexcept>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/file_descriptor.h"
#include "common/posix_io.h"

namespace corvasse::test {

KilledChild RunAndKill(const std::function<void(int pipe)>& work, KillAfter after, std::chrono::microseconds delay) {
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error("pipe failed");
    FileDescriptor reading(ends[0]);
    FileDescriptor writing(ends[1]);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        reading.Close();
        work(writing.Get());
        _exit(0);
    }
    writing.Close();

    KilledChild result;
    bool waited = true;
    if (after == KillAfter::FirstWrite) {
        char first = 0;
        waited = RetryOnInterrupt([&] { return ::read(reading.Get(), &first, 1); }) == 1;
        if (waited) result.written += first;
    }
    if (waited) std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    RetryOnInterrupt([&] { return waitpid(child, &result.status, 0); });
    result.killed = waited && WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGKILL;
    ReadToEnd(reading.Get(), result.written);
    return result;
}

}  // namespace corvasse::test
