#include "support/virtual_desktop.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/file_descriptor.h"

namespace corvasse::test {

namespace {

constexpr int kStartTimeoutMs = 10000;

std::filesystem::path SocketPath(int number) { return "/tmp/.X11-unix/X" + std::to_string(number); }

bool DisplayAccepts(int number) {
    const FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = SocketPath(number).string();
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

VirtualDesktop::VirtualDesktop() {
    // A display number nobody uses, picked at random so that suites running
    // side by side do not meet.
    std::mt19937 random(std::random_device{}());
    int number = 0;
    for (int tries = 0; tries < 100 && number == 0; ++tries) {
        const int candidate = std::uniform_int_distribution(100, 999)(random);
        if (!std::filesystem::exists(SocketPath(candidate)) &&
            !std::filesystem::exists("/tmp/.X" + std::to_string(candidate) + "-lock")) {
            number = candidate;
        }
    }
    if (number == 0) throw std::runtime_error("no free X display number");
    display_ = ":" + std::to_string(number);
    xvfb_.Start({"/usr/bin/Xvfb", display_, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!DisplayAccepts(number)) {
        if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("Xvfb did not start on " + display_);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    setenv("DISPLAY", display_.c_str(), 1);
    tray_.Start({"/usr/bin/trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "100"});
}

VirtualDesktop::~VirtualDesktop() {
    tray_.Stop();
    xvfb_.Stop();
}

}  // namespace corvasse::test
