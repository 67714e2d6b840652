#include "net/connect_thread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/net_error.h"
#include "net/socket_handle.h"
#include "net/socket_stack.h"

namespace corvasse {

namespace {

// "Operation now in progress": a non-blocking connect under way.
constexpr int kInProgress = 10036;
// The socket was closed under the connect (the caller gave up).
constexpr int kBadFile = 10009;
constexpr int kNotSocket = 10038;

}  // namespace

ConnectThread::ConnectThread(SocketHandle& handle) : handle_(handle) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) SocketStack::Instance()->CheckSocketResult(-1);
    thread_ = std::thread([this] { Run(); });
}

ConnectThread::~ConnectThread() {
    if (thread_.joinable()) {
        Stop();
        Join();
    }
    close(wake_);
}

void ConnectThread::Run() {
    SocketStack& stack = *SocketStack::Instance();
    try {
        std::unique_lock lock(mutex_);
        int socket = handle_.Handle();
        long result = 0;
        if (!stopped_) {
            stack.SetBlocking(socket, false);
            result = stack.ConnectSocket(socket, kAddressFamilyInet, handle_.PeerPort, handle_.PeerIP);
            if (result == -1 && stack.LastSocketError() == kInProgress) {
                lock.unlock();
                std::vector<int> wake{wake_}, writable{socket};
                stack.SelectSockets(&wake, &writable, nullptr, kWaitForeverMs);
                lock.lock();
                if (!stopped_) {
                    int error = 0;
                    stack.GetSocketOption(socket, SOL_SOCKET, SO_ERROR, error);
                    errno = error;
                    result = error == 0 ? 0 : -1;
                }
            }
            if (!stopped_) {
                int savedErrno = errno;
                stack.SetBlocking(socket, true);
                errno = savedErrno;
                stack.CheckSocketResult(result, {kBadFile, kNotSocket});
            }
        }
    } catch (const SocketError& e) {
        failureCode_ = e.Code();
        failureMessage_ = e.what();
    } catch (const std::exception& e) {
        failureMessage_ = e.what();
    }
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    finishedChanged_.notify_all();
}

bool ConnectThread::Wait(int timeoutMs) {
    std::unique_lock lock(mutex_);
    auto finished = [this] { return finished_; };
    const auto slice = std::chrono::milliseconds(kConnectWaitSliceMs);
    int remaining = timeoutMs;
    while (remaining == kWaitForeverMs || remaining > kConnectWaitSliceMs) {
        if (finishedChanged_.wait_for(lock, slice, finished)) return true;
        if (remaining != kWaitForeverMs) remaining -= kConnectWaitSliceMs;
    }
    return finishedChanged_.wait_for(lock, std::chrono::milliseconds(std::max(remaining, 0)), finished);
}

void ConnectThread::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(wake_, &one, sizeof one);
}

void ConnectThread::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace corvasse
